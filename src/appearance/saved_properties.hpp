// The saved properties in a stream of their own, for containers that save a
// control to a stream rather than to a property bag. The same four values as
// the bag holds, in a small versioned binary form:
//
//   header   4 bytes "QBSP", version (16-bit), length of the body (32-bit)
//   body     "Enabled" (1 byte, 0 or 1), "Piece" (16-bit, signed),
//            "IsSelected" (1 byte, 0 or 1), "Picture" (1 byte: 0 no object,
//            1 a picture whose saved bytes follow as a 32-bit length and the bytes)
//   colours  version 2: the board class's flat squares, the light and the
//            dark squares' OLE colours (32-bit each)
//   settings version 3: the board class's squares (1 byte: 0 wood, 1 flat),
//            their two colours (32-bit each, 0 in wood), its
//            options (1 byte: bit 0 Flipped, 1 ShowCoordinates, 2 DragPieces,
//            3 UserAnnotations, 4 TypeMoves) and AnimationTime (32-bit)
//
// A save writes the lowest version that holds what it saves: version 1 is a
// board in wood with its options at their defaults, and what the published
// class always writes; version 2 differs only in its squares.
//
// Numbers are little-endian. The picture's saved bytes are the host's own form
// of the picture object, made and read by a PictureCodec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "board/board_model.hpp"

namespace quelder {

// Saves a picture object to bytes and makes one from them: the host's own form
// (the Win32 host uses the picture's persistence).
class PictureCodec {
public:
    virtual ~PictureCodec() = default;
    virtual std::vector<std::uint8_t> Save(const PictureRef& picture) = 0;
    // Fails with a ControlError for bytes it cannot read.
    virtual PictureRef Load(std::span<const std::uint8_t> bytes) = 0;
};

constexpr std::uint16_t kStreamFormVersion = 1;
constexpr std::uint16_t kStreamFormColoursVersion = 2;
constexpr std::uint16_t kStreamFormSettingsVersion = 3;
constexpr std::size_t kStreamFormHeaderSize = 10;
// A picture's saved bytes may take this much at most.
constexpr std::size_t kMaxSavedPictureSize = std::size_t{16} * 1024 * 1024;
// No stream form is larger than this.
constexpr std::size_t kStreamFormMaxSize = kStreamFormHeaderSize + 5 + 4 + kMaxSavedPictureSize + 14;

// The board class's flat squares' OLE colours, light then dark; none: wood.
using SavedSquareColours = std::optional<std::pair<std::int32_t, std::int32_t>>;

// The OLE colours LightSquareColor and DarkSquareColor read in wood.
constexpr std::int32_t kDefaultLightSquareColour = 0x00B5D9F0;
constexpr std::int32_t kDefaultDarkSquareColour = 0x006388B5;

// The longest AnimationTime, in milliseconds.
constexpr std::int32_t kMaxAnimationTime = 2000;

// What the board class saves besides the four values: its squares and the
// options a designer sets. The defaults are a new board's, and all the
// published class ever has.
struct BoardClassSettings {
    SavedSquareColours colours;
    bool flipped = false;
    bool coordinates = false;
    bool dragPieces = false;
    bool userAnnotations = true;
    bool typeMoves = false;
    std::int32_t animationTime = 200;
    friend bool operator==(const BoardClassSettings&, const BoardClassSettings&) = default;
};

// The settings under their members' names after the four keys, each written
// only when it is not the default ("LightSquareColor" and "DarkSquareColor"
// both, for flat squares). Reading takes the defaults for missing keys;
// either colour alone gives flat squares, the other at its default. A value
// of the wrong kind or an AnimationTime out of its range fails with 380.
void WriteBoardClassSettings(PropertyBag& bag, const BoardClassSettings& settings);
BoardClassSettings ReadBoardClassSettings(PropertyBag& bag);

// UserControl_WriteProperties, in the stream form, with the board class's
// settings in the lowest version that holds them. Fails with 380 for a
// picture whose saved bytes exceed kMaxSavedPictureSize.
std::vector<std::uint8_t> SaveToStreamForm(Board& board, PictureCodec& codec,
                                           const BoardClassSettings& settings = {});

// Checks the whole input first, the picture included: anything but exactly one
// stream form of a known version fails with 380 "Invalid property value" and
// changes nothing. Then settings hears of the board class's settings the form
// holds (the defaults but for the colours in version 2, all defaults in
// version 1), and may fail, changing nothing; then UserControl_ReadProperties
// with the values it holds.
void LoadFromStreamForm(Board& board, std::span<const std::uint8_t> bytes, PictureCodec& codec,
                        const std::function<void(const BoardClassSettings&)>& settings = {});

// The size of a whole stream form from its first kStreamFormHeaderSize bytes,
// so that a reader knows how much of a stream to take; 380 for a header that
// is not a stream form's.
std::size_t StreamFormSize(std::span<const std::uint8_t> header);

// The size SaveToStreamForm would write now.
std::size_t StreamFormSizeMax(Board& board, PictureCodec& codec, const BoardClassSettings& settings = {});

}  // namespace quelder
