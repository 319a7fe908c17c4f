// The control's board built and taken apart: the surface's size, the 64
// square views in their grid, every square empty in its colour; and the
// views removed again when the control goes.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void UserControl_Initialize(Board& board);
// Unloads square views 2..64; views that do not exist are passed over.
void UserControl_Terminate(Board& board);

}  // namespace quelder
