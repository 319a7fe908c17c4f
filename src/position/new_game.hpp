// The starting position and the empty board.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void NewGame(Board& board);
void Clear(Board& board);

}  // namespace quelder
