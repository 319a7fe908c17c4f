// The control hosted by its ProgID in Wine's AtlAxWin container, as a host
// application puts it on a window: what it shows, what the user's real clicks
// raise in a C++ host's sink, a host that plays on it, and a larger board.
// Needs Quelder.ocx registered (the quelder_registered fixture).
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "board/board_model.hpp"
#include "control/control_window.hpp"
#include "control_test_support.hpp"
#include "support/board_fixture.hpp"
#include "quelder_event_sink.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr int kSquare = 37;

// A top-level window at (100, 100) of the screen with an AtlAxWin child of
// 296 x 296 at its corner, titled with the control's ProgID.
class AtlContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.hr)) << std::hex << com_.hr;
        const Atl& atl = TheAtl();
        ASSERT_TRUE(atl.ready) << "atl.dll or its AtlAxWinInit is missing";
        ASSERT_NE(top_.get(), nullptr) << GetLastError();
        host_.reset(CreateWindowExW(0, L"AtlAxWin", L"QuelderLib.Quelder", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                    0, win32::kNaturalSize, win32::kNaturalSize, top_.get(), nullptr,
                                    GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(host_) << "no AtlAxWin window, error " << GetLastError();
        ComPtr<IUnknown> control;
        ASSERT_EQ(atl.getControl(host_.get(), control.GetAddressOf()), S_OK)
            << "AtlAxWin made no control: is Quelder.ocx registered?";
        ASSERT_EQ(control.As(&board_), S_OK);
        ASSERT_EQ(control.As(&view_), S_OK);
        ComPtr<IOleWindow> window;
        ASSERT_EQ(control.As(&window), S_OK);
        ASSERT_EQ(window->GetWindow(&window_), S_OK) << "the control is not in-place active with a window";
        ASSERT_EQ(sink_.Connect(control.Get()), S_OK);
        mouse_.SetWindow(window_);
        SetForegroundWindow(top_.get());
        // The pointer off the board: moves over it left from before are not this test's.
        SetCursorPos(100 + 550, 100 + 550);
        Pump();
        sink_.events.clear();
    }
    void TearDown() override {
        sink_.Disconnect();
        view_.Reset();
        board_.Reset();
        host_.reset();
        top_.reset();
        Pump();
    }

    // A click on square (8, 8), waited for: whatever input came before has
    // been handled by then. The events that came, without moves.
    std::vector<SquareEvent> EventsUntilSentinel() {
        mouse_.Click(8 * kSquare - 5, 8 * kSquare - 5);
        PumpUntil([&] { return !sink_.events.empty() && sink_.events.back() == Clicked(8, 8); }, 3000);
        return RecordingSink::WithoutMoves(sink_.Take(0));
    }
    static std::vector<SquareEvent> SentinelOnly() {
        return {Down(8, 8, TwipsX(32), TwipsY(32)), Up(8, 8, TwipsX(32), TwipsY(32)), Clicked(8, 8)};
    }

    ComApartment com_;
    TopWindow top_{100, 100, 600, 600};
    handles::UniqueWindow host_;
    ComPtr<_Quelder> board_;
    ComPtr<IViewObject> view_;
    HWND window_ = nullptr;
    RecordingSink sink_;
    Mouse mouse_;
};

::testing::AssertionResult ShowsSquare(const Image& shot, int edge, std::int16_t col, std::int16_t row,
                                       std::int32_t code) {
    auto result = SameImage(Crop(shot, (col - 1) * edge, (row - 1) * edge, kSquare, kSquare),
                            ExpectedSquare(col, row, code));
    if (!result) result << " on square (" << col << ", " << row << ")";
    return result;
}

// ---- what it shows -------------------------------------------------------------------

TEST_F(AtlContainerTest, ShowsTheBoardInItsOwnChildWindowOfTheContainer) {
    EXPECT_EQ(GetParent(window_), host_.get());
    EXPECT_TRUE(IsWindowVisible(window_));
    const SIZE size = ClientSize(window_);
    EXPECT_EQ(size.cx, 296);
    EXPECT_EQ(size.cy, 296);

    ASSERT_EQ(board_->NewGame(), S_OK);
    Pump();
    const Image shot = Shot(window_);
    for (const auto& [col, row, code] :
         {std::tuple{1, 1, Brook}, std::tuple{2, 1, Bknight}, std::tuple{5, 1, Bking}, std::tuple{1, 2, Bpawn},
          std::tuple{1, 7, Wpawn}, std::tuple{4, 8, WQueen}, std::tuple{8, 8, Wrook}, std::tuple{1, 4, None},
          std::tuple{2, 4, None}, std::tuple{8, 4, None}})
        EXPECT_TRUE(ShowsSquare(shot, kSquare, static_cast<std::int16_t>(col), static_cast<std::int16_t>(row), code));
    // A red piece is no plain wood, nor the cream one of the same kind.
    EXPECT_FALSE(SameImage(Crop(shot, 0, 0, kSquare, kSquare), ExpectedSquare(1, 1, None)));
    EXPECT_FALSE(SameImage(Crop(shot, 0, 0, kSquare, kSquare), ExpectedSquare(1, 1, Wrook)));

    // The container's drawing of the control gives the same pixels.
    const Image drawn = Drawn(296, 296, [&](HDC dc) {
        const RECTL bounds{0, 0, 296, 296};
        EXPECT_EQ(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    });
    EXPECT_TRUE(SameImage(drawn, shot));
}

TEST_F(AtlContainerTest, AMovedPieceShowsAtTheNextRepaint) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    Pump();
    SHORT fromCol = 5, fromRow = 2, toCol = 5, toRow = 4;
    ASSERT_EQ(board_->MovePiece(&fromCol, &fromRow, &toCol, &toRow), S_OK);
    Pump();
    const Image shot = Shot(window_);
    EXPECT_TRUE(ShowsSquare(shot, kSquare, 5, 4, Bpawn));
    EXPECT_TRUE(ShowsSquare(shot, kSquare, 5, 2, None));
}

TEST_F(AtlContainerTest, DestroyingTheContainersWindowClosesTheControl) {
    host_.reset();
    Pump();
    EXPECT_FALSE(IsWindow(window_));
    ComPtr<IOleWindow> window;
    ASSERT_EQ(board_.As(&window), S_OK);
    HWND handle = nullptr;
    EXPECT_EQ(window->GetWindow(&handle), E_FAIL);
    // The object itself still works for whoever holds it.
    EXPECT_EQ(board_->NewGame(), S_OK);
}

TEST_F(AtlContainerTest, ALargerBoardResizesTheWindowAndSpacesTheSquares) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    LONG dimension = 400;
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    SIZE size = ClientSize(window_);
    EXPECT_EQ(size.cx, 400);
    EXPECT_EQ(size.cy, 400);
    ComPtr<IOleObject> object;
    ASSERT_EQ(board_.As(&object), S_OK);
    SIZEL extent{};
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    handles::ScreenDc screen;
    EXPECT_EQ(extent.cx, MulDiv(400, 2540, GetDeviceCaps(screen.get(), LOGPIXELSX)));

    // This container does not move its own window on OnPosRectChange: the
    // application gives it the size, and the container places the control.
    SetWindowPos(host_.get(), nullptr, 0, 0, 400, 400, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    size = ClientSize(window_);
    EXPECT_EQ(size.cx, 400);
    EXPECT_EQ(size.cy, 400);
    const Image shot = Shot(window_);
    const Pixel face = ButtonFace();
    for (const auto& [col, row, code] :
         {std::tuple{1, 1, Brook}, std::tuple{8, 8, Wrook}, std::tuple{3, 5, None}, std::tuple{5, 7, Wpawn}}) {
        EXPECT_TRUE(ShowsSquare(shot, 50, static_cast<std::int16_t>(col), static_cast<std::int16_t>(row), code));
        const int x = (col - 1) * 50, y = (row - 1) * 50;
        EXPECT_EQ(shot.At(x + 40, y + 10), face) << "right margin of " << col << ", " << row;
        EXPECT_EQ(shot.At(x + 10, y + 45), face) << "bottom margin of " << col << ", " << row;
    }
    // The squares take the mouse where they now are.
    mouse_.Click(60, 10);
    EXPECT_EQ(RecordingSink::WithoutMoves(sink_.Take(3)),
              (std::vector{Down(2, 1, TwipsX(10), TwipsY(10)), Up(2, 1, TwipsX(10), TwipsY(10)), Clicked(2, 1)}));
}

// ---- the user's mouse --------------------------------------------------------------------

TEST_F(AtlContainerTest, AClickRaisesMouseDownMouseUpAndClickOnItsSquareInTwips) {
    struct Case {
        int x, y;  // pixels of the control's window
        std::int16_t col, row;
    };
    for (const Case c : {Case{3, 4, 1, 1}, Case{7 * kSquare + 36, 20, 8, 1}, Case{10, kSquare, 1, 2},
                         Case{4 * kSquare + 18, 6 * kSquare + 30, 5, 7}, Case{7 * kSquare + 20, 7 * kSquare + 36, 8, 8}}) {
        mouse_.Click(c.x, c.y);
        const float x = TwipsX(c.x % kSquare), y = TwipsY(c.y % kSquare);
        EXPECT_EQ(RecordingSink::WithoutMoves(sink_.Take(3)),
                  (std::vector{Down(c.col, c.row, x, y), Up(c.col, c.row, x, y), Clicked(c.col, c.row)}))
            << "click at " << c.x << ", " << c.y;
    }
}

// The window's own tests take presses, double clicks and Enabled apart; here
// the same real input goes through the container's windows.
TEST_F(AtlContainerTest, PressesDoubleClicksAndEnabledWorkThroughTheContainer) {
    // A press keeps the mouse for its square, beyond the control too.
    mouse_.Press(40, 45);     // square (2, 2)
    mouse_.MoveTo(150, 100);  // over square (5, 3)
    mouse_.MoveTo(400, 420);  // beyond the control, over the application's window
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    const auto events = sink_.Take(2);
    EXPECT_EQ(RecordingSink::WithoutMoves(events),
              (std::vector{Down(2, 2, TwipsX(3), TwipsY(8)), Up(2, 2, TwipsX(400 - 37), TwipsY(420 - 37))}));
    for (const auto& e : events)
        EXPECT_EQ((Square{e.col, e.row}), (Square{2, 2})) << ::testing::PrintToString(e);

    // A double click raises DblClick in place of the second MouseDown.
    mouse_.Press(200, 200);  // square (6, 6) at 185, 185
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    Mouse::Send(MOUSEEVENTF_LEFTDOWN);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    const float x = TwipsX(15), y = TwipsY(15);
    EXPECT_EQ(RecordingSink::WithoutMoves(sink_.Take(5)),
              (std::vector{Down(6, 6, x, y), Up(6, 6, x, y), Clicked(6, 6), Double(6, 6), Up(6, 6, x, y)}));

    // Disabled through the property: no event, and the host's calls still work.
    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_FALSE(IsWindowEnabled(window_));
    mouse_.Click(50, 50);
    mouse_.MoveTo(60, 60);
    EXPECT_EQ(sink_.Take(0), std::vector<SquareEvent>{});
    EXPECT_EQ(board_->NewGame(), S_OK);
    ASSERT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_EQ(EventsUntilSentinel(), SentinelOnly());
}

// The road of a host that plays: a click selects the square clicked, the
// next one moves the selected piece there and clears the selection.
TEST_F(AtlContainerTest, AHostThatAnswersClicksMovesAPiece) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    std::optional<Square> selected;
    std::vector<HRESULT> answers;
    sink_.onEvent = [&](const SquareEvent& e) {
        if (e.kind != SquareEventKind::Click) return;
        SHORT col = e.col, row = e.row;
        if (!selected) {
            answers.push_back(board_->SelectSquare(&col, &row));
            selected = Square{e.col, e.row};
            return;
        }
        SHORT fromCol = selected->col, fromRow = selected->row;
        answers.push_back(board_->MovePiece(&fromCol, &fromRow, &col, &row));
        answers.push_back(board_->UnSelectSquare(&fromCol, &fromRow));
        selected.reset();
    };
    mouse_.Click(4 * kSquare + 10, 6 * kSquare + 10);  // (5, 7)
    sink_.Take(3);
    EXPECT_FALSE(SameImage(Crop(Shot(window_), 4 * kSquare, 6 * kSquare, kSquare, kSquare), ExpectedSquare(5, 7, Wpawn)))
        << "the selected pawn is drawn highlighted";
    mouse_.Click(4 * kSquare + 10, 4 * kSquare + 10);  // (5, 5)
    sink_.Take(3);
    EXPECT_EQ(answers, (std::vector<HRESULT>{S_OK, S_OK, S_OK}));

    const Image shot = Shot(window_);
    EXPECT_TRUE(ShowsSquare(shot, kSquare, 5, 5, Wpawn));
    EXPECT_TRUE(ShowsSquare(shot, kSquare, 5, 7, None));
    SHORT col = 5, row = 7;
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(board_->get_IsSelected(&col, &row, &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ::PieceNum piece = ::None;
    row = 5;
    ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, ::Wpawn);
}

TEST_F(AtlContainerTest, AHandlerMayCloseTheContainerDuringAnEvent) {
    int downs = 0;
    sink_.onEvent = [&](const SquareEvent& e) {
        if (e.kind != SquareEventKind::MouseDown) return;
        ++downs;
        // The host lets go of everything: the control's last reference goes
        // while its window is reporting the press.
        sink_.Disconnect();
        board_.Reset();
        view_.Reset();
        host_.reset();
    };
    mouse_.Click(50, 50);
    Pump(200);
    EXPECT_EQ(downs, 1);
    EXPECT_FALSE(IsWindow(window_));
    // The application lives on.
    mouse_.SetWindow(top_.get());
    mouse_.Click(500, 500);
    Pump();
}

// ---- resources ------------------------------------------------------------------------

TEST_F(AtlContainerTest, HostingAgainAndAgainLeavesNoWindowsOrGdiObjects) {
    const auto cycle = [&] {
        handles::UniqueWindow host(CreateWindowExW(0, L"AtlAxWin", L"QuelderLib.Quelder", WS_CHILD | WS_VISIBLE, 300,
                                                   0, 296, 296, top_.get(), nullptr, GetModuleHandleW(nullptr),
                                                   nullptr));
        ComPtr<IUnknown> control;
        ASSERT_EQ(TheAtl().getControl(host.get(), control.GetAddressOf()), S_OK);
        ComPtr<_Quelder> board;
        ASSERT_EQ(control.As(&board), S_OK);
        board->NewGame();
        SHORT col = 2, row = 2;
        board->SelectSquare(&col, &row);
        LONG dimension = 200;
        board->ChangeBoardSize(&dimension);
        Shot(FindWindowExW(host.get(), nullptr, nullptr, nullptr));
        ComPtr<IPersistStreamInit> persist;
        ASSERT_EQ(control.As(&persist), S_OK);
        ComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
        EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    };
    const auto windows = [&] {
        int count = 0;
        for (HWND child = GetWindow(top_.get(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            ++count;
        return count;
    };
    cycle();  // anything made once, the first time
    Pump();
    const int windowsBefore = windows();
    const long gdiBefore = GdiObjectCount();
    for (int k = 0; k < 30; ++k) cycle();
    Pump();
    EXPECT_EQ(windows(), windowsBefore);
    if (gdiBefore > 0) {
        const long gdiAfter = GdiObjectCount();
        EXPECT_LE(gdiAfter, gdiBefore) << "GDI objects before " << gdiBefore << ", after " << gdiAfter;
    }
}

}  // namespace
}  // namespace quelder::testing
