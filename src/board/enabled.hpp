// Enabled, and the control's teardown.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

VBool Enabled(const Board& board);
void LetEnabled(Board& board, VBool New_Enabled);
// Unloads square views 2..64; views that do not exist are passed over.
void UserControl_Terminate(Board& board);

}  // namespace quelder
