#include "appearance/saved_properties.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <variant>

#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"

namespace quelder {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic{'Q', 'B', 'S', 'P'};
constexpr std::size_t kFixedBodySize = 5;  // Enabled, Piece, IsSelected, picture tag
constexpr std::size_t kColoursSize = 8;    // version 2: the light and the dark squares' colours
constexpr std::size_t kSettingsSize = 14;  // version 3: flat, two colours, options, AnimationTime
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

// The bytes after the picture: the board class's settings.
std::size_t TailSize(std::uint16_t version) {
    return version == kStreamFormSettingsVersion ? kSettingsSize
           : version == kStreamFormColoursVersion ? kColoursSize
                                                  : 0;
}

constexpr std::uint8_t kFlipped = 1, kCoordinates = 2, kDragPieces = 4, kUserAnnotations = 8, kTypeMoves = 16;
constexpr std::uint8_t kAllOptions = 31;

void CheckAnimationTime(std::int32_t milliseconds) {
    if (milliseconds < 0 || milliseconds > kMaxAnimationTime) Invalid();
}

// The settings with the defaults' squares: whether they need version 3.
bool OptionsAtDefaults(const BoardClassSettings& settings) {
    BoardClassSettings options = settings;
    options.colours.reset();
    return options == BoardClassSettings{};
}

std::uint16_t VersionFor(const BoardClassSettings& settings) {
    if (!OptionsAtDefaults(settings)) return kStreamFormSettingsVersion;
    return settings.colours ? kStreamFormColoursVersion : kStreamFormVersion;
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
    if (version < kStreamFormVersion || version > kStreamFormSettingsVersion) Invalid();
    const std::size_t least = kFixedBodySize + TailSize(version);
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

void WriteBoardClassSettings(PropertyBag& bag, const BoardClassSettings& settings) {
    const BoardClassSettings defaults;
    if (settings.colours) {
        bag.WriteProperty("LightSquareColor", settings.colours->first, kDefaultLightSquareColour);
        bag.WriteProperty("DarkSquareColor", settings.colours->second, kDefaultDarkSquareColour);
    }
    const auto option = [&](std::string_view name, auto value, auto byDefault) {
        if (value != byDefault) bag.WriteProperty(name, value, byDefault);
    };
    option("Flipped", settings.flipped, defaults.flipped);
    option("ShowCoordinates", settings.coordinates, defaults.coordinates);
    option("DragPieces", settings.dragPieces, defaults.dragPieces);
    option("AnimationTime", settings.animationTime, defaults.animationTime);
    option("UserAnnotations", settings.userAnnotations, defaults.userAnnotations);
    option("TypeMoves", settings.typeMoves, defaults.typeMoves);
}

BoardClassSettings ReadBoardClassSettings(PropertyBag& bag) {
    BoardClassSettings settings;
    const PropertyValue light = bag.ReadProperty("LightSquareColor", std::monostate{});
    const PropertyValue dark = bag.ReadProperty("DarkSquareColor", std::monostate{});
    const auto colour = [](const PropertyValue& value, std::int32_t byDefault) {
        return std::holds_alternative<std::monostate>(value) ? byDefault : ToInt32(value);
    };
    if (!std::holds_alternative<std::monostate>(light) || !std::holds_alternative<std::monostate>(dark))
        settings.colours = std::make_pair(colour(light, kDefaultLightSquareColour), colour(dark, kDefaultDarkSquareColour));
    const auto flag = [&](std::string_view name, bool byDefault) {
        return ToBoolean(bag.ReadProperty(name, byDefault));
    };
    settings.flipped = flag("Flipped", settings.flipped);
    settings.coordinates = flag("ShowCoordinates", settings.coordinates);
    settings.dragPieces = flag("DragPieces", settings.dragPieces);
    settings.animationTime = ToInt32(bag.ReadProperty("AnimationTime", settings.animationTime));
    CheckAnimationTime(settings.animationTime);
    settings.userAnnotations = flag("UserAnnotations", settings.userAnnotations);
    settings.typeMoves = flag("TypeMoves", settings.typeMoves);
    return settings;
}

std::vector<std::uint8_t> SaveToStreamForm(Board& board, PictureCodec& codec, const BoardClassSettings& settings) {
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
    const std::uint16_t version = VersionFor(settings);
    std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
    PutU16(out, version);
    PutU32(out, static_cast<std::uint32_t>(kFixedBodySize + (picture ? 4 + saved.size() : 0) + TailSize(version)));
    PutU8(out, enabled ? 1 : 0);
    PutU16(out, static_cast<std::uint16_t>(piece));
    PutU8(out, isSelected ? 1 : 0);
    PutU8(out, picture ? kPicture : kNoPicture);
    if (picture) {
        PutU32(out, static_cast<std::uint32_t>(saved.size()));
        out.insert(out.end(), saved.begin(), saved.end());
    }
    const std::pair<std::int32_t, std::int32_t> colours = settings.colours.value_or(std::make_pair(0, 0));
    if (version == kStreamFormSettingsVersion) PutU8(out, settings.colours ? 1 : 0);
    if (version != kStreamFormVersion) {
        PutU32(out, static_cast<std::uint32_t>(colours.first));
        PutU32(out, static_cast<std::uint32_t>(colours.second));
    }
    if (version == kStreamFormSettingsVersion) {
        PutU8(out, static_cast<std::uint8_t>((settings.flipped ? kFlipped : 0) | (settings.coordinates ? kCoordinates : 0) |
                                             (settings.dragPieces ? kDragPieces : 0) |
                                             (settings.userAnnotations ? kUserAnnotations : 0) |
                                             (settings.typeMoves ? kTypeMoves : 0)));
        PutU32(out, static_cast<std::uint32_t>(settings.animationTime));
    }
    return out;
}

void LoadFromStreamForm(Board& board, std::span<const std::uint8_t> bytes, PictureCodec& codec,
                        const std::function<void(const BoardClassSettings&)>& heard) {
    Reader reader(bytes);
    const Header header = ReadHeader(reader);
    if (bytes.size() != kStreamFormHeaderSize + header.body) Invalid();
    // The settings come last, after a picture's bytes of any length.
    const std::size_t tailBytes = TailSize(header.version);
    const bool enabled = reader.Boolean();
    const auto piece = static_cast<std::int16_t>(reader.U16());
    const bool isSelected = reader.Boolean();
    PictureRef picture;
    const std::uint8_t tag = reader.U8();
    if (tag == kPicture) {
        const std::uint32_t size = reader.U32();
        if (size > kMaxSavedPictureSize) Invalid();
        const auto saved = reader.Take(size);
        if (header.body != kFixedBodySize + 4 + size + tailBytes) Invalid();
        try {
            picture = codec.Load(saved);
        } catch (const ControlError&) {
            Invalid();
        }
        if (!picture) Invalid();
    } else if (tag != kNoPicture) {
        Invalid();
    }
    BoardClassSettings settings;
    const bool flat = header.version == kStreamFormSettingsVersion ? reader.Boolean()
                                                                    : header.version == kStreamFormColoursVersion;
    if (header.version != kStreamFormVersion) {
        const auto light = static_cast<std::int32_t>(reader.U32());
        const auto dark = static_cast<std::int32_t>(reader.U32());
        if (flat)
            settings.colours = std::make_pair(light, dark);
        else if (light != 0 || dark != 0)
            Invalid();
    }
    if (header.version == kStreamFormSettingsVersion) {
        const std::uint8_t options = reader.U8();
        if ((options & ~kAllOptions) != 0) Invalid();
        settings.flipped = (options & kFlipped) != 0;
        settings.coordinates = (options & kCoordinates) != 0;
        settings.dragPieces = (options & kDragPieces) != 0;
        settings.userAnnotations = (options & kUserAnnotations) != 0;
        settings.typeMoves = (options & kTypeMoves) != 0;
        settings.animationTime = static_cast<std::int32_t>(reader.U32());
        CheckAnimationTime(settings.animationTime);
    }
    if (!reader.AtEnd()) Invalid();
    if (heard) heard(settings);

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

std::size_t StreamFormSizeMax(Board& board, PictureCodec& codec, const BoardClassSettings& settings) {
    return SaveToStreamForm(board, codec, settings).size();
}

}  // namespace quelder
