// Self-registration: the type library, and for every class of the component
// its CLSID, ProgID and control keys (for a property page its CLSID key alone);
// for every interface its marshalling keys.
// For the machine under HKEY_LOCAL_MACHINE\Software\Classes, for the current
// user under HKEY_CURRENT_USER\Software\Classes. Never through
// HKEY_CLASSES_ROOT: Windows shows there the user's keys over the machine's,
// and what is written to or deleted from a key the user has goes to the
// user's, so a machine-wide registration beside a user's would change the
// user's keys and leave the machine's.
//
// The 32-bit and the 64-bit file can be registered side by side: each has
// its own CLSID and Interface keys (one registry view for each bitness), and
// they share the ProgID and the type library's keys, where each has its own
// win32 or win64 entry. Unregistering one leaves what the other still uses.
#include <olectl.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "com/com_base.hpp"
#include "com/com_error.hpp"
#include "com/component_services.hpp"
#include "com/registry.hpp"
#include "handles/win_handles.hpp"

namespace quelder::com {

namespace {

// The standard automation marshaler (the type library's proxy and stub).
constexpr const wchar_t* kAutomationMarshaler = L"{00020424-0000-0000-C000-000000000046}";
// The component category of controls.
constexpr const wchar_t* kControlCategory = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
// The registry views a registration writes to: its own, and for the
// interfaces the other one too, as the system's type library registration
// does, so that clients of either bitness can marshal them.
constexpr REGSAM kBothViews[] = {0, registry::kOtherView};

class RegistryKey {
public:
    // Opens the key, creating it and the keys above it when missing.
    RegistryKey(HKEY parent, const std::wstring& path, REGSAM view = 0) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        const LSTATUS status = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | view,
                                               nullptr, &key, &disposition);
        if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
        key_.reset(key);
        created_ = disposition == REG_CREATED_NEW_KEY;
    }
    RegistryKey(const RegistryKey& parent, const std::wstring& path) : RegistryKey(parent.key_.get(), path) {}

    // name null: the key's default value.
    void Set(const wchar_t* name, const std::wstring& value) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        const LSTATUS status = RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
    }
    bool Created() const { return created_; }

private:
    handles::UniqueRegKey key_;
    bool created_ = false;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Hex(unsigned number) {
    wchar_t text[12] = {};
    wsprintfW(text, L"%x", number);
    return text;
}

std::wstring VersionText(const ComponentDescription& component) {
    return std::to_wstring(component.majorVersion) + L"." + std::to_wstring(component.minorVersion);
}

bool IsClass(const ObjectEntry& entry) {
    return (entry.kind == ObjectEntry::Kind::Control || entry.kind == ObjectEntry::Kind::Page) && entry.clsid != nullptr;
}
bool HasProgId(const ObjectEntry& entry) { return IsClass(entry) && entry.progId != nullptr; }
// The keys of the classes, by their paths from the registration's root.
std::wstring Classes(const std::wstring& below) { return L"Software\\Classes\\" + below; }
std::wstring ClassKey(const ObjectEntry& entry) { return Classes(L"CLSID\\" + GuidText(*entry.clsid)); }
std::wstring ProgIdKey(const ObjectEntry& entry) { return Classes(entry.progId); }
std::wstring InterfaceKey(const InterfaceEntry& entry) { return Classes(L"Interface\\" + GuidText(*entry.iid)); }

// The path as the file system spells it, so that a registration made through
// a short or differently cased path still names the same file.
std::wstring LongPath(const std::wstring& path) {
    const DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) return path;
    std::wstring result(length, L'\0');
    const DWORD written = GetLongPathNameW(path.c_str(), result.data(), length);
    if (written == 0 || written >= length) return path;
    result.resize(written);
    return result;
}

// The type library's keys: TypeLib\{libid}, its version, the locale below
// that and this bitness's file entry below the locale ("409\win64").
struct LibraryKeys {
    std::wstring library;
    std::wstring version;
    std::wstring locale;
    std::wstring file;
};

// Where a registration goes and what it names: this file and its type library.
// Keys are named by their whole path from the root, HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER, so that the registry view asked for applies to all of
// the path, as Windows redirects it: a 32-bit file's classes and interfaces
// land in the 32-bit view, and the type library's keys, which both views
// share, are the same for both.
class Target {
public:
    Target(const ComponentDescription& component, RegistrationScope scope)
        : component_(component), root_(scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE),
          path_(Module::Path()), longPath_(LongPath(path_)), typeLib_(Module::TypeLib()) {
        TLIBATTR* attr = nullptr;
        const HRESULT hr = typeLib_->GetLibAttr(&attr);
        if (FAILED(hr)) throw HresultError(hr);
        const TLIBATTR library = *attr;
        typeLib_->ReleaseTLibAttr(attr);
        flags_ = library.wLibFlags;
        keys_.library = Classes(L"TypeLib\\" + GuidText(library.guid));
        keys_.version = keys_.library + L"\\" + Hex(library.wMajorVerNum) + L"." + Hex(library.wMinorVerNum);
        keys_.locale = keys_.version + L"\\" + Hex(library.lcid);
        const wchar_t* platform = library.syskind == SYS_WIN64 ? L"win64" : library.syskind == SYS_WIN32 ? L"win32" : L"win16";
        keys_.file = keys_.locale + L"\\" + platform;
    }

    const ComponentDescription& Component() const { return component_; }
    HKEY Root() const { return root_; }
    const std::wstring& Path() const { return path_; }
    ITypeLib* TypeLib() const { return typeLib_.Get(); }
    WORD LibraryFlags() const { return flags_; }
    const LibraryKeys& Library() const { return keys_; }

    // Whether a registry value is the path of this file. Paths, like
    // registry names, are the same whatever their case.
    bool NamesThisFile(const std::optional<std::wstring>& value) const {
        return value && registry::SameName(LongPath(*value), longPath_);
    }

    // Everything a registration may add to or change, as it is now.
    std::vector<registry::Snapshot> Snapshots() const {
        std::vector<registry::Snapshot> snapshots;
        snapshots.emplace_back(root_, keys_.library);
        for (const ObjectEntry& entry : component_.objects) {
            if (!IsClass(entry)) continue;
            snapshots.emplace_back(root_, ClassKey(entry));
            if (HasProgId(entry)) snapshots.emplace_back(root_, ProgIdKey(entry));
        }
        for (const REGSAM view : kBothViews)
            for (const InterfaceEntry& entry : component_.interfaces)
                snapshots.emplace_back(root_, InterfaceKey(entry), view);
        return snapshots;
    }

private:
    const ComponentDescription& component_;
    HKEY root_;
    std::wstring path_;
    std::wstring longPath_;
    ComPtr<ITypeLib> typeLib_;
    WORD flags_ = 0;
    LibraryKeys keys_;
};

// Puts back what the snapshots found unless the registration is committed.
class Rollback {
public:
    explicit Rollback(std::vector<registry::Snapshot> snapshots) : snapshots_(std::move(snapshots)) {}
    ~Rollback() {
        if (committed_) return;
        for (auto snapshot = snapshots_.rbegin(); snapshot != snapshots_.rend(); ++snapshot) snapshot->Restore();
    }
    Rollback(const Rollback&) = delete;
    Rollback& operator=(const Rollback&) = delete;
    void Commit() { committed_ = true; }

private:
    std::vector<registry::Snapshot> snapshots_;
    bool committed_ = false;
};

// A step of registering: whatever makes it fail, the failure is the step's.
template <typename Body>
void Step(HRESULT failure, Body&& body) {
    try {
        body();
    } catch (...) {
        throw HresultError(failure);
    }
}

// The keys RegisterTypeLib writes, written here: it writes through
// HKEY_CLASSES_ROOT (and Wine's RegisterTypeLibForUser for the whole machine).
// Its interfaces are the component's, registered with the classes.
void RegisterLibrary(const Target& target) {
    const LibraryKeys& keys = target.Library();
    RegistryKey version(target.Root(), keys.version);
    Bstr description;
    if (SUCCEEDED(target.TypeLib()->GetDocumentation(-1, nullptr, description.put(), nullptr, nullptr)) &&
        description.get() != nullptr)
        version.Set(nullptr, std::wstring(description.view()));
    RegistryKey(target.Root(), keys.file).Set(nullptr, target.Path());
    RegistryKey(version, L"FLAGS").Set(nullptr, std::to_wstring(target.LibraryFlags()));
    // The help directory of a registration that is there already stays.
    RegistryKey helpDirectory(version, L"HELPDIR");
    if (helpDirectory.Created()) helpDirectory.Set(nullptr, target.Path().substr(0, target.Path().find_last_of(L'\\')));
}

void RegisterComClass(const Target& target, const ObjectEntry& entry) {
    const ComponentDescription& component = target.Component();
    const std::wstring& path = target.Path();
    RegistryKey key(target.Root(), ClassKey(entry));
    key.Set(nullptr, entry.name);
    RegistryKey server(key, L"InprocServer32");
    server.Set(nullptr, path);
    server.Set(L"ThreadingModel", entry.threadingModel);
    // A property page is made by its CLSID alone.
    if (entry.kind != ObjectEntry::Kind::Control) return;
    RegistryKey(key, L"ProgID").Set(nullptr, entry.progId);
    RegistryKey(key, L"Control");
    RegistryKey misc(key, L"MiscStatus");
    misc.Set(nullptr, L"0");
    RegistryKey(misc, L"1").Set(nullptr, std::to_wstring(entry.miscStatus));
    RegistryKey(key, L"ToolboxBitmap32").Set(nullptr, path + L", " + std::to_wstring(entry.toolboxBitmap));
    RegistryKey(key, L"TypeLib").Set(nullptr, GuidText(*component.libid));
    RegistryKey(key, L"Version").Set(nullptr, VersionText(component));
    RegistryKey(key, std::wstring(L"Implemented Categories\\") + kControlCategory);

    RegistryKey progId(target.Root(), ProgIdKey(entry));
    progId.Set(nullptr, entry.name);
    RegistryKey(progId, L"CLSID").Set(nullptr, GuidText(*entry.clsid));
}

void RegisterInterface(const Target& target, const InterfaceEntry& entry, REGSAM view) {
    RegistryKey key(target.Root(), InterfaceKey(entry), view);
    key.Set(nullptr, entry.name);
    RegistryKey(key, L"ProxyStubClsid").Set(nullptr, kAutomationMarshaler);
    RegistryKey(key, L"ProxyStubClsid32").Set(nullptr, kAutomationMarshaler);
    RegistryKey typeLib(key, L"TypeLib");
    typeLib.Set(nullptr, GuidText(*target.Component().libid));
    typeLib.Set(L"Version", VersionText(target.Component()));
}

// Whether root\path is there with no subkeys but the ones named.
bool HoldsOnly(HKEY root, const std::wstring& path, std::initializer_list<const wchar_t*> allowed) {
    const handles::UniqueRegKey key = registry::Open(root, path, KEY_READ);
    if (!key) return false;
    for (const std::wstring& subkey : registry::Subkeys(key.get())) {
        bool known = false;
        for (const wchar_t* name : allowed) known = known || registry::SameName(subkey, name);
        if (!known) return false;
    }
    return true;
}

// The type library's keys above the file entries, once no file entry is left
// below them; false when one could not be removed.
bool RemoveUnusedLibraryKeys(HKEY root, const LibraryKeys& keys) {
    bool ok = true;
    if (HoldsOnly(root, keys.locale, {})) ok = registry::DeleteTree(root, keys.locale) && ok;
    if (HoldsOnly(root, keys.version, {L"FLAGS", L"HELPDIR"})) ok = registry::DeleteTree(root, keys.version) && ok;
    if (HoldsOnly(root, keys.library, {})) ok = registry::DeleteTree(root, keys.library) && ok;
    return ok;
}

// After this file's entries went: whether a class is still registered (by
// the other bitness or another copy of the file) or the type library is.
bool AnotherRegistrationRemains(const Target& target) {
    for (const ObjectEntry& entry : target.Component().objects) {
        if (!IsClass(entry)) continue;
        for (const REGSAM view : kBothViews)
            if (registry::Exists(target.Root(), ClassKey(entry) + L"\\InprocServer32", view)) return true;
    }
    return registry::Exists(target.Root(), target.Library().version);
}

}  // namespace

HRESULT RegisterServer(const ComponentDescription& component, RegistrationScope scope) noexcept {
    return Guard(GUID_NULL, [&] {
        const Target target(component, scope);
        Rollback rollback(target.Snapshots());
        Step(SELFREG_E_TYPELIB, [&] { RegisterLibrary(target); });
        Step(SELFREG_E_CLASS, [&] {
            for (const REGSAM view : kBothViews)
                for (const InterfaceEntry& entry : component.interfaces) RegisterInterface(target, entry, view);
            for (const ObjectEntry& entry : component.objects)
                if (IsClass(entry)) RegisterComClass(target, entry);
        });
        rollback.Commit();
    });
}

HRESULT UnregisterServer(const ComponentDescription& component, RegistrationScope scope) noexcept {
    return Guard(GUID_NULL, [&] {
        const Target target(component, scope);
        const HKEY root = target.Root();
        HRESULT result = S_OK;

        // What names this file: its classes' keys in its own view, and its
        // bitness's entry of the type library.
        for (const ObjectEntry& entry : component.objects) {
            if (!IsClass(entry)) continue;
            const std::wstring key = ClassKey(entry);
            if (target.NamesThisFile(registry::String(root, key + L"\\InprocServer32")) && !registry::DeleteTree(root, key))
                result = SELFREG_E_CLASS;
        }
        const LibraryKeys& library = target.Library();
        if (target.NamesThisFile(registry::String(root, library.file)) && !registry::DeleteTree(root, library.file))
            result = SELFREG_E_TYPELIB;
        if (!RemoveUnusedLibraryKeys(root, library)) result = SELFREG_E_TYPELIB;

        // What all registrations of the classes share goes with the last one.
        if (AnotherRegistrationRemains(target)) return result;
        for (const ObjectEntry& entry : component.objects) {
            if (!HasProgId(entry)) continue;
            const std::wstring progId = ProgIdKey(entry);
            const auto clsid = registry::String(root, progId + L"\\CLSID");
            if (clsid && registry::SameName(*clsid, GuidText(*entry.clsid)) && !registry::DeleteTree(root, progId))
                result = SELFREG_E_CLASS;
        }
        for (const REGSAM view : kBothViews)
            for (const InterfaceEntry& entry : component.interfaces)
                if (!registry::DeleteTree(root, InterfaceKey(entry), view)) result = SELFREG_E_CLASS;
        return result;
    });
}

HRESULT InstallServer(const ComponentDescription& component, bool install, const wchar_t* commandLine) noexcept {
    RegistrationScope scope = RegistrationScope::Machine;
    if (commandLine != nullptr && *commandLine != L'\0') {
        if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) != CSTR_EQUAL) return E_INVALIDARG;
        scope = RegistrationScope::User;
    }
    return install ? RegisterServer(component, scope) : UnregisterServer(component, scope);
}

}  // namespace quelder::com
