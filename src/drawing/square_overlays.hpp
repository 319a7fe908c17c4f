// What is drawn over a square's own image: a host's picture fitted to the
// square, its selected style, a translucent tint, the coordinate labels, the
// parts of arrows that cross the square, rings and dots, a glow and a tile
// with rounded corners. Each square is drawn into an
// image of its own, so every drawing here is placed by the square's position
// where the result must not depend on how the board is cut into squares.
#pragma once

#include "drawing/board_art.hpp"
#include "drawing/pixels.hpp"

namespace quelder {

// A host's picture (the mask colour where it is transparent) fitted to
// width x height smoothly: its colours scaled with ScaleImage, which mixes in
// the mask's black by how much of each result pixel the mask takes, and its
// coverage scaled the same way from white where the picture is not the mask.
// That is the form DrawCovered lays without a dark rim. At the picture's own
// size an exact copy with coverage 0 or 255. Empty for an empty picture or a
// side (of the picture or asked for) outside 1..kMaxScaleSide.
BoardPicture FitPicture(ConstImagePart picture, int width, int height);
// A picture with its own coverage (a piece read from a file with its
// transparency) fitted into a square of size x size: scaled smoothly, its
// colours and its coverage alike, so that its longer side is size, and
// centred. Its colours are mixed with black by their coverage, as
// DrawCovered takes them, so the edges show no rim. Empty for an empty
// picture or a side outside 1..kMaxScaleSide.
BoardPicture FitCoveredPicture(const BoardPicture& picture, int size);

// A picture that stands out on any ground: its coverage spread radius pixels
// every way (each pixel takes the most coverage within an octagon of that
// radius around it), and the picture laid over that spread in colour, so a
// ring of colour radius pixels wide runs round it, smoothed as its own edges
// are. The same size as the picture; a copy of it for a radius under 1 or a
// picture whose coverage is not one per pixel.
BoardPicture OutlinedPicture(const BoardPicture& picture, int radius, Pixel colour);

// Draws a picture as DrawCovered does, in the selected style: each pixel's
// colour mixed half and half with the highlight, as DrawSelected mixes whole
// pixels, then laid by its coverage. A whole-pixel picture is drawn as
// DrawSelected draws its image.
void DrawSelectedCovered(ImagePart dst, const BoardPicture& picture, int x, int y, Pixel highlight);

// Mixes every pixel of dst with colour by alpha / 255; alpha is clamped to
// 0..255.
void Tint(ImagePart dst, Pixel colour, int alpha);

// Paints a frame thickness pixels wide (clamped to half the smaller side)
// along the inside of dst's edges.
void DrawFrame(ImagePart dst, int thickness, Pixel colour);

// The width of a label height pixels tall (height clamped as DrawLabel does).
int LabelWidth(int height);
// Draws a coordinate label, one of the letters a to h or the digits 1 to 8
// (any other character draws nothing), LabelWidth(height) x height with its
// top-left corner at (x, y), clipped to dst. height is clamped to
// 5..kMaxScaleSide. The glyphs are 5 x 7 cells; each pixel takes the colour by
// how much of it lit cells cover, so they stay clean at every height.
void DrawLabel(ImagePart dst, char glyph, int x, int y, int height, Pixel colour);

// An arrow in board pixels: a shaft width wide from the from-point to the base
// of a triangular head 2.2 widths long (the whole arrow when it is shorter)
// and 3 widths wide, whose tip is the to-point; colour mixed in by alpha / 255
// (clamped to 0..255).
struct Arrow {
    double fromX, fromY, toX, toY;
    double width;
    Pixel colour;
    int alpha;
};

// Draws the part of an arrow that falls on dst, the part of the board whose
// top-left pixel is board pixel (originX, originY). Each pixel is mixed by how
// many of 4 x 4 samples over it the arrow covers, so drawing the arrow into
// every square's image gives the pixels of drawing it once over the whole
// board. Nothing is drawn for an arrow of no length or width, or with a
// coordinate that is not finite. Only the pixels of dst within the arrow's
// bounds are visited, and only those along its edges are sampled.
void DrawArrowPart(ImagePart dst, int originX, int originY, const Arrow& arrow);

// Draws a ring between radii inner and outer around point (centreX, centreY)
// of dst (a disc where inner is 0 or less), colour mixed in by alpha / 255
// (clamped to 0..255) and each pixel by how many of 4 x 4 samples over it the
// ring covers, as an arrow is drawn. Nothing is drawn unless outer > 0 and
// inner < outer, or for a value that is not finite.
void DrawRing(ImagePart dst, double centreX, double centreY, double outer, double inner, Pixel colour, int alpha);

// Fills dst with colour, its corners rounded to radius (clamped to 0..half the
// smaller side), the pixels along the rounding sampled as a ring's.
void FillRounded(ImagePart dst, double radius, Pixel colour);

// Mixes colour into dst by alpha / 255 (clamped to 0..255) at its centre and
// less and less away from it, by 1 - (r / reach)^2 at r from the centre, and
// nothing from reach, half the smaller side, out: a glow that leaves the
// edges as they were.
void DrawGlow(ImagePart dst, Pixel colour, int alpha);

}  // namespace quelder
