// The pictures of the board, drawn from their shapes: the two wood squares
// and the twelve pieces at any square size, and the toolbox icon and the
// About emblem. Everything is computed from fixed numbers with plain
// arithmetic (no library random distributions, no trigonometry; floor is
// exact), so every run gives the same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "drawing/pixels.hpp"

namespace quelder {

// The square size the shapes are designed at, and the size of the board
// images the control embeds.
constexpr int kBoardArtSize = 37;
constexpr int kBoardPictureCount = 14;
constexpr int kMaxBoardArtSize = 1024;

// One picture of the board, squareSize x squareSize. image holds its colours
// on black (the mask colour where nothing is drawn), each pixel mixed with
// black by how much of it the picture covers; coverage holds how much, row
// by row: 0 (the pixel is the mask colour) to 255. A square covers all.
struct BoardPicture {
    Image image;
    std::vector<std::uint8_t> coverage;
};

// Picture number 1..14 in the order of the board images: 1 the light square,
// 2..7 the red pawn, rook, knight, bishop, queen and king, 8..13 the cream
// ones, 14 the dark square. At 37 pixels these are the embedded images, in
// whole pixels (a piece covers a pixel or leaves it); at any other size the
// edges are smoothed over 4 x 4 samples a pixel, outlines and seams stay
// one pixel wide (a pixel for every hundred of a larger square) and the
// grain is drawn at that size. Throws std::out_of_range for a number or a
// size (1..kMaxBoardArtSize) out of range.
BoardPicture DrawBoardPicture(int number, int squareSize);
// All fourteen, in order.
std::vector<BoardPicture> DrawBoardPictures(int squareSize);

// Draws a picture with its top-left corner at (x, y) of dst, clipped to dst,
// each pixel mixed with the one under it by its coverage, and by opacity /
// 255 (clamped to 0..255: a piece fading in or out). A whole-pixel picture at
// full opacity is drawn as DrawTransparent draws it.
void DrawCovered(ImagePart dst, const BoardPicture& picture, int x, int y, int opacity = 255);

// 16 x 15: a little board in a frame with a pawn standing on it.
Image DrawToolboxPicture();
// 32 x 32 in black, two greys and white: a knight on a chequered field.
Image DrawAboutPicture();

}  // namespace quelder
