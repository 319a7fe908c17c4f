// A picture of a window as it is on the screen, saved as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

namespace quelder::demo {

// Copies the whole window (frame included, children with it) from its window
// DC into a DIB and writes it to path. False when a step fails.
bool SaveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace quelder::demo
