#include "position/selection.hpp"

namespace quelder {

VBool IsSelected(const Board& board, std::int16_t col, std::int16_t row) {
    CheckSquare(col, row);
    return board.m_Selected[static_cast<std::size_t>(SquareIndex(col, row))];
}

void SelectSquare(Board& board, std::int16_t col, std::int16_t row) {
    CheckSquare(col, row);
    const std::int16_t index = SquareIndex(col, row);
    const std::int32_t code = board.m_Pieces[static_cast<std::size_t>(index)];
    // Drawn over whatever the square shows now: an empty square gets the light
    // wood image highlighted, also when it is a dark square.
    DrawOnSquare(board, index, code, DrawStyle::Selected);
    board.host.Check(index).Refresh();
    board.m_Selected[static_cast<std::size_t>(index)] = kTrue;
}

void UnSelectSquare(Board& board, std::int16_t col, std::int16_t row) {
    CheckSquare(col, row);
    const std::int16_t index = SquareIndex(col, row);
    PaintSquare(board, col, row);
    board.host.Check(index).Refresh();
    board.m_Selected[static_cast<std::size_t>(index)] = kFalse;
}

}  // namespace quelder
