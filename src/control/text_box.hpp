// A line of text in a small box, drawn by the system's fonts into pixels the
// board can lay over its squares: what the user has typed of a move.
#pragma once

#include <string_view>

#include "drawing/board_art.hpp"

namespace quelder::win32 {

// The text in the system's message font, height pixels tall, dark on a light
// box with a frame; an empty picture when it cannot be drawn.
BoardPicture TextBox(std::wstring_view text, int height);

}  // namespace quelder::win32
