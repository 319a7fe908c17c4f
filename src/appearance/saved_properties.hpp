// The saved properties in a stream of their own, for containers that save a
// control to a stream rather than to a property bag. The same four values as
// the bag holds, in a small versioned binary form:
//
//   header   4 bytes "QBSP", version (16-bit), length of the body (32-bit)
//   body     "Enabled" (1 byte, 0 or 1), "Piece" (16-bit, signed),
//            "IsSelected" (1 byte, 0 or 1), "Picture" (1 byte: 0 no object,
//            1 a picture whose saved bytes follow as a 32-bit length and the bytes)
//   colours  version 2 only: the board class's flat squares, the light and
//            the dark squares' OLE colours (32-bit each). Version 1 is a
//            board in wood, and what the published class always writes.
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
constexpr std::size_t kStreamFormHeaderSize = 10;
// A picture's saved bytes may take this much at most.
constexpr std::size_t kMaxSavedPictureSize = std::size_t{16} * 1024 * 1024;
// No stream form is larger than this.
constexpr std::size_t kStreamFormMaxSize = kStreamFormHeaderSize + 5 + 4 + kMaxSavedPictureSize + 8;

// The board class's flat squares' OLE colours, light then dark; none: wood.
using SavedSquareColours = std::optional<std::pair<std::int32_t, std::int32_t>>;

// UserControl_WriteProperties, in the stream form, with the squares' colours
// when there are. Fails with 380 for a picture whose saved bytes exceed
// kMaxSavedPictureSize.
std::vector<std::uint8_t> SaveToStreamForm(Board& board, PictureCodec& codec,
                                           const SavedSquareColours& colours = std::nullopt);

// Checks the whole input first, the picture included: anything but exactly one
// stream form of a known version fails with 380 "Invalid property value" and
// changes nothing. Then colours hears of the squares' colours the form holds
// (none for version 1), and may fail, changing nothing; then
// UserControl_ReadProperties with the values it holds.
void LoadFromStreamForm(Board& board, std::span<const std::uint8_t> bytes, PictureCodec& codec,
                        const std::function<void(const SavedSquareColours&)>& colours = {});

// The size of a whole stream form from its first kStreamFormHeaderSize bytes,
// so that a reader knows how much of a stream to take; 380 for a header that
// is not a stream form's.
std::size_t StreamFormSize(std::span<const std::uint8_t> header);

// The size SaveToStreamForm would write now.
std::size_t StreamFormSizeMax(Board& board, PictureCodec& codec, const SavedSquareColours& colours = std::nullopt);

}  // namespace quelder
