// The demo's side of the control's events: what one event says, how the status
// line names it, the IDispatch sink that receives them, and the advise that
// connects the sink for as long as it is kept.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "com/com_base.hpp"
#include "control/quelder_idl.hpp"

namespace quelder::demo {

using com::ComPtr;

// The events of __QuelderBoard (those of __Quelder, with the same ids, then
// its own), by dispatch id.
enum class EventKind {
    Click = 1,
    DblClick = 2,
    MouseDown = 3,
    MouseMove = 4,
    MouseUp = 5,
    PieceDropped = 6,
    KeyDown = 7,
    AnnotationsChanged = 8,
};

struct BoardEvent {
    EventKind kind = EventKind::Click;
    // The square; for PieceDropped the one the piece was lifted from.
    short col = 0, row = 0;
    // Only for MouseDown, MouseMove and MouseUp; shift also for KeyDown.
    short button = 0, shift = 0;
    float x = 0, y = 0;
    // Only for PieceDropped: the square it was dropped on.
    short toCol = 0, toRow = 0;
    // Only for KeyDown: the virtual-key code.
    short keyCode = 0;
    // Only for AnnotationsChanged: the user's shapes as the listener read
    // them (Annotations).
    std::wstring annotations;
    // Only for PieceDropped: set by the listener to refuse the drop.
    bool cancel = false;
};

// "Click col 5 row 7", "MouseDown col 5 row 7 Button 1 Shift 0 X 120 Y 300",
// "PieceDropped from col 5 row 7 to col 5 row 5", "KeyDown KeyCode 65 Shift 0",
// "AnnotationsChanged Ge2e4 Rd4" (or "AnnotationsChanged, none").
std::wstring Describe(const BoardEvent& event);

class BoardEventListener {
public:
    // May read the annotations into the event and set its cancel.
    virtual void OnBoardEvent(BoardEvent& event) = 0;

protected:
    ~BoardEventListener() = default;
};

// Answers __QuelderBoard and IDispatch; hands every event it understands to
// the listener until Detach. Arguments may come by value or by reference.
// PieceDropped's Cancel is set when the listener sets the event's cancel,
// else left as the control passed it (False): the drop goes ahead.
class BoardEventSink final : public com::Object<__QuelderBoard> {
public:
    explicit BoardEventSink(BoardEventListener& listener) : listener_(&listener) {}
    // No more events reach the listener (the control may still hold the sink).
    void Detach() { listener_ = nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excepinfo, UINT* argErr) override;

private:
    BoardEventListener* listener_;
};

// A sink advised on the control's __QuelderBoard connection point;
// unadvised when this object goes.
class EventConnection {
public:
    EventConnection() = default;
    ~EventConnection() { Reset(); }
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

    // Advises sink on control; S_OK or the failing call's HRESULT (nothing
    // is kept then).
    HRESULT Connect(IUnknown* control, IDispatch* sink);
    void Reset();
    bool Connected() const { return cookie_ != 0; }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace quelder::demo
