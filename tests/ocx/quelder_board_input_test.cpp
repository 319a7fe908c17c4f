// The board class under a user's real mouse and keys, hosted by its ProgID in
// Wine's AtlAxWin container: pieces dragged and dropped, drops the host
// cancels, drags put back, the focus square and its keys, the board as a
// screen reader reads it through oleacc, and its property page as a form
// designer's frame drives it. Needs Quelder.ocx registered.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "board/board_model.hpp"
#include "control_test_support.hpp"
#include "quelder_sink_base.hpp"
#include "support/counted_object.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr int kSquare = 37;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A host's sink of __QuelderBoard: each event as text, "PieceDropped(5,7,5,5)";
// mouse events without their coordinates. cancelDrops: it sets Cancel.
class BoardSink : public CountedObject<IDispatch, IID_IDispatch, DIID___QuelderBoard> {
public:
    std::vector<std::string> events;
    bool cancelDrops = false;
    bool withMoves = false;
    // Run in the PieceDropped handler, as a host's message box.
    std::function<void()> onDrop;

    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        static const char* const names[] = {"?", "Click", "DblClick", "MouseDown", "MouseMove", "MouseUp",
                                            "PieceDropped", "KeyDown", "AnnotationsChanged"};
        if (params == nullptr || id < 1 || id > 8) return DISP_E_MEMBERNOTFOUND;
        const UINT n = params->cArgs;
        const UINT shown = id >= 3 && id <= 5 ? 2 : (id == 6 ? 4 : n);
        if (id == 4 && !withMoves) return S_OK;
        std::string text = names[id];
        text += "(";
        for (UINT i = 0; i < shown; ++i) {
            if (i > 0) text += ",";
            text += std::to_string(*V_I2REF(&params->rgvarg[n - 1 - i]));
        }
        text += ")";
        if (id == 6 && cancelDrops) *V_BOOLREF(&params->rgvarg[0]) = VARIANT_TRUE;
        events.push_back(text);
        if (id == 6 && onDrop) onDrop();
        return S_OK;
    }
};

#pragma GCC diagnostic pop

std::string Text(const std::vector<std::string>& all) {
    std::string text;
    for (const auto& e : all) text += e + " ";
    return text;
}

// The pointer to a point of the screen through SendInput, as a mouse moves it.
void PointerTo(POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    Pump(20);
}

// The accessibility events of one window, as a screen reader's hook hears
// them: "focus 53", "name 37", "selection+ 34", "value 19".
class WinEvents {
public:
    explicit WinEvents(HWND window) {
        window_ = window;
        heard_.clear();
        hook_ = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, &Heard, GetCurrentProcessId(),
                                0, WINEVENT_OUTOFCONTEXT);
    }
    ~WinEvents() {
        if (hook_ != nullptr) UnhookWinEvent(hook_);
    }
    WinEvents(const WinEvents&) = delete;
    WinEvents& operator=(const WinEvents&) = delete;
    bool Hooked() const { return hook_ != nullptr; }
    static std::string Take() {
        Pump(100);
        std::string text;
        for (const auto& e : std::exchange(heard_, {})) text += e + " ";
        return text;
    }

private:
    static void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
        if (window != window_ || object != OBJID_CLIENT) return;
        const char* name = event == EVENT_OBJECT_FOCUS              ? "focus"
                           : event == EVENT_OBJECT_NAMECHANGE       ? "name"
                           : event == EVENT_OBJECT_SELECTIONADD     ? "selection+"
                           : event == EVENT_OBJECT_SELECTIONREMOVE  ? "selection-"
                           : event == EVENT_OBJECT_VALUECHANGE      ? "value"
                                                                    : nullptr;
        if (name != nullptr) heard_.push_back(std::string(name) + " " + std::to_string(child));
    }
    static inline HWND window_ = nullptr;
    static inline std::vector<std::string> heard_;
    HWINEVENTHOOK hook_ = nullptr;
};

void Key(WORD key) {
    SendKey(key, true);
    SendKey(key, false);
    Pump(30);
}

class BoardInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.hr)) << std::hex << com_.hr;
        const Atl& atl = TheAtl();
        ASSERT_TRUE(atl.ready) << "atl.dll or its AtlAxWinInit is missing";
        // Its children are in the top window's Tab order, as a form's are.
        host_.reset(CreateWindowExW(WS_EX_CONTROLPARENT, L"AtlAxWin", L"QuelderLib.QuelderBoard",
                                    WS_CHILD | WS_VISIBLE, 0, 0, 296, 296,
                                    top_.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(host_) << "no AtlAxWin window, error " << GetLastError();
        ComPtr<IUnknown> control;
        ASSERT_EQ(atl.getControl(host_.get(), control.GetAddressOf()), S_OK) << "is Quelder.ocx registered?";
        ASSERT_EQ(control.As(&board_), S_OK);
        ComPtr<IOleWindow> window;
        ASSERT_EQ(control.As(&window), S_OK);
        ASSERT_EQ(window->GetWindow(&window_), S_OK);
        ComPtr<IConnectionPointContainer> points;
        ASSERT_EQ(control.As(&points), S_OK);
        ASSERT_EQ(points->FindConnectionPoint(DIID___QuelderBoard, point_.GetAddressOf()), S_OK);
        ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(&sink_), &cookie_), S_OK);
        // The pictures are compared as soon as a change is made: nothing animates
        // but where a case asks for it.
        ASSERT_EQ(board_->put_AnimationTime(0), S_OK);
        ASSERT_EQ(board_->NewGame(), S_OK);
        ASSERT_EQ(board_->put_DragPieces(VARIANT_TRUE), S_OK);
        SetForegroundWindow(top_.get());
        PointerTo({650, 650});
        Pump();
    }
    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
        point_.Reset();
        board_.Reset();
        host_.reset();
        top_.reset();
        Pump();
    }

    // The screen point of a board pixel.
    POINT Screen(int x, int y) const {
        POINT at{x, y};
        ClientToScreen(window_, &at);
        return at;
    }
    // The middle of the square shown at a screen column and row.
    static POINT Middle(int screenCol, int screenRow) {
        return {(screenCol - 1) * kSquare + kSquare / 2, (screenRow - 1) * kSquare + kSquare / 2};
    }
    // A press at from, moves in steps to to, and (release) the button let go.
    void Drag(POINT from, POINT to, bool release = true) {
        PointerTo(Screen(from.x, from.y));
        Mouse::Send(MOUSEEVENTF_LEFTDOWN);
        for (int step = 1; step <= 6; ++step)
            PointerTo(Screen(from.x + (to.x - from.x) * step / 6, from.y + (to.y - from.y) * step / 6));
        if (release) Mouse::Send(MOUSEEVENTF_LEFTUP);
        Pump(100);
    }
    std::vector<std::string> Take() {
        Pump(100);
        return std::exchange(sink_.events, {});
    }
    std::int32_t PieceAt(SHORT col, SHORT row) {
        ::PieceNum piece{};
        EXPECT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
        return static_cast<std::int32_t>(piece);
    }
    Image SquareShown(const Image& shot, int screenCol, int screenRow) {
        return Crop(shot, (screenCol - 1) * kSquare, (screenRow - 1) * kSquare, kSquare, kSquare);
    }

    ComApartment com_;
    TopWindow top_{100, 100, 600, 600};
    handles::UniqueWindow host_;
    ComPtr<_QuelderBoard> board_;
    HWND window_ = nullptr;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    BoardSink sink_;
};

TEST_F(BoardInputTest, DraggedPiecesMoveWhereDroppedAndGoBackWhenTheDropIsCancelledEscapedOrOffTheBoard) {
    const Image start = Shot(window_);
    // e2 (5, 7) lifted: its square shows empty wood at once, the piece follows
    // the pointer above the other squares.
    Drag(Middle(5, 7), Middle(5, 6) , false);
    Image shot = Shot(window_);
    EXPECT_TRUE(SameImage(SquareShown(shot, 5, 7), SquareShown(start, 1, 5))) << "the lifted piece's square";
    EXPECT_FALSE(SameImage(SquareShown(shot, 5, 6), SquareShown(start, 5, 6))) << "no piece under the pointer";
    EXPECT_TRUE(SameImage(SquareShown(shot, 4, 6), SquareShown(start, 4, 6)));
    PointerTo(Screen(Middle(5, 5).x, Middle(5, 5).y));
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Text(Take()), "MouseDown(5,7) MouseUp(5,7) PieceDropped(5,7,5,5) ");
    EXPECT_EQ(PieceAt(5, 5), Wpawn);
    EXPECT_EQ(PieceAt(5, 7), None);
    shot = Shot(window_);
    EXPECT_TRUE(SameImage(SquareShown(shot, 5, 5), SquareShown(start, 5, 7))) << "the pawn on its new square";
    EXPECT_TRUE(SameImage(SquareShown(shot, 5, 6), SquareShown(start, 5, 6))) << "the pointer's trail is gone";

    // A press and release in place is still the published click; moves still
    // come during a drag.
    const Image moved = Shot(window_);
    Drag(Middle(4, 7), Middle(4, 7));
    EXPECT_EQ(Text(Take()), "MouseDown(4,7) MouseUp(4,7) Click(4,7) ");
    sink_.withMoves = true;
    Drag(Middle(3, 7), Middle(3, 5));
    const std::vector<std::string> dragged = Take();
    sink_.withMoves = false;
    EXPECT_GE(std::count(dragged.begin(), dragged.end(), "MouseMove(3,7)"), 4) << Text(dragged);
    std::vector<std::string> others;
    std::copy_if(dragged.begin(), dragged.end(), std::back_inserter(others),
                 [](const std::string& e) { return e.rfind("MouseMove", 0) != 0; });
    EXPECT_EQ(Text(others), "MouseDown(3,7) MouseUp(3,7) PieceDropped(3,7,3,5) ");
    SHORT c = 3, r = 5, c2 = 3, r2 = 7;
    ASSERT_EQ(board_->MovePiece(&c, &r, &c2, &r2), S_OK);
    Pump();
    EXPECT_TRUE(SameImage(Shot(window_), moved));

    // Drops that change nothing: cancelled by the host, Escape during the
    // drag, a release off the board, the mouse taken by another window, and
    // one back on its own square.
    sink_.cancelDrops = true;
    Drag(Middle(2, 8), Middle(3, 6));
    EXPECT_EQ(Text(Take()), "MouseDown(2,8) MouseUp(2,8) PieceDropped(2,8,3,6) ");
    Drag(Middle(7, 8), Middle(6, 6), false);
    Key(VK_ESCAPE);
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Text(Take()), "MouseDown(7,8) ");
    Drag(Middle(1, 7), {-30, 150});
    EXPECT_EQ(Text(Take()), "MouseDown(1,7) MouseUp(1,7) ");
    Drag(Middle(3, 8), Middle(3, 6), false);
    SetCapture(top_.get());  // another window takes the mouse, as a menu does
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    ReleaseCapture();
    EXPECT_EQ(Text(Take()), "MouseDown(3,8) ");
    Drag(Middle(8, 7), {Middle(8, 7).x + 12, Middle(8, 7).y + 10});
    EXPECT_EQ(Text(Take()), "MouseDown(8,7) MouseUp(8,7) ");
    EXPECT_EQ(PieceAt(2, 8), Wknight);
    EXPECT_EQ(PieceAt(7, 8), Wknight);
    EXPECT_EQ(PieceAt(1, 7), Wpawn);
    EXPECT_EQ(PieceAt(3, 8), Wbishop);
    EXPECT_TRUE(SameImage(Shot(window_), moved)) << "after the drops that changed nothing";

    // From the other side the events name the board's squares: the screen's
    // (1, 1) is (8, 8).
    sink_.cancelDrops = false;
    ASSERT_EQ(board_->put_Flipped(VARIANT_TRUE), S_OK);
    Drag(Middle(2, 1), Middle(3, 3));
    EXPECT_EQ(Text(Take()), "MouseDown(7,8) MouseUp(7,8) PieceDropped(7,8,6,6) ");
    EXPECT_EQ(PieceAt(6, 6), Wknight);
}

// Tab brings the focus; the arrows move a framed focus square in the screen's
// directions; Space and Enter click it or lift and put down its piece; Escape
// puts it back; other keys reach the host. oleacc reads the same board.
TEST_F(BoardInputTest, TheKeysAndAScreenReaderWorkTheBoardAsTheMouseDoes) {
    // Tab from a button of the window gives the board the focus (a click
    // does too, as the drags show); the container asks for its keys.
    const handles::UniqueWindow button(CreateWindowExW(0, L"BUTTON", L"Other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 400,
                                                       10, 80, 24, top_.get(), nullptr, nullptr, nullptr));
    SetFocus(button.get());
    MSG tabKey{button.get(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    IsDialogMessageW(top_.get(), &tabKey);
    Pump(100);
    ASSERT_EQ(GetFocus(), window_) << "Tab from the button";
    EXPECT_EQ(SendMessageW(window_, WM_GETDLGCODE, 0, 0) & (DLGC_WANTARROWS | DLGC_WANTCHARS),
              DLGC_WANTARROWS | DLGC_WANTCHARS);
    ComPtr<IOleControl> control;
    ASSERT_EQ(board_.As(&control), S_OK);
    CONTROLINFO info{};
    info.cb = sizeof info;
    ASSERT_EQ(control->GetControlInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(CTRLINFO_EATS_RETURN));
    Take();

    ComPtr<IAccessible> reader;
    ASSERT_EQ(AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(reader.GetAddressOf())),
              S_OK);
    long children = 0;
    EXPECT_EQ(reader->get_accChildCount(&children), S_OK);
    EXPECT_EQ(children, 64);
    const auto name = [&](std::int16_t col, std::int16_t row) {
        VARIANT child{};
        V_VT(&child) = VT_I4;
        V_I4(&child) = SquareIndex(col, row);
        BSTR text = nullptr;
        std::string result = reader->get_accName(child, &text) == S_OK && text ? Narrow(text) : "(none)";
        SysFreeString(text);
        return result;
    };
    const auto focused = [&] {
        VARIANT child{};
        return reader->get_accFocus(&child) == S_OK && V_VT(&child) == VT_I4 ? V_I4(&child) : -1;
    };
    EXPECT_EQ(name(5, 7), "e2 white pawn");
    EXPECT_EQ(name(4, 1), "d8 black queen");
    EXPECT_EQ(name(5, 5), "e4 empty");
    EXPECT_EQ(focused(), SquareIndex(1, 8)) << "the focus starts at the bottom left";
    const WinEvents heard(window_);
    ASSERT_TRUE(heard.Hooked());

    // Keys and where the focus goes, from a1: table of real key presses.
    struct Step {
        WORD key;
        std::int16_t col, row;
    };
    const Step steps[] = {{VK_RIGHT, 2, 8}, {VK_UP, 2, 7}, {VK_END, 8, 7}, {VK_RIGHT, 8, 7},
                          {VK_HOME, 1, 7},  {VK_DOWN, 1, 8}, {VK_DOWN, 1, 8}, {VK_UP, 1, 7}};
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(focused(), SquareIndex(s.col, s.row)) << "after key " << s.key;
    }
    EXPECT_EQ(heard.Take(), "focus 58 focus 50 focus 56 focus 49 focus 57 focus 49 ")
        << "a focus event for each move, none for a key that moves nothing";
    // Its frame shows on the focus square only, and goes with the focus.
    const Image framed = Shot(window_);
    EXPECT_FALSE(SameImage(SquareShown(framed, 1, 7), SquareShown(framed, 3, 7))) << "no focus frame";
    EXPECT_TRUE(SameImage(SquareShown(framed, 2, 7), SquareShown(framed, 4, 7)));

    // Space clicks without the mouse events; a key of no use to the board
    // reaches the host. With DragPieces off nothing is lifted.
    ASSERT_EQ(board_->put_DragPieces(VARIANT_FALSE), S_OK);
    Key(VK_SPACE);
    Key('A');
    EXPECT_EQ(Text(Take()), "Click(1,7) KeyDown(65,0) ");

    // Lifted by Space, carried by the arrows, put down by Enter: a move; then
    // one put back by Escape. The screen reader hears of the new names.
    ASSERT_EQ(board_->put_DragPieces(VARIANT_TRUE), S_OK);
    Key(VK_SPACE);
    EXPECT_EQ(name(1, 7), "a2 white pawn") << "the board does not change while a piece is lifted";
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RETURN);
    EXPECT_EQ(Text(Take()), "PieceDropped(1,7,1,5) ");
    EXPECT_NE(heard.Take().find("name 33 name 49 "), std::string::npos) << "the squares the pawn left and took";
    EXPECT_EQ(name(1, 5), "a4 white pawn");
    EXPECT_EQ(name(1, 7), "a2 empty");
    const Image before = Shot(window_);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RIGHT);
    Key(VK_RETURN);
    Key(VK_UP);
    Key(VK_ESCAPE);
    Key(VK_DOWN);
    Key(VK_LEFT);
    Key(VK_UP);
    Key(VK_UP);
    EXPECT_EQ(Text(Take()), "");
    EXPECT_EQ(PieceAt(2, 7), Wpawn);
    EXPECT_TRUE(SameImage(Shot(window_), before)) << "after a lift put back by Escape";

    heard.Take();
    // The container's accelerator pass hands the board its keys, not Tab.
    ComPtr<IOleInPlaceActiveObject> active;
    ASSERT_EQ(board_.As(&active), S_OK);
    MSG right{window_, WM_KEYDOWN, VK_RIGHT, 1, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&right), S_OK);
    EXPECT_EQ(focused(), SquareIndex(2, 5));
    MSG tab{window_, WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&tab), S_FALSE);

    // The reader's view: states, marks, and its default action is a click.
    SHORT col = 2, row = 5;
    ASSERT_EQ(board_->SelectSquare(&col, &row), S_OK);
    ASSERT_EQ(board_->MarkSquare(3, 3, 0x00FFFF), S_OK);
    EXPECT_EQ(heard.Take(), "focus 34 selection+ 34 value 19 ");
    VARIANT b5{}, c6{};
    V_VT(&b5) = VT_I4, V_I4(&b5) = SquareIndex(2, 5);
    V_VT(&c6) = VT_I4, V_I4(&c6) = SquareIndex(3, 3);
    VARIANT state{};
    ASSERT_EQ(reader->get_accState(b5, &state), S_OK);
    EXPECT_EQ(V_I4(&state) & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED),
              STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED);
    BSTR value = nullptr;
    EXPECT_EQ(reader->get_accValue(c6, &value), S_OK);
    EXPECT_EQ(value ? Narrow(value) : "", "marked");
    SysFreeString(value);
    EXPECT_EQ(reader->accDoDefaultAction(c6), S_OK);
    EXPECT_EQ(Text(Take()), "Click(3,3) ");

    // From the other side the keys follow the screen, the names the board.
    ASSERT_EQ(board_->put_Flipped(VARIANT_TRUE), S_OK);
    Key(VK_LEFT);
    EXPECT_EQ(focused(), SquareIndex(3, 5));
    EXPECT_EQ(name(3, 5), "c4 empty");
}

// What hosts do around the user's moves: a drop handler that shows a window
// taking the focus (a message box) does not undo the move; a frozen board
// lifts nothing; a focused board deactivated in place draws no focus frame;
// and errors keep their description through the published interface.
TEST_F(BoardInputTest, HostsThatTakeTheFocusFreezeOrDeactivateNeitherUndoNorOutliveWhatTheUserDid) {
    ASSERT_EQ(board_->Clear(), S_OK);
    SHORT a1c = 1, a1r = 8;
    ASSERT_EQ(board_->put_Piece(&a1c, &a1r, static_cast<::PieceNum>(Wrook)), S_OK);
    SetFocus(window_);
    Pump(50);
    ASSERT_EQ(GetFocus(), window_);
    sink_.onDrop = [&] {
        const handles::UniqueWindow box(CreateWindowExW(0, L"BUTTON", L"OK", WS_POPUP | WS_VISIBLE, 200, 200, 80, 30,
                                                        top_.get(), nullptr, nullptr, nullptr));
        SetFocus(box.get());
        Pump(50);
    };
    Key(VK_SPACE);
    Key(VK_UP);
    Key(VK_RETURN);
    sink_.onDrop = nullptr;
    EXPECT_EQ(Text(Take()), "PieceDropped(1,8,1,7) ");
    EXPECT_EQ(PieceAt(1, 7), Wrook) << "the move a handler's message box took the focus from";
    EXPECT_EQ(PieceAt(1, 8), None);

    // Frozen, the board asks its host nothing, so it lifts and drops nothing.
    SHORT a2r = 7;
    ASSERT_EQ(board_->put_Piece(&a1c, &a2r, static_cast<::PieceNum>(Wrook)), S_OK);
    ASSERT_EQ(board_->put_Piece(&a1c, &a1r, static_cast<::PieceNum>(None)), S_OK);
    ComPtr<IOleControl> control;
    ASSERT_EQ(board_.As(&control), S_OK);
    ASSERT_EQ(control->FreezeEvents(TRUE), S_OK);
    SetFocus(window_);
    Pump(50);
    const Image frozen = Shot(window_);
    Drag(Middle(1, 7), Middle(1, 5), false);
    EXPECT_TRUE(SameImage(Shot(window_), frozen)) << "a frozen board lifted the rook";
    Mouse::Send(MOUSEEVENTF_LEFTUP);
    Key(VK_SPACE);
    Key(VK_UP);
    Key(VK_RETURN);
    ASSERT_EQ(control->FreezeEvents(FALSE), S_OK);
    EXPECT_EQ(Text(Take()), "");
    EXPECT_EQ(PieceAt(1, 7), Wrook);
    EXPECT_EQ(PieceAt(1, 8), None);

    // Deactivated in place while focused: what the container draws of it
    // afterwards shows no focus frame.
    SetFocus(top_.get());
    Pump(50);
    const Image unfocused = DrawnControl(board_.Get(), 296, 296);
    SetFocus(window_);
    Pump(50);
    EXPECT_FALSE(SameImage(DrawnControl(board_.Get(), 296, 296), unfocused)) << "no focus frame while focused";
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(board_.As(&inPlace), S_OK);
    ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_TRUE(SameImage(DrawnControl(board_.Get(), 296, 296), unfocused)) << "the focus frame outlived the focus";

    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(board_.As(&errors), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__Quelder), S_OK) << "the published interface it answers for";
}

// With the host's moves set, the board refuses a drop where they do not lead,
// moves by two clicks, asks which piece a pawn becomes, and lets the right
// button draw shapes that a left press clears.
TEST_F(BoardInputTest, TheHostsMovesClicksThePromotionChooserAndTheUsersShapes) {
    BSTR position = SysAllocString(L"4k3/P7/8/8/8/8/4P3/4K3"), moves = SysAllocString(L"e2e4 e2e3 a7a8q a7a8n");
    EXPECT_EQ(board_->put_Position(position), S_OK);
    EXPECT_EQ(board_->put_LegalMoves(moves), S_OK);
    SysFreeString(position);
    SysFreeString(moves);
    Pump();
    Drag(Middle(5, 7), Middle(5, 4));
    EXPECT_EQ(Text(Take()), "MouseDown(5,7) MouseUp(5,7) ") << "e2e5 is not among the moves";
    EXPECT_EQ(PieceAt(5, 7), Wpawn);
    Sleep(GetDoubleClickTime() + 50);  // the next press is no double click
    Drag(Middle(5, 7), Middle(5, 7));
    // A screen reader reads the destinations of the piece picked up, and the
    // chooser below as a menu.
    ComPtr<IAccessible> reader;
    ASSERT_EQ(AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(reader.GetAddressOf())),
              S_OK);
    const auto read = [&](long id, HRESULT (STDMETHODCALLTYPE IAccessible::*member)(VARIANT, BSTR*)) {
        VARIANT child{};
        V_VT(&child) = VT_I4;
        V_I4(&child) = id;
        BSTR text = nullptr;
        const HRESULT hr = (reader.Get()->*member)(child, &text);
        std::string out = hr == S_OK && text != nullptr ? Narrow(text) : "hr " + std::to_string(hr);
        SysFreeString(text);
        return out;
    };
    EXPECT_EQ(read(SquareIndex(5, 5), &IAccessible::get_accValue), "legal destination");
    EXPECT_EQ(read(SquareIndex(5, 4), &IAccessible::get_accValue), "hr 1");
    Drag(Middle(5, 5), Middle(5, 5));
    EXPECT_EQ(Text(Take()), "MouseDown(5,7) MouseUp(5,7) Click(5,7) MouseDown(5,5) MouseUp(5,5) Click(5,5) "
                            "PieceDropped(5,7,5,5) ");
    EXPECT_EQ(PieceAt(5, 5), Wpawn);

    // a7 to a8: the chooser offers the queen and the knight. Escape puts the
    // pawn back with nothing raised; the second time, Down and Enter.
    ::PieceNum chosen{};
    sink_.onDrop = [&] { board_->get_PromotionPiece(&chosen); };
    Drag(Middle(1, 2), Middle(1, 1));
    Key(VK_ESCAPE);
    EXPECT_EQ(Text(Take()), "MouseDown(1,2) MouseUp(1,2) ") << "a cancelled chooser";
    EXPECT_EQ(PieceAt(1, 2), Wpawn);
    Sleep(GetDoubleClickTime() + 50);
    Drag(Middle(1, 2), Middle(1, 1));
    EXPECT_EQ(Text(Take()), "MouseDown(1,2) MouseUp(1,2) ") << "nothing raised while the chooser is open";
    long children = 0;
    EXPECT_EQ(reader->get_accChildCount(&children), S_OK);
    EXPECT_EQ(children, 66);
    EXPECT_EQ(read(65, &IAccessible::get_accName) + ", " + read(66, &IAccessible::get_accName), "queen, knight");
    const WinEvents heard(window_);
    Key(VK_DOWN);
    EXPECT_EQ(heard.Take(), "focus 66 ") << "the keys move the menu's focus";
    Key(VK_RETURN);
    EXPECT_EQ(Text(Take()), "PieceDropped(1,2,1,1) ");
    EXPECT_EQ(chosen, Wknight);
    EXPECT_EQ(PieceAt(1, 1), Wknight);
    EXPECT_EQ(PieceAt(1, 2), None);
    ::PieceNum after{};
    EXPECT_EQ(board_->get_PromotionPiece(&after), S_OK);
    EXPECT_EQ(after, None) << "out of the drop";

    // A right drag with Shift draws a red arrow; a left press clears it.
    PointerTo(Screen(Middle(5, 5).x, Middle(5, 5).y));
    Mouse::Send(MOUSEEVENTF_RIGHTDOWN);
    PointerTo(Screen(Middle(5, 3).x, Middle(5, 3).y));
    SendKey(VK_SHIFT, true);  // the keys held as the button goes up choose the brush
    Mouse::Send(MOUSEEVENTF_RIGHTUP);
    Pump(50);
    SendKey(VK_SHIFT, false);
    EXPECT_EQ(Text(Take()), "MouseDown(5,5) KeyDown(16,1) MouseUp(5,5) AnnotationsChanged() ");
    BSTR shapes = nullptr;
    ASSERT_EQ(board_->get_Annotations(&shapes), S_OK);
    EXPECT_EQ(std::wstring(shapes), L"Re4e6");
    const Image drawnShapes = Shot(window_);
    Drag(Middle(8, 4), Middle(8, 4));
    EXPECT_EQ(Text(Take()), "AnnotationsChanged() MouseDown(8,4) MouseUp(8,4) Click(8,4) ");
    BSTR cleared = nullptr;
    ASSERT_EQ(board_->get_Annotations(&cleared), S_OK);
    EXPECT_EQ(std::wstring(cleared), L"");
    SysFreeString(cleared);
    EXPECT_FALSE(SameImage(Shot(window_), drawnShapes)) << "the arrow is gone";
    // Saved as text, restored as it was drawn, and no event for a let.
    EXPECT_EQ(board_->put_Annotations(shapes), S_OK);
    SysFreeString(shapes);
    Pump(50);
    EXPECT_EQ(Text(Take()), "");
    EXPECT_TRUE(SameImage(Shot(window_), drawnShapes)) << "restored";

    // Typed: the squares show in a box at the bottom-left corner, no key of
    // the move reaches the host, and Enter makes it.
    moves = SysAllocString(L"e4e5");
    EXPECT_EQ(board_->put_LegalMoves(moves), S_OK);
    SysFreeString(moves);
    EXPECT_EQ(board_->put_TypeMoves(VARIANT_TRUE), S_OK);
    SetFocus(window_);
    Pump(50);
    const Image before = Shot(window_);
    for (const WORD key : {WORD{'E'}, WORD{'4'}, WORD{'E'}, WORD{'5'}}) Key(key);
    EXPECT_FALSE(SameImage(SquareShown(Shot(window_), 1, 8), SquareShown(before, 1, 8))) << "the typed squares";
    Key(VK_RETURN);
    EXPECT_EQ(Text(Take()), "PieceDropped(5,5,5,4) ");
    EXPECT_EQ(PieceAt(5, 4), Wpawn);
    EXPECT_TRUE(SameImage(SquareShown(Shot(window_), 1, 8), SquareShown(before, 1, 8))) << "the box is gone";
}

// A move the host makes slides: half-way the pawn is between its squares and
// neither shows it; at the end it is home. The board reads final throughout.
// With the system's animation of controls off, the move shows at once.
TEST_F(BoardInputTest, AMoveSlidesBetweenItsSquaresAndReadsFinalThroughout) {
    Pump(300);
    const Image start = Shot(window_);
    ASSERT_EQ(board_->put_AnimationTime(2000), S_OK);
    SHORT fromCol = 5, fromRow = 7, toCol = 5, toRow = 5;
    ASSERT_EQ(board_->MovePiece(&fromCol, &fromRow, &toCol, &toRow), S_OK);
    EXPECT_EQ(PieceAt(5, 5), Wpawn) << "at once";
    EXPECT_EQ(PieceAt(5, 7), None);
    // Frames until one shows the pawn between its squares: on e3, neither on
    // e2 nor whole on e4 (a slow machine shows fewer frames, not other ones).
    const ULONGLONG began = GetTickCount64();
    int frames = 0;
    bool between = false;
    while (!between && GetTickCount64() - began < 1900) {
        Pump(40);
        const Image now = Shot(window_);
        ++frames;
        between = !SameImage(SquareShown(now, 5, 6), SquareShown(start, 5, 6)) &&
                  SameImage(SquareShown(now, 5, 7), SquareShown(start, 1, 5)) &&
                  !SameImage(SquareShown(now, 5, 5), SquareShown(start, 5, 7));
    }
    EXPECT_TRUE(between) << "no frame of " << frames << " showed the pawn on its way";
    const Image drawn = DrawnControl(board_.Get(), 8 * kSquare, 8 * kSquare);  // IViewObject::Draw, on the way
    Pump(2200);
    const Image end = Shot(window_);
    EXPECT_TRUE(SameImage(SquareShown(end, 5, 5), SquareShown(start, 5, 7))) << "home on e4";
    EXPECT_TRUE(SameImage(SquareShown(drawn, 5, 5), SquareShown(end, 5, 5))) << "a picture of the board is never a frame";
    EXPECT_TRUE(SameImage(SquareShown(drawn, 5, 6), SquareShown(end, 5, 6)));
    EXPECT_TRUE(SameImage(SquareShown(end, 5, 6), SquareShown(start, 5, 6))) << "nothing left on e3";

    BOOL animate = TRUE;
    SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animate, 0);
    if (!SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<void*>(FALSE), 0))
        GTEST_SKIP() << "the system's animation setting cannot be changed here";
    ASSERT_EQ(board_->MovePiece(&toCol, &toRow, &fromCol, &fromRow), S_OK);
    Pump(100);
    SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(animate)), 0);
    EXPECT_TRUE(SameImage(Shot(window_), start)) << "with the animation of controls off";
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A property frame's site for a page: the status flags it heard, together.
class PageSite : public CountedObject<IPropertyPageSite, IID_IPropertyPageSite> {
public:
    DWORD heard = 0;

    STDMETHODIMP OnStatusChange(DWORD flags) override {
        heard |= flags;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        if (locale == nullptr) return E_POINTER;
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** container) override {
        if (container != nullptr) *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

#pragma GCC diagnostic pop

std::wstring WindowText(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

// A form designer shows the board's property page as a property frame does:
// the page the board names, made by its CLSID, shows the board's values;
// what the user types and clicks makes it dirty, and Apply sets it through
// the board's members (and what it applied is saved with the form). A value a
// member refuses fails Apply with the member's error and changes nothing.
// Calls out of order fail or do nothing; the published class has no page.
TEST_F(BoardInputTest, ItsPropertyPageShowsTheBoardAndAppliesWhatTheUserChanges) {
    ComPtr<IUnknown> published;
    ASSERT_EQ(CoCreateInstance(CLSID_Quelder, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(published.GetAddressOf())), S_OK);
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(MakePropertyPage(published.Get(), page), E_NOINTERFACE) << "the published class";
    const HRESULT made = MakePropertyPage(board_.Get(), page);
    ASSERT_EQ(made, S_OK) << std::hex << made;

    EXPECT_EQ(page->Deactivate(), S_OK) << "before Activate";
    EXPECT_EQ(page->Apply(), S_OK) << "nothing to apply";
    IUnknown* notABoard[] = {published.Get()};
    EXPECT_EQ(page->SetObjects(1, notABoard), E_NOINTERFACE);
    PageSite site;
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    IUnknown* objects[] = {board_.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.pszTitle), L"Board");
    EXPECT_TRUE(info.size.cx > 200 && info.size.cy > 100) << info.size.cx << " x " << info.size.cy;
    CoTaskMemFree(info.pszTitle);

    // Opened: the board's values (the fixture drags pieces), the form saved.
    ASSERT_EQ(board_->put_AnimationTime(150), S_OK);
    ComPtr<IPersistStreamInit> saved;
    ASSERT_EQ(board_.As(&saved), S_OK);
    ComPtr<IStream> form;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, form.GetAddressOf()), S_OK);
    ASSERT_EQ(saved->Save(form.Get(), TRUE), S_OK);
    const RECT place{0, 300, info.size.cx, 300 + info.size.cy};
    ASSERT_EQ(page->Activate(top_.get(), &place, FALSE), S_OK);
    EXPECT_EQ(page->Activate(top_.get(), &place, FALSE), E_UNEXPECTED) << "open already";
    ASSERT_EQ(page->Show(SW_SHOW), S_OK);
    const HWND shown = FindWindowExW(top_.get(), nullptr, L"#32770", nullptr);
    const HWND edit = FindWindowExW(shown, nullptr, L"Edit", nullptr);
    const HWND coordinates = FindWindowExW(shown, nullptr, L"Button", L"Show &coordinates");
    const HWND drag = FindWindowExW(shown, nullptr, L"Button", L"D&rag pieces");
    const HWND flat = FindWindowExW(shown, nullptr, L"Button", L"&Flat colours");
    ASSERT_TRUE(edit && coordinates && drag && flat) << "the page's controls";
    EXPECT_EQ(WindowText(edit), L"150");
    EXPECT_EQ(SendMessageW(drag, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(coordinates, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(flat, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "a board in wood";
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(site.heard, 0u);

    // Typed and clicked, as the controls tell their dialog.
    const auto type = [&](const wchar_t* text) {
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(shown, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    };
    type(L"750");
    SendMessageW(coordinates, BM_CLICK, 0, 0);
    SendMessageW(flat, BM_CLICK, 0, 0);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site.heard, DWORD{PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE});
    EXPECT_EQ(saved->IsDirty(), S_FALSE) << "nothing applied yet";

    ASSERT_EQ(page->Apply(), S_OK);
    LONG time = 0;
    VARIANT_BOOL labelled = VARIANT_FALSE;
    EXPECT_EQ(board_->get_AnimationTime(&time), S_OK);
    EXPECT_EQ(time, 750);
    EXPECT_EQ(board_->get_ShowCoordinates(&labelled), S_OK);
    EXPECT_EQ(labelled, VARIANT_TRUE);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "after Apply";
    EXPECT_EQ(saved->IsDirty(), S_OK) << "what the page applied is saved with the form";

    // Refused by AnimationTime: Apply fails as the member does, the page stays dirty.
    for (const auto& [text, refusal] : {std::pair{L"5000", HRESULT(0x800A017C)}, std::pair{L"fast", DISP_E_TYPEMISMATCH}}) {
        type(text);
        const HRESULT hr = page->Apply();
        EXPECT_EQ(hr, refusal) << Narrow(text) << ": " << std::hex << hr;
        if (hr == HRESULT(0x800A017C)) {
            EXPECT_EQ(TakeErrorInfo().description, L"Invalid property value");
        }
        EXPECT_EQ(board_->get_AnimationTime(&time), S_OK);
        EXPECT_EQ(time, 750) << Narrow(text);
        EXPECT_EQ(page->IsPageDirty(), S_OK) << Narrow(text);
    }

    // Closed as a frame closes it, and opened again: the board is flat now,
    // in the wood's own colours, and the page says so.
    ASSERT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(shown));
    ASSERT_EQ(page->Activate(top_.get(), &place, FALSE), S_OK);
    const HWND again = FindWindowExW(top_.get(), nullptr, L"#32770", nullptr);
    EXPECT_EQ(SendMessageW(FindWindowExW(again, nullptr, L"Button", L"&Flat colours"), BM_GETCHECK, 0, 0), BST_CHECKED)
        << "a flat board in the default colours";
    ASSERT_EQ(page->Deactivate(), S_OK);
    // Then opened with nothing and let go of open.
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 0) << "the page still holds the site";
    ASSERT_EQ(page->Activate(top_.get(), &place, FALSE), S_OK);
    const HWND reopened = FindWindowExW(top_.get(), nullptr, L"#32770", nullptr);
    EXPECT_TRUE(IsWindow(reopened));
    page.Reset();
    EXPECT_FALSE(IsWindow(reopened)) << "released open";
}

}  // namespace
}  // namespace quelder::testing
