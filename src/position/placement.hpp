// The pieces of the whole board as text: the piece-placement field of FEN.
//
// Row 1 of the board is the first rank of the text and column 1 the first
// square of each rank (file a); ranks are separated by '/'. The W set is
// written in upper case and the B set in lower case, K Q R B N P for king,
// queen, rook, bishop, knight and pawn, and a digit 1..8 stands for that many
// empty squares. The board of NewGame, with the B set on rows 1 and 2, reads
// "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR".
//
// Messages number the ranks in the order of the text: rank 1 is the first
// listed, which is also the board row it fills.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "board/board_model.hpp"

namespace quelder {

// The codes of the 64 squares; element SquareIndex(col, row) - 1 holds the
// code on (col, row).
using SquareCodes = std::array<std::int32_t, 64>;

// Longer texts are refused before they are read.
constexpr std::size_t kMaxPlacementText = 128;

// The codes a placement gives: the text is the placement alone or a whole FEN
// record, whose fields after the first space are not read. Fails with 380 and
// a description of the first fault, such as "8 ranks expected, found 7",
// "rank 3 has 9 squares" or "unknown piece letter 'x' in rank 2"; the result
// is complete before anything is returned, so a caller changes nothing on
// failure.
SquareCodes ParsePlacement(std::string_view text);

// The placement of the codes; empty squares are code 1 (None). Fails with 380
// "column c, row r holds code n, which has no FEN letter" for the first square
// in square order holding anything but None and the twelve pieces (the dark
// square's image 14, say).
std::string FormatPlacement(std::span<const std::int32_t, 64> codes);

// The board's pieces as placement text (FormatPlacement's failures).
std::string Position(const Board& board);
// Puts the pieces of a placement on the board; only the squares whose code
// changes are painted, and the selection flags stay. Fails as ParsePlacement
// does with nothing changed, and with 382 at design time, as Piece does.
// The change is announced as the property "Position".
void LetPosition(Board& board, std::string_view text);

}  // namespace quelder
