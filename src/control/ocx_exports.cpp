// The entry points of Quelder.ocx. Each hands the component's description to
// the generic service that does the work.
#include <windows.h>
#include <objbase.h>

#include "about/about_dialog.hpp"
#include "control/component_description.hpp"
#include "control/control_window.hpp"

using quelder::win32::kQuelderComponent;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        quelder::com::AttachModule(kQuelderComponent, instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary (not at the process's end): the control
        // windows' class goes with the code of its window procedure.
        quelder::win32::UnregisterControlWindowClass(instance);
    }
    return TRUE;
}

// The About box outlives the controls that showed it, and so does a control's
// window let go of on another thread until it closes on its own: their code
// must stay.
STDAPI DllCanUnloadNow() {
    if (quelder::about::AboutWindow() != nullptr) return S_FALSE;
    if (quelder::win32::ControlWindow::LiveWindows() > 0) return S_FALSE;
    return quelder::com::CanUnloadNow(kQuelderComponent);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return quelder::com::GetClassObject(kQuelderComponent, clsid, riid, ppv);
}

STDAPI DllRegisterServer() { return quelder::com::RegisterServer(kQuelderComponent); }

STDAPI DllUnregisterServer() { return quelder::com::UnregisterServer(kQuelderComponent); }

// regsvr32 /n /i:user (and /u /n /i:user): the registration of the current
// user alone; without a command line the machine's.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return quelder::com::InstallServer(kQuelderComponent, install != FALSE, commandLine);
}

}
