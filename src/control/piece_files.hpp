// A piece set read from image files: twelve files in one folder, one a piece,
// named wP wN wB wR wQ wK bP bN bB bR bQ bK with the extension .png (or
// .bmp), decoded by the system's Windows Imaging Component with their
// transparency. The files' bytes are kept; their pixels are decoded to draw
// the pieces at a square size, and let go once drawn (those read to check the
// files serve the first drawing).
#pragma once

#include <memory>
#include <string_view>

#include "render/sharp_squares.hpp"

namespace quelder::win32 {

// The largest picture a file may hold, in pixels along either side, and the
// largest file read.
constexpr int kMaxPieceFileSide = 4096;
constexpr long long kMaxPieceFileBytes = 16ll << 20;

// Reads and checks all twelve files of folder, or fails: 53 "File not found:
// <path>" for a file that is missing, 380 naming the file for one that cannot
// be read as a picture, is larger than kMaxPieceFileSide a side or than
// kMaxPieceFileBytes; 7 without memory.
std::shared_ptr<const PieceSet> ReadPieceSet(std::wstring_view folder);

}  // namespace quelder::win32
