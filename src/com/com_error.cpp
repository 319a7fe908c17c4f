#include "com/com_error.hpp"

#include <new>

#include "com/com_base.hpp"

namespace quelder::com {

HRESULT HresultOf(std::int32_t number) {
    if (number >= 1 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    if (number < 0) return static_cast<HRESULT>(number);
    return E_FAIL;
}

HRESULT SetError(HRESULT hr, std::wstring_view description, REFIID iid) noexcept {
    try {
        ComPtr<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(create.GetAddressOf()))) return hr;
        const std::wstring text(description);
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(Module::ErrorSource(iid)));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    } catch (...) {
        // Out of memory while describing the failure: the HRESULT still goes.
    }
    return hr;
}

namespace {
// The system's text for an HRESULT that is not a control error.
std::wstring SystemText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}
}  // namespace

HRESULT ReportCurrentException(REFIID iid) noexcept {
    try {
        throw;
    } catch (const ControlError& e) {
        std::string description = e.Description();
        if (description.empty()) description = StandardErrorText(e.Number());
        try {
            return SetError(HresultOf(e.Number()), Widen(description), iid);
        } catch (...) {
            return HresultOf(e.Number());
        }
    } catch (const HresultError& e) {
        try {
            return SetError(e.Result(), SystemText(e.Result()), iid);
        } catch (...) {
            return e.Result();
        }
    } catch (const std::bad_alloc&) {
        return SetError(E_OUTOFMEMORY, L"Out of memory", iid);
    } catch (...) {
        return SetError(E_UNEXPECTED, L"Unexpected failure", iid);
    }
}

void FillExcepInfo(HRESULT hr, EXCEPINFO* excepinfo) noexcept {
    if (excepinfo == nullptr) return;
    *excepinfo = EXCEPINFO{};
    excepinfo->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) != S_OK || !info) return;
    info->GetSource(&excepinfo->bstrSource);
    info->GetDescription(&excepinfo->bstrDescription);
    info->GetHelpFile(&excepinfo->bstrHelpFile);
    info->GetHelpContext(&excepinfo->dwHelpContext);
}

}  // namespace quelder::com
