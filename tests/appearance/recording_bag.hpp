// A property bag for the tests: holds stored values and records every read
// and write in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/host_services.hpp"

namespace quelder::testing {

// A value in words, for failure messages.
inline std::string Describe(const PropertyValue& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "(empty)"; }
        std::string operator()(bool v) const { return v ? "true" : "false"; }
        std::string operator()(std::int16_t v) const { return "int16 " + std::to_string(v); }
        std::string operator()(std::int32_t v) const { return "int32 " + std::to_string(v); }
        std::string operator()(double v) const { return "double " + std::to_string(v); }
        std::string operator()(const std::string& v) const { return "\"" + v + "\""; }
        std::string operator()(const PictureRef& v) const {
            if (!v) return "no object";
            const Image image = v->Render();
            return "picture " + std::to_string(image.Width()) + "x" + std::to_string(image.Height());
        }
    };
    return std::visit(Visitor{}, value);
}

class RecordingBag : public PropertyBag {
public:
    struct Access {
        std::string name;
        PropertyValue value;  // what was written; nothing for a read
        PropertyValue def;
        friend bool operator==(const Access&, const Access&) = default;
    };

    RecordingBag() = default;
    explicit RecordingBag(std::map<std::string, PropertyValue, std::less<>> values) : stored(std::move(values)) {}

    PropertyValue ReadProperty(std::string_view name, const PropertyValue& def) override {
        reads.push_back({std::string(name), {}, def});
        const auto found = stored.find(name);
        return found == stored.end() ? def : found->second;
    }
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& def) override {
        writes.push_back({std::string(name), value, def});
        stored[std::string(name)] = value;
    }

    std::map<std::string, PropertyValue, std::less<>> stored;
    std::vector<Access> reads, writes;
};

inline std::string Describe(const std::vector<RecordingBag::Access>& accesses) {
    std::string out;
    for (const auto& a : accesses) {
        out += (out.empty() ? "" : "; ") + a.name;
        if (!std::holds_alternative<std::monostate>(a.value)) out += " = " + Describe(a.value);
        out += " (default " + Describe(a.def) + ")";
    }
    return out.empty() ? "nothing" : out;
}

}  // namespace quelder::testing
