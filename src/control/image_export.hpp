// The board's pictures leaving the control: as a file (PNG, BMP or JPEG,
// encoded by the system's Windows Imaging Component) and on the clipboard
// (a device-independent bitmap and PNG). The choice of format and the packed
// bitmap are plain code; the rest is the system's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "drawing/pixels.hpp"

namespace quelder::win32 {

enum class ImageFormat { Png, Bmp, Jpeg };

// The format a file's extension names (.png, .bmp, .jpg or .jpeg, in any
// case); none for another or none.
std::optional<ImageFormat> FormatOfPath(std::wstring_view path);

// The edge of a picture a caller asked for: the optional Size argument (a
// number; missing or empty: fallback, brought within the limits), 64 to
// 4,096 pixels, else 380; 13 for what is no number.
int PictureSize(const VARIANT& size, int fallback);

// The bytes of image as a packed 24-bit bitmap (BITMAPINFOHEADER, then the
// rows bottom up), as the clipboard's CF_DIB holds it, written to out, which
// must hold PackedDibBytes(image).
std::size_t PackedDibBytes(const Image& image);
void WritePackedDib(const Image& image, std::uint8_t* out);

// Writes image to path in format: whole or not at all (into a new file
// beside it, then renamed over it). Fails with 75 "Path/File access error",
// leaving nothing, when the file cannot be written; 7 without memory.
void SaveImageFile(const Image& image, std::wstring_view path, ImageFormat format);

// Puts image on the clipboard, as CF_DIB and as "PNG". Fails with 521 when
// the clipboard cannot be had, 7 without memory.
void CopyImageToClipboard(const Image& image, HWND owner);

}  // namespace quelder::win32
