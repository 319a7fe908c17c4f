// A C++ host's sink of __Quelder for the tests of Quelder.ocx on a window:
// it records the events as SquareEvents, and runs a handler for each.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <utility>
#include <vector>

#include "com/com_ptr.hpp"
#include "host/host_services.hpp"
#include "control/quelder_idl.hpp"
#include "quelder_sink_base.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {

// ---- a host's event sink ---------------------------------------------------------------

// COM interfaces have no virtual destructor; the sink belongs to the test.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A sink of __Quelder that records each event as a SquareEvent and then hands
// it to onEvent, as a host's handler.
class RecordingSink : public QuelderSinkBase {
public:
    std::vector<SquareEvent> events;
    std::function<void(const SquareEvent&)> onEvent;

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        // Arguments come last first, each by reference.
        if (params == nullptr || (params->cArgs != 2 && params->cArgs != 6)) return DISP_E_BADPARAMCOUNT;
        const UINT n = params->cArgs;
        auto shortAt = [&](UINT position) { return *V_I2REF(&params->rgvarg[n - 1 - position]); };
        auto floatAt = [&](UINT position) { return *V_R4REF(&params->rgvarg[n - 1 - position]); };
        SquareEvent e;
        e.kind = static_cast<SquareEventKind>(id);
        e.col = shortAt(0);
        e.row = shortAt(1);
        if (n == 6) {
            e.button = shortAt(2);
            e.shift = shortAt(3);
            e.x = floatAt(4);
            e.y = floatAt(5);
        }
        events.push_back(e);
        if (onEvent) onEvent(e);
        return S_OK;
    }

    // Advises this sink to the control's events; unadvised at Disconnect.
    HRESULT Connect(IUnknown* control) {
        com::ComPtr<IConnectionPointContainer> container;
        HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(container.GetAddressOf()));
        if (FAILED(hr)) return hr;
        hr = container->FindConnectionPoint(DIID___Quelder, point_.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        return point_->Advise(static_cast<IDispatch*>(this), &cookie_);
    }
    void Disconnect() {
        if (point_) point_->Unadvise(cookie_);
        point_.Reset();
    }

    // Waits until n events that are no moves came, and a little longer; takes
    // what came.
    std::vector<SquareEvent> Take(std::size_t n) {
        PumpUntil([&] { return WithoutMoves(events).size() >= n; }, 3000);
        Pump(100);
        return std::exchange(events, {});
    }
    static std::vector<SquareEvent> WithoutMoves(const std::vector<SquareEvent>& all) {
        std::vector<SquareEvent> kept;
        for (const auto& e : all)
            if (e.kind != SquareEventKind::MouseMove) kept.push_back(e);
        return kept;
    }

private:
    com::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

#pragma GCC diagnostic pop

inline SquareEvent Down(std::int16_t col, std::int16_t row, float x, float y, std::int16_t button = 1) {
    return {SquareEventKind::MouseDown, col, row, button, 0, x, y};
}
inline SquareEvent Up(std::int16_t col, std::int16_t row, float x, float y, std::int16_t button = 1) {
    return {SquareEventKind::MouseUp, col, row, button, 0, x, y};
}
inline SquareEvent Clicked(std::int16_t col, std::int16_t row) { return {SquareEventKind::Click, col, row}; }
inline SquareEvent Double(std::int16_t col, std::int16_t row) { return {SquareEventKind::DblClick, col, row}; }

}  // namespace quelder::testing
