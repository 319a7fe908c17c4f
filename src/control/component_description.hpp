// Quelder.ocx described once for the generic registration, class-factory and
// unload services: the project, its objects and their registration data.
#pragma once

#include "com/component_services.hpp"

namespace quelder::win32 {

extern const com::ComponentDescription kQuelderComponent;

}  // namespace quelder::win32
