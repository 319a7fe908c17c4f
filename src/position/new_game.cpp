#include "position/new_game.hpp"

#include <array>

namespace quelder {

namespace {

struct Placement {
    std::int16_t index;
    PieceNum code;
};

// The starting position, in the order the pieces are drawn.
constexpr std::array<Placement, 8> kBlackBackRow{{
    {1, Brook}, {2, Bknight}, {3, Bbishop}, {4, BQueen}, {5, Bking}, {6, Bbishop}, {7, Bknight}, {8, Brook},
}};
constexpr std::array<Placement, 8> kBlackPawns{{
    {9, Bpawn}, {10, Bpawn}, {11, Bpawn}, {12, Bpawn}, {13, Bpawn}, {14, Bpawn}, {15, Bpawn}, {16, Bpawn},
}};
constexpr std::array<Placement, 8> kWhiteBackRow{{
    {64, Wrook}, {63, Wknight}, {62, Wbishop}, {60, WQueen}, {61, Wking}, {59, Wbishop}, {58, Wknight}, {57, Wrook},
}};
constexpr std::array<Placement, 8> kWhitePawns{{
    {49, Wpawn}, {50, Wpawn}, {51, Wpawn}, {52, Wpawn}, {53, Wpawn}, {54, Wpawn}, {55, Wpawn}, {56, Wpawn},
}};

void Place(Board& board, const std::array<Placement, 8>& group) {
    for (const Placement& p : group) {
        DrawOnSquare(board, p.index, p.code, DrawStyle::Transparent);
        board.m_Pieces[static_cast<std::size_t>(p.index)] = p.code;
    }
}

}  // namespace

void NewGame(Board& board) {
    for (std::int16_t col = 1; col <= 8; ++col) {
        for (std::int16_t row = 1; row <= 8; ++row) {
            SetSquareBackground(board, col, row);
            board.m_Pieces[static_cast<std::size_t>(SquareIndex(col, row))] = None;
        }
    }
    Place(board, kBlackBackRow);
    Place(board, kBlackPawns);
    Place(board, kWhiteBackRow);
    Place(board, kWhitePawns);
    // The pieces went onto the kept images only; show all squares at once.
    for (std::int16_t index = 1; index <= 64; ++index) board.host.Check(index).Refresh();
}

void Clear(Board& board) {
    ImageList& images = board.host.ImageList1();
    std::int16_t colour = kLightSquare;
    auto flip = [&colour] { colour = (colour == kDarkSquare) ? kLightSquare : kDarkSquare; };
    for (std::int16_t index = 1; index <= 64; ++index) {
        board.host.Check(index).SetPicture(images.Picture(colour));
        board.m_Pieces[static_cast<std::size_t>(index)] = None;
        flip();
        if (index % 8 == 0) flip();  // the next row starts with the colour this one ended on
    }
}

}  // namespace quelder
