#include "position/move_piece.hpp"

namespace quelder {

void MovePiece(Board& board, std::int16_t FromCol, std::int16_t FromRow, std::int16_t ToCol, std::int16_t ToRow) {
    CheckSquare(FromCol, FromRow);
    CheckSquare(ToCol, ToRow);
    const std::int16_t source = SquareIndex(FromCol, FromRow);
    const std::int16_t target = SquareIndex(ToCol, ToRow);

    // Target first, so a square moved onto itself ends empty.
    const std::int32_t moved = board.m_Pieces[static_cast<std::size_t>(source)];
    board.m_Pieces[static_cast<std::size_t>(target)] = moved;
    board.m_Pieces[static_cast<std::size_t>(source)] = None;

    SetSquareBackground(board, ToCol, ToRow);
    if (!ShowsNoPiece(moved)) DrawOnSquare(board, target, moved, DrawStyle::Transparent);
    SetSquareBackground(board, FromCol, FromRow);
    // No refresh: setting the pictures makes both views repaint from their
    // kept images, which hold the piece drawn on the target.
}

}  // namespace quelder
