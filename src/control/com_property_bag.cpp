#include "control/com_property_bag.hpp"

#include <new>
#include <string>
#include <type_traits>

#include "com/com_error.hpp"
#include "control/pictures.hpp"

namespace quelder::win32 {

namespace {

[[noreturn]] void Mismatch() { Raise(error::kTypeMismatch); }

// value as a 32-bit integer or a double, or a type mismatch.
std::int32_t AsInt32(const VARIANT& value) {
    com::Variant result;
    if (FAILED(VariantChangeType(&result, const_cast<VARIANT*>(&value), 0, VT_I4))) Mismatch();
    return V_I4(&result);
}
double AsDouble(const VARIANT& value) {
    com::Variant result;
    if (FAILED(VariantChangeType(&result, const_cast<VARIANT*>(&value), 0, VT_R8))) Mismatch();
    return V_R8(&result);
}

PropertyValue FromDirectVariant(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
        return std::monostate{};
    case VT_BOOL:
        return V_BOOL(&value) != VARIANT_FALSE;
    case VT_I2:
        return std::int16_t{V_I2(&value)};
    case VT_I4:
        return std::int32_t{V_I4(&value)};
    case VT_INT:
        return std::int32_t{V_INT(&value)};
    case VT_R8:
        return double{V_R8(&value)};
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
        return AsInt32(value);
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: {
        com::Variant whole;
        if (SUCCEEDED(VariantChangeType(&whole, const_cast<VARIANT*>(&value), 0, VT_I4)))
            return std::int32_t{V_I4(&whole)};
        return AsDouble(value);
    }
    case VT_R4:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
        return AsDouble(value);
    case VT_BSTR:
        return com::Narrow(std::wstring_view(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value))));
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* object = V_UNKNOWN(&value);
        if (object == nullptr) return PictureRef{};
        com::ComPtr<IPictureDisp> picture;
        if (FAILED(object->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(picture.GetAddressOf()))) ||
            !picture)
            Mismatch();
        return FromPictureDisp(picture.Get());
    }
    default:
        Mismatch();
    }
}

}  // namespace

PropertyValue FromVariant(const VARIANT& value) {
    // A by-reference value is followed to what it points at; a type no bag
    // may hand out is never looked into.
    com::Variant copy;
    const VARIANT* direct = nullptr;
    if (FAILED(com::Dereference(value, copy, direct))) Mismatch();
    return FromDirectVariant(*direct);
}

void ToVariant(const PropertyValue& value, com::Variant& out) {
    out.Clear();
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                V_VT(&out) = VT_EMPTY;
            } else if constexpr (std::is_same_v<T, bool>) {
                V_VT(&out) = VT_BOOL;
                V_BOOL(&out) = v ? VARIANT_TRUE : VARIANT_FALSE;
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                V_VT(&out) = VT_I2;
                V_I2(&out) = v;
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                V_VT(&out) = VT_I4;
                V_I4(&out) = v;
            } else if constexpr (std::is_same_v<T, double>) {
                V_VT(&out) = VT_R8;
                V_R8(&out) = v;
            } else if constexpr (std::is_same_v<T, std::string>) {
                const std::wstring text = com::Widen(v);
                BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                if (copy == nullptr) throw std::bad_alloc();
                V_VT(&out) = VT_BSTR;
                V_BSTR(&out) = copy;
            } else {
                static_assert(std::is_same_v<T, PictureRef>);
                IPictureDisp* picture = ToPictureDisp(v).Detach();
                V_VT(&out) = VT_DISPATCH;
                V_DISPATCH(&out) = picture;
            }
        },
        value);
}

PropertyValue ComPropertyBag::ReadProperty(std::string_view name, const PropertyValue& def) {
    const std::wstring key = com::Widen(name);
    com::Variant value;  // VT_EMPTY: the bag hands back the type it keeps
    const HRESULT hr = bag_.Read(key.c_str(), &value, log_);
    if (hr == E_INVALIDARG || (SUCCEEDED(hr) && V_VT(&value) == VT_EMPTY)) return def;
    if (FAILED(hr)) throw com::HresultError(hr);
    if (V_VT(&value) == VT_NULL && std::holds_alternative<PictureRef>(def)) return PictureRef{};
    return FromVariant(value);
}

void ComPropertyBag::WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue&) {
    const std::wstring key = com::Widen(name);
    com::Variant stored;
    ToVariant(value, stored);
    const HRESULT hr = bag_.Write(key.c_str(), &stored);
    if (FAILED(hr)) throw com::HresultError(hr);
}

}  // namespace quelder::win32
