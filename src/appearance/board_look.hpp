// What the board class draws beyond the pieces: the side it is seen from,
// the coordinates along its edges, the marked squares and the arrows. The
// members that change it check their squares as the published members do
// and change nothing when they fail.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "board/board_model.hpp"
#include "drawing/pixels.hpp"

namespace quelder {

struct BoardArrow {
    Square from;
    Square to;
    Pixel colour;
    friend bool operator==(const BoardArrow&, const BoardArrow&) = default;
};

struct BoardLook {
    bool flipped = false;
    bool coordinates = false;
    std::array<std::optional<Pixel>, 65> marks{};  // by square index; 0 unused
    // In the order drawn. One arrow per pair of squares: at most 64 x 64.
    std::vector<BoardArrow> arrows;
    // The square whose piece the user has lifted (drawn without it); 0: none.
    std::int16_t lifted = 0;
    // The keyboard's focus square, and whether its frame shows (the window
    // has the focus).
    std::int16_t focus = SquareIndex(1, 8);
    bool focusShown = false;
};

// Marks a square with colour (a mark already there takes the new colour).
void MarkSquare(BoardLook& look, std::int16_t col, std::int16_t row, Pixel colour);
void UnMarkSquare(BoardLook& look, std::int16_t col, std::int16_t row);
void ClearMarks(BoardLook& look);
// Adds an arrow from one square's centre to another's, drawn above those
// already there; an arrow between the same squares is replaced and drawn
// last. An arrow from a square to itself shows nothing but is kept.
void DrawArrow(BoardLook& look, Square from, Square to, Pixel colour);
void ClearArrows(BoardLook& look);

// The labels of a square when coordinates show: the file letter ('a' for
// column 1) on the squares of the bottom row as the board is seen, the rank
// digit ('8' for row 1) on those of the left column; '\0' for none.
struct SquareLabels {
    char file = '\0';
    char rank = '\0';
    friend bool operator==(const SquareLabels&, const SquareLabels&) = default;
};
SquareLabels LabelsOf(const BoardLook& look, Square square);

// The keys that move a focus square, in the screen's directions.
enum class FocusKey { Left, Right, Up, Down, Home, End };
// The square the focus goes to from a square: one step the way the key
// points on the screen, as the board is seen (flipped, Left is column + 1),
// staying on the board; Home and End go to the ends of the screen's row.
Square MoveFocus(const BoardLook& look, Square from, FocusKey key);

}  // namespace quelder
