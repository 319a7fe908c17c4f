#include "host/control_error.hpp"

namespace quelder {

std::string_view StandardErrorText(std::int32_t number) {
    switch (number) {
        case error::kInvalidArgument: return "Invalid procedure call or argument";
        case error::kOverflow: return "Overflow";
        case error::kOutOfMemory: return "Out of memory";
        case error::kSubscriptOutOfRange: return "Subscript out of range";
        case error::kTypeMismatch: return "Type mismatch";
        case error::kFileNotFound: return "File not found";
        case error::kPermissionDenied: return "Permission denied";
        case error::kPathFileAccess: return "Path/File access error";
        case error::kObjectNotSet: return "Object variable or With block variable not set";
        case error::kInvalidPropertyValue: return "Invalid property value";
        case error::kSetNotSupportedAtRuntime: return "Set not supported at runtime";
        case error::kSetNotSupportedReadOnly: return "Set not supported (read-only property)";
        case error::kInvalidPicture: return "Invalid picture";
        case error::kCannotOpenClipboard: return "Can't open Clipboard";
        case error::kIndexOutOfBounds: return "Index out of bounds";
        default: return {};
    }
}

void Raise(std::int32_t number, std::string_view description) {
    throw ControlError(number, std::string(description.empty() ? StandardErrorText(number) : description));
}

}  // namespace quelder
