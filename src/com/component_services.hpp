// The services behind the four entry points of a self-registering control
// library, written once and driven by a static description of the component:
// registration of its type library and classes, the class factories and the
// answer to "can the library be unloaded?".
#pragma once

#include <windows.h>

#include <span>

namespace quelder::com {

// One object of the project: a creatable class (a control) or a form that
// lives inside the library only.
struct ObjectEntry {
    enum class Kind { Control, Form };
    Kind kind;
    const wchar_t* name;  // "Quelder", "frmAbout"
    // The rest is for classes only.
    const CLSID* clsid = nullptr;
    HRESULT (*create)(REFIID riid, void** ppv) = nullptr;
    const wchar_t* progId = nullptr;
    const wchar_t* threadingModel = nullptr;
    DWORD miscStatus = 0;       // OLEMISC_* bits, registered for DVASPECT_CONTENT
    int toolboxBitmap = 0;      // bitmap resource number
};

// An interface of the type library that is registered for marshalling.
struct InterfaceEntry {
    const IID* iid;
    const wchar_t* name;
};

struct ComponentDescription {
    const wchar_t* projectName;  // "QuelderLib"
    const GUID* libid;
    WORD majorVersion;
    WORD minorVersion;
    std::span<const ObjectEntry> objects;
    std::span<const InterfaceEntry> interfaces;
};

// The library's entry point (DllMain) on loading: remembers the module and
// names the first control's ProgID as the source of error info.
void AttachModule(const ComponentDescription& component, HINSTANCE instance) noexcept;

HRESULT RegisterServer(const ComponentDescription& component) noexcept;
HRESULT UnregisterServer(const ComponentDescription& component) noexcept;
HRESULT GetClassObject(const ComponentDescription& component, REFCLSID clsid, REFIID riid, void** ppv) noexcept;
HRESULT CanUnloadNow(const ComponentDescription& component) noexcept;

}  // namespace quelder::com
