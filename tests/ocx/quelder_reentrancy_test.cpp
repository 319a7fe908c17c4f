// A host's handler may do anything while an event runs: let go of its last
// reference to the control, clear the board, resize it (to a valid size or an
// invalid one) or unadvise itself. Whatever it does, from whichever event of
// the mouse messages on the control's window in a container (a dropped piece
// and a key on the board class's), or from a property's change notification,
// nothing crashes, the board reads as the handler left it and nothing is
// kept.
#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "support/counted_object.hpp"
#include "control_test_support.hpp"
#include "crash_report.hpp"
#include "plain_site.hpp"
#include "quelder_sink_base.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);  // 380
constexpr int kNatural = 296;
constexpr int kSquare = 37;

enum class Kind { Click = 1, DblClick, MouseDown, MouseMove, MouseUp, PieceDropped, KeyDown };
const char* const kKindNames[] = {"", "Click", "DblClick", "MouseDown", "MouseMove", "MouseUp", "PieceDropped", "KeyDown"};

enum class Action { ReleaseLast, Clear, Smaller, Larger, InvalidSize, Unadvise, Deactivate };
struct ActionCase {
    Action action;
    const char* name;
    LONG size;  // for the sizes
};
const ActionCase kActions[] = {
    {Action::ReleaseLast, "releases its last reference", 0},
    {Action::Clear, "clears the board", 0},
    {Action::Smaller, "makes the board small", 16},
    {Action::Larger, "makes the board large", 1200},
    {Action::InvalidSize, "asks for a size too large", 40000},
    {Action::InvalidSize, "asks for a negative size", -8},
    {Action::Unadvise, "unadvises itself", 0},
};
// The window's events also have handlers whose container ends the control's
// activation from inside them.
std::vector<ActionCase> WindowActions() {
    std::vector<ActionCase> actions(std::begin(kActions), std::end(kActions));
    actions.push_back({Action::Deactivate, "deactivates the control in place", 0});
    return actions;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A sink that runs its handler the first time the event it waits for comes.
class ActingSink : public QuelderSinkBase {
public:
    DISPID waitFor = 0;
    std::function<void()> handler;
    int calls = 0;   // events of any kind
    int acted = 0;   // times the handler ran

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        ++calls;
        if (id == waitFor && acted == 0) {
            ++acted;
            if (handler) handler();
        }
        return S_OK;
    }
};

// A sink of property changes that runs its handler at the first change.
class ActingNotifySink : public CountedObject<IPropertyNotifySink, IID_IPropertyNotifySink> {
public:
    std::function<void()> handler;
    int changes = 0;
    STDMETHODIMP OnChanged(DISPID) override {
        if (++changes == 1 && handler) handler();
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

// A property bag that holds a "Piece" value and no other, and keeps the
// "Piece" a save writes into it.
class PieceBag : public CountedObject<IPropertyBag, IID_IPropertyBag> {
public:
    SHORT piece = 0;
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (name == nullptr || value == nullptr) return E_POINTER;
        if (lstrcmpW(name, L"Piece") != 0) return E_INVALIDARG;  // not in the bag
        VariantClear(value);
        V_VT(value) = VT_I2;
        V_I2(value) = piece;
        return S_OK;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        if (name == nullptr || value == nullptr) return E_POINTER;
        if (lstrcmpW(name, L"Piece") == 0) piece = V_VT(value) == VT_I2 ? V_I2(value) : SHORT{-32768};
        return S_OK;
    }
};

#pragma GCC diagnostic pop

// The position of a new game, as get_Piece reads it, or what failed.
std::string Pieces(_Quelder* board) {
    std::string pieces;
    for (SHORT row = 1; row <= 8; ++row)
        for (SHORT col = 1; col <= 8; ++col) {
            SHORT c = col, r = row;
            PieceNum piece = None;
            if (FAILED(board->get_Piece(&c, &r, &piece))) return "a read failed";
            pieces += static_cast<char>('a' + piece);
        }
    return pieces;
}

class ReentrancyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.hr));
        ASSERT_NE(ocx_.Module(), nullptr);
        // The position every control starts from here.
        ComPtr<_Quelder> board = ocx_.Create();
        ASSERT_TRUE(board);
        ASSERT_EQ(board->NewGame(), S_OK);
        newGame_ = Pieces(board.Get());
        SHORT fromCol = 2, fromRow = 2, toCol = 2, toRow = 4;
        ASSERT_EQ(board->MovePiece(&fromCol, &fromRow, &toCol, &toRow), S_OK);
        dropped_ = Pieces(board.Get());
        expected_ = newGame_;
    }

    // One control with the sink advised, its handler doing the action; the
    // test's references in board and point.
    struct Arranged {
        ComPtr<_Quelder> board;
        ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
        HRESULT handlerResult = S_OK;  // the call the handler made
        IUnknown* last = nullptr;      // the reference the handler lets go of
    };
    // The board class's own events come from a board class that drags.
    void Arrange(Arranged& a, ActingSink& sink, Kind kind, const ActionCase& action) {
        const bool boardClass = kind >= Kind::PieceDropped;
        if (boardClass) {
            const ComPtr<_QuelderBoard> made = ocx_.CreateBoard();
            ASSERT_TRUE(made);
            ASSERT_EQ(made->put_DragPieces(VARIANT_TRUE), S_OK);
            ASSERT_EQ(made.As(&a.board), S_OK);
        } else {
            a.board = ocx_.Create();
        }
        ASSERT_TRUE(a.board);
        ASSERT_EQ(a.board->NewGame(), S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(a.board.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(boardClass ? DIID___QuelderBoard : DIID___Quelder,
                                                 a.point.GetAddressOf()),
                  S_OK);
        ASSERT_EQ(a.point->Advise(static_cast<IDispatch*>(&sink), &a.cookie), S_OK);
        sink.waitFor = static_cast<DISPID>(kind);
        _Quelder* board = a.board.Get();
        switch (action.action) {
        case Action::ReleaseLast:
            sink.handler = [&a] {
                a.last->Release();
                a.last = nullptr;
            };
            break;
        case Action::Clear:
            sink.handler = [&a, board] { a.handlerResult = board->Clear(); };
            break;
        case Action::Smaller:
        case Action::Larger:
        case Action::InvalidSize:
            sink.handler = [&a, board, size = action.size] {
                LONG dimension = size;
                a.handlerResult = board->ChangeBoardSize(&dimension);
            };
            break;
        case Action::Unadvise:
            sink.handler = [&a] { a.handlerResult = a.point->Unadvise(a.cookie); };
            break;
        case Action::Deactivate:
            sink.handler = [&a] {
                ComPtr<IOleInPlaceObject> inPlace;
                a.handlerResult = a.board.As(&inPlace);
                if (inPlace) a.handlerResult = inPlace->InPlaceDeactivate();
            };
            break;
        }
    }
    // One control arranged as above, active in place on top through site at
    // its natural size; its window, or null.
    HWND Hosted(Arranged& a, ActingSink& sink, Kind kind, const ActionCase& action, PlainSite& site, HWND top) {
        site.position = {0, 0, kNatural, kNatural};
        Arrange(a, sink, kind, action);
        if (HasFatalFailure()) return nullptr;
        return ActivateInPlace(a.board.Get(), site, top);
    }
    // For ReleaseLast: every reference of the test but one goes to the sink.
    static void HandOver(Arranged& a, IUnknown* keep) {
        keep->AddRef();
        a.last = keep;
        a.point.Reset();
        a.board.Reset();
    }

    // After the event: the board as the handler left it (newGame_, or
    // dropped_ where the drop went on), and no sink kept. window: the
    // control's.
    void Check(Arranged& a, ActingSink& sink, const ActionCase& action, const std::string& what, HWND window) {
        EXPECT_EQ(sink.acted, 1) << what << ": the event never came";
        if (action.action == Action::ReleaseLast) {
            EXPECT_EQ(a.last, nullptr) << what;
            EXPECT_EQ(sink.references, 0) << what << ": the control outlived its last reference";
            EXPECT_EQ(ocx_.CanUnloadNow(), S_OK) << what << ": an object outlived the control";
            return;
        }
        const LONG height = PixelExtent(a.board.Get()).cy;
        switch (action.action) {
        case Action::Clear:
            EXPECT_EQ(a.handlerResult, S_OK) << what;
            EXPECT_EQ(Pieces(a.board.Get()), std::string(64, 'a' + None)) << what;
            break;
        case Action::Smaller:
        case Action::Larger:
            EXPECT_EQ(a.handlerResult, S_OK) << what;
            EXPECT_EQ(height, action.size) << what;
            EXPECT_EQ(Pieces(a.board.Get()), expected_) << what;
            break;
        case Action::InvalidSize:
            EXPECT_EQ(a.handlerResult, kInvalidPropertyValue) << what << ": " << std::hex << a.handlerResult;
            EXPECT_EQ(height, kNatural) << what;
            EXPECT_EQ(Pieces(a.board.Get()), expected_) << what;
            break;
        case Action::Unadvise: {
            EXPECT_EQ(a.handlerResult, S_OK) << what;
            EXPECT_EQ(sink.references, 0) << what << ": the control keeps an unadvised sink";
            const int before = sink.calls;
            SendClick(window, SquareMiddle(1, 1));
            EXPECT_EQ(sink.calls, before) << what << ": an unadvised sink still hears events";
            break;
        }
        case Action::Deactivate:
            EXPECT_EQ(a.handlerResult, S_OK) << what;
            EXPECT_EQ(Pieces(a.board.Get()), expected_) << what;
            break;
        case Action::ReleaseLast:
            break;
        }
        // The control still works.
        SHORT col = 4, row = 4;
        EXPECT_EQ(a.board->put_Piece(&col, &row, WQueen), S_OK) << what;
        PieceNum piece = None;
        EXPECT_EQ(a.board->get_Piece(&col, &row, &piece), S_OK) << what;
        EXPECT_EQ(piece, WQueen) << what;
    }
    void Finish(Arranged& a, ActingSink& sink, const std::string& what) {
        if (a.point && sink.references > 0) a.point->Unadvise(a.cookie);
        a = Arranged{};
        EXPECT_EQ(sink.references, 0) << what << ": the sink is still held";
        EXPECT_EQ(ocx_.CanUnloadNow(), S_OK) << what << ": an object outlived the test's references";
    }

    ComApartment com_;
    Ocx ocx_;
    std::string newGame_;
    std::string dropped_;   // after (2, 2) to (2, 4)
    std::string expected_;  // the board the handlers of this case leave
};

TEST_F(ReentrancyTest, HandlersOfEventsFromTheWindowMayDoAnything) {
    TopWindow top(30, 30, 1300, 1300);
    ASSERT_NE(top.get(), nullptr);
    for (int k = 1; k <= 7; ++k) {
        const Kind kind = static_cast<Kind>(k);
        for (const ActionCase& action : WindowActions()) {
            // A drop whose handler deactivated the control is not made.
            expected_ = kind == Kind::PieceDropped && action.action != Action::Deactivate ? dropped_ : newGame_;
            const std::string what = std::string(kKindNames[k]) + " from the window, a handler that " + action.name;
            PlainSite site;
            site.position = {10, 10, 10 + kNatural, 10 + kNatural};
            ActingSink sink;
            Arranged a;
            Arrange(a, sink, kind, action);
            if (HasFatalFailure()) return;
            const HWND window = ActivateInPlace(a.board.Get(), site, top.get());
            ASSERT_NE(window, nullptr) << what;
            ComPtr<IOleObject> object;
            ASSERT_EQ(a.board.As(&object), S_OK);
            Pump();
            if (action.action == Action::ReleaseLast) {
                HandOver(a, object.Get());
                object.Reset();
            }

            // The square at column 2, row 2 (the tenth), pressed in its middle.
            const LPARAM at = MAKELPARAM(kSquare + kSquare / 2, kSquare + kSquare / 2);
            auto send = [&](UINT message, WPARAM keys) {
                if (IsWindow(window)) SendMessageW(window, message, keys, at);
            };
            switch (kind) {
            case Kind::MouseMove:
                send(WM_MOUSEMOVE, 0);
                break;
            case Kind::PieceDropped: {
                // The pawn on (2, 2) dragged to (2, 4).
                send(WM_LBUTTONDOWN, MK_LBUTTON);
                const LPARAM to = MAKELPARAM(kSquare + kSquare / 2, 3 * kSquare + kSquare / 2);
                if (IsWindow(window)) SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, to);
                if (IsWindow(window)) SendMessageW(window, WM_LBUTTONUP, 0, to);
                break;
            }
            case Kind::KeyDown:
                send(WM_KEYDOWN, 'A');
                break;
            case Kind::DblClick:
                send(WM_LBUTTONDOWN, MK_LBUTTON);
                send(WM_LBUTTONUP, 0);
                send(WM_LBUTTONDBLCLK, MK_LBUTTON);
                send(WM_LBUTTONUP, 0);
                break;
            default:
                send(WM_LBUTTONDOWN, MK_LBUTTON);
                send(WM_MOUSEMOVE, MK_LBUTTON);
                send(WM_LBUTTONUP, 0);
                break;
            }
            Pump(10);
            if (action.action == Action::ReleaseLast) {
                EXPECT_FALSE(IsWindow(window)) << what << ": the window outlived the control";
                EXPECT_EQ(site.references, 0) << what << ": the control's site is still held";
            } else if (action.action == Action::Deactivate) {
                EXPECT_FALSE(IsWindow(window)) << what << ": the window outlived the deactivation";
                EXPECT_EQ(GetCapture(), nullptr) << what << ": the mouse is still captured";
            } else {
                EXPECT_TRUE(IsWindow(window)) << what;
                EXPECT_EQ(GetCapture(), nullptr) << what << ": the mouse is still captured";
                if (action.action == Action::Smaller || action.action == Action::Larger) {
                    const SIZE size = ClientSize(window);
                    EXPECT_EQ(size.cx, action.size) << what;
                    EXPECT_EQ(size.cy, action.size) << what;
                }
            }
            Check(a, sink, action, what, window);
            if (object) {
                EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK) << what;
                EXPECT_EQ(object->SetClientSite(nullptr), S_OK) << what;
                object.Reset();
            }
            Finish(a, sink, what);
            EXPECT_FALSE(IsWindow(window)) << what;
            EXPECT_EQ(site.references, 0) << what;
        }
    }
}

// The same for the handlers of property changes, whichever property writer
// notifies them.
TEST_F(ReentrancyTest, HandlersOfPropertyChangesMayDoAnything) {
    struct Writer {
        const char* name;
        std::function<HRESULT(_Quelder*)> write;
    };
    const Writer writers[] = {
        {"Enabled", [](_Quelder* b) { return b->put_Enabled(VARIANT_TRUE); }},
        {"Piece",
         [](_Quelder* b) {
             SHORT col = 3, row = 4;
             return b->put_Piece(&col, &row, Bking);
         }},
        {"Picture",
         [](_Quelder* b) {
             PieceNum piece = Bpawn;
             ComPtr<IPictureDisp> picture;
             const HRESULT hr = b->get_Picture(&piece, picture.GetAddressOf());
             return FAILED(hr) ? hr : b->putref_Picture(&piece, picture.GetAddressOf());
         }},
    };
    for (const Writer& writer : writers) {
        for (const ActionCase& action : kActions) {
            const std::string what = std::string(writer.name) + " changed, a handler that " + action.name;
            ActingNotifySink sink;
            ComPtr<_Quelder> board = ocx_.Create();
            ASSERT_TRUE(board);
            ASSERT_EQ(board->NewGame(), S_OK);
            ComPtr<IConnectionPointContainer> container;
            ComPtr<IConnectionPoint> point;
            ASSERT_EQ(board.As(&container), S_OK);
            ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.GetAddressOf()), S_OK);
            container.Reset();
            DWORD cookie = 0;
            ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
            _Quelder* raw = board.Get();
            IUnknown* last = nullptr;
            HRESULT handlerResult = S_OK;
            switch (action.action) {
            case Action::ReleaseLast:
                sink.handler = [&] { std::exchange(last, nullptr)->Release(); };
                break;
            case Action::Clear:
                sink.handler = [&] { handlerResult = raw->Clear(); };
                break;
            case Action::Smaller:
            case Action::Larger:
            case Action::InvalidSize:
                sink.handler = [&, size = action.size] {
                    LONG dimension = size;
                    handlerResult = raw->ChangeBoardSize(&dimension);
                };
                break;
            case Action::Unadvise:
                sink.handler = [&] { handlerResult = point->Unadvise(cookie); };
                break;
            case Action::Deactivate:  // the window's events only
                break;
            }
            if (action.action == Action::ReleaseLast) {
                last = raw;
                board.Detach();
                point.Reset();
            }
            const HRESULT hr = writer.write(raw);
            EXPECT_EQ(hr, S_OK) << what << ": " << std::hex << hr;
            EXPECT_EQ(sink.changes, 1) << what;
            if (action.action == Action::ReleaseLast) {
                EXPECT_EQ(last, nullptr) << what;
            } else {
                const HRESULT expected = action.action == Action::InvalidSize ? kInvalidPropertyValue : S_OK;
                EXPECT_EQ(handlerResult, expected) << what << ": " << std::hex << handlerResult;
                EXPECT_NE(Pieces(raw), "a read failed") << what;
                EXPECT_EQ(writer.write(raw), S_OK) << what << ", again";
                if (action.action == Action::Unadvise) {
                    EXPECT_EQ(sink.changes, 1) << what << ": heard after unadvising";
                }
                if (point && action.action != Action::Unadvise) point->Unadvise(cookie);
                point.Reset();
                board.Reset();
            }
            EXPECT_EQ(sink.references, 0) << what << ": the sink is still held";
            EXPECT_EQ(ocx_.CanUnloadNow(), S_OK) << what << ": an object outlived the test's references";
        }
    }
}

// A handler of the change Piece(1, 1) = Bpawn that writes another square, or
// loads saved properties whose "Piece" has no image: the square gets the
// code its writer checked and shows it, and the saved "Piece" is what was
// written or loaded last.
TEST_F(ReentrancyTest, APieceWriterStoresTheCodeItCheckedWhateverItsHandlerDoes) {
    struct Case {
        const char* handler;
        bool load;     // loads the bag's "Piece"; otherwise writes Piece(8, 8) = Wking
        SHORT loaded;
        PieceNum corner;  // Piece(8, 8) afterwards
        SHORT saved;      // the saved "Piece" afterwards
    };
    const Case cases[] = {
        {"writes Piece(8, 8) = Wking", false, 0, Wking, Wking},
        {"loads a saved Piece of 500", true, 500, None, 500},
        {"loads a saved Piece of 0", true, 0, None, 0},
    };
    auto view = [](_Quelder* board) { return DrawnControl(board, kNatural, kNatural); };
    for (const Case& c : cases) {
        const std::string what = std::string("a handler that ") + c.handler;
        ComPtr<_Quelder> board = ocx_.Create();
        ASSERT_TRUE(board);
        ComPtr<IPersistPropertyBag> persist;
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(board.As(&persist), S_OK);
        ASSERT_EQ(board.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.GetAddressOf()), S_OK);
        ActingNotifySink sink;
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        PieceBag bag;
        bag.piece = c.loaded;
        HRESULT handlerResult = E_FAIL;
        sink.handler = [&] {
            SHORT col = 8, row = 8;
            handlerResult = c.load ? persist->Load(&bag, nullptr) : board->put_Piece(&col, &row, Wking);
        };
        SHORT col = 1, row = 1;
        const HRESULT hr = board->put_Piece(&col, &row, Bpawn);
        EXPECT_EQ(hr, S_OK) << what << ": " << std::hex << hr;
        EXPECT_EQ(handlerResult, S_OK) << what << ": " << std::hex << handlerResult;
        ASSERT_EQ(point->Unadvise(cookie), S_OK) << what;

        PieceNum piece = None;
        EXPECT_EQ(board->get_Piece(&col, &row, &piece), S_OK) << what;
        EXPECT_EQ(piece, Bpawn) << what;
        SHORT corner = 8;
        EXPECT_EQ(board->get_Piece(&corner, &corner, &piece), S_OK) << what;
        EXPECT_EQ(piece, c.corner) << what;
        // Drawn as a board given the same pieces without a handler.
        ComPtr<_Quelder> plain = ocx_.Create();
        ASSERT_TRUE(plain);
        ASSERT_EQ(plain->put_Piece(&col, &row, Bpawn), S_OK);
        if (c.corner != None) {
            ASSERT_EQ(plain->put_Piece(&corner, &corner, c.corner), S_OK);
        }
        EXPECT_TRUE(SameImage(view(board.Get()), view(plain.Get()))) << what;
        PieceBag saved;
        saved.piece = -1;
        EXPECT_EQ(persist->Save(&saved, TRUE, TRUE), S_OK) << what;
        EXPECT_EQ(saved.piece, c.saved) << what;
        // A later write is stored and saved as before.
        EXPECT_EQ(board->put_Piece(&col, &row, Wrook), S_OK) << what;
        EXPECT_EQ(board->get_Piece(&col, &row, &piece), S_OK) << what;
        EXPECT_EQ(piece, Wrook) << what;
        EXPECT_EQ(persist->Save(&saved, TRUE, TRUE), S_OK) << what;
        EXPECT_EQ(saved.piece, Wrook) << what;
    }
    EXPECT_EQ(ocx_.CanUnloadNow(), S_OK);
}

// A handler that ends the control's life inside a handler that resized it,
// while the press is held: the nested events and the release find it gone.
TEST_F(ReentrancyTest, AHandlerMayResizeAndThenLetGoWhileTheButtonIsHeld) {
    TopWindow top(30, 30, 700, 700);
    PlainSite site;
    ActingSink sink;
    Arranged a;
    const HWND window = Hosted(a, sink, Kind::MouseDown, kActions[2], site, top.get());
    ASSERT_NE(window, nullptr);
    ComPtr<IOleObject> object;
    ASSERT_EQ(a.board.As(&object), S_OK);
    _Quelder* board = a.board.Get();
    sink.handler = [&] {
        LONG dimension = 600;
        a.handlerResult = board->ChangeBoardSize(&dimension);
        // A move while the size changes under the press, then the end.
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 300));
        a.last->Release();
        a.last = nullptr;
    };
    HandOver(a, object.Get());
    object.Reset();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    if (IsWindow(window)) SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    Pump(10);
    EXPECT_EQ(a.handlerResult, S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(sink.references, 0);
    EXPECT_EQ(site.references, 0);
    EXPECT_EQ(ocx_.CanUnloadNow(), S_OK);
}

// A container that ends the activation when the board class, pressed, takes
// the focus and asks to become its active object: the press goes no further,
// no event comes and the mouse is free.
TEST_F(ReentrancyTest, APressWhoseFocusMakesTheContainerDeactivateTheBoardRaisesNothing) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
    struct DeactivatingSite : PlainSite {
        IOleInPlaceObject* control = nullptr;
        STDMETHODIMP OnUIActivate() override { return control != nullptr ? control->InPlaceDeactivate() : S_OK; }
    };
#pragma GCC diagnostic pop
    TopWindow top(30, 30, 700, 700);
    DeactivatingSite site;
    ActingSink sink;
    Arranged a;
    const HWND window = Hosted(a, sink, Kind::KeyDown, kActions[1], site, top.get());
    ASSERT_NE(window, nullptr);
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(a.board.As(&inPlace), S_OK);
    site.control = inPlace.Get();
    SetFocus(top.get());
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, SquareMiddle(2, 2));
    if (IsWindow(window)) SendMessageW(window, WM_LBUTTONUP, 0, SquareMiddle(2, 2));
    Pump(10);
    site.control = nullptr;
    EXPECT_FALSE(IsWindow(window)) << "the container's deactivation did not take";
    EXPECT_EQ(sink.calls, 0) << "events after the container deactivated the board";
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Pieces(a.board.Get()), newGame_);
    inPlace.Reset();
    ComPtr<IOleObject> object;
    ASSERT_EQ(a.board.As(&object), S_OK);
    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
    object.Reset();
    Finish(a, sink, "deactivated on taking the focus");
    EXPECT_EQ(site.references, 0);
}

}  // namespace
}  // namespace quelder::testing
