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

Square MoveFocus(const BoardLook& look, Square from, FocusKey key) {
    // Unflipped, the screen's right is column + 1 and its bottom row + 1.
    const std::int16_t step = look.flipped ? -1 : 1;
    const auto clamp = [](int v) { return static_cast<std::int16_t>(std::clamp(v, 1, 8)); };
    switch (key) {
        case FocusKey::Left: return {clamp(from.col - step), from.row};
        case FocusKey::Right: return {clamp(from.col + step), from.row};
        case FocusKey::Up: return {from.col, clamp(from.row - step)};
        case FocusKey::Down: return {from.col, clamp(from.row + step)};
        case FocusKey::Home: return {static_cast<std::int16_t>(look.flipped ? 8 : 1), from.row};
        case FocusKey::End: return {static_cast<std::int16_t>(look.flipped ? 1 : 8), from.row};
    }
    return from;
}

}  // namespace quelder
