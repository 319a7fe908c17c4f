#include "com/connection_point.hpp"

#include <olectl.h>

#include <algorithm>

#include "com/com_error.hpp"

namespace quelder::com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& owner, REFIID iid, bool acceptDispatch)
    : owner_(owner), iid_(iid), acceptDispatch_(acceptDispatch) {}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) return E_POINTER;
    owner_.AddRef();
    *container = &owner_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie != nullptr) *cookie = 0;
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    // A sink that says yes and hands back nothing is no sink.
    ComPtr<IUnknown> typed;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(typed.GetAddressOf()))) || !typed) {
        if (!acceptDispatch_ ||
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(typed.ReleaseAndGetAddressOf()))) ||
            !typed)
            return CONNECT_E_CANNOTCONNECT;
    }
    try {
        sinks_.push_back({typed, nextCookie_});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const OwnedConnection& c) { return c.cookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    // Released only after the list is consistent again: the sink's release
    // may call back into this object.
    ComPtr<IUnknown> sink = std::move(it->sink);
    sinks_.erase(it);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    return Guard(IID_IConnectionPoint, [&] {
        Out(connections);
        *connections = ConnectionEnumerator::Create<ConnectionEnumerator>(sinks_).Detach();
    });
}

std::vector<OwnedConnection> ConnectionPoint::UnadviseAll() noexcept {
    std::vector<OwnedConnection> gone;
    gone.swap(sinks_);
    return gone;
}

}  // namespace quelder::com
