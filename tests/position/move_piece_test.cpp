#include <functional>

#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::Changes;
using testing::Control;

TEST(MovePiece, MovesCapturesAndEmptiesWithoutRefreshOrNotification) {
    struct Case {
        const char* name;
        std::function<void(Board&)> setup;
        std::int16_t fromCol, fromRow, toCol, toRow;
        std::int32_t target;  // code read back from the target; the source reads 1
    };
    const auto start = [](Board& b) { NewGame(b); };
    const Case cases[] = {
        {"pawn two squares ahead", start, 5, 2, 5, 4, Bpawn},
        {"queen takes queen", start, 4, 1, 4, 8, BQueen},
        {"knight onto its own side's pawn", start, 2, 8, 4, 7, Wknight},
        {"empty square onto a king", start, 4, 4, 5, 8, None},
        {"code 14 moves but shows only wood", [](Board& b) { LetPiece(b, 3, 3, kDarkSquare); }, 3, 3, 3, 6,
         kDarkSquare},
        {"to a far corner", [](Board& b) { LetPiece(b, 1, 1, Wking); }, 1, 1, 8, 8, Wking},
    };
    for (const Case& k : cases) {
        Control c;
        k.setup(c.board);
        SelectSquare(c.board, 7, 7);
        const Control::Snapshot before = c.Take();
        MovePiece(c.board, k.fromCol, k.fromRow, k.toCol, k.toRow);

        EXPECT_EQ(Piece(c.board, k.toCol, k.toRow), k.target) << k.name << ": target";
        EXPECT_EQ(Piece(c.board, k.fromCol, k.fromRow), None) << k.name << ": source";
        // No refresh call, yet the target's piece is in its kept image and so
        // on screen at the view's next repaint.
        const Image surface = c.host.Compose();
        testing::ExpectShows(c, surface, k.toCol, k.toRow, k.target, std::string(k.name) + ": target");
        testing::ExpectShows(c, surface, k.fromCol, k.fromRow, None, std::string(k.name) + ": source");

        // Nothing but the two squares' codes and pictures changed.
        Control::Snapshot expected = before;
        const Control::Snapshot after = c.Take();
        for (std::int16_t sq : {SquareIndex(k.fromCol, k.fromRow), SquareIndex(k.toCol, k.toRow)}) {
            const auto i = static_cast<std::size_t>(sq);
            expected.pieces[i] = after.pieces[i];
            expected.kept[i - 1] = after.kept[i - 1];
        }
        EXPECT_EQ(Changes(expected, after), "") << k.name;
    }
}

TEST(MovePiece, OntoItselfEmptiesTheSquare) {
    Control c;
    NewGame(c.board);
    MovePiece(c.board, 4, 8, 4, 8);
    EXPECT_EQ(Piece(c.board, 4, 8), None);
    testing::ExpectShows(c, c.host.Compose(), 4, 8, None, "queen moved onto itself");
}

TEST(MovePiece, WorksAtDesignTimeAndWhileDisabled) {
    Control c;
    NewGame(c.board);
    c.host.SetUserMode(false);
    c.host.SetEnabled(false);
    MovePiece(c.board, 7, 8, 6, 6);
    EXPECT_EQ(Piece(c.board, 6, 6), Wknight);
    EXPECT_EQ(Piece(c.board, 7, 8), None);
    EXPECT_EQ(c.Kept(6, 6), testing::ExpectedSquare(6, 6, Wknight));
}

}  // namespace
}  // namespace quelder
