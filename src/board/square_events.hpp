// The square views' mouse reports, turned into the control's events.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

void Check_Click(Board& board, std::int16_t Index);
void Check_DblClick(Board& board, std::int16_t Index);
void Check_MouseDown(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y);
void Check_MouseMove(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y);
void Check_MouseUp(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y);

}  // namespace quelder
