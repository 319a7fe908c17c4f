// The registry as self-registration uses it: keys named by a root, a path
// below it and a view. On 64-bit Windows the CLSID and Interface keys come in
// two views, one for each bitness (view 0 is the process's own); the other
// keys are the same in both.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "handles/win_handles.hpp"

namespace quelder::com::registry {

// The other bitness's view: the 32-bit one from 64-bit code and the other way round.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// root\path, or an empty owner when it cannot be opened.
handles::UniqueRegKey Open(HKEY root, const std::wstring& path, REGSAM access, REGSAM view = 0);
bool Exists(HKEY root, const std::wstring& path, REGSAM view = 0);
// A string value (name null: the default value), environment strings expanded.
std::optional<std::wstring> String(HKEY root, const std::wstring& path, const wchar_t* name = nullptr, REGSAM view = 0);
std::vector<std::wstring> Subkeys(HKEY key);
// Removes root\path and everything below it; false when that failed (a key
// that is not there is no failure).
bool DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Registry names are compared without regard to case.
bool SameName(const std::wstring& a, const std::wstring& b);

// A key with everything below it as it was when taken. Restore undoes what
// was added or changed since and leaves what was there before: keys and
// values that are new go, changed values get their old contents back, and a
// key that did not exist at all goes with everything below it.
class Snapshot {
public:
    Snapshot(HKEY root, std::wstring path, REGSAM view = 0);
    // false when something could not be put back.
    bool Restore() const noexcept;

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key {
        std::wstring name;
        std::vector<Value> values;
        std::vector<Key> subkeys;
    };
    static Key Read(HKEY key, std::wstring name);
    static bool PutBack(HKEY key, const Key& was);

    HKEY root_;
    std::wstring path_;
    REGSAM view_;
    std::optional<Key> was_;  // none: the key did not exist
};

}  // namespace quelder::com::registry
