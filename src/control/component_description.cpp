#include "control/component_description.hpp"

#include <olectl.h>

#include "control/board_property_page.hpp"
#include "control/quelder_idl.hpp"
#include "control/quelder_control.hpp"
#include "resources/resource_ids.h"

namespace quelder::win32 {

namespace {

using Kind = com::ObjectEntry::Kind;

const com::ObjectEntry kObjects[] = {
    {Kind::Control, L"Quelder", &CLSID_Quelder, &QuelderControl::CreateQuelder, L"QuelderLib.Quelder", L"Apartment",
     kQuelderMiscStatus, IDB_TOOLBOX, &IID__Quelder},
    {Kind::Control, L"QuelderBoard", &CLSID_QuelderBoard, &QuelderControl::CreateQuelderBoard,
     L"QuelderLib.QuelderBoard", L"Apartment", kQuelderMiscStatus, IDB_TOOLBOX, &IID__QuelderBoard},
    // The board class's property page, named by its GetPages.
    {Kind::Page, L"QuelderBoard property page", &CLSID_QuelderBoardPage, &BoardPropertyPage::Create, nullptr,
     L"Apartment"},
    // The About box: one form shared by every control, nothing to register.
    {Kind::Form, L"frmAbout"},
};

const com::InterfaceEntry kInterfaces[] = {
    {&IID__Quelder, L"_Quelder"},
    {&DIID___Quelder, L"__Quelder"},
    {&IID__QuelderBoard, L"_QuelderBoard"},
    {&DIID___QuelderBoard, L"__QuelderBoard"},
};

}  // namespace

const com::ComponentDescription kQuelderComponent{L"QuelderLib", &LIBID_QuelderLib, 1, 0, kObjects, kInterfaces};

}  // namespace quelder::win32
