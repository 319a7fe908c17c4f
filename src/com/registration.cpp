// Self-registration: the type library, and for every class of the component
// its CLSID, ProgID and control keys; for every interface its marshalling keys.
// For the machine under HKEY_CLASSES_ROOT, for the current user under
// HKEY_CURRENT_USER\Software\Classes.
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
// interfaces the type library's registration writes the other one too.
constexpr REGSAM kBothViews[] = {0, registry::kOtherView};

class RegistryKey {
public:
    // Opens the key, creating it and the keys above it when missing.
    RegistryKey(HKEY parent, const std::wstring& path) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        const LSTATUS status = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
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

bool IsClass(const ObjectEntry& entry) { return entry.kind == ObjectEntry::Kind::Control && entry.clsid != nullptr; }
std::wstring ClassKey(const ObjectEntry& entry) { return L"CLSID\\" + GuidText(*entry.clsid); }
std::wstring InterfaceKey(const InterfaceEntry& entry) { return L"Interface\\" + GuidText(*entry.iid); }

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
class Target {
public:
    Target(const ComponentDescription& component, RegistrationScope scope)
        : component_(component), scope_(scope), path_(Module::Path()), longPath_(LongPath(path_)),
          typeLib_(Module::TypeLib()) {
        if (scope_ == RegistrationScope::User) {
            HKEY key = nullptr;
            const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr,
                                                   REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
            if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
            userClasses_.reset(key);
            root_ = key;
        }
        TLIBATTR* attr = nullptr;
        const HRESULT hr = typeLib_->GetLibAttr(&attr);
        if (FAILED(hr)) throw HresultError(hr);
        const TLIBATTR library = *attr;
        typeLib_->ReleaseTLibAttr(attr);
        flags_ = library.wLibFlags;
        keys_.library = L"TypeLib\\" + GuidText(library.guid);
        keys_.version = keys_.library + L"\\" + Hex(library.wMajorVerNum) + L"." + Hex(library.wMinorVerNum);
        keys_.locale = keys_.version + L"\\" + Hex(library.lcid);
        const wchar_t* platform = library.syskind == SYS_WIN64 ? L"win64" : library.syskind == SYS_WIN32 ? L"win32" : L"win16";
        keys_.file = keys_.locale + L"\\" + platform;
    }

    const ComponentDescription& Component() const { return component_; }
    RegistrationScope Scope() const { return scope_; }
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
            snapshots.emplace_back(root_, entry.progId);
        }
        for (const REGSAM view : kBothViews)
            for (const InterfaceEntry& entry : component_.interfaces) snapshots.emplace_back(root_, InterfaceKey(entry), view);
        return snapshots;
    }

private:
    const ComponentDescription& component_;
    RegistrationScope scope_;
    std::wstring path_;
    std::wstring longPath_;
    ComPtr<ITypeLib> typeLib_;
    handles::UniqueRegKey userClasses_;
    HKEY root_ = HKEY_CLASSES_ROOT;
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

// For the machine RegisterTypeLib. For one user the same keys are written
// here: Wine's RegisterTypeLibForUser registers for the whole machine.
void RegisterLibrary(const Target& target) {
    if (target.Scope() == RegistrationScope::Machine) {
        const HRESULT hr = RegisterTypeLib(target.TypeLib(), const_cast<wchar_t*>(target.Path().c_str()), nullptr);
        if (FAILED(hr)) throw HresultError(hr);
        return;
    }
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

void RegisterControlClass(const Target& target, const ObjectEntry& entry) {
    const ComponentDescription& component = target.Component();
    const std::wstring& path = target.Path();
    RegistryKey key(target.Root(), ClassKey(entry));
    key.Set(nullptr, entry.name);
    RegistryKey server(key, L"InprocServer32");
    server.Set(nullptr, path);
    server.Set(L"ThreadingModel", entry.threadingModel);
    RegistryKey(key, L"ProgID").Set(nullptr, entry.progId);
    RegistryKey(key, L"Control");
    RegistryKey misc(key, L"MiscStatus");
    misc.Set(nullptr, L"0");
    RegistryKey(misc, L"1").Set(nullptr, std::to_wstring(entry.miscStatus));
    RegistryKey(key, L"ToolboxBitmap32").Set(nullptr, path + L", " + std::to_wstring(entry.toolboxBitmap));
    RegistryKey(key, L"TypeLib").Set(nullptr, GuidText(*component.libid));
    RegistryKey(key, L"Version").Set(nullptr, VersionText(component));
    RegistryKey(key, std::wstring(L"Implemented Categories\\") + kControlCategory);

    RegistryKey progId(target.Root(), entry.progId);
    progId.Set(nullptr, entry.name);
    RegistryKey(progId, L"CLSID").Set(nullptr, GuidText(*entry.clsid));
}

void RegisterInterface(const Target& target, const InterfaceEntry& entry) {
    RegistryKey key(target.Root(), InterfaceKey(entry));
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
            for (const ObjectEntry& entry : component.objects)
                if (IsClass(entry)) RegisterControlClass(target, entry);
            for (const InterfaceEntry& entry : component.interfaces) RegisterInterface(target, entry);
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
            if (!IsClass(entry)) continue;
            const auto clsid = registry::String(root, std::wstring(entry.progId) + L"\\CLSID");
            if (clsid && registry::SameName(*clsid, GuidText(*entry.clsid)) && !registry::DeleteTree(root, entry.progId))
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
