// The board class's board as a picture of any size: drawn afresh off the
// screen, square by square at that size, as SharpSquares draws the board's
// own views, from the same board and look. The board shown on the screen is
// not touched.
#pragma once

#include "appearance/board_look.hpp"
#include "board/board_model.hpp"
#include "host/pixel_host.hpp"
#include "render/sharp_squares.hpp"

namespace quelder {

// The smallest and largest picture of the board, in pixels along its edge.
constexpr int kMinBoardImage = 64;
constexpr int kMaxBoardImage = 4096;

// The board of size x size pixels (kMinBoardImage..kMaxBoardImage): its
// squares laid out as ChangeBoardSize lays them out at that size, seen from
// the side look says, with the pictures of host's image list (those that are
// built-in to squares drawn from their shapes). Fails with 380 for a size
// out of range, 7 "Out of memory" when the pixels cannot be had.
Image DrawBoardImage(PixelHostBase& host, const SharpSquares& squares, const Board& board, const BoardLook& look,
                     int size);

}  // namespace quelder
