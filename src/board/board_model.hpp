// The board's vocabulary and state: square addresses and indices, piece codes,
// square colours, the square check and painting a square from the board model.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/host_services.hpp"

namespace quelder {

// Piece codes; each is also the number of the piece's image in ImageList1.
enum PieceNum : std::int32_t {
    None = 1,
    Bpawn = 2,
    Brook = 3,
    Bknight = 4,
    Bbishop = 5,
    BQueen = 6,
    Bking = 7,
    Wpawn = 8,
    Wrook = 9,
    Wknight = 10,
    Wbishop = 11,
    WQueen = 12,
    Wking = 13,
};

// Image numbers of the two square backgrounds.
constexpr std::int16_t kLightSquare = 1;
constexpr std::int16_t kDarkSquare = 14;

// Automation Booleans.
using VBool = std::int16_t;
constexpr VBool kTrue = -1;
constexpr VBool kFalse = 0;

struct Square {
    std::int16_t col;
    std::int16_t row;
    friend bool operator==(const Square&, const Square&) = default;
};

constexpr bool IsValidSquare(std::int16_t col, std::int16_t row) {
    return row >= 1 && row <= 8 && col >= 1 && col <= 8;
}

// Fails with number and "Invalid column or row" unless col and row lie in
// 1..8. Compares before any arithmetic.
void CheckSquare(std::int16_t col, std::int16_t row, std::int32_t number = error::kInvalidSquare);

// (row - 1) * 8 + col, for a checked square.
constexpr std::int16_t SquareIndex(std::int16_t col, std::int16_t row) {
    return static_cast<std::int16_t>((row - 1) * 8 + col);
}

// The square of an index 1..64.
constexpr Square SquareOf(std::int16_t index) {
    return {static_cast<std::int16_t>((index - 1) % 8 + 1), static_cast<std::int16_t>((index - 1) / 8 + 1)};
}

// The background image of a square: light (1) when col + row is even, dark (14).
constexpr std::int16_t SquareColour(std::int16_t col, std::int16_t row) {
    return (col + row) % 2 == 0 ? kLightSquare : kDarkSquare;
}

// A square and what stands on it as a screen reader says it: "e2 white
// pawn", "d7 black queen", "e4 empty". Column 1 is file a and row 8 rank 1;
// the W set is white and the B set black; code 14 is "dark square".
std::string SquareName(std::int16_t col, std::int16_t row, std::int32_t code);

// Codes that painting from the board model treats as an empty square.
constexpr bool ShowsNoPiece(std::int32_t code) { return code == None || code == kDarkSquare; }

// The state of one control instance, and the host it draws through.
struct Board {
    explicit Board(HostServices& services) : host(services) {}
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    HostServices& host;
    std::array<std::int32_t, 65> m_Pieces{};  // element k: code on square k; 0 unused
    std::array<VBool, 65> m_Selected{};       // element k: selection flag of square k
    std::int16_t m_Piece = 0;
    VBool m_IsSelected = kFalse;
    PictureRef m_Picture;  // empty: no object
};

// Sets the square's background picture by its colour.
void SetSquareBackground(Board& board, std::int16_t col, std::int16_t row);
// Draws a piece image on a square view's kept image at (0, 0).
void DrawOnSquare(Board& board, std::int16_t index, std::int32_t image, DrawStyle style);
// Background, then the piece transparently unless the code is 1 or 14. No refresh.
void PaintSquare(Board& board, std::int16_t col, std::int16_t row);

}  // namespace quelder
