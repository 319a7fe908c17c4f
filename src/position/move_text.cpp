#include "position/move_text.hpp"

#include <algorithm>

#include "host/control_error.hpp"

namespace quelder {

std::optional<Square> ParseSquareText(std::string_view text) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8') return std::nullopt;
    return Square{static_cast<std::int16_t>(text[0] - 'a' + 1), static_cast<std::int16_t>('8' - text[1] + 1)};
}

std::string SquareText(Square square) {
    return {static_cast<char>('a' + square.col - 1), static_cast<char>('8' - square.row + 1)};
}

std::optional<CoordinateMove> ParseMoveText(std::string_view text) {
    if (text.size() != 4 && text.size() != 5) return std::nullopt;
    const auto from = ParseSquareText(text.substr(0, 2)), to = ParseSquareText(text.substr(2, 2));
    if (!from || !to || *from == *to) return std::nullopt;
    CoordinateMove move{*from, *to};
    if (text.size() == 5) {
        const char piece = text[4];
        if (piece != 'q' && piece != 'r' && piece != 'b' && piece != 'n') return std::nullopt;
        move.promotion = piece;
    }
    return move;
}

std::string MoveText(const CoordinateMove& move) {
    std::string text = SquareText(move.from) + SquareText(move.to);
    if (move.promotion != '\0') text += move.promotion;
    return text;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find(' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

std::vector<CoordinateMove> ParseMoveList(std::string_view text) {
    if (text.size() > kMaxMoveListText) Raise(error::kInvalidPropertyValue, "The list of moves is too long");
    std::vector<CoordinateMove> moves;
    for (const std::string_view word : Words(text)) {
        const auto move = ParseMoveText(word);
        if (!move) Raise(error::kInvalidPropertyValue, "'" + std::string(word.substr(0, 16)) + "' is not a move");
        moves.push_back(*move);
    }
    return moves;
}

std::string FormatMoveList(const std::vector<CoordinateMove>& moves) {
    std::string text;
    for (const CoordinateMove& move : moves) {
        if (!text.empty()) text += ' ';
        text += MoveText(move);
    }
    return text;
}

}  // namespace quelder
