// The drawing of the surface: its pictures are composed from the square
// views' kept images (or are the sheet of them, where it shows the board as it
// stands) and drawn onto the window or into any drawing context. Nothing is
// kept but, per thread, the picture of the last part painted.
#pragma once

#include <windows.h>

#include <vector>

#include "control/window_surface.hpp"
#include "host/pixel_host.hpp"

namespace quelder::win32 {

// Draws a surface of width x height pixels into bounds of dc, stretched when
// bounds has another size, with the pictures over drawn above the squares.
// Needs no window.
void RenderSurface(const PixelHostBase& host, int width, int height, HDC dc, const RECT& bounds,
                   const std::vector<Sprite>& over = {});

// WM_PAINT: paints the invalid region of the surface's window, the floating
// picture above the squares, and validates it.
void PaintInvalid(const WindowSurface& surface);
// WM_PRINTCLIENT: draws the client area of window into dc.
void PrintClient(const PixelHostBase& host, HWND window, HDC dc);
// Draws parts of the surface onto its window now, each as one picture. Only what
// shows is drawn; what is hidden now is painted when it shows. False, with
// nothing drawn, when the window's drawing context cannot be had.
bool PaintShowing(const WindowSurface& surface, const std::vector<RECT>& parts);

// The rectangles of a region, at most kMostRectangles of them; none when it
// cannot be read or has more pieces than are worth drawing one by one (then
// the caller draws the bounding rectangle).
constexpr DWORD kMostRectangles = 16;
std::vector<RECT> RegionRectangles(HRGN region);

}  // namespace quelder::win32
