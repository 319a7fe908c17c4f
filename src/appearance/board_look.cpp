#include "appearance/board_look.hpp"

#include <algorithm>

namespace quelder {

void MarkSquare(BoardLook& look, std::int16_t col, std::int16_t row, Pixel colour) {
    CheckSquare(col, row);
    look.marks[static_cast<std::size_t>(SquareIndex(col, row))] = colour;
}

void UnMarkSquare(BoardLook& look, std::int16_t col, std::int16_t row) {
    CheckSquare(col, row);
    look.marks[static_cast<std::size_t>(SquareIndex(col, row))].reset();
}

void ClearMarks(BoardLook& look) { look.marks.fill(std::nullopt); }

void DrawArrow(BoardLook& look, Square from, Square to, Pixel colour) {
    CheckSquare(from.col, from.row);
    CheckSquare(to.col, to.row);
    std::erase_if(look.arrows, [&](const BoardArrow& a) { return a.from == from && a.to == to; });
    look.arrows.push_back({from, to, colour});
}

void ClearArrows(BoardLook& look) { look.arrows.clear(); }

SquareLabels LabelsOf(const BoardLook& look, Square square) {
    if (!look.coordinates) return {};
    // Unflipped, row 8 is at the bottom and column 1 on the left.
    const std::int16_t bottomRow = look.flipped ? 1 : 8;
    const std::int16_t leftCol = look.flipped ? 8 : 1;
    SquareLabels labels;
    if (square.row == bottomRow) labels.file = static_cast<char>('a' + square.col - 1);
    if (square.col == leftCol) labels.rank = static_cast<char>('0' + 9 - square.row);
    return labels;
}

}  // namespace quelder
