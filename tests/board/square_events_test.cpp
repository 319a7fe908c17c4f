#include <string>
#include <vector>

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

std::string Describe(const SquareEvent& e) {
    return "event " + std::to_string(static_cast<int>(e.kind)) + " (" + std::to_string(e.col) + ", " +
           std::to_string(e.row) + ") button " + std::to_string(e.button) + " shift " + std::to_string(e.shift) +
           " at " + std::to_string(e.x) + ", " + std::to_string(e.y);
}

std::string Describe(const std::vector<SquareEvent>& events) {
    std::string out = std::to_string(events.size()) + " events";
    for (const SquareEvent& e : events) out += "; " + Describe(e);
    return out;
}

SquareEvent ClickAt(SquareEventKind kind, std::int16_t col, std::int16_t row) {
    SquareEvent e;
    e.kind = kind;
    e.col = col;
    e.row = row;
    return e;
}

TEST(SquareEvents, EveryHandlerNamesTheSquareOfItsView) {
    struct Case { std::int16_t index, col, row; };
    const Case cases[] = {
        {1, 1, 1}, {8, 8, 1}, {9, 1, 2}, {16, 8, 2}, {17, 1, 3}, {53, 5, 7}, {57, 1, 8}, {64, 8, 8},
    };
    for (const Case& k : cases) {
        Control c;
        Check_Click(c.board, k.index);
        Check_DblClick(c.board, k.index);
        Check_MouseDown(c.board, k.index, 1, 0, 10, 20);
        Check_MouseMove(c.board, k.index, 1, 0, 10, 20);
        Check_MouseUp(c.board, k.index, 1, 0, 10, 20);
        const std::vector<SquareEvent> expected{
            ClickAt(SquareEventKind::Click, k.col, k.row),
            ClickAt(SquareEventKind::DblClick, k.col, k.row),
            {SquareEventKind::MouseDown, k.col, k.row, 1, 0, 10, 20},
            {SquareEventKind::MouseMove, k.col, k.row, 1, 0, 10, 20},
            {SquareEventKind::MouseUp, k.col, k.row, 1, 0, 10, 20},
        };
        EXPECT_EQ(c.host.events, expected) << "Check(" << k.index << "): " << Describe(c.host.events);
    }
}

TEST(SquareEvents, EveryViewMapsBackToItsOwnSquare) {
    Control c;
    for (std::int16_t k = 1; k <= 64; ++k) Check_Click(c.board, k);
    ASSERT_EQ(c.host.events.size(), 64u);
    for (std::int16_t k = 1; k <= 64; ++k) {
        const SquareEvent& e = c.host.events[static_cast<std::size_t>(k - 1)];
        EXPECT_EQ(SquareIndex(e.col, e.row), k) << "Check(" << k << "): " << Describe(e);
    }
}

// X and Y are the view's own twips, relative to the view: passed on as they
// came, never turned into the board's pixels.
TEST(SquareEvents, MouseArgumentsArePassedOnUnchanged) {
    struct Case { std::int16_t index, button, shift; float x, y; };
    const Case cases[] = {
        {1, 1, 0, 0, 0},
        {1, 2, 1, 554.999f, 555},
        {64, 4, 7, 277.5f, 13.25f},
        {30, -1, -32768, -15, 1.0e6f},  // whatever the runtime reports
    };
    for (const Case& k : cases) {
        Control c;
        Check_MouseDown(c.board, k.index, k.button, k.shift, k.x, k.y);
        Check_MouseMove(c.board, k.index, k.button, k.shift, k.x, k.y);
        Check_MouseUp(c.board, k.index, k.button, k.shift, k.x, k.y);
        ASSERT_EQ(c.host.events.size(), 3u);
        for (const SquareEvent& e : c.host.events) {
            EXPECT_EQ(e.button, k.button) << Describe(e);
            EXPECT_EQ(e.shift, k.shift) << Describe(e);
            EXPECT_EQ(e.x, k.x) << Describe(e);
            EXPECT_EQ(e.y, k.y) << Describe(e);
        }
    }
}

TEST(SquareEvents, TheSamePointOfTwoSquaresDiffersOnlyInTheSquare) {
    Control c;
    Check_MouseDown(c.board, 10, 1, 0, 300, 45);
    Check_MouseDown(c.board, 11, 1, 0, 300, 45);
    const std::vector<SquareEvent> expected{{SquareEventKind::MouseDown, 2, 2, 1, 0, 300, 45},
                                            {SquareEventKind::MouseDown, 3, 2, 1, 0, 300, 45}};
    EXPECT_EQ(c.host.events, expected) << Describe(c.host.events);
}

TEST(SquareEvents, HandlersNeitherLookAtNorChangeTheBoard) {
    Control c;
    NewGame(c.board);
    SelectSquare(c.board, 5, 7);
    c.host.changed.clear();
    const Control::Snapshot before = c.Take();
    for (std::int16_t k = 1; k <= 64; ++k) {
        Check_Click(c.board, k);
        Check_DblClick(c.board, k);
        Check_MouseDown(c.board, k, 1, 0, 1, 1);
        Check_MouseMove(c.board, k, 0, 0, 2, 2);
        Check_MouseUp(c.board, k, 1, 0, 3, 3);
    }
    EXPECT_EQ(c.host.events.size(), 64u * 5) << "occupied, empty and selected squares alike";
    EXPECT_TRUE(c.Take() == before) << "a square handler changed the board";
    EXPECT_TRUE(c.host.changed.empty()) << c.host.changed.size() << " notifications";
}

// The host's handler runs inside the event and may call back into the
// control; what it does is done when the square handler returns.
TEST(SquareEvents, AHostHandlerCallingBackFinishesBeforeTheHandlerReturns) {
    Control c;
    NewGame(c.board);
    Square selected{0, 0};
    c.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind != SquareEventKind::Click) return;
        if (selected.col == 0) {
            SelectSquare(c.board, e.col, e.row);
            selected = {e.col, e.row};
        } else {
            MovePiece(c.board, selected.col, selected.row, e.col, e.row);
            UnSelectSquare(c.board, selected.col, selected.row);
            selected = {0, 0};
        }
    };

    Check_Click(c.board, 53);  // (5, 7), the white king's pawn
    EXPECT_EQ(IsSelected(c.board, 5, 7), kTrue);
    Check_Click(c.board, 37);  // (5, 5)
    EXPECT_EQ(Piece(c.board, 5, 5), Wpawn);
    EXPECT_EQ(Piece(c.board, 5, 7), None);
    EXPECT_EQ(IsSelected(c.board, 5, 7), kFalse);
    EXPECT_EQ(c.Kept(5, 5), testing::ExpectedSquare(5, 5, Wpawn));
    EXPECT_EQ(c.Kept(5, 7), testing::ExpectedSquare(5, 7, None));
}

TEST(SquareEvents, AHostHandlerMayResizeClearOrDisableTheBoard) {
    Control c;
    NewGame(c.board);
    c.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind == SquareEventKind::DblClick) Clear(c.board);
        if (e.kind == SquareEventKind::MouseUp) ChangeBoardSize(c.board, 400);
        if (e.kind == SquareEventKind::Click) LetEnabled(c.board, kFalse);
    };
    Check_DblClick(c.board, 1);
    EXPECT_EQ(Piece(c.board, 1, 1), None);
    Check_MouseUp(c.board, 64, 1, 0, 5, 5);
    EXPECT_EQ(c.host.View(64).Left(), 350.0f);
    EXPECT_EQ(c.host.View(64).Width(), 50.0f);

    EXPECT_TRUE(c.host.DeliverInput([&] { Check_Click(c.board, 2); }));
    EXPECT_FALSE(c.host.DeliverInput([&] { Check_Click(c.board, 3); })) << "disabled by the handler";
    EXPECT_EQ(c.host.events.size(), 3u) << Describe(c.host.events);
}

}  // namespace
}  // namespace quelder
