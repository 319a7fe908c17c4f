// What the board class draws beyond the pieces: the side it is seen from,
// the coordinates along its edges, the marked squares and the arrows. The
// members that change it check their squares as the published members do
// and change nothing when they fail.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
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

// A shape the user drew with the right button: an arrow from one square to
// another, or a circle on one square (to == from), in one of four brushes.
enum class Brush : std::uint8_t { Green, Red, Blue, Yellow };
struct UserShape {
    Brush brush = Brush::Green;
    Square from{};
    Square to{};
    friend bool operator==(const UserShape&, const UserShape&) = default;
};

// One piece the promotion chooser offers, on the square it is shown on.
struct ChooserItem {
    std::int16_t square = 0;
    std::int32_t piece = 0;
    friend bool operator==(const ChooserItem&, const ChooserItem&) = default;
};

// The flat squares' colours a board takes when a host sets only one of them:
// a pale and a mid brown, near the wood's own tones.
constexpr Pixel kDefaultFlatLight = MakePixel(0xF0, 0xD9, 0xB5);
constexpr Pixel kDefaultFlatDark = MakePixel(0xB5, 0x88, 0x63);

// The system's colours, taken when the user turns Windows' high contrast on:
// the windows' and the buttons' grounds, the text's and the highlight's.
struct SystemColours {
    Pixel window = 0;
    Pixel face = 0;
    Pixel text = 0;
    Pixel highlight = 0;
    friend bool operator==(const SystemColours&, const SystemColours&) = default;
};

struct BoardLook {
    bool flipped = false;
    // The squares in two flat colours (light, dark) instead of the wood.
    std::optional<std::pair<Pixel, Pixel>> flat;
    bool coordinates = false;
    // High contrast: the squares flat in the window's and the buttons'
    // colours whatever flat says, the pieces ringed in the text's colour,
    // labels in it, and the marks, the selection, the destinations, the last
    // move and the focus frame in the highlight. None: the board's own colours.
    std::optional<SystemColours> system;
    std::array<std::optional<Pixel>, 65> marks{};  // by square index; 0 unused
    // In the order drawn. One arrow per pair of squares: at most 64 x 64.
    std::vector<BoardArrow> arrows;
    // The square whose piece the user has lifted (drawn without it); 0: none.
    std::int16_t lifted = 0;
    // The squares whose pieces are on their way to them (an animation draws
    // them moving): drawn without, a bit for each (bit index - 1).
    std::uint64_t hidden = 0;
    // The square of a piece a click picked up: it stays on its square, which
    // is tinted while its destinations show.
    std::int16_t picked = 0;
    // The keyboard's focus square, and whether its frame shows (the window
    // has the focus).
    std::int16_t focus = SquareIndex(1, 8);
    bool focusShown = false;
    // Where the lifted piece may go, a bit for each square (bit index - 1):
    // an empty destination shows a dot, an occupied one a ring.
    std::uint64_t destinations = 0;
    // The last move's two squares, tinted; the square of a king in check,
    // with a red glow under its piece. 0: none.
    std::int16_t lastFrom = 0, lastTo = 0;
    std::int16_t check = 0;
    // The user's shapes in the order drawn: circles under the pieces, arrows
    // over them.
    std::vector<UserShape> shapes;
    // The promotion chooser while it is open: its pieces on their squares,
    // the one with the keyboard's focus (an index into chooser), and every
    // other square dimmed.
    std::vector<ChooserItem> chooser;
    int chooserFocus = 0;
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
