#include "appearance/property_conversion.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quelder {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The number a string holds: blanks around it, an optional sign, digits with
// an optional decimal point, an optional exponent. Nothing else is a number
// (no "inf", "nan" or hexadecimal floating forms). nullopt when the text is
// no number; 6 "Overflow" when it is one too large for a double.
std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t pos = 0;
    // Where the first non-zero digit stands relative to the decimal point, to
    // tell an underflow (a tiny number, 0) from an overflow.
    std::int64_t magnitude = 0;
    bool seenDigit = false, seenNonZero = false, inFraction = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!IsDigit(c)) break;
        seenDigit = true;
        if (!seenNonZero && c != '0') seenNonZero = true;
        if (seenNonZero && !inFraction) ++magnitude;
        if (!seenNonZero && inFraction) --magnitude;
    }
    if (!seenDigit) return std::nullopt;
    std::int64_t exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        const std::size_t digitsStart = pos;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            if (exponent < 100000) exponent = exponent * 10 + (text[pos] - '0');
        }
        if (pos == digitsStart) return std::nullopt;
        if (negativeExponent) exponent = -exponent;
    }
    if (pos != text.size()) return std::nullopt;
    if (!seenNonZero) return negative ? -0.0 : 0.0;

    double value = 0;
    const char* first = text.data();
    const auto [end, ec] = std::from_chars(first, first + pos, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude + exponent < 0) return negative ? -0.0 : 0.0;  // too small: 0
        Raise(error::kOverflow);
    }
    if (ec != std::errc() || end != first + pos) return std::nullopt;
    return negative ? -value : value;
}

// Rounds half to even, as every automation conversion to an integer does.
double RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) return floor + 1;
    if (fraction < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int16_t Int16FromDouble(double value) {
    if (std::isnan(value)) Raise(error::kOverflow);
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) Raise(error::kOverflow);
    return static_cast<std::int16_t>(rounded);
}

std::int32_t Int32FromDouble(double value) {
    if (std::isnan(value)) Raise(error::kOverflow);
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) Raise(error::kOverflow);
    return static_cast<std::int32_t>(rounded);
}

template <class... F>
struct Visitor : F... {
    using F::operator()...;
};
template <class... F>
Visitor(F...) -> Visitor<F...>;

}  // namespace

bool ToBoolean(const PropertyValue& value) {
    return std::visit(Visitor{
                          [](std::monostate) { return false; },
                          [](bool v) { return v; },
                          [](std::int16_t v) { return v != 0; },
                          [](std::int32_t v) { return v != 0; },
                          [](double v) { return v != 0; },
                          [](const std::string& v) -> bool {
                              const std::string_view text = Trim(v);
                              if (EqualsNoCase(text, "true")) return true;
                              if (EqualsNoCase(text, "false")) return false;
                              const std::optional<double> number = ParseNumber(text);
                              if (!number) Raise(error::kTypeMismatch);
                              return *number != 0;
                          },
                          [](const PictureRef&) -> bool { Raise(error::kTypeMismatch); },
                      },
                      value);
}

std::int16_t ToInt16(const PropertyValue& value) {
    return std::visit(Visitor{
                          [](std::monostate) -> std::int16_t { return 0; },
                          [](bool v) -> std::int16_t { return v ? -1 : 0; },
                          [](std::int16_t v) { return v; },
                          [](std::int32_t v) {
                              if (v < -32768 || v > 32767) Raise(error::kOverflow);
                              return static_cast<std::int16_t>(v);
                          },
                          [](double v) { return Int16FromDouble(v); },
                          [](const std::string& v) {
                              const std::optional<double> number = ParseNumber(v);
                              if (!number) Raise(error::kTypeMismatch);
                              return Int16FromDouble(*number);
                          },
                          [](const PictureRef&) -> std::int16_t { Raise(error::kTypeMismatch); },
                      },
                      value);
}

std::int32_t ToInt32(const PropertyValue& value) {
    return std::visit(Visitor{
                          [](std::monostate) -> std::int32_t { return 0; },
                          [](bool v) -> std::int32_t { return v ? -1 : 0; },
                          [](std::int16_t v) -> std::int32_t { return v; },
                          [](std::int32_t v) { return v; },
                          [](double v) { return Int32FromDouble(v); },
                          [](const std::string& v) {
                              const std::optional<double> number = ParseNumber(v);
                              if (!number) Raise(error::kTypeMismatch);
                              return Int32FromDouble(*number);
                          },
                          [](const PictureRef&) -> std::int32_t { Raise(error::kTypeMismatch); },
                      },
                      value);
}

PictureRef ToPicture(const PropertyValue& value) {
    if (const auto* picture = std::get_if<PictureRef>(&value)) return *picture;
    Raise(error::kTypeMismatch);
}

}  // namespace quelder
