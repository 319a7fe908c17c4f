// The control's window on a container's window, over a board on the in-memory
// host: what it paints, what Render draws, and what real mouse input (through
// SendInput) makes of the squares.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <tuple>
#include <utility>
#include <vector>

#include "appearance/board_size.hpp"
#include "board/square_events.hpp"
#include "control/control_window.hpp"
#include "handles/win_handles.hpp"
#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/selection.hpp"
#include "support/board_fixture.hpp"
#include "support/update_region.hpp"
#include "support/window_test_support.hpp"

namespace {

using namespace quelder;
using quelder::testing::Control;
using quelder::testing::Crop;
using quelder::testing::GdiObjectCount;
using quelder::testing::InvalidArea;
using quelder::testing::ExpectedSquare;
using quelder::testing::Mouse;
using quelder::testing::Pump;
using quelder::testing::PumpUntil;
using quelder::testing::SameImage;
using quelder::testing::SendKey;
using quelder::testing::Shot;
using quelder::testing::TwipsX;
using quelder::testing::TwipsY;
using win32::ControlWindow;

SquareEvent Down(std::int16_t col, std::int16_t row, float x, float y, std::int16_t button = 1, std::int16_t shift = 0) {
    return {SquareEventKind::MouseDown, col, row, button, shift, x, y};
}
SquareEvent Up(std::int16_t col, std::int16_t row, float x, float y, std::int16_t button = 1, std::int16_t shift = 0) {
    return {SquareEventKind::MouseUp, col, row, button, shift, x, y};
}
SquareEvent Move(std::int16_t col, std::int16_t row, float x, float y, std::int16_t button) {
    return {SquareEventKind::MouseMove, col, row, button, 0, x, y};
}
SquareEvent Clicked(std::int16_t col, std::int16_t row) { return {SquareEventKind::Click, col, row}; }
SquareEvent Double(std::int16_t col, std::int16_t row) { return {SquareEventKind::DblClick, col, row}; }

std::vector<SquareEvent> WithoutMoves(const std::vector<SquareEvent>& events) {
    std::vector<SquareEvent> kept;
    for (const auto& e : events)
        if (e.kind != SquareEventKind::MouseMove) kept.push_back(e);
    return kept;
}

// What the control object does with the window's reports: it calls the
// board's square handlers.
struct BoardInput final : win32::SquareInput {
    explicit BoardInput(Board& b) : board(b) {}
    void MouseDown(std::int16_t i, std::int16_t b, std::int16_t s, float x, float y) override { Check_MouseDown(board, i, b, s, x, y); }
    void MouseMove(std::int16_t i, std::int16_t b, std::int16_t s, float x, float y) override { Check_MouseMove(board, i, b, s, x, y); }
    void MouseUp(std::int16_t i, std::int16_t b, std::int16_t s, float x, float y) override { Check_MouseUp(board, i, b, s, x, y); }
    void Click(std::int16_t i) override { Check_Click(board, i); }
    void DblClick(std::int16_t i) override { Check_DblClick(board, i); }
    Board& board;
};

// What Render draws into a width x height bitmap.
Image Rendered(const ControlWindow& window, int width, int height) {
    return quelder::testing::Drawn(width, height, [&](HDC dc) { window.Render(dc, RECT{0, 0, width, height}); });
}

// The mean colour of a part of an image.
Pixel Mean(const Image& image, int x, int y, int width, int height) {
    unsigned r = 0, g = 0, b = 0;
    for (int j = y; j < y + height; ++j)
        for (int i = x; i < x + width; ++i) {
            r += RedOf(image.At(i, j)), g += GreenOf(image.At(i, j)), b += BlueOf(image.At(i, j));
        }
    const unsigned n = static_cast<unsigned>(width * height);
    return MakePixel(static_cast<std::uint8_t>(r / n), static_cast<std::uint8_t>(g / n), static_cast<std::uint8_t>(b / n));
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// A container window at (100, 100) of the screen holding the control's
// window at (0, 0) of its client area, in the foreground.
class ControlWindowTest : public ::testing::Test {
protected:
    static constexpr int kLeft = 100, kTop = 100;

    void SetUp() override {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ContainerProc;
        wc.hInstance = module;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
        wc.lpszClassName = L"ControlWindowTestContainer";
        RegisterClassW(&wc);
        container.reset(CreateWindowExW(0, wc.lpszClassName, L"container", WS_POPUP | WS_VISIBLE, kLeft, kTop, 500,
                                        500, nullptr, nullptr, module, nullptr));
        ASSERT_TRUE(container) << GetLastError();
        window = std::make_unique<ControlWindow>(module, control.host, input);
        ShowViewsOnTheWindow();
        ASSERT_NE(window->Create(container.get(), RECT{0, 0, win32::kNaturalSize, win32::kNaturalSize}), nullptr)
            << GetLastError();
        mouse.SetWindow(container.get());
        SetForegroundWindow(container.get());
        UpdateWindow(container.get());
        Pump();
        control.host.events.clear();
    }

    void TearDown() override {
        window.reset();
        container.reset();
        Pump();
    }

    // As the control object's host does: the views' changes and refreshes
    // reach the window the fixture holds at the time, if any.
    void ShowViewsOnTheWindow() {
        for (std::int16_t k = 1; k <= kSquareCount; ++k) {
            PixelSquareView& view = control.host.View(k);
            view.onChanged = [this](PixelSquareView& v) {
                if (window) window->ViewChanged(v);
            };
            view.onRefresh = [this](PixelSquareView& v) {
                if (window) window->ViewRefreshed(v);
            };
        }
    }

    // Waits until n events (not counting moves) came, and a little longer.
    std::vector<SquareEvent> Events(std::size_t n) {
        PumpUntil([&] { return WithoutMoves(control.host.events).size() >= n; }, 3000);
        Pump(100);
        return std::exchange(control.host.events, {});
    }
    // Clicks on square (8, 8) and waits for its Click: whatever input came
    // before has been handled by then.
    std::vector<SquareEvent> EventsUntilSentinel() {
        mouse.Click(8 * 37 - 5, 8 * 37 - 5);
        const auto all = Events(0);
        PumpUntil([&] { return !control.host.events.empty() && control.host.events.back() == Clicked(8, 8); }, 3000);
        auto events = WithoutMoves(all);
        for (const auto& e : WithoutMoves(std::exchange(control.host.events, {}))) events.push_back(e);
        EXPECT_TRUE(!events.empty() && events.back() == Clicked(8, 8)) << "the sentinel click did not arrive";
        return events;
    }
    std::vector<SquareEvent> SentinelOnly() const {
        return {Down(8, 8, TwipsX(32), TwipsY(32)), Up(8, 8, TwipsX(32), TwipsY(32)), Clicked(8, 8)};
    }

    Control control;
    BoardInput input{control.board};
    handles::UniqueWindow container;
    std::unique_ptr<ControlWindow> window;
    // Over the container's client area, where the control's window sits at (0, 0).
    quelder::testing::Mouse mouse;
};

// ---- painting ------------------------------------------------------------------

TEST_F(ControlWindowTest, PaintsTheBoardFromTheKeptImages) {
    NewGame(control.board);
    Pump();
    const Image shot = Shot(window->Handle());
    ASSERT_EQ(shot.Width(), 296);
    ASSERT_EQ(shot.Height(), 296);
    struct Case {
        std::int16_t col, row;
        std::int32_t code;
    };
    for (const Case c : {Case{1, 1, Brook}, Case{2, 1, Bknight}, Case{1, 2, Bpawn}, Case{1, 8, Wrook},
                         Case{5, 8, Wking}, Case{1, 4, None}, Case{2, 4, None}, Case{8, 4, None}})
        EXPECT_TRUE(SameImage(Crop(shot, (c.col - 1) * 37, (c.row - 1) * 37, 37, 37), ExpectedSquare(c.col, c.row, c.code)))
            << "square (" << c.col << ", " << c.row << ")";
    EXPECT_TRUE(SameImage(shot, control.host.Compose()));
}

TEST_F(ControlWindowTest, AMovedPieceShowsAtTheNextRepaintWithoutRefresh) {
    NewGame(control.board);
    Pump();
    const int refreshes = control.host.Refreshes(SquareIndex(5, 4));
    MovePiece(control.board, 5, 2, 5, 4);
    EXPECT_EQ(control.host.Refreshes(SquareIndex(5, 4)), refreshes);
    Pump();
    const Image shot = Shot(window->Handle());
    EXPECT_TRUE(SameImage(Crop(shot, 4 * 37, 3 * 37, 37, 37), ExpectedSquare(5, 4, Bpawn)));
    EXPECT_TRUE(SameImage(Crop(shot, 4 * 37, 1 * 37, 37, 37), ExpectedSquare(5, 2, None)));
}

TEST_F(ControlWindowTest, ARefreshedSquareShowsAtOnce) {
    NewGame(control.board);
    Pump();
    SelectSquare(control.board, 3, 7);  // draws the piece highlighted and refreshes, no message loop after
    EXPECT_TRUE(SameImage(Crop(Shot(window->Handle()), 2 * 37, 6 * 37, 37, 37),
                          control.host.View(SquareIndex(3, 7)).Kept()));
    EXPECT_FALSE(SameImage(control.host.View(SquareIndex(3, 7)).Kept(), ExpectedSquare(3, 7, Wpawn)));
}

TEST_F(ControlWindowTest, AtABatchsEndARefreshedSquareShowsWhereverAnyOfTheWindowShows) {
    NewGame(control.board);
    Pump();
    // The window in the container, or in a window of the container's at
    // inner, at `at` of its parent; the square lies in the part that shows,
    // when any does. A window of which nothing shows is drawn when it shows.
    const HINSTANCE module = GetModuleHandleW(nullptr);
    struct Case {
        const char* what;
        RECT inner;  // empty: none
        POINT at;
        std::int16_t col, row;
        bool shows;
    };
    for (const Case& c : {Case{"at the container's corner", {}, {0, 0}, 3, 7, true},
                          Case{"partly beyond the container's corner", {}, {-200, -150}, 8, 8, true},
                          Case{"partly beyond an inner window's corner", {300, 250, 450, 400}, {-100, -100}, 5, 5, true},
                          Case{"beyond the container's right edge", {}, {600, 0}, 2, 2, false}}) {
        handles::UniqueWindow inner;
        if (!IsRectEmpty(&c.inner))
            inner.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, c.inner.left,
                                        c.inner.top, c.inner.right - c.inner.left, c.inner.bottom - c.inner.top,
                                        container.get(), nullptr, module, nullptr));
        const HWND parent = inner ? inner.get() : container.get();
        ASSERT_EQ(window->Create(parent, RECT{c.at.x, c.at.y, c.at.x + 296, c.at.y + 296}), window->Handle());
        Pump();
        const Image before = control.host.View(SquareIndex(c.col, c.row)).Kept();
        // As the control object calls it: drawn highlighted and refreshed in
        // a batch, shown when the batch ends; no message loop after.
        window->BeginBatch();
        SelectSquare(control.board, c.col, c.row);
        window->EndBatch();
        const Image kept = control.host.View(SquareIndex(c.col, c.row)).Kept();
        EXPECT_FALSE(SameImage(kept, before)) << c.what << ": selecting changed nothing";
        const int x = (c.col - 1) * 37, y = (c.row - 1) * 37;
        if (c.shows) {
            EXPECT_TRUE(SameImage(Crop(Shot(window->Handle()), x, y, 37, 37), kept)) << c.what;
        }
        window->Create(container.get(), RECT{0, 0, 296, 296});
        inner.reset();
        Pump();
        EXPECT_TRUE(SameImage(Crop(Shot(window->Handle()), x, y, 37, 37), kept)) << c.what << ", back in place";
        UnSelectSquare(control.board, c.col, c.row);
    }
}

TEST_F(ControlWindowTest, ABatchShowsEveryRefreshedSquareWhenItEnds) {
    Pump();
    window->BeginBatch();
    NewGame(control.board);
    // Nothing reached the window yet: the start of a game is not on screen.
    EXPECT_FALSE(SameImage(Shot(window->Handle()), control.host.Compose()));
    EXPECT_TRUE(window->EndBatch()) << "the batch saw no change";
    // Shown at once, without a message loop, and nothing is left to paint.
    EXPECT_TRUE(SameImage(Shot(window->Handle()), control.host.Compose()));
    EXPECT_EQ(InvalidArea(window->Handle()), 0);
    window->BeginBatch();
    EXPECT_FALSE(window->EndBatch()) << "an empty batch reported a change";
}

TEST_F(ControlWindowTest, AMoveRepaintsOnlyItsTwoSquares) {
    NewGame(control.board);
    Pump();
    struct Case {
        std::int16_t fromCol, fromRow, toCol, toRow;
    };
    for (const Case c : {Case{5, 7, 5, 5}, Case{1, 1, 8, 8}, Case{2, 8, 3, 6}}) {
        window->BeginBatch();
        MovePiece(control.board, c.fromCol, c.fromRow, c.toCol, c.toRow);
        window->EndBatch();
        EXPECT_EQ(InvalidArea(window->Handle()), 2 * 37 * 37)
            << "move (" << c.fromCol << ", " << c.fromRow << ") to (" << c.toCol << ", " << c.toRow << ")";
        Pump();
        EXPECT_TRUE(SameImage(Shot(window->Handle()), control.host.Compose()))
            << "move (" << c.fromCol << ", " << c.fromRow << ") to (" << c.toCol << ", " << c.toRow << ")";
    }
}

TEST_F(ControlWindowTest, RenderDrawsWhatTheWindowShows) {
    NewGame(control.board);
    SelectSquare(control.board, 4, 4);
    Pump();
    EXPECT_TRUE(SameImage(Rendered(*window, 296, 296), Shot(window->Handle())));
    // Stretched to twice the size: a part of a square looks as it did, on
    // average, at twice its place.
    const Image twice = Rendered(*window, 592, 592);
    for (const auto& [col, row] : {std::pair{1, 1}, std::pair{4, 4}, std::pair{8, 8}, std::pair{5, 8}}) {
        const Pixel expected = Mean(control.host.View(SquareIndex(col, row)).Kept(), 8, 16, 16, 16);
        const Pixel got = Mean(twice, (col - 1) * 74 + 16, (row - 1) * 74 + 32, 32, 32);
        for (const auto channel : {RedOf, GreenOf, BlueOf})
            EXPECT_NEAR(channel(got), channel(expected), 6)
                << "square (" << col << ", " << row << "): " << std::hex << got << ", expected " << expected;
    }
    // Without a window it draws the same.
    const Image before = Rendered(*window, 296, 296);
    window->Destroy();
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_TRUE(SameImage(Rendered(*window, 296, 296), before));
    // A surface too large to compose whole is sampled: each of 500 x 500
    // pixels shows the surface's pixel at ten times its place.
    window->SetSize(5000, 5000);
    const Image sampled = Rendered(*window, 500, 500);
    EXPECT_EQ(sampled.At(2, 2), control.host.View(1).Kept().At(20, 20));
    EXPECT_EQ(sampled.At(4, 3), control.host.View(2).Kept().At(40 - 37, 30));
    EXPECT_EQ(sampled.At(25, 28), control.host.View(SquareIndex(7, 8)).Kept().At(250 - 222, 280 - 259));
    EXPECT_EQ(sampled.At(250, 250), kButtonFace);
}

TEST_F(ControlWindowTest, ALargerBoardLeavesThePicturesUnscaledAtEachSquaresCorner) {
    NewGame(control.board);
    ChangeBoardSize(control.board, 400);
    window->SetSize(400, 400);  // the owner follows the surface's size
    Pump();
    const Image shot = Shot(window->Handle());
    ASSERT_EQ(shot.Width(), 400);
    for (const auto& [col, row, code] : {std::tuple{1, 1, Brook}, std::tuple{8, 8, Wrook}, std::tuple{3, 5, None}}) {
        const int x = (col - 1) * 50, y = (row - 1) * 50;
        EXPECT_TRUE(SameImage(Crop(shot, x, y, 37, 37), ExpectedSquare(col, row, code))) << col << ", " << row;
        EXPECT_EQ(shot.At(x + 40, y + 10), kButtonFace) << "right margin of " << col << ", " << row;
        EXPECT_EQ(shot.At(x + 10, y + 45), kButtonFace) << "bottom margin of " << col << ", " << row;
    }
    // The squares take the mouse where they now are.
    mouse.Click(60, 10);
    EXPECT_EQ(WithoutMoves(Events(3)),
              (std::vector{Down(2, 1, TwipsX(10), TwipsY(10)), Up(2, 1, TwipsX(10), TwipsY(10)), Clicked(2, 1)}));
}

TEST_F(ControlWindowTest, ASmallerBoardLeavesBareSurfaceThatRaisesNothing) {
    ChangeBoardSize(control.board, 200);  // squares of 25 pixels; the window stays 296
    Pump();
    const Image shot = Shot(window->Handle());
    EXPECT_EQ(shot.At(250, 250), kButtonFace);
    EXPECT_EQ(shot.At(210, 10), kButtonFace);
    mouse.Click(250, 250);
    mouse.Click(210, 10);
    mouse.Press(280, 150);  // pressed on bare surface, released on a square
    mouse.MoveTo(12, 12);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    // Square (8, 8) is now at 175..199.
    mouse.Click(190, 190);
    const auto events = Events(3);
    EXPECT_EQ(WithoutMoves(events),
              (std::vector{Down(8, 8, TwipsX(15), TwipsY(15)), Up(8, 8, TwipsX(15), TwipsY(15)), Clicked(8, 8)}));
    for (const auto& e : events) {
        if (e.kind == SquareEventKind::MouseMove) {
            EXPECT_EQ(e.button, 0) << "a drag begun on bare surface: " << ::testing::PrintToString(e);
        }
    }
}

TEST_F(ControlWindowTest, TheContainersClipHidesPartOfTheWindow) {
    window->Place(RECT{0, 0, 296, 296}, RECT{0, 0, 100, 120});
    RECT box{};
    EXPECT_EQ(GetWindowRgnBox(window->Handle(), &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 100);
    EXPECT_EQ(box.bottom, 120);
    mouse.Click(150, 150);  // outside the clip: the container's
    mouse.Click(50, 110);
    EXPECT_EQ(WithoutMoves(Events(3)),
              (std::vector{Down(2, 3, TwipsX(13), TwipsY(36)), Up(2, 3, TwipsX(13), TwipsY(36)), Clicked(2, 3)}));
    window->Place(RECT{0, 0, 296, 296}, RECT{-10, -10, 1000, 1000});
    EXPECT_EQ(GetWindowRgnBox(window->Handle(), &box), ERROR) << "no region without a clip";
}

// ---- mouse input ---------------------------------------------------------------

TEST_F(ControlWindowTest, AClickReachesTheSquareUnderThePointerInTwips) {
    struct Case {
        int x, y;  // client pixels
        std::int16_t col, row;
    };
    for (const Case c : {Case{3, 4, 1, 1}, Case{7 * 37 + 36, 20, 8, 1}, Case{10, 37, 1, 2}, Case{7 * 37 + 1, 37 + 2, 8, 2},
                         Case{0, 2 * 37 + 30, 1, 3}, Case{7 * 37 + 20, 7 * 37 + 36, 8, 8}}) {
        mouse.Click(c.x, c.y);
        const float x = TwipsX(c.x % 37), y = TwipsY(c.y % 37);
        EXPECT_EQ(WithoutMoves(Events(3)), (std::vector{Down(c.col, c.row, x, y), Up(c.col, c.row, x, y), Clicked(c.col, c.row)}))
            << "click at " << c.x << ", " << c.y;
    }
}

TEST_F(ControlWindowTest, ButtonsAndShiftKeysAreMasks) {
    mouse.Press(40, 40, MOUSEEVENTF_RIGHTDOWN);
    Mouse::Send(MOUSEEVENTF_RIGHTUP);
    EXPECT_EQ(WithoutMoves(Events(3)), (std::vector{Down(2, 2, TwipsX(3), TwipsY(3), 2), Up(2, 2, TwipsX(3), TwipsY(3), 2),
                                                    Clicked(2, 2)}));
    // The pointer goes first: under Wine moving it takes the modifier keys'
    // state from the X server, which knows nothing of the keys sent.
    mouse.MoveTo(80, 80);
    SendKey(VK_SHIFT, true);
    SendKey(VK_CONTROL, true);
    Mouse::Send(MOUSEEVENTF_LEFTDOWN);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    SendKey(VK_CONTROL, false);
    SendKey(VK_SHIFT, false);
    EXPECT_EQ(WithoutMoves(Events(3)), (std::vector{Down(3, 3, TwipsX(6), TwipsY(6), 1, 3),
                                                    Up(3, 3, TwipsX(6), TwipsY(6), 1, 3), Clicked(3, 3)}));
}

TEST_F(ControlWindowTest, MovesNameTheSquareUnderThePointerWithTheButtonsHeld) {
    mouse.MoveTo(100, 10);
    mouse.MoveTo(120, 12);
    const auto moves = Events(0);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back(), Move(4, 1, TwipsX(120 - 111), TwipsY(12), 0));
    for (const auto& e : moves) EXPECT_EQ(e.kind, SquareEventKind::MouseMove) << ::testing::PrintToString(e);
}

TEST_F(ControlWindowTest, APressCapturesTheMouseForItsSquareUntilRelease) {
    mouse.Press(40, 45);  // square (2, 2) at 37, 37
    mouse.MoveTo(150, 100);  // over square (5, 3)
    mouse.MoveTo(400, 420);  // beyond the control, over the container
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    const auto events = Events(2);
    ASSERT_EQ(WithoutMoves(events),
              (std::vector{Down(2, 2, TwipsX(3), TwipsY(8)), Up(2, 2, TwipsX(400 - 37), TwipsY(420 - 37))}));
    EXPECT_NE(std::find(events.begin(), events.end(), Move(2, 2, TwipsX(150 - 37), TwipsY(100 - 37), 1)), events.end())
        << "no move over square (5, 3) reported for square (2, 2)";
    for (const auto& e : events) {
        EXPECT_EQ((Square{e.col, e.row}), (Square{2, 2})) << ::testing::PrintToString(e);
        EXPECT_NE(e.kind, SquareEventKind::Click);
    }
    EXPECT_EQ(GetCapture(), nullptr);
    // Back inside the square before the release: a Click.
    mouse.Press(40, 45);
    mouse.MoveTo(150, 100);
    mouse.MoveTo(50, 70);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(WithoutMoves(Events(3)),
              (std::vector{Down(2, 2, TwipsX(3), TwipsY(8)), Up(2, 2, TwipsX(13), TwipsY(33)), Clicked(2, 2)}));
}

TEST_F(ControlWindowTest, ADoubleClickRaisesDblClickInPlaceOfTheSecondMouseDown) {
    mouse.Press(200, 200);  // square (6, 6) at 185, 185
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    Mouse::Send(MOUSEEVENTF_LEFTDOWN);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    const float x = TwipsX(15), y = TwipsY(15);
    EXPECT_EQ(WithoutMoves(Events(5)),
              (std::vector{Down(6, 6, x, y), Up(6, 6, x, y), Clicked(6, 6), Double(6, 6), Up(6, 6, x, y)}));
}

TEST_F(ControlWindowTest, NoEventWhileDisabled) {
    window->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(window->Handle()));
    mouse.Click(50, 50);
    mouse.MoveTo(60, 60);
    EXPECT_EQ(Events(0), std::vector<SquareEvent>{});
    window->SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(window->Handle()));
    EXPECT_EQ(EventsUntilSentinel(), SentinelOnly());
    // Disabled by the host's handler during a press: the release says nothing.
    control.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind == SquareEventKind::MouseDown) window->SetEnabled(false);
    };
    mouse.Click(50, 50);
    Pump(200);
    control.host.onEvent = nullptr;
    EXPECT_EQ(WithoutMoves(Events(0)), (std::vector{Down(2, 2, TwipsX(13), TwipsY(13))}));
    window->SetEnabled(true);
}

TEST_F(ControlWindowTest, TheHostsHandlerMayChangeTheBoardOrDestroyTheWindow) {
    NewGame(control.board);
    control.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind == SquareEventKind::Click) {
            MovePiece(control.board, 1, 2, 1, 4);
            ChangeBoardSize(control.board, 200);
        }
    };
    mouse.Click(10, 40);
    EXPECT_EQ(WithoutMoves(Events(3)).size(), 3u);
    Pump();
    EXPECT_TRUE(SameImage(Crop(Shot(window->Handle()), 0, 75, 25, 25), Crop(ExpectedSquare(1, 4, Bpawn), 0, 0, 25, 25)));

    // The window goes in MouseUp: no Click follows.
    control.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind == SquareEventKind::MouseUp) window->Destroy();
    };
    mouse.Click(10, 10);
    EXPECT_EQ(WithoutMoves(Events(2)), (std::vector{Down(1, 1, TwipsX(10), TwipsY(10)), Up(1, 1, TwipsX(10), TwipsY(10))}));

    // The whole window object goes in MouseDown.
    ASSERT_NE(window->Create(container.get(), RECT{0, 0, 296, 296}), nullptr);
    const SquareEvent down = Down(2, 2, TwipsX(5), TwipsY(5));
    control.host.onEvent = [&](const SquareEvent& e) {
        if (e.kind == SquareEventKind::MouseDown) window.reset();
    };
    mouse.Click(30, 30);
    EXPECT_EQ(WithoutMoves(Events(1)), (std::vector{down}));
    control.host.onEvent = nullptr;
}

// ---- resources -----------------------------------------------------------------

TEST_F(ControlWindowTest, CreatingAndDestroyingLeaksNoGdiObjects) {
    NewGame(control.board);
    const auto cycle = [&] {
        window = std::make_unique<ControlWindow>(GetModuleHandleW(nullptr), control.host, input);
        ASSERT_NE(window->Create(container.get(), RECT{0, 0, 296, 296}), nullptr);
        window->Place(RECT{0, 0, 296, 296}, RECT{0, 0, 200, 200});
        UpdateWindow(window->Handle());
        SelectSquare(control.board, 2, 2);
        UnSelectSquare(control.board, 2, 2);
        Rendered(*window, 100, 100);
        window.reset();
    };
    cycle();  // anything made once, the first time
    Pump();
    const long before = GdiObjectCount();
    if (before <= 0) GTEST_SKIP() << "no count of GDI objects here";
    for (int k = 0; k < 50; ++k) cycle();
    Pump();
    const long after = GdiObjectCount();
    EXPECT_LE(after, before) << "GDI objects before " << before << ", after " << after;
}

}  // namespace
