#include "appearance/saved_properties.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"

namespace quelder {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic{'Q', 'B', 'S', 'P'};
constexpr std::size_t kFixedBodySize = 5;  // Enabled, Piece, IsSelected, picture tag
constexpr std::size_t kColoursSize = 8;    // version 2: the light and the dark squares' colours
constexpr std::uint8_t kNoPicture = 0;
constexpr std::uint8_t kPicture = 1;

[[noreturn]] void Invalid() { Raise(error::kInvalidPropertyValue); }

// Takes bytes from the front of its input, never past its end.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::span<const std::uint8_t> Take(std::size_t count) {
        if (count > bytes_.size()) Invalid();
        const auto taken = bytes_.first(count);
        bytes_ = bytes_.subspan(count);
        return taken;
    }
    std::uint8_t U8() { return Take(1)[0]; }
    std::uint16_t U16() {
        const auto b = Take(2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t U32() {
        const auto b = Take(4);
        return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
               (std::uint32_t{b[3]} << 24);
    }
    bool Boolean() {
        const std::uint8_t value = U8();
        if (value > 1) Invalid();
        return value == 1;
    }
    bool AtEnd() const { return bytes_.empty(); }

private:
    std::span<const std::uint8_t> bytes_;
};

void PutU8(std::vector<std::uint8_t>& out, std::uint8_t value) { out.push_back(value); }
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

struct Header {
    std::uint16_t version;
    std::size_t body;  // its length
};

// What a valid header announces.
Header ReadHeader(Reader& reader) {
    const auto magic = reader.Take(kMagic.size());
    if (!std::equal(magic.begin(), magic.end(), kMagic.begin())) Invalid();
    const std::uint16_t version = reader.U16();
    if (version != kStreamFormVersion && version != kStreamFormColoursVersion) Invalid();
    const std::size_t least = kFixedBodySize + (version == kStreamFormColoursVersion ? kColoursSize : 0);
    const std::uint32_t body = reader.U32();
    if (body < least || body > kStreamFormMaxSize - kStreamFormHeaderSize) Invalid();
    return {version, body};
}

// A bag of the values a container handed over or will be handed.
class ValueBag : public PropertyBag {
public:
    PropertyValue ReadProperty(std::string_view name, const PropertyValue& def) override {
        const auto found = values_.find(std::string(name));
        return found == values_.end() ? def : found->second;
    }
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue&) override {
        values_[std::string(name)] = value;
    }

private:
    std::map<std::string, PropertyValue, std::less<>> values_;
};

}  // namespace

std::vector<std::uint8_t> SaveToStreamForm(Board& board, PictureCodec& codec, const SavedSquareColours& colours) {
    ValueBag bag;
    UserControl_WriteProperties(board, bag);
    const bool enabled = ToBoolean(bag.ReadProperty("Enabled", true));
    const std::int16_t piece = ToInt16(bag.ReadProperty("Piece", std::int16_t{0}));
    const bool isSelected = ToBoolean(bag.ReadProperty("IsSelected", false));
    const PictureRef picture = ToPicture(bag.ReadProperty("Picture", PictureRef{}));

    std::vector<std::uint8_t> saved;
    if (picture) {
        saved = codec.Save(picture);
        if (saved.size() > kMaxSavedPictureSize) Invalid();
    }
    std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
    PutU16(out, colours ? kStreamFormColoursVersion : kStreamFormVersion);
    PutU32(out, static_cast<std::uint32_t>(kFixedBodySize + (picture ? 4 + saved.size() : 0) +
                                           (colours ? kColoursSize : 0)));
    PutU8(out, enabled ? 1 : 0);
    PutU16(out, static_cast<std::uint16_t>(piece));
    PutU8(out, isSelected ? 1 : 0);
    PutU8(out, picture ? kPicture : kNoPicture);
    if (picture) {
        PutU32(out, static_cast<std::uint32_t>(saved.size()));
        out.insert(out.end(), saved.begin(), saved.end());
    }
    if (colours) {
        PutU32(out, static_cast<std::uint32_t>(colours->first));
        PutU32(out, static_cast<std::uint32_t>(colours->second));
    }
    return out;
}

void LoadFromStreamForm(Board& board, std::span<const std::uint8_t> bytes, PictureCodec& codec,
                        const std::function<void(const SavedSquareColours&)>& colours) {
    Reader reader(bytes);
    const Header header = ReadHeader(reader);
    if (bytes.size() != kStreamFormHeaderSize + header.body) Invalid();
    // The colours come last, after a picture's bytes of any length.
    const std::size_t colourBytes = header.version == kStreamFormColoursVersion ? kColoursSize : 0;
    const bool enabled = reader.Boolean();
    const auto piece = static_cast<std::int16_t>(reader.U16());
    const bool isSelected = reader.Boolean();
    PictureRef picture;
    const std::uint8_t tag = reader.U8();
    if (tag == kPicture) {
        const std::uint32_t size = reader.U32();
        if (size > kMaxSavedPictureSize) Invalid();
        const auto saved = reader.Take(size);
        if (header.body != kFixedBodySize + 4 + size + colourBytes) Invalid();
        try {
            picture = codec.Load(saved);
        } catch (const ControlError&) {
            Invalid();
        }
        if (!picture) Invalid();
    } else if (tag != kNoPicture) {
        Invalid();
    }
    SavedSquareColours squares;
    if (colourBytes != 0) {
        const auto light = static_cast<std::int32_t>(reader.U32());
        squares = std::make_pair(light, static_cast<std::int32_t>(reader.U32()));
    }
    if (!reader.AtEnd()) Invalid();
    if (colours) colours(squares);

    // Everything is read: from here on the values are of their own types, so
    // loading them cannot fail half-way.
    ValueBag bag;
    bag.WriteProperty("Enabled", enabled, true);
    bag.WriteProperty("Piece", piece, std::int16_t{0});
    bag.WriteProperty("IsSelected", isSelected, false);
    bag.WriteProperty("Picture", picture, PictureRef{});
    UserControl_ReadProperties(board, bag);
}

std::size_t StreamFormSize(std::span<const std::uint8_t> header) {
    Reader reader(header.first(std::min(header.size(), kStreamFormHeaderSize)));
    return kStreamFormHeaderSize + ReadHeader(reader).body;
}

std::size_t StreamFormSizeMax(Board& board, PictureCodec& codec, const SavedSquareColours& colours) {
    return SaveToStreamForm(board, codec, colours).size();
}

}  // namespace quelder
