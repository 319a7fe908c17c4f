// The control's events and property-change notifications as a C++ host
// receives them through the connection points. The events come of mouse
// messages on the control's window, the control active in place on a window
// of the test's.
#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "support/counted_object.hpp"
#include "control_test_support.hpp"
#include "plain_site.hpp"
#include "quelder_sink_base.hpp"
#include "support/update_region.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

// One event as a sink saw it: the dispatch id and the arguments in the
// event's parameter order, each with its VARTYPE.
struct Received {
    DISPID id = 0;
    std::vector<VARTYPE> types;
    std::vector<double> values;
};

// COM interfaces have no virtual destructor; the sinks belong to the test
// fixture, which outlives the control.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A sink of __Quelder. Release never deletes: the fixture owns the sinks.
class EventSink : public QuelderSinkBase {
public:
    std::vector<Received> received;
    // Runs inside the event, after it was recorded.
    std::function<void(const Received&)> onEvent;
    HRESULT answer = S_OK;
    bool scribble = false;  // write into the by-reference arguments

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        Received event;
        event.id = id;
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT& arg = params->rgvarg[i];
            event.types.push_back(V_VT(&arg));
            if (V_VT(&arg) == (VT_I2 | VT_BYREF)) {
                event.values.push_back(*V_I2REF(&arg));
                if (scribble) *V_I2REF(&arg) = -99;
            } else if (V_VT(&arg) == (VT_R4 | VT_BYREF)) {
                event.values.push_back(*V_R4REF(&arg));
                if (scribble) *V_R4REF(&arg) = -99.0f;
            } else {
                event.values.push_back(0);
            }
        }
        received.push_back(event);
        if (onEvent) onEvent(event);
        return answer;
    }
};

// A sink of IPropertyNotifySink.
class PropertySink : public CountedObject<IPropertyNotifySink, IID_IPropertyNotifySink> {
public:
    std::vector<DISPID> changed;
    // Runs inside the notification, after it was recorded.
    std::function<void(DISPID)> onChanged;
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        if (onChanged) onChanged(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

#pragma GCC diagnostic pop

constexpr VARTYPE kShortRef = VT_I2 | VT_BYREF;
constexpr VARTYPE kFloatRef = VT_R4 | VT_BYREF;

class EventsTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(board_.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID___Quelder, events_.GetAddressOf()), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notifications_.GetAddressOf()), S_OK);
    }
    void TearDown() override {
        HoldKeys(0);
        if (board_) {
            ComPtr<IOleObject> object;
            ASSERT_EQ(board_.As(&object), S_OK);
            EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
            EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
        }
        events_.Reset();
        notifications_.Reset();
        ControlTest::TearDown();
        EXPECT_EQ(site_.references, 0) << "the control still holds its site";
    }
    // The control in place on the test's window; its window.
    HWND Activate() {
        const HWND window = ActivateInPlace(board_.Get(), site_, top_.get());
        Pump();
        return window;
    }
    // The modifier keys held from now on, as the thread's keyboard state
    // tells them: shift 1, ctrl 2, alt 4.
    static void HoldKeys(int shift) {
        BYTE keys[256]{};
        GetKeyboardState(keys);
        for (const auto& [mask, key] : {std::pair{1, VK_SHIFT}, std::pair{2, VK_CONTROL}, std::pair{4, VK_MENU}})
            keys[key] = (shift & mask) != 0 ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    // A new sink, alive until after the control is gone.
    EventSink& NewSink() { return eventSinks_.emplace_back(); }
    PropertySink& NewPropertySink() { return propertySinks_.emplace_back(); }
    DWORD Advise(IUnknown* sink) {
        DWORD cookie = 0;
        EXPECT_EQ(events_->Advise(sink, &cookie), S_OK);
        return cookie;
    }

    std::list<EventSink> eventSinks_;
    std::list<PropertySink> propertySinks_;
    ComPtr<IConnectionPoint> events_;
    ComPtr<IConnectionPoint> notifications_;
    TopWindow top_{30, 30, 400, 400};
    PlainSite site_;
};

// The dispatch ids of the events a sink received, in order.
std::vector<DISPID> IdsOf(const std::vector<Received>& received) {
    std::vector<DISPID> ids;
    for (const Received& e : received) ids.push_back(e.id);
    return ids;
}

// A click and a double click in the middle of a square: each of their
// events names that square in its first two arguments. The squares lie at
// the ends of rows and columns, where the column and row are worked out of
// the square view's number with a remainder of 0 or 1.
TEST_F(EventsTest, EventsNameTheSquareByColumnAndRow) {
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    EventSink& sink = NewSink();
    Advise(&sink);
    struct Case {
        SHORT col, row;
    };
    const Case cases[] = {{1, 1}, {8, 1}, {1, 2}, {8, 2}, {1, 3}, {1, 8}, {8, 8}};
    for (const Case& c : cases) {
        const std::string what = "(" + std::to_string(c.col) + ", " + std::to_string(c.row) + ")";
        sink.received.clear();
        const LPARAM at = SquareMiddle(c.col, c.row);
        SendClick(window, at);
        SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(window, WM_LBUTTONUP, 0, at);
        // MouseDown, MouseUp, Click; DblClick in place of the second MouseDown, MouseUp.
        EXPECT_EQ(IdsOf(sink.received), (std::vector<DISPID>{3, 5, 1, 2, 5})) << what;
        for (const Received& e : sink.received) {
            ASSERT_GE(e.values.size(), 2u) << what << ", event " << e.id;
            EXPECT_EQ(e.values[0], c.col) << what << ", event " << e.id;
            EXPECT_EQ(e.values[1], c.row) << what << ", event " << e.id;
            if (e.id <= 2) {
                EXPECT_EQ(e.types, (std::vector<VARTYPE>{kShortRef, kShortRef})) << what << ", event " << e.id;
            }
        }
    }
}

// Button, Shift, X and Y: the button as a mask, the keys held, the place in
// twips from the top-left corner of the square the press began on.
TEST_F(EventsTest, MouseEventsPassButtonShiftAndPosition) {
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    EventSink& sink = NewSink();
    Advise(&sink);
    struct Step {
        int shift;
        UINT message;
        WPARAM buttons;
        int x, y;
    };
    const Step steps[] = {
        {0, WM_LBUTTONDOWN, MK_LBUTTON, 4 * 37 + 1, 6 * 37 + 36},  // (5, 7)
        {2, WM_MOUSEMOVE, MK_LBUTTON, 4 * 37 + 20, 6 * 37 + 3},
        {7, WM_LBUTTONUP, 0, 4 * 37 + 20, 6 * 37 + 3},
        {0, WM_RBUTTONDOWN, MK_RBUTTON, 3 * 37, 1 * 37 + 36},  // (4, 2)
        {1, WM_RBUTTONUP, 0, 7 * 37, 7 * 37},                  // over (8, 8)
    };
    for (const Step& step : steps) {
        HoldKeys(step.shift);
        SendMessageW(window, step.message, step.buttons, MAKELPARAM(step.x, step.y));
    }
    const std::vector<VARTYPE> types{kShortRef, kShortRef, kShortRef, kShortRef, kFloatRef, kFloatRef};
    const std::vector<VARTYPE> square{kShortRef, kShortRef};
    const std::vector<Received> expected{
        {3, types, {5, 7, 1, 0, TwipsX(1), TwipsY(36)}},
        {4, types, {5, 7, 1, 2, TwipsX(20), TwipsY(3)}},
        {5, types, {5, 7, 1, 7, TwipsX(20), TwipsY(3)}},
        {1, square, {5, 7}},
        {3, types, {4, 2, 2, 0, 0.0, TwipsY(36)}},
        {5, types, {4, 2, 2, 1, TwipsX(4 * 37), TwipsY(6 * 37)}},  // released elsewhere: no Click
    };
    ASSERT_EQ(sink.received.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sink.received[i].id, expected[i].id) << "event " << i;
        EXPECT_EQ(sink.received[i].types, expected[i].types) << "event " << i;
        EXPECT_EQ(sink.received[i].values, expected[i].values) << "event " << i;
    }
}

TEST_F(EventsTest, EverySinkGetsTheEventWhateverTheOthersDo) {
    EventSink& failing = NewSink();
    EventSink& scribbling = NewSink();
    EventSink& plain = NewSink();
    failing.answer = E_FAIL;
    scribbling.scribble = true;
    Advise(&failing);
    Advise(&scribbling);
    Advise(&plain);
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    HoldKeys(1);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(37 + 1, 37 + 2));  // (2, 2)
    for (const EventSink* sink : {&failing, &scribbling, &plain}) {
        ASSERT_EQ(sink->received.size(), 1u) << "a failing sink kept the event from the next";
        EXPECT_EQ(sink->received[0].values, (std::vector<double>{2, 2, 1, 1, TwipsX(1), TwipsY(2)}))
            << "what one sink wrote reached the next";
    }
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(37 + 1, 37 + 2));
}

TEST_F(EventsTest, ASinkMayCallTheControlDuringTheEvent) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    EventSink& sink = NewSink();
    // The host's game: a click on the pawn's square moves it two rows up.
    sink.onEvent = [&](const Received& e) {
        if (e.id != 1) return;
        SHORT col = static_cast<SHORT>(e.values[0]), row = static_cast<SHORT>(e.values[1]);
        SHORT toRow = static_cast<SHORT>(row - 2);
        EXPECT_EQ(board_->MovePiece(&col, &row, &col, &toRow), S_OK);
        EXPECT_EQ(board_->SelectSquare(&col, &toRow), S_OK);
    };
    Advise(&sink);
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    SendClick(window, SquareMiddle(5, 7));
    EXPECT_EQ(IdsOf(sink.received), (std::vector<DISPID>{3, 5, 1}));
    SHORT col = 5, row = 5, from = 7;
    PieceNum piece = None;
    VARIANT_BOOL selected = VARIANT_FALSE;
    ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, Wpawn);
    ASSERT_EQ(board_->get_Piece(&col, &from, &piece), S_OK);
    EXPECT_EQ(piece, None);
    ASSERT_EQ(board_->get_IsSelected(&col, &row, &selected), S_OK);
    EXPECT_EQ(selected, VARIANT_TRUE);
}

// A sink leaves in a Click and brings another: the one that left hears
// nothing after that Click, the new one everything after it.
TEST_F(EventsTest, SinksMayAdviseAndUnadviseDuringTheEvent) {
    EventSink& leaving = NewSink();
    EventSink& arriving = NewSink();
    EventSink& staying = NewSink();
    DWORD leavingCookie = 0;
    leaving.onEvent = [&](const Received& e) {
        if (e.id != 1) return;
        EXPECT_EQ(events_->Unadvise(leavingCookie), S_OK);
        DWORD cookie = 0;
        if (arriving.received.empty() && arriving.references == 0) {
            EXPECT_EQ(events_->Advise(&arriving, &cookie), S_OK);
        }
    };
    leavingCookie = Advise(&leaving);
    Advise(&staying);
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    SendClick(window, SquareMiddle(1, 1));
    SendClick(window, SquareMiddle(2, 1));
    EXPECT_EQ(IdsOf(leaving.received), (std::vector<DISPID>{3, 5, 1})) << "an unadvised sink still got events";
    EXPECT_EQ(IdsOf(arriving.received), (std::vector<DISPID>{3, 5, 1}))
        << "a sink advised during an event gets the next ones only";
    EXPECT_EQ(IdsOf(staying.received), (std::vector<DISPID>{3, 5, 1, 3, 5, 1}));
    EXPECT_EQ(leaving.references, 0) << "the control keeps a sink it no longer calls";
}

// The sink holds the only reference left and lets go of it in the first
// event of a click: the control goes with its window, and the rest of the
// click finds neither.
TEST_F(EventsTest, ASinkMayReleaseTheLastReferenceDuringTheEvent) {
    EventSink& sink = NewSink();
    Advise(&sink);
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    IUnknown* last = nullptr;
    ASSERT_EQ(board_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&last)), S_OK);
    sink.onEvent = [&](const Received&) { std::exchange(last, nullptr)->Release(); };
    events_.Reset();
    notifications_.Reset();
    board_.Reset();
    EXPECT_EQ(ocx_.CanUnloadNow(), S_FALSE);
    last->AddRef();
    ASSERT_EQ(last->Release(), 1u) << "the test holds more than the one reference";
    SendClick(window, SquareMiddle(5, 1));
    EXPECT_EQ(last, nullptr);
    EXPECT_EQ(IdsOf(sink.received), std::vector<DISPID>{3});
    EXPECT_FALSE(IsWindow(window)) << "the window outlived the control";
    EXPECT_EQ(sink.references, 0) << "the control did not let go of its sink when it went";
    EXPECT_EQ(site_.references, 0) << "the control did not let go of its site when it went";
    EXPECT_EQ(ocx_.CanUnloadNow(), S_OK) << "the control outlived its last reference";
}

// A container freezes the events while it loads or tears down a form: the
// user's actions in that time raise nothing, not even later, and the events
// come again when every freeze is undone.
TEST_F(EventsTest, FrozenEventsAreDroppedUntilEveryFreezeIsUndone) {
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    ComPtr<IOleControl> control;
    ASSERT_EQ(board_.As(&control), S_OK);
    EventSink& first = NewSink();
    EventSink& second = NewSink();
    Advise(&first);
    Advise(&second);
    // A press, a move, a release, a double click and its release in the
    // middle of column 2, row 2: every kind of event.
    auto actions = [&] {
        const LPARAM at = MAKELPARAM(37 + 18, 37 + 18);
        for (const auto& [message, keys] : {std::pair<UINT, WPARAM>{WM_LBUTTONDOWN, MK_LBUTTON},
                                           {WM_MOUSEMOVE, MK_LBUTTON}, {WM_LBUTTONUP, 0},
                                           {WM_LBUTTONDBLCLK, MK_LBUTTON}, {WM_LBUTTONUP, 0}})
            SendMessageW(window, message, keys, at);
        Pump(10);
    };
    auto ids = [](EventSink& sink) { return IdsOf(std::exchange(sink.received, {})); };
    const std::vector<DISPID> all{3, 4, 5, 1, 2, 5};  // as an unfrozen control raises them
    actions();
    ASSERT_EQ(ids(first), all);
    second.received.clear();

    // Two freezes need two thaws; a thaw too many counts for nothing.
    struct Step {
        std::vector<BOOL> calls;
        bool raised;
    };
    const Step steps[] = {
        {{TRUE, TRUE}, false}, {{FALSE}, false}, {{FALSE}, true}, {{FALSE, FALSE, TRUE}, false}, {{FALSE}, true},
    };
    for (std::size_t k = 0; k < std::size(steps); ++k) {
        for (const BOOL freeze : steps[k].calls) ASSERT_EQ(control->FreezeEvents(freeze), S_OK) << "step " << k;
        actions();
        const std::vector<DISPID> seen = ids(first);
        EXPECT_EQ(seen, steps[k].raised ? all : std::vector<DISPID>{}) << "step " << k << ": " << seen.size()
                                                                       << " events";
        EXPECT_EQ(ids(second), seen) << "step " << k;
    }

    // A sink that freezes the events in its handler: the sink after it does
    // not hear that event, and nothing more comes until the thaw.
    first.onEvent = [&](const Received&) { control->FreezeEvents(TRUE); };
    actions();
    EXPECT_EQ(ids(first), std::vector<DISPID>{3});
    EXPECT_EQ(ids(second), std::vector<DISPID>{});
    first.onEvent = nullptr;
    ASSERT_EQ(control->FreezeEvents(FALSE), S_OK);
    actions();
    EXPECT_EQ(ids(first), all);
    EXPECT_EQ(ids(second), all);
}

// A host that waits inside its own handler (a message box, a dialog, a loop
// of its own) sees what its calls did while it waits: the square it selected
// at once, the piece it moved at the first paint of its loop. Whatever called
// the handler: an event of the window's mouse messages, or the notification
// of a property the host writes.
TEST_F(EventsTest, AHostWaitingInItsHandlerSeesWhatItsCallsDid) {
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    // The board as the control draws it for its container: what the window
    // is to show.
    const auto drawn = [&] { return DrawnControl(board_.Get(), 296, 296); };
    const auto square = [](const Image& board, int col, int row) {
        return Crop(board, (col - 1) * 37, (row - 1) * 37, 37, 37);
    };
    EventSink& events = NewSink();
    Advise(&events);
    PropertySink& notified = NewPropertySink();
    DWORD cookie = 0;
    ASSERT_EQ(notifications_->Advise(&notified, &cookie), S_OK);

    const struct {
        const char* name;
        DISPID event;  // 0: the notification of Piece
    } roads[] = {{"MouseDown", 3}, {"MouseUp", 5}, {"Click", 1}, {"Piece's OnChanged", 0}};
    for (const auto& road : roads) {
        SHORT col = 5, row = 7, toRow = 5, selectCol = 4;
        ASSERT_EQ(board_->UnSelectSquare(&selectCol, &row), S_OK);
        ASSERT_EQ(board_->NewGame(), S_OK);
        PumpUntil([&] { return InvalidArea(window) == 0; }, 2000);
        const Image before = Shot(window);
        int waits = 0;
        // The host's handler: a move, a selection, then its own loop.
        const auto handler = [&] {
            if (waits++ > 0) return;
            EXPECT_EQ(board_->MovePiece(&col, &row, &col, &toRow), S_OK) << road.name;
            EXPECT_EQ(board_->SelectSquare(&selectCol, &row), S_OK) << road.name;
            const Image now = Shot(window);
            EXPECT_TRUE(SameImage(square(now, 4, 7), square(drawn(), 4, 7))) << road.name << ": the selected square";
            EXPECT_EQ(InvalidArea(window), 2 * 37 * 37) << road.name << ": pixels left for the loop to paint";
            PumpUntil([&] { return InvalidArea(window) == 0; }, 2000);
            const Image waited = Shot(window);
            EXPECT_TRUE(SameImage(waited, drawn())) << road.name << ": the window inside the loop";
            EXPECT_FALSE(SameImage(square(waited, 5, 5), square(before, 5, 5))) << road.name << ": no piece arrived";
        };
        events.onEvent = [&](const Received& e) {
            if (e.id == road.event) handler();
        };
        notified.onChanged = [&](DISPID id) {
            if (road.event == 0 && id == dispid::Piece) handler();
        };
        if (road.event != 0) {
            const LPARAM at = MAKELPARAM(4 * 37 + 18, 6 * 37 + 18);  // (5, 7)
            SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(window, WM_LBUTTONUP, 0, at);
        } else {
            SHORT emptyCol = 1, emptyRow = 4;
            ASSERT_EQ(board_->put_Piece(&emptyCol, &emptyRow, Wknight), S_OK);
        }
        EXPECT_EQ(waits, 1) << road.name << ": the handler ran that often";
    }
    events.onEvent = nullptr;
    notified.onChanged = nullptr;
    EXPECT_EQ(notifications_->Unadvise(cookie), S_OK);
}

TEST_F(EventsTest, ConnectionPointsAreFoundAndListed) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(board_.As(&container), S_OK);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.GetAddressOf()), CONNECT_E_NOCONNECTION);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.GetAddressOf()), S_OK);
    IConnectionPoint* listed[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    std::vector<IID> iids;
    for (ULONG i = 0; i < fetched; ++i) {
        IID iid{};
        listed[i]->GetConnectionInterface(&iid);
        iids.push_back(iid);
        ComPtr<IConnectionPointContainer> back;
        EXPECT_EQ(listed[i]->GetConnectionPointContainer(back.GetAddressOf()), S_OK);
        EXPECT_EQ(back.Get(), container.Get());
        listed[i]->Release();
    }
    EXPECT_TRUE(IsEqualIID(iids[0], DIID___Quelder));
    EXPECT_TRUE(IsEqualIID(iids[1], IID_IPropertyNotifySink));

    PropertySink& notAnEventSink = NewPropertySink();
    DWORD cookie = 1;
    EXPECT_EQ(events_->Advise(&notAnEventSink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(events_->Unadvise(12345), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events_->Advise(nullptr, &cookie), E_POINTER);

    EventSink& a = NewSink();
    EventSink& b = NewSink();
    Advise(&a);
    Advise(&b);
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(events_->EnumConnections(connections.GetAddressOf()), S_OK);
    CONNECTDATA data[2] = {};
    ASSERT_EQ(connections->Next(2, data, &fetched), S_OK);
    EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(&a));
    EXPECT_EQ(data[1].pUnk, static_cast<IUnknown*>(&b));
    EXPECT_NE(data[0].dwCookie, data[1].dwCookie);
    for (CONNECTDATA& d : data) d.pUnk->Release();
}

TEST_F(EventsTest, PropertyWritersNotifyWithTheirDispatchId) {
    ComPtr<IPersistStreamInit> saved;
    ASSERT_EQ(board_.As(&saved), S_OK);
    EXPECT_EQ(saved->IsDirty(), S_FALSE) << "a new control is dirty";

    PropertySink& sink = NewPropertySink();
    DWORD cookie = 0;
    ASSERT_EQ(notifications_->Advise(&sink, &cookie), S_OK);
    SHORT col = 2, row = 2;
    PieceNum image = Bpawn;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board_->get_Picture(&image, picture.GetAddressOf()), S_OK);
    ASSERT_EQ(board_->NewGame(), S_OK);
    ASSERT_EQ(board_->SelectSquare(&col, &row), S_OK);
    EXPECT_TRUE(sink.changed.empty()) << "methods notify nothing";
    EXPECT_EQ(saved->IsDirty(), S_FALSE) << "methods make the control dirty";

    ASSERT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);
    ASSERT_EQ(board_->put_Piece(&col, &row, Wrook), S_OK);
    ASSERT_EQ(board_->putref_Picture(&image, picture.GetAddressOf()), S_OK);
    EXPECT_EQ(sink.changed, (std::vector<DISPID>{dispid::Enabled, dispid::Piece, dispid::Picture}));
    EXPECT_EQ(saved->IsDirty(), S_OK) << "written properties left the control clean";

    ASSERT_EQ(notifications_->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.references, 0);
}

}  // namespace
}  // namespace quelder::testing
