#include <functional>

#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::BoardImage;
using testing::Control;
using testing::ExpectedSquare;
using testing::ExpectHighlighted;

int SelectedCount(const Control& c) {
    int n = 0;
    for (std::int16_t k = 1; k <= 64; ++k) n += IsSelected(c.board, SquareOf(k).col, SquareOf(k).row) == kTrue;
    return n;
}

TEST(Selection, FlagsAreTheHostsAloneAndWorkAtDesignTime) {
    Control c;
    c.host.SetUserMode(false);
    EXPECT_EQ(SelectedCount(c), 0) << "a new board has no selection";

    SelectSquare(c.board, 3, 2);
    SelectSquare(c.board, 6, 7);
    EXPECT_EQ(IsSelected(c.board, 3, 2), kTrue);
    EXPECT_EQ(IsSelected(c.board, 6, 7), kTrue) << "selecting one square unselects no other";
    EXPECT_EQ(SelectedCount(c), 2);

    SelectSquare(c.board, 3, 2);
    EXPECT_EQ(IsSelected(c.board, 3, 2), kTrue) << "selected twice";
    EXPECT_EQ(c.Refreshes(3, 2), 2) << "each selection refreshes";

    UnSelectSquare(c.board, 3, 2);
    EXPECT_EQ(IsSelected(c.board, 3, 2), kFalse);
    EXPECT_EQ(IsSelected(c.board, 6, 7), kTrue);

    UnSelectSquare(c.board, 1, 1);
    EXPECT_EQ(IsSelected(c.board, 1, 1), kFalse) << "never selected";
    EXPECT_EQ(c.Refreshes(1, 1), 1) << "unselecting always refreshes";
    EXPECT_EQ(c.Kept(1, 1), BoardImage(kLightSquare));
    EXPECT_EQ(SelectedCount(c), 1);
    EXPECT_TRUE(c.host.changed.empty()) << c.host.changed.size() << " notifications";
    EXPECT_EQ(c.board.m_Piece, 0);
}

TEST(Selection, HighlightIsDrawnOverTheSquareAndUnselectRepaintsFromTheModel) {
    struct Case { const char* name; std::int16_t col, row; std::int32_t code; };
    const Case cases[] = {
        {"empty light square", 1, 1, None},
        {"empty dark square shows highlighted light wood", 2, 1, None},
        {"red queen on dark wood", 4, 1, BQueen},
        {"cream king on dark wood", 5, 8, Wking},
        {"code 14 on light wood", 3, 1, kDarkSquare},
    };
    for (const Case& k : cases) {
        Control c;
        if (k.code != None) LetPiece(c.board, k.col, k.row, k.code);
        const Image plain = c.Kept(k.col, k.row);
        const int refreshes = c.Refreshes(k.col, k.row);

        SelectSquare(c.board, k.col, k.row);
        ExpectHighlighted(c.Kept(k.col, k.row), plain, BoardImage(k.code), k.name);
        EXPECT_EQ(testing::SquareOnSurface(c.host.Compose(), k.col, k.row), c.Kept(k.col, k.row)) << k.name;
        EXPECT_EQ(c.Refreshes(k.col, k.row), refreshes + 1) << k.name;
        EXPECT_EQ(Piece(c.board, k.col, k.row), k.code) << k.name << ": the model is untouched";

        // 1 and 14 both count as empty when the square is painted again.
        UnSelectSquare(c.board, k.col, k.row);
        EXPECT_EQ(c.Kept(k.col, k.row), ExpectedSquare(k.col, k.row, k.code)) << k.name << " unselected";
        EXPECT_EQ(c.Refreshes(k.col, k.row), refreshes + 2) << k.name;
        EXPECT_EQ(IsSelected(c.board, k.col, k.row), kFalse) << k.name;
        EXPECT_EQ(c.host.changed.size(), k.code == None ? 0u : 1u) << k.name << ": only the write notified";
    }
}

// Nothing is repainted first: where the image drawn is black, the square keeps
// what it showed, even when that no longer matches the image list.
TEST(Selection, HighlightGoesOverWhatTheSquareShows) {
    Control c;
    LetPiece(c.board, 3, 3, Bpawn);
    const Image pawnSquare = c.Kept(3, 3);
    c.host.ImageList1().Remove(Bpawn);
    c.host.ImageList1().Add(Bpawn, testing::BoardImages().at(Bking - 1));
    SelectSquare(c.board, 3, 3);
    ExpectHighlighted(c.Kept(3, 3), pawnSquare, BoardImage(Bking), "king image over the pawn");
}

// Every other member that sets a square's background drops the highlight
// but leaves the flag: the host must select or unselect again.
TEST(Selection, FlagOutlivesTheHighlightThatOtherMembersPaintOver) {
    struct Case {
        const char* name;
        std::function<void(Board&)> call;
        std::int16_t col, row;  // the selected square
        std::int32_t code;      // what it holds afterwards
    };
    const Case cases[] = {
        {"Piece write", [](Board& b) { LetPiece(b, 5, 2, Wknight); }, 5, 2, Wknight},
        {"Piece write of None", [](Board& b) { LetPiece(b, 5, 2, None); }, 5, 2, None},
        {"NewGame", [](Board& b) { NewGame(b); }, 5, 2, Bpawn},
        {"Clear", [](Board& b) { Clear(b); }, 5, 2, None},
        {"MovePiece from it", [](Board& b) { MovePiece(b, 5, 2, 5, 4); }, 5, 2, None},
        {"MovePiece onto it", [](Board& b) { MovePiece(b, 4, 2, 5, 2); }, 5, 2, Bpawn},
        {"MovePiece onto itself", [](Board& b) { MovePiece(b, 5, 2, 5, 2); }, 5, 2, None},
    };
    for (const Case& k : cases) {
        Control c;
        NewGame(c.board);
        SelectSquare(c.board, k.col, k.row);
        ASSERT_NE(c.Kept(k.col, k.row), ExpectedSquare(k.col, k.row, Bpawn)) << k.name << ": highlight drawn";
        k.call(c.board);
        EXPECT_EQ(c.Kept(k.col, k.row), ExpectedSquare(k.col, k.row, k.code)) << k.name << ": highlight left";
        EXPECT_EQ(IsSelected(c.board, k.col, k.row), kTrue) << k.name;
        EXPECT_EQ(SelectedCount(c), 1) << k.name;
    }
}

}  // namespace
}  // namespace quelder
