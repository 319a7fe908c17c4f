// Enabled: whether the user's actions reach the board.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

VBool Enabled(const Board& board);
void LetEnabled(Board& board, VBool New_Enabled);

}  // namespace quelder
