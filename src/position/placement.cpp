#include "position/placement.hpp"

#include <algorithm>
#include <cstdio>

namespace quelder {

namespace {

// The letters of codes 2..13 (Bpawn .. Wking), in code order.
constexpr std::string_view kLetters = "prnbqkPRNBQK";
constexpr int kRanks = 8;
constexpr int kFiles = 8;

[[noreturn]] void Invalid(const std::string& description) { Raise(error::kInvalidPropertyValue, description); }

std::string InRank(int rank) { return " in rank " + std::to_string(rank); }

// A character that is neither a piece letter nor a digit 1..8, named plainly.
[[noreturn]] void Unexpected(char c, int rank) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z'))
        Invalid(std::string("unknown piece letter '") + c + "'" + InRank(rank));
    if (byte == '0' || byte == '9') Invalid(std::string("digit ") + c + InRank(rank) + ", empty squares count 1 to 8");
    if (byte > ' ' && byte < 0x7F) Invalid(std::string("unexpected character '") + c + "'" + InRank(rank));
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byte));
    Invalid(std::string("unexpected byte ") + hex + InRank(rank));
}

// Reads one rank onto row rank of codes.
void ParseRank(std::string_view text, int rank, SquareCodes& codes) {
    if (text.empty()) Invalid("rank " + std::to_string(rank) + " is empty");
    int squares = 0;
    bool afterDigit = false;
    for (const char c : text) {
        if (c >= '1' && c <= '8') {
            if (afterDigit) Invalid("two digits in a row" + InRank(rank));
            afterDigit = true;
            for (int n = c - '0'; n > 0; --n, ++squares)
                if (squares < kFiles) codes[static_cast<std::size_t>((rank - 1) * kFiles + squares)] = None;
            continue;
        }
        const std::size_t letter = kLetters.find(c);
        if (letter == std::string_view::npos) Unexpected(c, rank);
        afterDigit = false;
        if (squares < kFiles)
            codes[static_cast<std::size_t>((rank - 1) * kFiles + squares)] = Bpawn + static_cast<std::int32_t>(letter);
        ++squares;
    }
    if (squares != kFiles) {
        const std::string count = std::to_string(squares) + (squares == 1 ? " square" : " squares");
        Invalid("rank " + std::to_string(rank) + " has " + count);
    }
}

}  // namespace

SquareCodes ParsePlacement(std::string_view text) {
    if (text.size() > kMaxPlacementText)
        Invalid("placement text longer than " + std::to_string(kMaxPlacementText) + " characters");
    const std::string_view field = text.substr(0, text.find(' '));
    if (field.empty()) Invalid("no placement before the first space");

    std::size_t ranks = 1;
    for (const char c : field) ranks += (c == '/');
    if (ranks != kRanks) Invalid("8 ranks expected, found " + std::to_string(ranks));

    SquareCodes codes{};
    std::size_t start = 0;
    for (int rank = 1; rank <= kRanks; ++rank) {
        const std::size_t end = std::min(field.find('/', start), field.size());
        ParseRank(field.substr(start, end - start), rank, codes);
        start = end + 1;
    }
    return codes;
}

std::string FormatPlacement(std::span<const std::int32_t, 64> codes) {
    std::string text;
    for (int row = 1; row <= kRanks; ++row) {
        if (row > 1) text += '/';
        int empty = 0;
        for (int col = 1; col <= kFiles; ++col) {
            const std::int32_t code = codes[static_cast<std::size_t>((row - 1) * kFiles + col - 1)];
            if (code == None) {
                ++empty;
                continue;
            }
            if (code < Bpawn || code > Wking)
                Invalid("column " + std::to_string(col) + ", row " + std::to_string(row) + " holds code " +
                        std::to_string(code) + ", which has no FEN letter");
            if (empty > 0) text += static_cast<char>('0' + empty);
            empty = 0;
            text += kLetters[static_cast<std::size_t>(code - Bpawn)];
        }
        if (empty > 0) text += static_cast<char>('0' + empty);
    }
    return text;
}

std::string Position(const Board& board) {
    return FormatPlacement(std::span<const std::int32_t, 64>(board.m_Pieces.data() + 1, 64));
}

void LetPosition(Board& board, std::string_view text) {
    if (!board.host.AmbientUserMode()) Raise(error::kSetNotSupportedAtRuntime);
    const SquareCodes codes = ParsePlacement(text);
    for (std::int16_t index = 1; index <= 64; ++index) {
        auto& stored = board.m_Pieces[static_cast<std::size_t>(index)];
        const std::int32_t code = codes[static_cast<std::size_t>(index - 1)];
        if (stored == code) continue;
        stored = code;
        const Square square = SquareOf(index);
        PaintSquare(board, square.col, square.row);
    }
    board.host.PropertyChanged("Position");
}

}  // namespace quelder
