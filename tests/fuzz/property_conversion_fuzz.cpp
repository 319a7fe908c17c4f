// Feeds arbitrary values, as a property bag may hand them back, to the
// conversions of the saved properties and to the loading of a board from a
// bag.
//
// The input is a list of values, each a tag byte and its bytes:
//   0 nothing   1 Boolean (1 byte)   2 16-bit   3 32-bit   4 double (8 bytes)
//   5 string (a length byte, then the text)   6 picture (1 byte: 0 no object,
//   1 the empty picture, 2 a small picture)
// Numbers are little-endian; a tag is taken modulo 7, and input that ends
// early ends the list.
//
// Checked: conversions fail only with 13 or 6; numbers convert as a reference
// computed here does (rounding half to even, the string grammar through
// strtod); loading from a bag of the first four values applies each value in
// order and, when one fails, keeps what came before and leaves the rest; and
// what was loaded saves back as it was loaded.
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"
#include "fuzz_support.hpp"

using namespace quelder;
using quelder::fuzz::Expect;

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t count) const { return size_ - pos_ >= count; }
    std::uint8_t U8() { return data_[pos_++]; }
    std::uint64_t Uint(std::size_t count) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i) value |= std::uint64_t{U8()} << (8 * i);
        return value;
    }
    std::string Text(std::size_t count) {
        std::string text(reinterpret_cast<const char*>(data_ + pos_), count);
        pos_ += count;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::optional<PropertyValue> NextValue(Input& in) {
    if (!in.Has(1)) return std::nullopt;
    switch (in.U8() % 7) {
    case 0:
        return PropertyValue{};
    case 1:
        if (!in.Has(1)) return std::nullopt;
        return PropertyValue{(in.U8() & 1) != 0};
    case 2:
        if (!in.Has(2)) return std::nullopt;
        return PropertyValue{static_cast<std::int16_t>(in.Uint(2))};
    case 3:
        if (!in.Has(4)) return std::nullopt;
        return PropertyValue{static_cast<std::int32_t>(in.Uint(4))};
    case 4: {
        if (!in.Has(8)) return std::nullopt;
        const std::uint64_t bits = in.Uint(8);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return PropertyValue{value};
    }
    case 5: {
        if (!in.Has(1)) return std::nullopt;
        const std::size_t length = in.U8();
        if (!in.Has(length)) return std::nullopt;
        return PropertyValue{in.Text(length)};
    }
    default: {
        if (!in.Has(1)) return std::nullopt;
        const std::uint8_t kind = in.U8() % 3;
        if (kind == 0) return PropertyValue{PictureRef{}};
        if (kind == 1) return PropertyValue{fuzz::SharedHost().LoadPicture()};
        return PropertyValue{fuzz::SolidPicture(2, 3, MakePixel(9, 8, 7))};
    }
    }
}

std::string Describe(const PropertyValue& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "nothing"; }
        std::string operator()(bool v) const { return v ? "true" : "false"; }
        std::string operator()(std::int16_t v) const { return "int16 " + std::to_string(v); }
        std::string operator()(std::int32_t v) const { return "int32 " + std::to_string(v); }
        std::string operator()(double v) const {
            char text[64];
            std::snprintf(text, sizeof text, "double %.17g", v);
            return text;
        }
        std::string operator()(const std::string& v) const { return "\"" + v + "\""; }
        std::string operator()(const PictureRef& v) const { return v ? "a picture" : "no object"; }
    };
    return std::visit(Visitor{}, value);
}

// A conversion's outcome: its value or its error number.
template <class T>
struct Outcome {
    std::optional<T> value;
    std::int32_t error = 0;
};

template <class T, class F>
Outcome<T> Run(F convert, const PropertyValue& value) {
    try {
        return {convert(value), 0};
    } catch (const ControlError& e) {
        return {std::nullopt, e.Number()};
    }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number a string holds, by the grammar the conversions document (blanks
// around, a sign, digits with at most one decimal point and at least one
// digit, an exponent with digits), read by strtod; nullopt for no number.
std::optional<double> ReferenceNumber(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    const std::string t = text.substr(first, last - first);
    std::size_t pos = 0;
    if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) ++pos;
    bool digits = false, point = false;
    for (; pos < t.size(); ++pos) {
        if (IsDigit(t[pos])) {
            digits = true;
        } else if (t[pos] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (pos < t.size() && (t[pos] == 'e' || t[pos] == 'E')) {
        ++pos;
        if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) ++pos;
        const std::size_t start = pos;
        while (pos < t.size() && IsDigit(t[pos])) ++pos;
        if (pos == start) return std::nullopt;
    }
    if (pos != t.size()) return std::nullopt;
    errno = 0;
    return std::strtod(t.c_str(), nullptr);
}

// The 16-bit value of a double, rounded half to even; nullopt when it does not fit.
std::optional<std::int16_t> ReferenceInt16(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

void CheckConversions(const PropertyValue& value) {
    const std::string what = Describe(value);
    const auto boolean = Run<bool>(ToBoolean, value);
    const auto int16 = Run<std::int16_t>(ToInt16, value);
    const auto picture = Run<PictureRef>(ToPicture, value);
    for (const std::int32_t e : {boolean.error, int16.error, picture.error})
        Expect(e == 0 || e == error::kTypeMismatch || e == error::kOverflow,
               what + ": error " + std::to_string(e));

    // The reference: what a number, or the number a string holds, converts to.
    std::optional<double> number;
    bool numberOrText = true;
    if (const auto* v = std::get_if<std::int16_t>(&value)) number = *v;
    else if (const auto* w = std::get_if<std::int32_t>(&value)) number = *w;
    else if (const auto* d = std::get_if<double>(&value)) number = *d;
    else if (const auto* s = std::get_if<std::string>(&value)) number = ReferenceNumber(*s);
    else numberOrText = false;

    if (number) {
        const std::optional<std::int16_t> expected = ReferenceInt16(*number);
        if (expected) {
            Expect(int16.value == expected, what + ": ToInt16 gave " +
                                                (int16.value ? std::to_string(*int16.value)
                                                             : "error " + std::to_string(int16.error)) +
                                                ", expected " + std::to_string(*expected));
        } else {
            Expect(int16.error == error::kOverflow,
                   what + ": ToInt16 gave " +
                       (int16.value ? std::to_string(*int16.value) : "error " + std::to_string(int16.error)) +
                       ", expected 6 (overflow)");
        }
        if (std::isfinite(*number))
            Expect(boolean.value == (*number != 0), what + ": ToBoolean gave " +
                                                        (boolean.value ? std::to_string(*boolean.value)
                                                                       : "error " + std::to_string(boolean.error)));
    } else if (numberOrText) {
        // A string that is no number: not a 16-bit value, and a Boolean only
        // when it spells one.
        Expect(int16.error == error::kTypeMismatch, what + ": ToInt16 of no number did not fail with 13");
    }
    if (const auto* b = std::get_if<bool>(&value)) {
        Expect(boolean.value == *b, what + ": ToBoolean changed a Boolean");
        Expect(int16.value == (*b ? -1 : 0), what + ": ToInt16 of a Boolean is not -1 or 0");
    }
    if (std::holds_alternative<std::monostate>(value)) {
        Expect(boolean.value == false && int16.value == 0, what + ": nothing is not false and 0");
    }
    if (const auto* p = std::get_if<PictureRef>(&value)) {
        Expect(picture.value == *p, what + ": ToPicture did not give the very object");
        Expect(boolean.error == error::kTypeMismatch && int16.error == error::kTypeMismatch,
               what + ": an object converted to a number or Boolean");
    } else {
        Expect(picture.error == error::kTypeMismatch, what + ": ToPicture took a value that is no object");
    }
}

// A bag holding the values the input gives; a missing key gives the default.
class FuzzBag : public PropertyBag {
public:
    PropertyValue ReadProperty(std::string_view name, const PropertyValue& def) override {
        const auto found = values.find(std::string(name));
        return found == values.end() ? def : found->second;
    }
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue&) override {
        values[std::string(name)] = value;
    }
    std::map<std::string, PropertyValue, std::less<>> values;
};

void CheckLoading(const std::vector<PropertyValue>& values) {
    static const char* const kKeys[] = {"Enabled", "Piece", "IsSelected", "Picture"};
    // The first four values, in the order of the keys; an input of fewer
    // values leaves the other keys out.
    FuzzBag bag;
    for (std::size_t k = 0; k < 4 && k < values.size(); ++k) bag.values[kKeys[k]] = values[k];
    const PropertyValue defaults[] = {true, std::int16_t{0}, false, PictureRef{}};
    auto stored = [&](std::size_t k) {
        const auto found = bag.values.find(kKeys[k]);
        return found == bag.values.end() ? defaults[k] : found->second;
    };

    MemoryHost& host = fuzz::SharedHost();
    Board board(host);
    const fuzz::SavedState before{false, 12345, kTrue, fuzz::SolidPicture(1, 1, 5)};
    fuzz::Apply(board, before);

    // What each step should leave, computed by the conversions themselves,
    // which CheckConversions has held to their reference.
    fuzz::SavedState expected = before;
    std::int32_t expectedError = 0;
    try {
        expected.enabled = ToBoolean(stored(0));
        expected.piece = ToInt16(stored(1));
        expected.isSelected = ToBoolean(stored(2)) ? kTrue : kFalse;
        expected.picture = ToPicture(stored(3));
    } catch (const ControlError& e) {
        expectedError = e.Number();
    }
    std::int32_t error = 0;
    try {
        UserControl_ReadProperties(board, bag);
    } catch (const ControlError& e) {
        error = e.Number();
    }
    const fuzz::SavedState loaded = fuzz::StateOf(board);
    Expect(error == expectedError, "loading failed with " + std::to_string(error) + ", expected " +
                                       std::to_string(expectedError));
    Expect(fuzz::SameObjects(loaded, expected),
           "loading left " + fuzz::Describe(loaded) + ", expected " + fuzz::Describe(expected));
    if (error != 0) return;

    FuzzBag saved;
    UserControl_WriteProperties(board, saved);
    Board again(host);
    fuzz::Apply(again, before);
    UserControl_ReadProperties(again, saved);
    Expect(fuzz::SameObjects(fuzz::StateOf(again), loaded),
           "saved and loaded again: " + fuzz::Describe(fuzz::StateOf(again)) + ", loaded first: " +
               fuzz::Describe(loaded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::vector<PropertyValue> values;
    while (values.size() < 16) {
        std::optional<PropertyValue> value = NextValue(in);
        if (!value) break;
        CheckConversions(*value);
        values.push_back(std::move(*value));
    }
    CheckLoading(values);
    return 0;
}
