// The services behind the entry points of a self-registering control
// library, written once and driven by a static description of the component:
// registration of its type library and classes, the class factories and the
// answer to "can the library be unloaded?".
#pragma once

#include <windows.h>

#include <span>

namespace quelder::com {

// One object of the project: a creatable class (a control, or a property
// page: made by its CLSID alone, with no ProgID, control keys or type
// description) or a form that lives inside the library only.
struct ObjectEntry {
    enum class Kind { Control, Page, Form };
    Kind kind;
    const wchar_t* name;  // "Quelder", "frmAbout"
    // The rest is for classes only; a page has a CLSID, create, and threading model.
    const CLSID* clsid = nullptr;
    HRESULT (*create)(REFIID riid, void** ppv) = nullptr;
    const wchar_t* progId = nullptr;
    const wchar_t* threadingModel = nullptr;
    DWORD miscStatus = 0;       // OLEMISC_* bits, registered for DVASPECT_CONTENT
    int toolboxBitmap = 0;      // bitmap resource number
    const IID* iid = nullptr;   // the default interface: its failures name the ProgID
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
// names each control's ProgID as the source of its default interface's error
// info, the first control's for any other.
void AttachModule(const ComponentDescription& component, HINSTANCE instance) noexcept;

// Machine-wide registration goes under HKEY_LOCAL_MACHINE\Software\Classes,
// a user's under HKEY_CURRENT_USER\Software\Classes.
enum class RegistrationScope { Machine, User };

// Registering writes the type library, the classes and the interfaces; when
// that fails, what it wrote goes again and what was there before stays.
HRESULT RegisterServer(const ComponentDescription& component, RegistrationScope scope = RegistrationScope::Machine) noexcept;
// Removes what names this file: its class entries and its bitness's type
// library entry. The ProgIDs and interfaces go with the last registration of
// the classes (of either bitness, or of another copy of the file).
HRESULT UnregisterServer(const ComponentDescription& component,
                         RegistrationScope scope = RegistrationScope::Machine) noexcept;
// DllInstall: command line "user" for the current user, null or empty for the
// machine; anything else is E_INVALIDARG.
HRESULT InstallServer(const ComponentDescription& component, bool install, const wchar_t* commandLine) noexcept;
HRESULT GetClassObject(const ComponentDescription& component, REFCLSID clsid, REFIID riid, void** ppv) noexcept;
HRESULT CanUnloadNow(const ComponentDescription& component) noexcept;

}  // namespace quelder::com
