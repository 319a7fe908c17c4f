// How a failure leaves Quelder.ocx: as an HRESULT plus error info. The one
// place that turns the control's numbered errors and every C++ exception into
// that, so no exception crosses a COM boundary.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <exception>
#include <string_view>
#include <type_traits>

#include "host/control_error.hpp"

namespace quelder::com {

// A failure that is an HRESULT already (E_POINTER, E_INVALIDARG, ...).
class HresultError : public std::exception {
public:
    explicit HresultError(HRESULT hr) : hr_(hr) {}
    HRESULT Result() const { return hr_; }
    const char* what() const noexcept override { return "COM failure"; }

private:
    HRESULT hr_;
};

// The HRESULT of a control error number: 1..65535 becomes 0x800A0000 + number
// (what script hosts show as the number itself), a negative number is the
// HRESULT already; anything else is E_FAIL.
HRESULT HresultOf(std::int32_t number);

// Sets the thread's error info (source, description, interface) and returns hr.
HRESULT SetError(HRESULT hr, std::wstring_view description, REFIID iid) noexcept;

// Call inside a catch block: reports the exception being handled. A
// ControlError keeps its number and description (the standard text when it
// has none), std::bad_alloc is E_OUTOFMEMORY, HresultError its HRESULT,
// anything else E_UNEXPECTED.
HRESULT ReportCurrentException(REFIID iid) noexcept;

// Runs body and returns what it returns (S_OK for a body that returns
// nothing), or the HRESULT of what it threw, with error info.
template <typename Body>
HRESULT Guard(REFIID iid, Body&& body) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        return ReportCurrentException(iid);
    }
}

// Takes the thread's error info into excepinfo (for IDispatch::Invoke),
// after a call that failed with hr.
void FillExcepInfo(HRESULT hr, EXCEPINFO* excepinfo) noexcept;

// Pointer checks for COM methods: fail with E_POINTER when null.
template <typename T>
T& Deref(T* pointer) {
    if (pointer == nullptr) throw HresultError(E_POINTER);
    return *pointer;
}
// An out-parameter: checked, then cleared before anything else happens.
template <typename T>
T& Out(T* pointer) {
    T& out = Deref(pointer);
    out = T{};
    return out;
}

}  // namespace quelder::com
