// The control's outgoing calls to its host: the events of the user's actions
// (the default source interface) and the property-change notifications, each
// through its connection point, and the container's freezing of events.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "com/connection_point.hpp"
#include "host/host_services.hpp"

namespace quelder::win32 {

class EventSource {
public:
    // owner: the object whose connection points these are; events: its
    // default source interface.
    EventSource(IConnectionPointContainer& owner, REFIID events);

    // IConnectionPointContainer, for the owner.
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point);
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points);
    // What IQuickActivate hands over: the container's sinks.
    void AdviseEvents(IUnknown* sink, DWORD* cookie) { events_.Advise(sink, cookie); }
    void AdvisePropertyNotify(IUnknown* sink, DWORD* cookie) { propertyNotify_.Advise(sink, cookie); }

    // IOleControl::FreezeEvents: nested freezes count, a thaw too many is
    // ignored. While frozen, events are dropped, not kept for later.
    void Freeze(bool freeze);
    bool Frozen() const { return freezeCount_ > 0; }

    // Raises the event to the sinks advised now. The sinks may advise,
    // unadvise or freeze the events meanwhile: a freeze stops it at the next
    // sink. The caller keeps the owner alive.
    void Raise(const SquareEvent& event);
    // The board class's own events. PieceDropped: true when a sink set Cancel.
    bool RaisePieceDropped(std::int16_t fromCol, std::int16_t fromRow, std::int16_t toCol, std::int16_t toRow);
    void RaiseKeyDown(std::int16_t keyCode, std::int16_t shift);
    void RaiseAnnotationsChanged();
    // Tells the property-notification sinks that property id changed.
    void PropertyChanged(DISPID id);

    // Every sink forgotten (the owner's teardown) and handed over, for the
    // caller to release where it must.
    struct Sinks {
        std::vector<com::OwnedConnection> events;
        std::vector<com::OwnedConnection> propertyNotify;
    };
    Sinks UnadviseAll() noexcept;

private:
    com::ConnectionPoint events_;
    com::ConnectionPoint propertyNotify_;
    LONG freezeCount_ = 0;
};

}  // namespace quelder::win32
