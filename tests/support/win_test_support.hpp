// Shared by the Windows test programs: the path of Quelder.ocx handed over on
// the command line, and COM set-up.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace quelder::testing {

// The program's argument n (1 is the first), or fallback when there is none.
inline std::wstring ProgramArgument(int n, const wchar_t* fallback = L"") {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring argument = argv != nullptr && argc > n ? argv[n] : fallback;
    LocalFree(argv);
    return argument;
}

// The program's first argument, turned into a Windows path (a Unix path from
// CTest becomes Z:\...).
inline std::wstring OcxPath() {
    std::wstring path = ProgramArgument(1, L"Quelder.ocx");
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (auto& ch : path)
        if (ch == L'/') ch = L'\\';
    return path;
}

// A BSTR for the life of a scope.
struct BstrText {
    explicit BstrText(const wchar_t* text) : value(SysAllocString(text)) {}
    ~BstrText() { SysFreeString(value); }
    BstrText(const BstrText&) = delete;
    BstrText& operator=(const BstrText&) = delete;
    BSTR value;
};

// COM for the life of a scope.
struct ComApartment {
    ComApartment() { hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT hr;
};

// A loaded DLL, freed at the end of the scope.
class Library {
public:
    explicit Library(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    HMODULE get() const { return module_; }
    template <typename F>
    F* Proc(const char* name) const {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

}  // namespace quelder::testing
