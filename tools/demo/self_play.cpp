#include "self_play.hpp"

#include <array>
#include <cmath>
#include <cwchar>
#include <functional>

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
bool PumpUntil(const std::function<bool()>& done, unsigned ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
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
bool ClickAt(POINT point) {
    if (!SetCursorPos(point.x, point.y)) return false;
    PumpMessages(30);
    if (!SendButton(MOUSEEVENTF_LEFTDOWN)) return false;
    PumpMessages(30);
    return SendButton(MOUSEEVENTF_LEFTUP);
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
        PumpMessages(500);

        expected_ = StartingPosition();
        PressButton(Command::NewGame, L"New game", [&] { return demo_.MoveText().rfind(L"New game", 0) == 0; });

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
        if (ClickAt(SquarePoint({1, 8})) && PumpUntil([&] { return !demo_.Events().empty(); }, kQuiet))
            Fail(L"the disabled board raised " + Describe(demo_.Events().front()));
        PressCheck(Command::Enabled, L"Enabled", true);

        // A selection left for the picture.
        ClickSquare({7, 8}, true);
        PumpMessages(300);

        CheckBoard();
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
        expected_[At(to)] = expected_[At(from)];
        expected_[At(from)] = kNone;
    }

    // The square a move left is drawn yellower than a square of its colour
    // that no move touched, both empty; compared near their top left corner,
    // clear of the arrow and of the coordinates.
    void CheckMarked(Square marked, Square plain) {
        PumpMessages(200);
        const COLORREF seen = ScreenPixel(SquarePoint(marked, 0.2, 0.2));
        const COLORREF unmarked = ScreenPixel(SquarePoint(plain, 0.2, 0.2));
        if (Yellowness(seen) <= Yellowness(unmarked))
            Fail(L"the square the move left, " + Name(marked) + L", shows " + Hex(seen) + L", no yellower than " +
                 Hex(unmarked) + L" on " + Name(plain));
    }

    void PressButton(Command command, const wchar_t* name, const std::function<bool()>& done) {
        if (!ClickAt(CentreOf(demo_.Button(command))) || !PumpUntil(done, kEventTimeout))
            Fail(std::wstring(L"pressing ") + name + L" had no effect; the line under the board says \"" +
                 demo_.MoveText() + L"\"");
        PumpMessages(100);
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
        PumpMessages(200);
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
        PumpMessages(200);
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
        if (!ClickAt(SquarePoint(s)) || !PumpUntil(clicked, kEventTimeout)) {
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
        PumpMessages(100);
    }

    // The control's own account, read through IDispatch as a script would.
    void CheckBoard() {
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
                    Fail(L"Piece(" + Name(s) + L") is " + PieceName(piece) + L", expected " +
                         PieceName(expected_[At(s)]));
                }
                hr = DispatchProperty(control.Get(), L"IsSelected", selected, s);
                const long wanted = s == Square{7, 8} ? -1 : 0;
                if (FAILED(hr)) {
                    Fail(L"IsSelected(" + Name(s) + L") failed: " + LastErrorText(hr));
                } else if (selected != wanted) {
                    Fail(L"IsSelected(" + Name(s) + L") is " + std::to_wstring(selected) + L", expected " +
                         std::to_wstring(wanted));
                }
            }
        }
    }

    DemoWindow& demo_;
    Position expected_{};
    std::vector<std::wstring> failures_;
};

}  // namespace

void PumpMessages(unsigned ms) {
    PumpUntil([] { return false; }, ms);
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
