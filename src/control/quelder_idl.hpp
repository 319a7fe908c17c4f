// The interfaces, the enumeration and the GUIDs of Quelder.idl, as widl
// writes them for C++ (Quelder_h.h in the build's generated folder), and the
// __uuidof of IObjectSafety, which the control implements and MinGW's
// objsafe.h does not declare.
#pragma once

#include <objsafe.h>

// COM interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#include "Quelder_h.h"
#pragma GCC diagnostic pop

__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)
