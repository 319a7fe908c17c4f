// The entry points of Quelder.ocx. Each hands the component's description to
// the generic service that does the work.
#include <windows.h>
#include <objbase.h>

#include "component/component_description.hpp"

using quelder::win32::kQuelderComponent;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        quelder::com::AttachModule(kQuelderComponent, instance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return quelder::com::CanUnloadNow(kQuelderComponent); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return quelder::com::GetClassObject(kQuelderComponent, clsid, riid, ppv);
}

STDAPI DllRegisterServer() { return quelder::com::RegisterServer(kQuelderComponent); }

STDAPI DllUnregisterServer() { return quelder::com::UnregisterServer(kQuelderComponent); }

}
