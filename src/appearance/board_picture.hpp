// Picture(Piece): reading and replacing the board's images.
//
// The property shares its name with the picture class: after this header, an
// unqualified Picture names the function, and the class is `class Picture`
// (PictureRef is unaffected).
#pragma once

#include "board/board_model.hpp"

namespace quelder {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
PictureRef Picture(const Board& board, std::int32_t Piece);
#pragma GCC diagnostic pop
// Run time only (383). Every other image keeps its number.
void SetPicture(Board& board, std::int32_t Piece, const PictureRef& New_Picture);

}  // namespace quelder
