// Selecting squares: the highlight and the per-square flags.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

VBool IsSelected(const Board& board, std::int16_t col, std::int16_t row);
void SelectSquare(Board& board, std::int16_t col, std::int16_t row);
void UnSelectSquare(Board& board, std::int16_t col, std::int16_t row);

}  // namespace quelder
