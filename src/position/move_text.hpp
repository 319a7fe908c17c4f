// Moves and squares as engines and chess libraries write them: "e2e4",
// "e7e8q", "e1". Files a to h are columns 1 to 8; ranks 1 to 8 are rows 8 to
// 1, whichever side the board is seen from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_model.hpp"

namespace quelder {

struct CoordinateMove {
    Square from{};
    Square to{};
    char promotion = '\0';  // 'q', 'r', 'b' or 'n'; '\0' for none
    friend bool operator==(const CoordinateMove&, const CoordinateMove&) = default;
};

// Longer texts are refused before they are read: more than every move a
// position can have.
constexpr std::size_t kMaxMoveListText = 8192;

// "e1" as a square, or nothing when the text is not one.
std::optional<Square> ParseSquareText(std::string_view text);
std::string SquareText(Square square);
// "e2e4" or "e7e8q" as a move, or nothing.
std::optional<CoordinateMove> ParseMoveText(std::string_view text);
std::string MoveText(const CoordinateMove& move);

// Moves separated by spaces; empty text is no move. Fails with 380 naming the
// first bad word ("'e9e4' is not a move"), before anything is returned.
std::vector<CoordinateMove> ParseMoveList(std::string_view text);
std::string FormatMoveList(const std::vector<CoordinateMove>& moves);

// The words of text, separated by runs of spaces.
std::vector<std::string_view> Words(std::string_view text);

}  // namespace quelder
