#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;
using testing::ExpectError;

TEST(SquareAddress, IndexColourAndBackAgain) {
    struct Case { std::int16_t col, row, index, colour; };
    const Case cases[] = {
        {1, 1, 1, kLightSquare}, {8, 1, 8, kDarkSquare}, {1, 2, 9, kDarkSquare},
        {8, 2, 16, kLightSquare}, {1, 3, 17, kLightSquare}, {1, 8, 57, kDarkSquare}, {8, 8, 64, kLightSquare},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SquareIndex(c.col, c.row), c.index) << "(" << c.col << ", " << c.row << ")";
        EXPECT_EQ(SquareColour(c.col, c.row), c.colour) << "(" << c.col << ", " << c.row << ")";
        const Square back = SquareOf(c.index);
        EXPECT_EQ(back, (Square{c.col, c.row})) << "index " << c.index << " gave (" << back.col << ", " << back.row << ")";
    }
    for (std::int16_t k = 1; k <= 64; ++k) {
        const Square s = SquareOf(k);
        EXPECT_EQ(SquareIndex(s.col, s.row), k) << "index " << k;
    }
}

TEST(SquareName, FileRankSetAndPiece) {
    struct Case { std::int16_t col, row; std::int32_t code; const char* name; };
    const Case cases[] = {
        {5, 7, Wpawn, "e2 white pawn"}, {4, 2, BQueen, "d7 black queen"}, {5, 5, None, "e4 empty"},
        {1, 8, Wrook, "a1 white rook"}, {8, 1, Bking, "h8 black king"}, {7, 1, Bknight, "g8 black knight"},
        {3, 8, Wbishop, "c1 white bishop"}, {5, 8, Wking, "e1 white king"}, {2, 3, kDarkSquare, "b6 dark square"},
        {6, 6, 0, "f3 empty"},
    };
    for (const Case& c : cases) EXPECT_EQ(SquareName(c.col, c.row, c.code), c.name) << "code " << c.code;
}

TEST(SquareCheck, RefusesEveryCoordinateOutsideOneToEight) {
    const std::int16_t bad[] = {0, 9, -1, -32768, 32767};
    for (std::int16_t v : bad) {
        for (auto [col, row] : {std::pair<std::int16_t, std::int16_t>{v, 1}, {1, v}, {v, v}}) {
            const std::string what = "(" + std::to_string(col) + ", " + std::to_string(row) + ")";
            ExpectError([&] { CheckSquare(col, row); }, -2147221503, "Invalid column or row", what);
            ExpectError([&] { CheckSquare(col, row, error::kInvalidSquareRead); }, -2147220454,
                        "Invalid column or row", what + " read");
        }
    }
    EXPECT_NO_THROW(CheckSquare(1, 8));
    EXPECT_NO_THROW(CheckSquare(8, 1));
}

TEST(PaintSquare, EmptyCodesShowPlainWoodAndAQueenShowsWoodAroundIt) {
    Control c;
    for (std::int32_t code : {1, 14}) {
        c.board.m_Pieces[SquareIndex(2, 1)] = code;
        PaintSquare(c.board, 2, 1);
        EXPECT_EQ(c.Kept(2, 1), testing::BoardImage(kDarkSquare)) << "code " << code;
    }

    c.board.m_Pieces[SquareIndex(3, 1)] = BQueen;
    PaintSquare(c.board, 3, 1);
    const Image& kept = c.Kept(3, 1);
    const Image& wood = testing::BoardImage(kLightSquare);
    const Image& queen = testing::BoardImage(BQueen);
    int woodPixels = 0, queenPixels = 0;
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 37; ++x) {
            const Pixel expected = queen.At(x, y) == kMaskColour ? wood.At(x, y) : queen.At(x, y);
            ASSERT_EQ(kept.At(x, y), expected) << "pixel (" << x << ", " << y << ")";
            (queen.At(x, y) == kMaskColour ? woodPixels : queenPixels)++;
        }
    EXPECT_GT(woodPixels, 200) << "wood visible around the queen";
    EXPECT_GT(queenPixels, 200) << "the queen itself";
    EXPECT_EQ(kept.At(0, 0), wood.At(0, 0)) << "corner shows wood";
    const Pixel centre = kept.At(18, 20);
    EXPECT_GT(RedOf(centre), GreenOf(centre) + 40) << "the queen is red: " << std::hex << centre;
    EXPECT_EQ(c.Refreshes(3, 1), 0) << "painting makes no refresh";
}

}  // namespace
}  // namespace quelder
