// Building a new control: the surface's size, the 64 square views in their
// grid, every square empty in its colour.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void UserControl_Initialize(Board& board);

}  // namespace quelder
