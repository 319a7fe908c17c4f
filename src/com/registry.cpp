#include "com/registry.hpp"

#include <algorithm>
#include <utility>

#include "com/com_error.hpp"

namespace quelder::com::registry {

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE | DELETE;

template <typename Named>
const Named* Find(const std::vector<Named>& items, const std::wstring& name) {
    const auto found = std::find_if(items.begin(), items.end(), [&](const Named& item) { return SameName(item.name, name); });
    return found != items.end() ? &*found : nullptr;
}

}  // namespace

handles::UniqueRegKey Open(HKEY root, const std::wstring& path, REGSAM access, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, access | view, &key) != ERROR_SUCCESS) return {};
    return handles::UniqueRegKey(key);
}

bool Exists(HKEY root, const std::wstring& path, REGSAM view) {
    return static_cast<bool>(Open(root, path, KEY_READ, view));
}

std::optional<std::wstring> String(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
    const handles::UniqueRegKey key = Open(root, path, KEY_QUERY_VALUE, view);
    if (!key) return std::nullopt;
    // REG_EXPAND_SZ too: it comes expanded, as REG_SZ.
    constexpr DWORD kStrings = RRF_RT_REG_SZ;
    DWORD size = 0;
    if (RegGetValueW(key.get(), nullptr, name, kStrings, nullptr, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(key.get(), nullptr, name, kStrings, nullptr, value.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

std::vector<std::wstring> Subkeys(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];  // the longest key name the registry allows, and its end
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

bool DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    {
        const handles::UniqueRegKey key = Open(root, path, kReadWrite, view);
        if (!key) return !Exists(root, path, view);
        // The contents by the handle, so that they are the ones of the view asked for.
        if (RegDeleteTreeW(key.get(), nullptr) != ERROR_SUCCESS) return false;
    }
    const LSTATUS status = RegDeleteKeyExW(root, path.c_str(), view, 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// ---- snapshots ----------------------------------------------------------------------

Snapshot::Snapshot(HKEY root, std::wstring path, REGSAM view) : root_(root), path_(std::move(path)), view_(view) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ | view_, &key);
    if (status == ERROR_FILE_NOT_FOUND) return;
    // A key that is there but cannot be read would be taken for a new one.
    if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
    const handles::UniqueRegKey owner(key);
    was_ = Read(key, path_);
}

Snapshot::Key Snapshot::Read(HKEY key, std::wstring name) {
    Key result{std::move(name), {}, {}};
    DWORD longestName = 0;
    DWORD longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, &longestData,
                     nullptr, nullptr);
    std::vector<wchar_t> valueName(longestName + 1);
    std::vector<BYTE> data(longestData);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, valueName.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        result.values.push_back({std::wstring(valueName.data(), nameLength), type,
                                 std::vector<BYTE>(data.begin(), data.begin() + size)});
    }
    for (const std::wstring& subkey : Subkeys(key))
        if (const handles::UniqueRegKey child = Open(key, subkey, KEY_READ)) result.subkeys.push_back(Read(child.get(), subkey));
    return result;
}

bool Snapshot::PutBack(HKEY key, const Key& was) {
    // Keys and values only come or change while a registration is written:
    // what is here now and was not goes, what was is set again.
    bool ok = true;
    for (const std::wstring& subkey : Subkeys(key)) {
        const Key* before = Find(was.subkeys, subkey);
        if (before == nullptr) {
            ok = RegDeleteTreeW(key, subkey.c_str()) == ERROR_SUCCESS && ok;
        } else if (const handles::UniqueRegKey child = Open(key, subkey, kReadWrite)) {
            ok = PutBack(child.get(), *before) && ok;
        } else {
            ok = false;
        }
    }
    std::vector<std::wstring> names;
    std::vector<wchar_t> name(16384);  // the longest value name the registry allows
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    for (const std::wstring& value : names)
        if (Find(was.values, value) == nullptr) ok = RegDeleteValueW(key, value.c_str()) == ERROR_SUCCESS && ok;
    for (const Value& value : was.values)
        ok = RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS &&
             ok;
    return ok;
}

bool Snapshot::Restore() const noexcept {
    try {
        if (!was_) return DeleteTree(root_, path_, view_);
        const handles::UniqueRegKey key = Open(root_, path_, kReadWrite, view_);
        return key && PutBack(key.get(), *was_);
    } catch (...) {
        return false;
    }
}

}  // namespace quelder::com::registry
