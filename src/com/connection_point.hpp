// Outgoing interfaces: one connection point class for every interface whose
// sinks an object calls (its events, property-change notifications), and the
// enumerators that list connections and connection points.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "com/com_base.hpp"
#include "com/com_error.hpp"

namespace quelder::com {

// Enumerator<IEnumX, Owned, Raw>: hands out copies of Owned items as Raw
// values (Owned::CopyOut adds the reference the caller then owns).
template <typename IEnum, typename Owned, typename Raw>
class Enumerator final : public Object<IEnum> {
public:
    explicit Enumerator(std::vector<Owned> items, std::size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    STDMETHODIMP Next(ULONG count, Raw* out, ULONG* fetched) override {
        if (fetched != nullptr) *fetched = 0;
        if (out == nullptr || (count != 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < items_.size(); ++n, ++position_) out[n] = items_[position_].CopyOut();
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = items_.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override {
        return Guard(__uuidof(IEnum), [&] {
            Out(out);
            *out = Object<IEnum>::template Create<Enumerator>(items_, position_).Detach();
        });
    }

private:
    std::vector<Owned> items_;
    std::size_t position_;
};

struct OwnedConnection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
    CONNECTDATA CopyOut() const {
        sink->AddRef();
        return {sink.Get(), cookie};
    }
};

struct OwnedConnectionPoint {
    ComPtr<IConnectionPoint> point;
    IConnectionPoint* CopyOut() const {
        point->AddRef();
        return point.Get();
    }
};

using ConnectionEnumerator = Enumerator<IEnumConnections, OwnedConnection, CONNECTDATA>;
using ConnectionPointEnumerator = Enumerator<IEnumConnectionPoints, OwnedConnectionPoint, IConnectionPoint*>;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // IConnectionPoint; never deleted through it

// One outgoing interface of an object, kept inside that object: it lives as
// long as its owner and counts its references there.
class ConnectionPoint : public IConnectionPoint {
public:
    // iid: the interface the sinks implement. A dispinterface (acceptDispatch)
    // also takes a sink that only answers IDispatch.
    ConnectionPoint(IConnectionPointContainer& owner, REFIID iid, bool acceptDispatch);
    virtual ~ConnectionPoint() = default;
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    REFIID Iid() const { return iid_; }
    // The sinks advised now, each as the pointer it gave for the interface.
    // Callers raise over this copy, so sinks may advise and unadvise meanwhile.
    template <typename Sink>
    std::vector<ComPtr<Sink>> Sinks() const {
        std::vector<ComPtr<Sink>> sinks;
        sinks.reserve(sinks_.size());
        for (const auto& entry : sinks_) sinks.emplace_back(static_cast<Sink*>(entry.sink.Get()));
        return sinks;
    }
    // Forgets every sink (the owner's teardown) and hands them over, for the
    // caller to release where it must.
    std::vector<OwnedConnection> UnadviseAll() noexcept;

private:
    IConnectionPointContainer& owner_;
    IID iid_;
    bool acceptDispatch_;
    std::vector<OwnedConnection> sinks_;
    DWORD nextCookie_ = 1;
};

#pragma GCC diagnostic pop

// A Boolean event argument (VARIANT_BOOL is a short, whose type is VT_I2).
struct EventBool {
    VARIANT_BOOL value = VARIANT_FALSE;
};
static_assert(sizeof(EventBool) == sizeof(VARIANT_BOOL));

// The automation type of an event argument passed by reference.
template <typename T>
constexpr VARTYPE kByRefType = VT_EMPTY;
template <>
inline constexpr VARTYPE kByRefType<std::int16_t> = VT_I2;
template <>
inline constexpr VARTYPE kByRefType<std::int32_t> = VT_I4;
template <>
inline constexpr VARTYPE kByRefType<float> = VT_R4;
template <>
inline constexpr VARTYPE kByRefType<EventBool> = VT_BOOL;

// Calls method id on every IDispatch sink advised on point when the call
// starts, with arguments passed by reference, as dispinterface events take
// them. Each sink gets fresh copies of values: what one writes into them
// reaches neither the caller nor the next sink, but heard(copies) is told
// after each sink, as the sink left them. A sink that fails is passed over.
// stop() is asked before each sink (the sinks before it may have changed what
// the caller allows); the call ends when it says true.
template <typename Stop, typename Heard, typename... Args>
void FireEventHeard(const ConnectionPoint& point, DISPID id, Stop&& stop, Heard&& heard, Args... values) {
    static_assert(((kByRefType<Args> != VT_EMPTY) && ...), "an event argument of a type not passed by reference");
    constexpr UINT count = sizeof...(Args);
    for (const auto& sink : point.Sinks<IDispatch>()) {
        if (stop()) return;
        std::tuple<Args...> copies{values...};
        VARIANTARG args[count > 0 ? count : 1]{};
        // IDispatch takes the arguments last first.
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((V_VT(&args[count - 1 - I]) = static_cast<VARTYPE>(VT_BYREF | kByRefType<Args>),
              V_BYREF(&args[count - 1 - I]) = &std::get<I>(copies)),
             ...);
        }(std::index_sequence_for<Args...>{});
        DISPPARAMS params{args, nullptr, count, 0};
        Variant result;
        ExcepInfo excepinfo;
        UINT argErr = 0;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excepinfo, &argErr);
        heard(std::as_const(copies));
    }
}

// The same where the caller needs nothing back.
template <typename Stop, typename... Args>
void FireEvent(const ConnectionPoint& point, DISPID id, Stop&& stop, Args... values) {
    FireEventHeard(point, id, std::forward<Stop>(stop), [](const auto&) {}, values...);
}

}  // namespace quelder::com
