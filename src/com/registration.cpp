// Self-registration: the type library, and for every class of the component
// its CLSID, ProgID and control keys; for every interface its marshalling keys.
#include <olectl.h>

#include <string>

#include "com/com_base.hpp"
#include "com/com_error.hpp"
#include "com/component_services.hpp"
#include "com/win_handles.hpp"

namespace quelder::com {

namespace {

// The standard automation marshaler (the type library's proxy and stub).
constexpr const wchar_t* kAutomationMarshaler = L"{00020424-0000-0000-C000-000000000046}";
// The component category of controls.
constexpr const wchar_t* kControlCategory = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

class RegistryKey {
public:
    // Opens the key, creating it and the keys above it when missing.
    RegistryKey(HKEY parent, const std::wstring& path) {
        HKEY key = nullptr;
        const LSTATUS status = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                               nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
        key_.reset(key);
    }
    RegistryKey(const RegistryKey& parent, const std::wstring& path) : RegistryKey(parent.key_.get(), path) {}

    // name null: the key's default value.
    void Set(const wchar_t* name, const std::wstring& value) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        const LSTATUS status = RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        if (status != ERROR_SUCCESS) throw HresultError(HRESULT_FROM_WIN32(status));
    }

private:
    handles::UniqueRegKey key_;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring VersionText(const ComponentDescription& component) {
    return std::to_wstring(component.majorVersion) + L"." + std::to_wstring(component.minorVersion);
}

void RegisterControlClass(const ComponentDescription& component, const ObjectEntry& entry, const std::wstring& path) {
    const std::wstring clsid = GuidText(*entry.clsid);
    RegistryKey key(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid);
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

    RegistryKey progId(HKEY_CLASSES_ROOT, entry.progId);
    progId.Set(nullptr, entry.name);
    RegistryKey(progId, L"CLSID").Set(nullptr, clsid);
}

void RegisterInterface(const ComponentDescription& component, const InterfaceEntry& entry) {
    RegistryKey key(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(*entry.iid));
    key.Set(nullptr, entry.name);
    RegistryKey(key, L"ProxyStubClsid").Set(nullptr, kAutomationMarshaler);
    RegistryKey(key, L"ProxyStubClsid32").Set(nullptr, kAutomationMarshaler);
    RegistryKey typeLib(key, L"TypeLib");
    typeLib.Set(nullptr, GuidText(*component.libid));
    typeLib.Set(L"Version", VersionText(component));
}

bool Removed(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    const bool exists = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    const handles::UniqueRegKey owner(key);
    return exists;
}

}  // namespace

HRESULT RegisterServer(const ComponentDescription& component) noexcept {
    HRESULT failure = SELFREG_E_TYPELIB;
    try {
        const std::wstring path = Module::Path();
        const ComPtr<ITypeLib> library = Module::TypeLib();
        const HRESULT hr = RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), nullptr);
        if (FAILED(hr)) throw HresultError(hr);

        failure = SELFREG_E_CLASS;
        for (const ObjectEntry& entry : component.objects)
            if (entry.kind == ObjectEntry::Kind::Control && entry.clsid != nullptr) RegisterControlClass(component, entry, path);
        for (const InterfaceEntry& entry : component.interfaces) RegisterInterface(component, entry);
        return S_OK;
    } catch (...) {
        // Nothing half-registered stays behind.
        UnregisterServer(component);
        return failure;
    }
}

HRESULT UnregisterServer(const ComponentDescription& component) noexcept {
    HRESULT result = S_OK;
    try {
        for (const ObjectEntry& entry : component.objects) {
            if (entry.kind != ObjectEntry::Kind::Control || entry.clsid == nullptr) continue;
            if (!Removed(L"CLSID\\" + GuidText(*entry.clsid)) || !Removed(entry.progId)) result = SELFREG_E_CLASS;
        }
        for (const InterfaceEntry& entry : component.interfaces)
            if (!Removed(L"Interface\\" + GuidText(*entry.iid))) result = SELFREG_E_CLASS;

        // The type library, when it is registered at all.
        if (KeyExists(L"TypeLib\\" + GuidText(*component.libid) + L"\\" + VersionText(component))) {
            const ComPtr<ITypeLib> library = Module::TypeLib();
            TLIBATTR* attr = nullptr;
            HRESULT hr = library->GetLibAttr(&attr);
            if (SUCCEEDED(hr)) {
                hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
                library->ReleaseTLibAttr(attr);
            }
            if (FAILED(hr)) result = SELFREG_E_TYPELIB;
        }
    } catch (...) {
        result = SELFREG_E_CLASS;
    }
    return result;
}

}  // namespace quelder::com
