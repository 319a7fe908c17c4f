// Turning a value that a property bag hands back into the type of the saved
// property, by the automation conversion rules. A value that cannot be read as
// the type fails with 13 "Type mismatch", a number the type cannot hold with
// 6 "Overflow".
#pragma once

#include <cstdint>

#include "host/host_services.hpp"

namespace quelder {

// A number is true when it is not 0; a string is "True" or "False" in any case,
// or holds a number; nothing (an empty value) is false. Objects do not convert.
bool ToBoolean(const PropertyValue& value);

// Numbers are rounded half to even and must lie in -32768..32767; true is -1;
// a string must hold a number; nothing is 0. Objects do not convert.
std::int16_t ToInt16(const PropertyValue& value);

// As ToInt16, in -2147483648..2147483647.
std::int32_t ToInt32(const PropertyValue& value);

// A picture object, or no object for a stored empty reference. Every other
// value is a type mismatch.
PictureRef ToPicture(const PropertyValue& value);

}  // namespace quelder
