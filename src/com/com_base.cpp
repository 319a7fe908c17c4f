#include "com/com_base.hpp"

#include <new>
#include <vector>

#include "com/com_error.hpp"

namespace quelder::com {

std::wstring Module::Path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(instance_, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) throw HresultError(HRESULT_FROM_WIN32(GetLastError()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

ComPtr<ITypeLib> Module::TypeLib() {
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(Path().c_str(), REGKIND_NONE, library.GetAddressOf());
    if (FAILED(hr)) throw HresultError(hr);
    return library;
}

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), length);
    return result;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

Bstr::Bstr(std::wstring_view text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (value_ == nullptr) throw std::bad_alloc();
}

namespace {
// The types of a value on its own (VT_VARIANT is one only by reference or in
// an array).
bool IsValueType(VARTYPE base) {
    switch (base) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: case VT_ERROR: case VT_BOOL: case VT_DECIMAL: case VT_VARIANT:
        return true;
    default:
        return false;
    }
}
// How many references a value may hide behind.
constexpr int kMaxIndirections = 4;
}  // namespace

bool IsAutomationType(VARTYPE type) noexcept {
    const VARTYPE base = type & VT_TYPEMASK;
    const VARTYPE modifiers = type & ~VT_TYPEMASK;
    if ((modifiers & ~(VT_BYREF | VT_ARRAY)) != 0 || !IsValueType(base)) return false;
    if (base == VT_EMPTY || base == VT_NULL) return modifiers == 0;
    if (base == VT_VARIANT) return modifiers != 0;
    return true;
}

HRESULT Dereference(const VARIANT& variant, Variant& copy, const VARIANT*& value) noexcept {
    value = &variant;
    for (int depth = 0;; ++depth) {
        const VARTYPE type = V_VT(value);
        if (!IsAutomationType(type)) return DISP_E_BADVARTYPE;
        if ((type & VT_BYREF) == 0) return S_OK;
        if (V_BYREF(value) == nullptr || depth >= kMaxIndirections) return DISP_E_TYPEMISMATCH;
        if (type == (VT_BYREF | VT_VARIANT)) {
            value = V_VARIANTREF(value);
            continue;
        }
        // A reference of a known type to something there: the system copies it.
        Variant next;
        const HRESULT hr = VariantCopyInd(&next, const_cast<VARIANT*>(value));
        if (FAILED(hr)) return hr;
        copy.Clear();
        static_cast<VARIANT&>(copy) = next;
        static_cast<VARIANT&>(next) = VARIANT{};
        value = &copy;
    }
}

}  // namespace quelder::com
