#include "component/com_base.hpp"

#include <new>
#include <vector>

#include "component/com_error.hpp"

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

}  // namespace quelder::com
