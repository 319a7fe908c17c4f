// Piece(col, row): putting a piece on a square and reading it back.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

// The code on the square; -2147220454 "Invalid column or row" for a bad square.
std::int32_t Piece(const Board& board, std::int16_t col, std::int16_t row);
// Stores New_Piece on the square and repaints it. Run time only (382).
void LetPiece(Board& board, std::int16_t col, std::int16_t row, std::int32_t New_Piece);

}  // namespace quelder
