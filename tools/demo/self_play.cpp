#include "self_play.hpp"

#include <array>
#include <cctype>
#include <cmath>
#include <cwchar>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace quelder::demo {

namespace {

// Twips in a pixel at 96 dots per inch: the control reports X and Y in the
// square's own twips.
constexpr float kTwipsPerPixel = 15.0f;
constexpr unsigned kEventTimeout = 3000, kQuiet = 600;
constexpr long kNone = 1;
// The pointer's steps in a drag.
constexpr int kDragSteps = 6;

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

std::wstring Widen(const std::string& text) { return {text.begin(), text.end()}; }

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
        CheckGame(L"after New game", L"", L"");

        // Each move is picked from the moves the demo's game generates, and
        // made as a user makes it: a click picks the pawn up and the line
        // says where it may go; the knight dragged out instead; a black
        // knight with the keys; two clicks each for the pawns, the board
        // turned to the side that moves: the black pawn moves on the flipped
        // board, the white pawn takes on the board turned back. The clicks
        // go where the squares are drawn; the events name the squares.
        ClickSquare({5, 7});
        CheckLine(L"Wpawn on e2 may go to e3 e4", L"after a click on the pawn");
        DragPiece("g1f3");
        PlayWithKeys();
        CheckMarked({7, 1}, {3, 5});
        PlayMove("e2e4");
        CheckMarked({5, 7}, {3, 5});
        PressCheck(Command::Flipped, L"Flipped", true);
        PlayMove("d7d5");
        PressCheck(Command::Flipped, L"Flipped", false);
        PlayMove("e4d5");

        // A move typed on the board, then a check: the board is given only
        // the moves out of it, and refuses a drop anywhere else.
        TypeMove("f6d5");
        PlayMove("f1b5", L"e8");
        CheckMoves(L"b8c6 b8d7 c7c6 c8d7 d8d7");
        RefusedDrag({4, 1}, {4, 3});

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

        // For the picture: the knight picked up by a click, its two squares
        // showing, and the user's circle and arrow drawn with the right
        // button.
        ClickSquare({2, 1});
        CheckLine(L"Bknight on b8 may go to c6 d7", L"after a click on the knight");
        Annotate({2, 4}, {2, 4}, L"Gb5");
        Annotate({3, 2}, {3, 3}, L"Gb5 Gc7c6");
        PumpMessages(300, &demo_);

        CheckBoard(std::nullopt, L"at the end");
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

    // The squares of move, picked from the moves the demo's game generates
    // now; none (a failure) when it is not among them.
    std::optional<std::pair<Square, Square>> Pick(const char* move) {
        const std::optional<Game>& game = demo_.Road().Playing();
        if (!game) {
            Fail(std::wstring(L"no game for ") + Widen(move));
            return std::nullopt;
        }
        for (const std::string& legal : LegalMoves(*game)) {
            if (legal != move) continue;
            const auto square = [&](std::size_t at) {
                return Square{static_cast<short>(legal[at] - 'a' + 1), static_cast<short>('8' - legal[at + 1] + 1)};
            };
            return std::pair{square(0), square(2)};
        }
        Fail(std::wstring(L"the demo's game does not offer ") + Widen(move));
        return std::nullopt;
    }

    // What the line under the board says of a move about to be made, which
    // checks the king on check, if any.
    std::wstring MoveLine(const char* move, Square from, Square to, const std::wstring& check) const {
        const long moving = expected_[At(from)], target = expected_[At(to)];
        std::wstring line = Widen(move) + L": " + PieceName(moving);
        line += target == kNone ? L" moved from " + Name(from) + L" to " + Name(to)
                                : L" from " + Name(from) + L" takes " + PieceName(target) + L" at " + Name(to);
        return check.empty() ? line : line + L"; check";
    }

    // Makes a move with two clicks: the first picks the piece up, the
    // second on its square raises PieceDropped. check: the square of the
    // king it checks.
    void PlayMove(const char* move, const std::wstring& check = L"") {
        const auto squares = Pick(move);
        if (!squares) return;
        const auto [from, to] = *squares;
        const std::wstring line = MoveLine(move, from, to, check);
        ClickSquare(from);
        ClickSquare(to, from);
        Follow(from, to);
        CheckDropShown(line, Widen(move) + L" by two clicks", move, check);
    }

    // Types a move on the board and Enter: only PieceDropped comes.
    void TypeMove(const char* move) {
        const auto squares = Pick(move);
        if (!squares) return;
        const auto [from, to] = *squares;
        const std::wstring line = MoveLine(move, from, to, L"");
        demo_.ForgetEvents();
        std::vector<WORD> keys;
        for (const char* c = move; *c != '\0'; ++c) keys.push_back(static_cast<WORD>(std::toupper(*c)));
        keys.push_back(VK_RETURN);
        for (const WORD key : keys) PressKeys({key});
        const std::wstring what = Widen(move) + L" typed";
        if (!PumpUntil([&] { return Dropped(); }, kEventTimeout, &demo_))
            Fail(L"no PieceDropped came for " + what + L"; the status line says \"" + demo_.StatusText() + L"\"");
        PumpMessages(200, &demo_);
        int moves = 0;
        std::wstring strays;
        const std::wstring events = EventLine(from, moves, strays);
        const std::wstring wanted = L"PieceDropped from " + Name(from) + L" to " + Name(to);
        if (events != wanted) Fail(what + L" raised \"" + events + L"\", not \"" + wanted + L"\"");
        Follow(from, to);
        CheckDropShown(line, what, move, L"");
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

    // A drag as a user makes it: the button (the left by default) pressed
    // on from, the pointer moved to to in steps, the button released.
    void Drag(Square from, Square to, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP) {
        demo_.ForgetEvents();
        const POINT start = SquarePoint(from), end = SquarePoint(to);
        bool sent = PointerTo(start);
        PumpMessages(30, &demo_);
        sent = sent && SendButton(down);
        for (int step = 1; sent && from != to && step <= kDragSteps; ++step) {
            PumpMessages(30, &demo_);
            sent = PointerTo({start.x + (end.x - start.x) * step / kDragSteps,
                              start.y + (end.y - start.y) * step / kDragSteps});
        }
        PumpMessages(30, &demo_);
        sent = sent && SendButton(up);
        if (!sent) Fail(L"SendInput refused the mouse, error " + std::to_wstring(GetLastError()));
    }

    // The events of a drag from from: the press, the moves with the button
    // held and the release name from, then what follows (", PieceDropped
    // ..." or nothing); no Click.
    void CheckDragEvents(Square from, const std::wstring& after, const std::wstring& what) {
        int moves = 0;
        std::wstring strays;
        const std::wstring line = EventLine(from, moves, strays);
        const std::wstring wanted = L"MouseDown " + Name(from) + L", MouseUp " + Name(from) + after;
        if (line != wanted) Fail(what + L" raised \"" + line + L"\", not \"" + wanted + L"\"");
        if (moves < kDragSteps / 2 || !strays.empty())
            Fail(what + L" raised " + std::to_wstring(moves) +
                 L" MouseMove events with the button held, these naming other squares:" + strays);
    }

    // A move made by a drag: PieceDropped names both squares; the demo
    // shows the move and holds no selection, the control has moved the
    // piece.
    void DragPiece(const char* move) {
        const auto squares = Pick(move);
        if (!squares) return;
        const auto [from, to] = *squares;
        const std::wstring line = MoveLine(move, from, to, L"");
        Drag(from, to);
        const std::wstring what = L"a drag from " + Name(from) + L" to " + Name(to);
        if (!PumpUntil([&] { return Dropped(); }, kEventTimeout, &demo_)) {
            Fail(L"no PieceDropped came for " + what + L"; the status line says \"" + demo_.StatusText() + L"\"");
            return;
        }
        PumpMessages(200, &demo_);
        Follow(from, to);
        CheckDragEvents(from, L", PieceDropped from " + Name(from) + L" to " + Name(to), what);
        CheckDropShown(line, what, move, L"");
    }

    // A drag to a square the piece has no move to: the board puts it back
    // and raises no PieceDropped; nothing changes.
    void RefusedDrag(Square from, Square to) {
        const std::wstring line = demo_.MoveText();
        Drag(from, to);
        const std::wstring what = L"a drag from " + Name(from) + L" to " + Name(to) + L", which is no move";
        if (PumpUntil([&] { return Dropped(); }, kQuiet, &demo_)) Fail(what + L" raised PieceDropped");
        CheckDragEvents(from, L"", what);
        if (demo_.MoveText() != line)
            Fail(L"after " + what + L" the line under the board says \"" + demo_.MoveText() + L"\"");
        CheckBoard(std::nullopt, (L"after " + what).c_str());
    }

    // The keys alone, as a user without a mouse plays: Tab leaves the board
    // for the first button and Shift+Tab comes back; then the arrows and End
    // move the focus square from where it was (column 1 row 8, a1) to the
    // black knight on g8, Space lifts it, Down, Down and Left carry it to f6,
    // Enter puts it down; last N, which the board has no use for (no square
    // begins with it), is its KeyDown and not the New game button's access
    // key.
    void PlayWithKeys() {
        const char* move = "g8f6";
        const auto squares = Pick(move);
        if (!squares) return;
        const auto [from, to] = *squares;
        const std::wstring line = MoveLine(move, from, to, L"");
        PressKeys({VK_TAB});
        CheckFocus(demo_.Button(Command::NewGame), L"after Tab on the board");
        PressKeys({VK_TAB}, true);
        CheckFocus(demo_.BoardWindow(), L"after Shift+Tab on New game");
        demo_.ForgetEvents();
        PressKeys({VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, VK_END, VK_LEFT, VK_SPACE, VK_DOWN, VK_DOWN,
                   VK_LEFT, VK_RETURN});
        if (!PumpUntil([&] { return Dropped(); }, kEventTimeout, &demo_))
            Fail(L"no PieceDropped came for the keys; the status line says \"" + demo_.StatusText() + L"\"");
        Follow(from, to);
        CheckDropShown(line, L"the keys", move, L"");
        PressKeys({'N'});
        PumpMessages(200, &demo_);
        int moves = 0;
        std::wstring strays;
        const std::wstring events = EventLine(from, moves, strays);
        const std::wstring wanted =
            L"PieceDropped from " + Name(from) + L" to " + Name(to) + L", KeyDown KeyCode 78 Shift 0";
        if (events != wanted || moves != 0)
            Fail(L"the keys raised \"" + events + L"\" and " + std::to_wstring(moves) +
                 L" MouseMove events with the button held, not \"" + wanted + L"\"");
        if (demo_.StatusText() != L"KeyDown KeyCode 78 Shift 0")
            Fail(L"after N the status line says \"" + demo_.StatusText() + L"\"");
        CheckLine(line, L"after N");
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

    void CheckLine(const std::wstring& wanted, const std::wstring& when) {
        if (demo_.MoveText() != wanted)
            Fail(when + L" the line under the board says \"" + demo_.MoveText() + L"\", not \"" + wanted + L"\"");
    }

    // After a move: the line under the board names it, the demo holds no
    // selection, the control holds the position expected with no square
    // selected, and the board shows the move and its check, and has the
    // next moves.
    void CheckDropShown(const std::wstring& line, const std::wstring& what, const char* move,
                        const std::wstring& check) {
        CheckLine(line, L"after " + what);
        if (const auto selected = demo_.Road().Selected())
            Fail(L"after " + what + L" the demo still has " + Name(*selected) + L" selected");
        CheckBoard(std::nullopt, (L"after " + what).c_str());
        CheckGame((L"after " + what).c_str(), Widen(std::string(move, 4)), check);
    }

    // The board's account of the game, read through IDispatch as a script
    // would: the moves it was given are those the demo's game generates, the
    // last move and the check square are those expected, and the demo's game
    // holds the position the board holds.
    void CheckGame(const wchar_t* when, const std::wstring& lastMove, const std::wstring& check) {
        const ComPtr<IDispatch> control = Dispatch();
        const std::optional<Game>& game = demo_.Road().Playing();
        if (!control || !game) {
            if (!game) Fail(std::wstring(L"the demo plays no game ") + when);
            return;
        }
        std::wstring moves;
        for (const std::string& move : LegalMoves(*game)) moves += (moves.empty() ? L"" : L" ") + Widen(move);
        const std::pair<const wchar_t*, std::wstring> wanted[] = {
            {L"LegalMoves", moves}, {L"LastMove", lastMove}, {L"CheckSquare", check}};
        for (const auto& [property, value] : wanted) {
            std::wstring seen;
            const HRESULT hr = DispatchProperty(control.Get(), property, seen);
            if (FAILED(hr)) {
                Fail(std::wstring(property) + L" failed " + when + L": " + LastErrorText(hr));
            } else if (seen != value) {
                Fail(std::wstring(property) + L" is \"" + seen + L"\" " + when + L", not \"" + value + L"\"");
            }
        }
        if (game->squares != expected_) Fail(std::wstring(L"the demo's game left the board's position ") + when);
    }

    // The moves the board was given, in any order, against those expected.
    void CheckMoves(const std::wstring& wanted) {
        const ComPtr<IDispatch> control = Dispatch();
        std::wstring seen;
        if (control) DispatchProperty(control.Get(), L"LegalMoves", seen);
        const auto words = [](const std::wstring& text) {
            std::wistringstream in(text);
            return std::set<std::wstring>(std::istream_iterator<std::wstring, wchar_t>(in), {});
        };
        if (words(seen) != words(wanted))
            Fail(L"in check the board was given \"" + seen + L"\", not \"" + wanted + L"\"");
    }

    // The user's shape drawn with the right button, pressed on from and
    // released on to: AnnotationsChanged comes, the status bar shows the
    // shapes, the control holds them, and the line under the board stays
    // (a right click is no click for the demo).
    void Annotate(Square from, Square to, const std::wstring& wanted) {
        const std::wstring line = demo_.MoveText();
        Drag(from, to, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        const auto changed = [&] {
            for (const auto& e : demo_.Events())
                if (e.kind == EventKind::AnnotationsChanged) return true;
            return false;
        };
        const std::wstring what = L"a right-button press on " + Name(from) + L" released on " + Name(to);
        if (!PumpUntil(changed, kEventTimeout, &demo_)) {
            Fail(L"no AnnotationsChanged came for " + what + L"; the status line says \"" + demo_.StatusText() +
                 L"\"");
            return;
        }
        PumpMessages(100, &demo_);
        for (const auto& e : demo_.Events())
            if (e.kind == EventKind::AnnotationsChanged && Describe(e) != L"AnnotationsChanged " + wanted)
                Fail(what + L" raised " + Describe(e));
        CheckLine(line, L"after " + what);
        if (demo_.AnnotationsText() != L"Drawn: " + wanted)
            Fail(L"after " + what + L" the status bar shows \"" + demo_.AnnotationsText() + L"\" for the shapes");
        std::wstring seen;
        const ComPtr<IDispatch> control = Dispatch();
        if (!control || FAILED(DispatchProperty(control.Get(), L"Annotations", seen)) || seen != wanted)
            Fail(L"after " + what + L" the control's Annotations are \"" + seen + L"\", not \"" + wanted + L"\"");
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
    // Click, all naming the square; with dropFrom (the second click of a
    // move), then PieceDropped from there to the square. In a game the demo
    // selects nothing: the board picks pieces up itself.
    void ClickSquare(Square s, std::optional<Square> dropFrom = std::nullopt) {
        demo_.ForgetEvents();
        const auto done = [&] {
            for (const auto& e : demo_.Events())
                if (dropFrom ? e.kind == EventKind::PieceDropped : e.kind == EventKind::Click) return true;
            return false;
        };
        if (!ClickAt(SquarePoint(s), demo_) || !PumpUntil(done, kEventTimeout, &demo_)) {
            Fail(std::wstring(dropFrom ? L"no PieceDropped" : L"no Click") + L" came for a click on " + Name(s));
            return;
        }
        const float edge = static_cast<float>(demo_.BoardSize()) / 8.0f * kTwipsPerPixel;
        int downs = 0, ups = 0, clicks = 0, drops = 0;
        for (const auto& e : demo_.Events()) {
            const Square at{e.col, e.row};
            if (e.kind == EventKind::MouseMove) continue;
            if (e.kind == EventKind::PieceDropped && dropFrom == at && Square{e.toCol, e.toRow} == s && clicks == 1) {
                ++drops;
                continue;
            }
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
        if (downs != 1 || ups != 1 || clicks != 1 || drops != (dropFrom ? 1 : 0))
            Fail(L"a click on " + Name(s) + L" raised " + std::to_wstring(downs) + L" MouseDown, " +
                 std::to_wstring(ups) + L" MouseUp, " + std::to_wstring(clicks) + L" Click and " +
                 std::to_wstring(drops) + L" PieceDropped events");
        if (const auto selected = demo_.Road().Selected())
            Fail(L"after a click on " + Name(s) + L" the demo has " + Name(*selected) +
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
