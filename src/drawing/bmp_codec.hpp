// Reading and writing Windows bitmap files and packed DIBs.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "drawing/pixels.hpp"

namespace quelder {

struct BmpError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A palettised picture: one palette index a pixel, rows top to bottom.
struct IndexedImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;           // 4 or 8
    std::vector<Pixel> palette;     // at most 1 << bitsPerPixel entries
    std::vector<std::uint8_t> indices;  // width * height, row-major, top row first
};

// A .bmp file (BITMAPFILEHEADER first). Throws BmpError on anything malformed
// or unsupported, and never reads outside bytes.
Image DecodeBmp(std::span<const std::uint8_t> bytes);
// A packed DIB as stored in a bitmap resource (BITMAPINFOHEADER, palette, bits).
Image DecodeDib(std::span<const std::uint8_t> bytes);
// Palette and size of a palettised .bmp file, without expanding it.
IndexedImage DecodeIndexedBmp(std::span<const std::uint8_t> bytes);

// An uncompressed 4- or 8-bit palettised .bmp file.
std::vector<std::uint8_t> EncodeBmp(const IndexedImage& image);
// An uncompressed 24-bit .bmp file.
std::vector<std::uint8_t> EncodeBmp(const Image& image);

// Whole files (bmp_files.cpp).
std::vector<std::uint8_t> ReadFileBytes(const char* path);   // throws BmpError
void WriteFileBytes(const char* path, std::span<const std::uint8_t> bytes);  // throws BmpError

}  // namespace quelder
