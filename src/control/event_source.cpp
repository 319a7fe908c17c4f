#include "control/event_source.hpp"

#include <utility>

namespace quelder::win32 {

EventSource::EventSource(IConnectionPointContainer& owner, REFIID events)
    : events_(owner, events, true), propertyNotify_(owner, IID_IPropertyNotifySink, false) {}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    com::ConnectionPoint* found = IsEqualIID(riid, events_.Iid())                ? &events_
                                  : IsEqualIID(riid, propertyNotify_.Iid()) ? &propertyNotify_
                                                                            : nullptr;
    if (found == nullptr) return CONNECT_E_NOCONNECTION;
    found->AddRef();
    *point = found;
    return S_OK;
}

HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return com::Guard(IID_IConnectionPointContainer, [&] {
        com::Out(points);
        std::vector<com::OwnedConnectionPoint> all{{&events_}, {&propertyNotify_}};
        *points = com::ConnectionPointEnumerator::Create<com::ConnectionPointEnumerator>(std::move(all)).Detach();
    });
}

void EventSource::Freeze(bool freeze) {
    if (freeze)
        ++freezeCount_;
    else if (freezeCount_ > 0)
        --freezeCount_;
}

void EventSource::Raise(const SquareEvent& event) {
    const auto frozen = [this] { return Frozen(); };
    const auto id = static_cast<DISPID>(event.kind);
    if (event.kind == SquareEventKind::Click || event.kind == SquareEventKind::DblClick)
        com::FireEvent(events_, id, frozen, event.col, event.row);
    else
        com::FireEvent(events_, id, frozen, event.col, event.row, event.button, event.shift, event.x, event.y);
}

namespace {
constexpr DISPID kPieceDropped = 6;
constexpr DISPID kKeyDown = 7;
constexpr DISPID kAnnotationsChanged = 8;
}  // namespace

bool EventSource::RaisePieceDropped(std::int16_t fromCol, std::int16_t fromRow, std::int16_t toCol,
                                    std::int16_t toRow) {
    bool cancel = false;
    const auto heard = [&](const auto& arguments) { cancel = cancel || std::get<4>(arguments).value != VARIANT_FALSE; };
    com::FireEventHeard(events_, kPieceDropped, [this] { return Frozen(); }, heard, fromCol, fromRow, toCol, toRow,
                        com::EventBool{});
    return cancel;
}

void EventSource::RaiseKeyDown(std::int16_t keyCode, std::int16_t shift) {
    com::FireEvent(events_, kKeyDown, [this] { return Frozen(); }, keyCode, shift);
}

void EventSource::RaiseAnnotationsChanged() {
    com::FireEvent(events_, kAnnotationsChanged, [this] { return Frozen(); });
}

void EventSource::PropertyChanged(DISPID id) {
    for (const auto& sink : propertyNotify_.Sinks<IPropertyNotifySink>()) sink->OnChanged(id);
}

EventSource::Sinks EventSource::UnadviseAll() noexcept {
    return {events_.UnadviseAll(), propertyNotify_.UnadviseAll()};
}

}  // namespace quelder::win32
