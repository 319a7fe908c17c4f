// Moving whatever stands on one square to another.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void MovePiece(Board& board, std::int16_t FromCol, std::int16_t FromRow, std::int16_t ToCol, std::int16_t ToRow);

}  // namespace quelder
