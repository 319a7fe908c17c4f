#include <iostream>

#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::BoardImage;
using testing::Control;
using testing::ExpectedSquare;

// The starting position, row by row from the top.
constexpr std::int32_t kStart[8][8] = {
    {Brook, Bknight, Bbishop, BQueen, Bking, Bbishop, Bknight, Brook},
    {Bpawn, Bpawn, Bpawn, Bpawn, Bpawn, Bpawn, Bpawn, Bpawn},
    {None, None, None, None, None, None, None, None},
    {None, None, None, None, None, None, None, None},
    {None, None, None, None, None, None, None, None},
    {None, None, None, None, None, None, None, None},
    {Wpawn, Wpawn, Wpawn, Wpawn, Wpawn, Wpawn, Wpawn, Wpawn},
    {Wrook, Wknight, Wbishop, WQueen, Wking, Wbishop, Wknight, Wrook},
};

std::int32_t StartCode(Square s) { return kStart[s.row - 1][s.col - 1]; }

// A board in some played state: pieces moved about, squares selected, a code
// 14 stored.
void Scramble(Control& c) {
    LetPiece(c.board, 4, 4, WQueen);
    LetPiece(c.board, 6, 5, kDarkSquare);
    LetPiece(c.board, 1, 1, Wpawn);
    SelectSquare(c.board, 2, 7);
    SelectSquare(c.board, 3, 3);
}

TEST(NewGame, SetsUpTheStartingPositionFromAnyBoard) {
    Control c;
    Scramble(c);
    c.host.SetUserMode(false);  // works while the host is designed, too
    const Control::Snapshot before = c.Take();
    NewGame(c.board);

    for (std::int16_t k = 1; k <= 64; ++k) {
        const Square s = SquareOf(k);
        EXPECT_EQ(Piece(c.board, s.col, s.row), StartCode(s)) << "(" << s.col << ", " << s.row << ")";
        EXPECT_EQ(c.Kept(s.col, s.row), ExpectedSquare(s.col, s.row, StartCode(s)))
            << "(" << s.col << ", " << s.row << ") picture";
    }
    const Control::Snapshot after = c.Take();
    EXPECT_EQ(after.selected, before.selected) << "selection flags untouched";
    EXPECT_EQ(after.piece, before.piece) << "m_Piece untouched";
    EXPECT_EQ(after.changes, before.changes) << "no notification";

    NewGame(c.board);
    const Control::Snapshot again = c.Take();
    EXPECT_EQ(again.pieces, after.pieces) << "a second NewGame changes nothing";
    EXPECT_EQ(again.kept, after.kept) << "a second NewGame changes nothing";
}

TEST(NewGame, ShowsRedPiecesAtTheTopAndCreamAtTheBottom) {
    Control c;
    NewGame(c.board);
    const Image surface = c.host.Compose();
    testing::ExpectShows(c, surface, 1, 1, Brook, "red rook on light wood");
    testing::ExpectShows(c, surface, 5, 8, Wking, "cream king on dark wood");
    for (std::int16_t col = 1; col <= 8; ++col) testing::ExpectShows(c, surface, col, 4, None, "plain wood");

    // The pieces really are drawn, in their colours.
    auto count = [](const Image& square, const Image& wood, auto colour) {
        int n = 0;
        for (int y = 0; y < wood.Height(); ++y)
            for (int x = 0; x < wood.Width(); ++x)
                if (square.At(x, y) != wood.At(x, y) && colour(square.At(x, y))) ++n;
        return n;
    };
    const int red = count(testing::SquareOnSurface(surface, 1, 1), BoardImage(kLightSquare),
                          [](Pixel p) { return RedOf(p) > GreenOf(p) + 60; });
    const int cream = count(testing::SquareOnSurface(surface, 5, 8), BoardImage(kDarkSquare),
                            [](Pixel p) { return RedOf(p) > 170 && GreenOf(p) > 140 && BlueOf(p) > 90; });
    EXPECT_GT(red, 100) << "red rook pixels at (1, 1)";
    EXPECT_GT(cream, 100) << "cream king pixels at (5, 8)";

    const std::string path = testing::SaveArtifact(surface, "new_game");
    std::cout << "starting position saved as " << path << "\n";
}

TEST(NewGame, PaintsInPassesAndRefreshesEachSquareOnceAtTheEnd) {
    Control c;
    Scramble(c);
    const Control::Snapshot before = c.Take();
    std::vector<std::int16_t> pictures, refreshes;
    std::vector<Image> keptAtFirstRefresh;
    for (std::int16_t k = 1; k <= 64; ++k) {
        c.host.View(k).onChanged = [&pictures, k](PixelSquareView&) { pictures.push_back(k); };
        c.host.View(k).onRefresh = [&, k](PixelSquareView&) {
            if (refreshes.empty()) keptAtFirstRefresh = c.Take().kept;
            refreshes.push_back(k);
        };
    }
    NewGame(c.board);

    std::vector<std::int16_t> byColumn, ascending;
    for (std::int16_t col = 1; col <= 8; ++col)
        for (std::int16_t row = 1; row <= 8; ++row) byColumn.push_back(SquareIndex(col, row));
    for (std::int16_t k = 1; k <= 64; ++k) ascending.push_back(k);
    EXPECT_EQ(pictures, byColumn) << "backgrounds are set column by column";
    EXPECT_EQ(refreshes, ascending) << "one refresh per square, in square order";
    EXPECT_EQ(keptAtFirstRefresh, c.Take().kept) << "every piece is drawn before the first refresh";
    for (std::size_t k = 0; k < 64; ++k)
        EXPECT_EQ(c.Take().refreshes[k] - before.refreshes[k], 1) << "square " << k + 1;
}

TEST(Clear, EmptiesTheBoardWithoutRefreshingOrTouchingFlags) {
    Control c;
    NewGame(c.board);
    Scramble(c);
    c.host.SetUserMode(false);
    const Control::Snapshot before = c.Take();
    Clear(c.board);

    for (std::int16_t k = 1; k <= 64; ++k) {
        const Square s = SquareOf(k);
        EXPECT_EQ(Piece(c.board, s.col, s.row), None) << "(" << s.col << ", " << s.row << ")";
        EXPECT_EQ(c.Kept(s.col, s.row), BoardImage(SquareColour(s.col, s.row)))
            << "(" << s.col << ", " << s.row << ") shows plain wood";
    }
    const Control::Snapshot after = c.Take();
    EXPECT_EQ(after.refreshes, before.refreshes) << "Clear makes no refresh call";
    EXPECT_EQ(after.selected, before.selected) << "selection flags untouched";
    EXPECT_EQ(after.piece, before.piece);
    EXPECT_EQ(after.changes, before.changes) << "no notification";

    // Clear gives the board of a new control; NewGame after it the starting
    // position.
    Control fresh;
    Clear(fresh.board);
    EXPECT_EQ(fresh.host.Compose(), Control().host.Compose()) << "Clear gives the new, empty board";
    NewGame(fresh.board);
    NewGame(c.board);
    EXPECT_EQ(fresh.Take().kept, c.Take().kept) << "Clear then NewGame";
    EXPECT_EQ(fresh.board.m_Pieces, c.board.m_Pieces) << "Clear then NewGame";
}

}  // namespace
}  // namespace quelder
