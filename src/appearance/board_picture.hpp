// Picture(Piece): reading and replacing the board's images.
#pragma once

#include "board/board_model.hpp"

namespace quelder {

PictureRef Picture(const Board& board, std::int32_t Piece);
// Run time only (383). Every other image keeps its number.
void SetPicture(Board& board, std::int32_t Piece, const PictureRef& New_Picture);

}  // namespace quelder
