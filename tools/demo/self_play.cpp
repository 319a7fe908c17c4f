#include "self_play.hpp"

#include <array>
#include <cmath>
#include <cwchar>
#include <functional>
#include <initializer_list>
#include <optional>

namespace quelder::demo {

namespace {

// Twips in a pixel at 96 dots per inch: the control reports X and Y in the
// square's own twips.
constexpr float kTwipsPerPixel = 15.0f;
constexpr unsigned kEventTimeout = 3000, kQuiet = 600;
constexpr long kNone = 1;

using Position = std::array<long, 64>;

// The starting position that New game sets up, column by column per row.
Position StartingPosition() {
    Position p;
    p.fill(kNone);
    constexpr std::array<long, 8> black{3, 4, 5, 6, 7, 5, 4, 3}, white{9, 10, 11, 12, 13, 11, 10, 9};
    for (std::size_t c = 0; c < 8; ++c) {
        p[c] = black[c];
        p[8 + c] = 2;
        p[48 + c] = 8;
        p[56 + c] = white[c];
    }
    return p;
}

std::size_t At(Square s) { return static_cast<std::size_t>((s.row - 1) * 8 + (s.col - 1)); }

// Runs messages until done() holds or ms have passed; true if done() held.
// With demo, each message goes through the window's own loop (its keys to
// the board, the dialog keys), as in the interactive demo.
bool PumpUntil(const std::function<bool()>& done, unsigned ms, const DemoWindow* demo = nullptr) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            if (demo != nullptr) {
                demo->Process(msg);
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)),
                                  QS_ALLINPUT);
    }
}

bool SendButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return SendInput(1, &input, sizeof(input)) == 1;
}

// A left click at a point of the screen, as a user makes it.
bool ClickAt(POINT point, const DemoWindow& demo) {
    if (!SetCursorPos(point.x, point.y)) return false;
    PumpMessages(30, &demo);
    if (!SendButton(MOUSEEVENTF_LEFTDOWN)) return false;
    PumpMessages(30, &demo);
    return SendButton(MOUSEEVENTF_LEFTUP);
}

// The pointer moved to a point of the screen, as a mouse moves it.
bool PointerTo(POINT point) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return SendInput(1, &input, sizeof(input)) == 1;
}

bool SendKey(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof(input)) == 1;
}

// "Button \"&New game\"": a window's class and text, for failure messages.
std::wstring WindowName(HWND window) {
    if (window == nullptr) return L"no window";
    wchar_t name[64]{}, text[64]{};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return std::wstring(name) + L" \"" + text + L"\"";
}

COLORREF ScreenPixel(POINT point) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

std::wstring Hex(COLORREF colour) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

// How much more red and green than blue: what a yellow mark adds.
int Yellowness(COLORREF colour) { return (GetRValue(colour) + GetGValue(colour)) / 2 - GetBValue(colour); }

POINT CentreOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class Player {
public:
    explicit Player(DemoWindow& demo) : demo_(demo) {}

    std::vector<std::wstring> Play() {
        HWND window = demo_.Handle();
        SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(window);
        SetActiveWindow(window);
        PumpMessages(500, &demo_);
        CheckFocus(demo_.BoardWindow(), L"when the demo starts");

        expected_ = StartingPosition();
        PressButton(Command::NewGame, L"New game", [&] { return demo_.MoveText().rfind(L"New game", 0) == 0; });

        // The knight out with the mouse, dropping the pawn's selection, and
        // back with the keys.
        ClickSquare({5, 7}, true);
        DragPiece({7, 8}, {6, 6});
        PlayWithKeys();
        CheckMarked({6, 6}, {3, 5});

        // A move, shown on the board; then a pawn of each side meeting, the
        // board turned to the side that moves: the red pawn moves on the
        // flipped board, the cream pawn takes on the board turned back. The
        // clicks go where the squares are drawn; the events name the squares.
        PlayMove({5, 7}, {5, 5});
        CheckMarked({5, 7}, {3, 5});
        PressCheck(Command::Flipped, L"Flipped", true);
        PlayMove({4, 2}, {4, 4});
        PressCheck(Command::Flipped, L"Flipped", false);
        PlayMove({5, 5}, {4, 4});

        // Bigger and Smaller resize the control and its container window; a
        // larger main window keeps the board clear of the rest.
        CheckBoardSize(Command::Bigger, L"Bigger", DemoWindow::kFirstBoard + DemoWindow::kBoardStep);
        CheckBoardSize(Command::Smaller, L"Smaller", DemoWindow::kFirstBoard);
        CheckLayoutWhenResized();

        // The coordinates go and come back; a disabled board hears nothing.
        PressCheck(Command::Coordinates, L"ShowCoordinates", false);
        PressCheck(Command::Coordinates, L"ShowCoordinates", true);
        PressCheck(Command::Enabled, L"Enabled", false);
        demo_.ForgetEvents();
        if (ClickAt(SquarePoint({1, 8}), demo_) &&
            PumpUntil([&] { return !demo_.Events().empty(); }, kQuiet, &demo_))
            Fail(L"the disabled board raised " + Describe(demo_.Events().front()));
        PressCheck(Command::Enabled, L"Enabled", true);

        // A selection left for the picture.
        ClickSquare({7, 8}, true);
        PumpMessages(300, &demo_);

        CheckBoard(Square{7, 8}, L"at the end");
        const auto& events = demo_.Events();
        if (events.empty() || demo_.StatusText() != Describe(events.back()))
            Fail(L"the status line shows \"" + demo_.StatusText() + L"\", not the last event");
        return failures_;
    }

private:
    void Fail(const std::wstring& what) { failures_.push_back(what); }

    bool Checked(Command command) const {
        return SendMessageW(demo_.Button(command), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    // A point of a square on the screen, across and down its edge as drawn
    // (its centre by default): column 1 row 1 is at the top left, or at the
    // bottom right when the board is flipped.
    POINT SquarePoint(Square s, double across = 0.5, double down = 0.5) const {
        RECT board{};
        GetWindowRect(demo_.BoardHost(), &board);
        const double edge = demo_.BoardSize() / 8.0;
        const bool flipped = demo_.Flipped();
        const int col = flipped ? 8 - s.col : s.col - 1, row = flipped ? 8 - s.row : s.row - 1;
        return {board.left + static_cast<LONG>(std::lround((col + across) * edge)),
                board.top + static_cast<LONG>(std::lround((row + down) * edge))};
    }

    ComPtr<IDispatch> Dispatch() {
        ComPtr<IDispatch> control;
        if (demo_.Control() == nullptr || FAILED(demo_.Control()->QueryInterface(IID_PPV_ARGS(control.GetAddressOf()))))
            Fail(L"the control has no IDispatch");
        return control;
    }

    // Presses a check box and checks that it and the control's property of
    // that name, read as a script would, both became set.
    void PressCheck(Command command, const wchar_t* property, bool set) {
        const std::wstring name = std::wstring(property) + (set ? L" on" : L" off");
        PressButton(command, name.c_str(), [&] { return Checked(command) == set; });
        long value = 0;
        const ComPtr<IDispatch> control = Dispatch();
        const HRESULT hr = control ? DispatchProperty(control.Get(), property, value) : E_NOINTERFACE;
        if (FAILED(hr) || value != (set ? -1 : 0))
            Fail(name + L": the control's " + property + L" is " +
                 (FAILED(hr) ? L"unreadable: " + LastErrorText(hr) : std::to_wstring(value)));
    }

    // Moves a piece with two clicks and follows it in the expected position.
    void PlayMove(Square from, Square to) {
        ClickSquare(from, true);
        ClickSquare(to, false);
        Follow(from, to);
    }

    void CheckFocus(HWND wanted, const wchar_t* when) {
        if (HWND focus = GetFocus(); focus != wanted)
            Fail(std::wstring(L"the focus is on ") + WindowName(focus) + L" " + when + L", not on " +
                 WindowName(wanted));
    }

    // The events since ForgetEvents in one line, the mouse's by kind and
    // square alone and without the moves. Those moves made with the left
    // button held are counted in dragMoves, and listed in strays when they
    // name another square than pressed.
    std::wstring EventLine(Square pressed, int& dragMoves, std::wstring& strays) const {
        std::wstring line;
        dragMoves = 0;
        for (const auto& e : demo_.Events()) {
            const bool mouse =
                e.kind == EventKind::MouseDown || e.kind == EventKind::MouseMove || e.kind == EventKind::MouseUp;
            if (e.kind == EventKind::MouseMove) {
                if (e.button != 1) continue;
                ++dragMoves;
                if (Square{e.col, e.row} != pressed) strays += L" " + Describe(e);
                continue;
            }
            if (!line.empty()) line += L", ";
            line += mouse ? Describe(e).substr(0, Describe(e).find(L" Button")) : Describe(e);
        }
        return line;
    }

    bool Dropped() const {
        for (const auto& e : demo_.Events())
            if (e.kind == EventKind::PieceDropped) return true;
        return false;
    }

    // A piece dragged as a user drags it: the left button pressed on from,
    // the pointer moved to to in steps, the button released. The press, the
    // moves with the button held and the release name from, PieceDropped
    // both squares, and no Click comes; the demo shows the move and holds no selection, the
    // control has moved the piece.
    void DragPiece(Square from, Square to) {
        demo_.ForgetEvents();
        const POINT start = SquarePoint(from), end = SquarePoint(to);
        bool sent = PointerTo(start);
        PumpMessages(30, &demo_);
        sent = sent && SendButton(MOUSEEVENTF_LEFTDOWN);
        constexpr int kSteps = 6;
        for (int step = 1; sent && step <= kSteps; ++step) {
            PumpMessages(30, &demo_);
            sent = PointerTo(
                {start.x + (end.x - start.x) * step / kSteps, start.y + (end.y - start.y) * step / kSteps});
        }
        PumpMessages(30, &demo_);
        sent = sent && SendButton(MOUSEEVENTF_LEFTUP);
        const std::wstring what = L"a drag from " + Name(from) + L" to " + Name(to);
        if (!sent || !PumpUntil([&] { return Dropped(); }, kEventTimeout, &demo_)) {
            Fail(L"no PieceDropped came for " + what + L"; the status line says \"" + demo_.StatusText() + L"\"");
            return;
        }
        PumpMessages(200, &demo_);
        Follow(from, to);
        int moves = 0;
        std::wstring strays;
        const std::wstring line = EventLine(from, moves, strays);
        const std::wstring wanted = L"MouseDown " + Name(from) + L", MouseUp " + Name(from) + L", PieceDropped from " +
                                    Name(from) + L" to " + Name(to);
        if (line != wanted) Fail(what + L" raised \"" + line + L"\", not \"" + wanted + L"\"");
        if (moves < kSteps / 2 || !strays.empty())
            Fail(what + L" raised " + std::to_wstring(moves) +
                 L" MouseMove events with the button held, these naming other squares:" + strays);
        CheckDropShown(from, to, what);
    }

    // The keys alone, as a user without a mouse plays: Tab leaves the board
    // for the first button and Shift+Tab comes back; then the arrows and End
    // move the focus square from where it was (column 1 row 8) to (6, 6),
    // Space lifts the knight there, Down, Down and Right carry it to (7, 8),
    // Enter puts it down; last N, which the board has no use for,
    // is its KeyDown and not the New game button's access key.
    void PlayWithKeys() {
        const Square from{6, 6}, to{7, 8};
        PressKeys({VK_TAB});
        CheckFocus(demo_.Button(Command::NewGame), L"after Tab on the board");
        PressKeys({VK_TAB}, true);
        CheckFocus(demo_.BoardWindow(), L"after Shift+Tab on New game");
        demo_.ForgetEvents();
        PressKeys({VK_UP, VK_UP, VK_END, VK_LEFT, VK_LEFT, VK_SPACE, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN});
        if (!PumpUntil([&] { return Dropped(); }, kEventTimeout, &demo_))
            Fail(L"no PieceDropped came for the keys; the status line says \"" + demo_.StatusText() + L"\"");
        Follow(from, to);
        CheckDropShown(from, to, L"the keys");
        PressKeys({'N'});
        PumpMessages(200, &demo_);
        int moves = 0;
        std::wstring strays;
        const std::wstring line = EventLine(from, moves, strays);
        const std::wstring wanted =
            L"PieceDropped from " + Name(from) + L" to " + Name(to) + L", KeyDown KeyCode 78 Shift 0";
        if (line != wanted || moves != 0)
            Fail(L"the keys raised \"" + line + L"\" and " + std::to_wstring(moves) +
                 L" MouseMove events with the button held, not \"" + wanted + L"\"");
        if (demo_.StatusText() != L"KeyDown KeyCode 78 Shift 0")
            Fail(L"after N the status line says \"" + demo_.StatusText() + L"\"");
        if (demo_.MoveText() != L"Wknight moved from " + Name(from) + L" to " + Name(to))
            Fail(L"after N the line under the board says \"" + demo_.MoveText() + L"\"");
    }

    // Each key pressed and released, with Shift held around them if asked.
    void PressKeys(std::initializer_list<WORD> keys, bool shift = false) {
        bool sent = !shift || SendKey(VK_SHIFT, true);
        for (const WORD key : keys) {
            sent = sent && SendKey(key, true) && SendKey(key, false);
            PumpMessages(40, &demo_);
        }
        if (shift) sent = SendKey(VK_SHIFT, false) && sent;
        if (!sent) Fail(L"SendInput refused a key, error " + std::to_wstring(GetLastError()));
        PumpMessages(60, &demo_);
    }

    // The expected position after a piece went from one square to another.
    void Follow(Square from, Square to) {
        expected_[At(to)] = expected_[At(from)];
        expected_[At(from)] = kNone;
    }

    // After a drop: the line under the board names the move, the demo holds
    // no selection, and the control holds the position expected with no
    // square selected.
    void CheckDropShown(Square from, Square to, const std::wstring& what) {
        const std::wstring wanted = PieceName(expected_[At(to)]) + L" moved from " + Name(from) + L" to " + Name(to);
        if (demo_.MoveText() != wanted)
            Fail(L"after " + what + L" the line under the board says \"" + demo_.MoveText() + L"\", not \"" +
                 wanted + L"\"");
        if (const auto selected = demo_.Road().Selected())
            Fail(L"after " + what + L" the demo still has " + Name(*selected) + L" selected");
        CheckBoard(std::nullopt, (L"after " + what).c_str());
    }

    // The square a move left is drawn yellower than a square of its colour
    // that no move touched, both empty; compared near their top left corner,
    // clear of the arrow and of the coordinates.
    void CheckMarked(Square marked, Square plain) {
        PumpMessages(200, &demo_);
        const COLORREF seen = ScreenPixel(SquarePoint(marked, 0.2, 0.2));
        const COLORREF unmarked = ScreenPixel(SquarePoint(plain, 0.2, 0.2));
        if (Yellowness(seen) <= Yellowness(unmarked))
            Fail(L"the square the move left, " + Name(marked) + L", shows " + Hex(seen) + L", no yellower than " +
                 Hex(unmarked) + L" on " + Name(plain));
    }

    void PressButton(Command command, const wchar_t* name, const std::function<bool()>& done) {
        if (!ClickAt(CentreOf(demo_.Button(command)), demo_) || !PumpUntil(done, kEventTimeout, &demo_))
            Fail(std::wstring(L"pressing ") + name + L" had no effect; the line under the board says \"" +
                 demo_.MoveText() + L"\"");
        PumpMessages(100, &demo_);
    }

    // The board's container window and the control's own window in it
    // both take the new size.
    void CheckBoardSize(Command command, const wchar_t* name, int size) {
        PressButton(command, name, [&] { return demo_.BoardSize() == size; });
        RECT host{}, control{};
        GetClientRect(demo_.BoardHost(), &host);
        HWND controlWindow = GetWindow(demo_.BoardHost(), GW_CHILD);
        if (controlWindow == nullptr) {
            Fail(L"the container window holds no window of the control");
            return;
        }
        GetWindowRect(controlWindow, &control);
        const auto text = [](LONG w, LONG h) { return std::to_wstring(w) + L" x " + std::to_wstring(h); };
        if (host.right != size || host.bottom != size)
            Fail(std::wstring(name) + L": the container window is " + text(host.right, host.bottom) + L", not " +
                 text(size, size));
        if (control.right - control.left != size || control.bottom - control.top != size)
            Fail(std::wstring(name) + L": the control's window is " +
                 text(control.right - control.left, control.bottom - control.top) + L", not " + text(size, size));
    }

    // The window made larger: the board stays centred between the buttons
    // and the line under it, and nothing overlaps. Then back to its size.
    void CheckLayoutWhenResized() {
        HWND window = demo_.Handle();
        RECT before{};
        GetWindowRect(window, &before);
        SetWindowPos(window, nullptr, 0, 0, before.right - before.left + 160, before.bottom - before.top + 100,
                     SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(200, &demo_);
        RECT client{};
        GetClientRect(window, &client);
        const auto place = [&](HWND child) {
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        const RECT board = place(demo_.BoardHost());
        const RECT button = place(demo_.Button(Command::NewGame));
        const RECT line = place(GetDlgItem(window, kMoveLineId));
        const RECT status = place(GetDlgItem(window, kStatusBarId));
        const auto where = [](const RECT& r) {
            return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L", " + std::to_wstring(r.right) +
                   L", " + std::to_wstring(r.bottom) + L")";
        };
        if (std::abs(board.left - (client.right - board.right)) > 1)
            Fail(L"the board " + where(board) + L" is not centred in a client area " + std::to_wstring(client.right) +
                 L" wide");
        if (board.top < button.bottom || board.bottom > line.top || line.bottom > status.top ||
            status.bottom != client.bottom)
            Fail(L"overlapping parts: buttons " + where(button) + L", board " + where(board) + L", line " +
                 where(line) + L", status bar " + where(status));
        SetWindowPos(window, nullptr, 0, 0, before.right - before.left, before.bottom - before.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(200, &demo_);
    }

    // Clicks a square and checks the events it raised: MouseDown and MouseUp
    // with the left button, no shift and a point inside the square, then
    // Click, all naming the square; and that the selection is as expected.
    void ClickSquare(Square s, bool selects) {
        demo_.ForgetEvents();
        const auto clicked = [&] {
            for (const auto& e : demo_.Events())
                if (e.kind == EventKind::Click) return true;
            return false;
        };
        if (!ClickAt(SquarePoint(s), demo_) || !PumpUntil(clicked, kEventTimeout, &demo_)) {
            Fail(L"no Click came for a click on " + Name(s));
            return;
        }
        const float edge = static_cast<float>(demo_.BoardSize()) / 8.0f * kTwipsPerPixel;
        int downs = 0, ups = 0, clicks = 0;
        for (const auto& e : demo_.Events()) {
            const Square at{e.col, e.row};
            if (e.kind == EventKind::MouseMove) continue;
            if (at != s) {
                Fail(L"a click on " + Name(s) + L" raised " + Describe(e));
                continue;
            }
            if (e.kind == EventKind::Click) {
                ++clicks;
            } else if (e.kind == EventKind::MouseDown || e.kind == EventKind::MouseUp) {
                (e.kind == EventKind::MouseDown ? downs : ups)++;
                if (e.button != 1 || e.shift != 0 || e.x < 0 || e.y < 0 || e.x > edge || e.y > edge)
                    Fail(L"unexpected values in " + Describe(e));
            } else {
                Fail(L"a single click raised " + Describe(e));
            }
        }
        if (downs != 1 || ups != 1 || clicks != 1)
            Fail(L"a click on " + Name(s) + L" raised " + std::to_wstring(downs) + L" MouseDown, " +
                 std::to_wstring(ups) + L" MouseUp and " + std::to_wstring(clicks) + L" Click events");
        const auto selected = demo_.Road().Selected();
        if (selects != (selected == s))
            Fail(L"after a click on " + Name(s) + L" the demo " + (selected ? L"has " + Name(*selected) : L"has no") +
                 L" selected; the line under the board says \"" + demo_.MoveText() + L"\"");
        PumpMessages(100, &demo_);
    }

    // The control's own account, read through IDispatch as a script would:
    // the position expected, and the one square selected, if any.
    void CheckBoard(std::optional<Square> selectedSquare, const wchar_t* when) {
        const ComPtr<IDispatch> control = Dispatch();
        if (!control) return;
        for (short row = 1; row <= 8; ++row) {
            for (short col = 1; col <= 8; ++col) {
                const Square s{col, row};
                long piece = 0, selected = 0;
                HRESULT hr = DispatchProperty(control.Get(), L"Piece", piece, s);
                if (FAILED(hr)) {
                    Fail(L"Piece(" + Name(s) + L") failed: " + LastErrorText(hr));
                } else if (piece != expected_[At(s)]) {
                    Fail(L"Piece(" + Name(s) + L") is " + PieceName(piece) + L" " + when + L", expected " +
                         PieceName(expected_[At(s)]));
                }
                hr = DispatchProperty(control.Get(), L"IsSelected", selected, s);
                const long wanted = s == selectedSquare ? -1 : 0;
                if (FAILED(hr)) {
                    Fail(L"IsSelected(" + Name(s) + L") failed: " + LastErrorText(hr));
                } else if (selected != wanted) {
                    Fail(L"IsSelected(" + Name(s) + L") is " + std::to_wstring(selected) + L" " + when +
                         L", expected " + std::to_wstring(wanted));
                }
            }
        }
    }

    DemoWindow& demo_;
    Position expected_{};
    std::vector<std::wstring> failures_;
};

}  // namespace

void PumpMessages(unsigned ms, const DemoWindow* demo) {
    PumpUntil([] { return false; }, ms, demo);
}

std::vector<std::wstring> PlayTypicalGame(DemoWindow& demo) { return Player(demo).Play(); }

std::wstring CheckControlReleased() {
    HMODULE ocx = GetModuleHandleW(L"Quelder.ocx");
    if (ocx == nullptr) return {};  // unloaded already
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
    const auto canUnload = reinterpret_cast<CanUnloadNow>(GetProcAddress(ocx, "DllCanUnloadNow"));
#pragma GCC diagnostic pop
    if (canUnload == nullptr) return L"Quelder.ocx exports no DllCanUnloadNow";
    if (canUnload() != S_OK) return L"after closing, Quelder.ocx still has live objects";
    return {};
}

}  // namespace quelder::demo
