// The interfaces, the enumeration and the GUIDs of Quelder.idl, as widl
// writes them for C++ (Quelder_h.h in the build's generated folder).
#pragma once

// COM interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#include "Quelder_h.h"
#pragma GCC diagnostic pop
