#include "component/component_description.hpp"

#include <olectl.h>

#include "component/quelder_idl.hpp"
#include "component/quelder_control.hpp"
#include "resources/resource_ids.h"

namespace quelder::win32 {

namespace {

// What a container learns before it creates the control: recompose on
// resize, cannot link inside, inside-out, activate when visible, set the
// client site first.
constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 0x20191);

using Kind = com::ObjectEntry::Kind;

const com::ObjectEntry kObjects[] = {
    {Kind::Control, L"Quelder", &CLSID_Quelder, &QuelderControl::CreateInstance, L"QuelderLib.Quelder", L"Apartment",
     kMiscStatus, IDB_TOOLBOX},
    // The About box: one form shared by every control, nothing to register.
    {Kind::Form, L"frmAbout"},
};

const com::InterfaceEntry kInterfaces[] = {
    {&IID__Quelder, L"_Quelder"},
    {&DIID___Quelder, L"__Quelder"},
};

}  // namespace

const com::ComponentDescription kQuelderComponent{L"QuelderLib", &LIBID_QuelderLib, 1, 0, kObjects, kInterfaces};

}  // namespace quelder::win32
