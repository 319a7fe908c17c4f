// The one way a member of the control fails: a numbered error with a text,
// and every number the control fails with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quelder {

namespace error {
constexpr std::int32_t kInvalidArgument = 5;
constexpr std::int32_t kOverflow = 6;
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kSubscriptOutOfRange = 9;
constexpr std::int32_t kTypeMismatch = 13;
constexpr std::int32_t kFileNotFound = 53;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathFileAccess = 75;
constexpr std::int32_t kObjectNotSet = 91;
constexpr std::int32_t kResourceNotFound = 326;
constexpr std::int32_t kInvalidPropertyValue = 380;
constexpr std::int32_t kSetNotSupportedAtRuntime = 382;
constexpr std::int32_t kSetNotSupportedReadOnly = 383;
constexpr std::int32_t kInvalidPicture = 481;
constexpr std::int32_t kCannotOpenClipboard = 521;
constexpr std::int32_t kIndexOutOfBounds = 35600;
constexpr std::int32_t kObjectErrorBase = -2147221504;               // 0x80040000
constexpr std::int32_t kInvalidSquare = kObjectErrorBase + 1;        // 0x80040001
constexpr std::int32_t kInvalidSquareRead = kObjectErrorBase + 1050;  // 0x8004041A
}  // namespace error

class ControlError : public std::runtime_error {
public:
    ControlError(std::int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    std::int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }

private:
    std::int32_t number_;
    std::string description_;
};

// The standard text for an error number ("Overflow" for 6, ...), or "" when
// there is none.
std::string_view StandardErrorText(std::int32_t number);

// Fails the running member. Without a description the standard text is used.
[[noreturn]] void Raise(std::int32_t number, std::string_view description = {});

}  // namespace quelder
