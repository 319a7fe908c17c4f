// The pictures of the saved properties in a stream: each picture object saves
// and loads itself (its IPersistStream, as the standard picture object
// implements it), through a stream in memory.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "appearance/saved_properties.hpp"

namespace quelder::win32 {

class StreamPictureCodec final : public PictureCodec {
public:
    // The picture object's own saved form. 481 "Invalid picture" for a
    // picture that cannot save itself, 380 for one larger than
    // kMaxSavedPictureSize.
    std::vector<std::uint8_t> Save(const PictureRef& picture) override;
    // A new standard picture object loaded from bytes; 481 when it cannot
    // read them.
    PictureRef Load(std::span<const std::uint8_t> bytes) override;
};

// Reads exactly size bytes from stream. A stream that ends before fails with
// 380 "Invalid property value", a failing one with its HRESULT
// (com::HresultError).
void ReadExactly(IStream& stream, std::uint8_t* data, std::size_t size);
// Writes all of bytes; fails with the stream's HRESULT, or STG_E_MEDIUMFULL
// when it takes no more.
void WriteAll(IStream& stream, std::span<const std::uint8_t> bytes);

}  // namespace quelder::win32
