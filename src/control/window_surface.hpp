// What the parts of the control's window share: the host with the views, the
// window while there is one, and the surface's size, Enabled and screen dots.
// The ControlWindow owns it and keeps it current; its parts read it.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "drawing/board_art.hpp"
#include "host/pixel_host.hpp"

namespace quelder::win32 {

// A picture shown above the squares (a piece the user drags) with its
// top-left corner at (left, top) of the surface.
struct FloatingPicture {
    BoardPicture picture;
    int left = 0, top = 0;
    RECT Rect() const {
        return {left, top, left + picture.image.Width(), top + picture.image.Height()};
    }
};

// A piece an animation draws over the squares: its picture (owned by the
// board's drawings, valid until the sprites are next set), its top-left
// corner and its opacity, 0 to 255.
struct Sprite {
    const BoardPicture* picture = nullptr;
    int left = 0, top = 0;
    int opacity = 255;
    RECT Rect() const {
        return {left, top, left + picture->image.Width(), top + picture->image.Height()};
    }
};

// The size the control starts with: eight squares of 37 pixels.
constexpr int kNaturalSize = 8 * kSquareSize;

struct WindowSurface {
    explicit WindowSurface(PixelHostBase& views) : host(views) {}
    WindowSurface(const WindowSurface&) = delete;
    WindowSurface& operator=(const WindowSurface&) = delete;

    PixelHostBase& host;
    HWND window = nullptr;
    // The surface's size in pixels: the window's size, and what Render draws.
    SIZE size{kNaturalSize, kNaturalSize};
    bool enabled = true;
    // Screen dots per inch, read when the window was created (96 before).
    int dpiX = 96, dpiY = 96;
    // Shown above the squares when the window paints; none at first.
    std::optional<FloatingPicture> floating;
    // Drawn above the squares and under the floating picture; none while
    // nothing moves.
    std::vector<Sprite> sprites;
    // Above everything: what the user has typed of a move; none at first.
    std::optional<FloatingPicture> note;
    // False once the ControlWindow is gone: what runs after a report or in a
    // view hook checks it before touching the object again.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace quelder::win32
