#include <limits>

#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::BoardImage;
using testing::Changes;
using testing::Control;
using testing::ExpectError;

// What the writer paints: the background, then the code's image drawn
// transparently, code 14 included; nothing over the background for code 1.
Image Written(std::int16_t col, std::int16_t row, std::int32_t code) {
    Image square = BoardImage(SquareColour(col, row));
    if (code != None) DrawTransparent(square, BoardImage(code), 0, 0);
    return square;
}

std::string At(std::int16_t col, std::int16_t row) {
    return "(" + std::to_string(col) + ", " + std::to_string(row) + ")";
}

TEST(Piece, ReadsEmptyEverywhereOnANewBoardAlsoAtDesignTime) {
    Control c;
    c.host.SetUserMode(false);
    for (std::int16_t k = 1; k <= 64; ++k) {
        const Square s = SquareOf(k);
        EXPECT_EQ(Piece(c.board, s.col, s.row), None) << At(s.col, s.row);
    }
}

TEST(Piece, WriteStoresDrawsAndAnnouncesEveryCodeWithAnImage) {
    for (auto [col, row] : {std::pair<std::int16_t, std::int16_t>{1, 1}, {2, 1}, {8, 8}}) {
        for (std::int32_t code = 1; code <= 14; ++code) {
            const std::string what = At(col, row) + " = " + std::to_string(code);
            Control c;
            const Control::Snapshot before = c.Take();
            LetPiece(c.board, col, row, code);

            EXPECT_EQ(Piece(c.board, col, row), code) << what;
            EXPECT_EQ(c.board.m_Piece, code) << what;
            EXPECT_EQ(c.host.changed, std::vector<std::string>{"Piece"}) << what;
            EXPECT_EQ(c.Kept(col, row), Written(col, row, code)) << what;
            // Only a drawn piece is refreshed; code 1 shows its background.
            EXPECT_EQ(c.Refreshes(col, row), code == None ? 0 : 1) << what;

            // Nothing else changed: no other square, no flag.
            const Control::Snapshot after = c.Take();
            Control::Snapshot expected = before;
            const auto i = static_cast<std::size_t>(SquareIndex(col, row));
            expected.pieces[i] = after.pieces[i];
            expected.kept[i - 1] = after.kept[i - 1];
            expected.refreshes[i - 1] = after.refreshes[i - 1];
            expected.piece = after.piece;
            expected.changes = after.changes;
            EXPECT_EQ(Changes(expected, after), "") << what;
        }
    }
}

TEST(Piece, ReplacingEmptyingAndRewritingASquare) {
    Control c;
    LetPiece(c.board, 3, 3, Wking);
    EXPECT_EQ(c.Kept(3, 3), testing::ExpectedSquare(3, 3, Wking));
    LetPiece(c.board, 3, 3, Bknight);
    EXPECT_EQ(c.Kept(3, 3), testing::ExpectedSquare(3, 3, Bknight)) << "the king is gone";
    LetPiece(c.board, 3, 3, None);
    EXPECT_EQ(Piece(c.board, 3, 3), None);
    EXPECT_EQ(c.board.m_Piece, None);
    EXPECT_EQ(c.Kept(3, 3), BoardImage(kLightSquare)) << "plain wood after None";
    EXPECT_EQ(c.Refreshes(3, 3), 2) << "None adds no refresh";

    // The same code again repaints and announces again.
    const int pictures = c.host.Pictures(SquareIndex(4, 6));
    LetPiece(c.board, 4, 6, BQueen);
    LetPiece(c.board, 4, 6, BQueen);
    EXPECT_EQ(c.host.Pictures(SquareIndex(4, 6)) - pictures, 2) << "background set twice";
    EXPECT_EQ(c.Refreshes(4, 6), 2);
    EXPECT_EQ(c.Kept(4, 6), testing::ExpectedSquare(4, 6, BQueen));
    EXPECT_EQ(c.host.changed.size(), 5u) << "one \"Piece\" per write";
    for (const std::string& name : c.host.changed) EXPECT_EQ(name, "Piece");
}

TEST(Piece, DesignTimeRefusesWritesAfterTheSquareCheckAndBeforeTheValue) {
    Control c;
    NewGame(c.board);
    SelectSquare(c.board, 1, 1);
    c.host.SetUserMode(false);
    const std::string designText(StandardErrorText(error::kSetNotSupportedAtRuntime));
    struct Case { std::int16_t col, row; std::int32_t value, number; std::string text; };
    const Case cases[] = {
        {0, 1, Bpawn, -2147221503, "Invalid column or row"},
        {9, 9, 40000, -2147221503, "Invalid column or row"},
        {1, 1, Bpawn, 382, designText},
        {1, 1, None, 382, designText},
        {1, 1, 40000, 382, designText},
        {1, 1, 15, 382, designText},
    };
    const Control::Snapshot before = c.Take();
    for (const Case& k : cases) {
        const std::string what = At(k.col, k.row) + " = " + std::to_string(k.value) + " at design time";
        ExpectError([&] { LetPiece(c.board, k.col, k.row, k.value); }, k.number, k.text, what);
        EXPECT_EQ(Changes(before, c.Take()), "") << what;
    }
    EXPECT_FALSE(designText.empty());
    EXPECT_EQ(Piece(c.board, 1, 1), Brook) << "reading works at design time";

    c.host.SetUserMode(true);
    LetPiece(c.board, 1, 1, Wpawn);
    EXPECT_EQ(Piece(c.board, 1, 1), Wpawn) << "writing works again at run time";
}

TEST(Piece, ValuesBeyondSixteenBitsOverflowAndChangeNothing) {
    Control c;
    LetPiece(c.board, 5, 5, Wking);
    const Control::Snapshot before = c.Take();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    // 65539 would narrow to 3, a rook: it must fail rather than wrap.
    for (std::int32_t value : {32768, -32769, 65539, kMin, kMax}) {
        ExpectError([&] { LetPiece(c.board, 5, 5, value); }, 6, "Overflow", "value " + std::to_string(value));
        EXPECT_EQ(Changes(before, c.Take()), "") << "value " << value;
    }
    EXPECT_EQ(c.board.m_Piece, Wking);
}

// Such a code used to be stored and announced, with the square left blank,
// before the image lookup failed. Now it is refused while nothing has changed.
TEST(Piece, CodesWithoutAnImageAreRefusedBeforeAnyChange) {
    Control c;
    LetPiece(c.board, 5, 5, Wking);
    SelectSquare(c.board, 5, 5);
    const Control::Snapshot before = c.Take();
    for (std::int32_t value : {0, 15, -1, 255, 32767, -32768}) {
        ExpectError([&] { LetPiece(c.board, 5, 5, value); }, 35600, "Index out of bounds",
                    "value " + std::to_string(value));
        EXPECT_EQ(Changes(before, c.Take()), "") << "value " << value;
    }
    EXPECT_EQ(Piece(c.board, 5, 5), Wking);
    EXPECT_EQ(c.board.m_Piece, Wking);

    // Whatever the list holds is a valid code: a fifteenth image makes 15 one.
    c.host.ImageList1().Add(15, testing::BoardImages().at(Bpawn - 1));
    LetPiece(c.board, 5, 5, 15);
    EXPECT_EQ(Piece(c.board, 5, 5), 15);
    EXPECT_EQ(c.Kept(5, 5), Written(5, 5, Bpawn)) << "image 15 drawn";
    EXPECT_EQ(c.host.changed.size(), 2u);
}

}  // namespace
}  // namespace quelder
