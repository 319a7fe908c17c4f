#include <string>
#include <vector>

#include "appearance/board_picture.hpp"
#include "appearance/board_size.hpp"
#include "board/enabled.hpp"
#include "board/square_events.hpp"
#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;

// Every kind of user input on square view index, as the surface delivers it.
// Returns how many of the five reached the control.
int UserActsOn(Control& c, std::int16_t index) {
    int delivered = 0;
    delivered += c.host.DeliverInput([&] { Check_MouseDown(c.board, index, 1, 0, 100, 100); });
    delivered += c.host.DeliverInput([&] { Check_MouseMove(c.board, index, 1, 0, 120, 100); });
    delivered += c.host.DeliverInput([&] { Check_MouseUp(c.board, index, 1, 0, 120, 100); });
    delivered += c.host.DeliverInput([&] { Check_Click(c.board, index); });
    delivered += c.host.DeliverInput([&] { Check_DblClick(c.board, index); });
    return delivered;
}

TEST(Enabled, ReadsAndWritesTheSurfaceAndNotifiesEveryWrite) {
    Control c;
    EXPECT_EQ(Enabled(c.board), kTrue);
    struct Step { VBool write; VBool read; bool surface; };
    const Step steps[] = {
        {kTrue, kTrue, true},    // unchanged, still announced
        {kFalse, kFalse, false},
        {kFalse, kFalse, false},
        {1, kTrue, true},        // any non-zero Boolean is true
        {kFalse, kFalse, false},
        {-32768, kTrue, true},
    };
    std::vector<std::string> expected;
    for (const Step& s : steps) {
        LetEnabled(c.board, s.write);
        expected.emplace_back("Enabled");
        EXPECT_EQ(Enabled(c.board), s.read) << "after writing " << s.write;
        EXPECT_EQ(c.host.Enabled(), s.surface) << "after writing " << s.write;
        EXPECT_EQ(c.host.changed, expected) << "after writing " << s.write;
    }
}

TEST(Enabled, WhileFalseNoUserInputRaisesAnEvent) {
    Control c;
    LetEnabled(c.board, kFalse);
    for (std::int16_t k : {1, 8, 37, 64}) EXPECT_EQ(UserActsOn(c, k), 0) << "Check(" << k << ")";
    EXPECT_TRUE(c.host.events.empty()) << c.host.events.size() << " events while disabled";

    LetEnabled(c.board, kTrue);
    EXPECT_EQ(UserActsOn(c, 37), 5);
    EXPECT_EQ(c.host.events.size(), 5u);
}

TEST(Enabled, WhileFalseEveryHostCallStillWorks) {
    Control c;
    LetEnabled(c.board, kFalse);
    NewGame(c.board);
    LetPiece(c.board, 4, 4, WQueen);
    SelectSquare(c.board, 4, 4);
    MovePiece(c.board, 5, 7, 5, 5);
    const auto replacement = std::make_shared<PixelPicture>(Image(37, 37, MakePixel(1, 2, 3)));
    SetPicture(c.board, 6, replacement);
    ChangeBoardSize(c.board, 400);

    EXPECT_EQ(Piece(c.board, 4, 4), WQueen);
    EXPECT_EQ(IsSelected(c.board, 4, 4), kTrue);
    EXPECT_EQ(Piece(c.board, 5, 5), Wpawn);
    EXPECT_EQ(Piece(c.board, 5, 7), None);
    EXPECT_EQ(Picture(c.board, 6), replacement);
    EXPECT_EQ(c.host.View(64).Top(), 350.0f);
    EXPECT_EQ(Enabled(c.board), kFalse) << "no call switched the board on";
    EXPECT_TRUE(c.host.events.empty());
}

TEST(Teardown, UnloadsViews2To64InOrderAndNothingElse) {
    Control c;
    NewGame(c.board);
    c.host.changed.clear();
    const auto pieces = c.board.m_Pieces;
    const int refreshes = c.host.Refreshes(1);
    UserControl_Terminate(c.board);

    std::vector<std::int16_t> expected;
    for (std::int16_t k = 2; k <= 64; ++k) expected.push_back(k);
    EXPECT_EQ(c.host.unloads, expected);
    EXPECT_TRUE(c.host.CheckLoaded(1)) << "view 1 is the runtime's to remove";
    for (std::int16_t k = 2; k <= 64; ++k) EXPECT_FALSE(c.host.CheckLoaded(k)) << "Check(" << k << ")";
    EXPECT_TRUE(c.host.changed.empty()) << c.host.changed.size() << " notifications";
    EXPECT_TRUE(c.host.events.empty());
    EXPECT_EQ(c.board.m_Pieces, pieces);
    EXPECT_EQ(c.host.Refreshes(1), refreshes);
}

TEST(Teardown, AfterAConstructionThatFailedPartWayRemovesTheViewsThatExist) {
    for (std::int16_t failAt : {2, 9, 33, 64}) {
        MemoryHost host(testing::BoardImages());
        host.failLoadAt = failAt;
        Board board(host);
        EXPECT_THROW(UserControl_Initialize(board), ControlError) << "failing at " << failAt;

        EXPECT_NO_THROW(UserControl_Terminate(board)) << "failing at " << failAt;
        std::vector<std::int16_t> expected;
        for (std::int16_t k = 2; k < failAt; ++k) expected.push_back(k);
        EXPECT_EQ(host.unloads, expected) << "failing at " << failAt;
        for (std::int16_t k = 2; k <= 64; ++k) EXPECT_FALSE(host.CheckLoaded(k)) << "Check(" << k << ")";
    }
}

}  // namespace
}  // namespace quelder
