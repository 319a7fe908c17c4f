// The control's property bag over a container's IPropertyBag: the values of
// the saved properties as VARIANTs, both ways.
//
//   VT_BOOL           bool             VT_I2      std::int16_t
//   VT_I4             std::int32_t     VT_R8      double
//   VT_BSTR           std::string (UTF-8)
//   VT_DISPATCH / VT_UNKNOWN holding a picture object      PictureRef
//   a null object, VT_NULL                                  nothing (no object
//                                                           for a picture key)
//
// Other numbers are read as the nearest of those types; any other value (an
// object that is no picture, an array, an error) fails with 13 "Type
// mismatch". A key the bag does not hold (Read fails with E_INVALIDARG, or
// hands back VT_EMPTY) gives the default.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "com/com_base.hpp"
#include "host/host_services.hpp"

namespace quelder::win32 {

PropertyValue FromVariant(const VARIANT& value);
// value as a VARIANT; out is cleared first.
void ToVariant(const PropertyValue& value, com::Variant& out);

class ComPropertyBag final : public PropertyBag {
public:
    // log may be null; both must outlive this object.
    ComPropertyBag(IPropertyBag& bag, IErrorLog* log) : bag_(bag), log_(log) {}

    // Failures of the bag are thrown as com::HresultError.
    PropertyValue ReadProperty(std::string_view name, const PropertyValue& def) override;
    // Writes every value, the default included: the container decides what it keeps.
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& def) override;

private:
    IPropertyBag& bag_;
    IErrorLog* log_;
};

}  // namespace quelder::win32
