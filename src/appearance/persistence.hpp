// Saving and loading the design-time properties through a property bag.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void UserControl_InitProperties(Board& board);
void UserControl_ReadProperties(Board& board, PropertyBag& PropBag);
void UserControl_WriteProperties(Board& board, PropertyBag& PropBag);

}  // namespace quelder
