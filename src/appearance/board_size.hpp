// Resizing the board.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void ChangeBoardSize(Board& board, std::int32_t Dimension);

}  // namespace quelder
