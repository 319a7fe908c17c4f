#include "drawing/bmp_codec.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <string>

namespace quelder {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::int64_t kMaxDimension = 16384;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

[[noreturn]] void Fail(const std::string& what) { throw BmpError("bitmap: " + what); }

// Bounds-checked little-endian reads from the caller's bytes.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }

    // Throws unless [offset, offset + count) lies inside the bytes.
    void Require(std::uint64_t offset, std::uint64_t count, const char* what) const {
        if (offset > bytes_.size() || count > bytes_.size() - offset) Fail(std::string("truncated ") + what);
    }

    std::uint8_t U8(std::uint64_t offset) const {
        Require(offset, 1, "data");
        return bytes_[static_cast<std::size_t>(offset)];
    }
    std::uint16_t U16(std::uint64_t offset) const {
        Require(offset, 2, "header");
        const auto* p = bytes_.data() + offset;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t U32(std::uint64_t offset) const {
        Require(offset, 4, "header");
        const auto* p = bytes_.data() + offset;
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
    }
    std::int32_t I32(std::uint64_t offset) const { return static_cast<std::int32_t>(U32(offset)); }

    const std::uint8_t* At(std::uint64_t offset) const { return bytes_.data() + offset; }

private:
    std::span<const std::uint8_t> bytes_;
};

// One colour channel of a BI_BITFIELDS pixel.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static Channel From(std::uint32_t mask) {
        Channel c;
        c.mask = mask;
        if (mask == 0) return c;
        c.shift = std::countr_zero(mask);
        c.bits = std::popcount(mask);
        const std::uint64_t run = (std::uint64_t{1} << c.bits) - 1;
        if ((std::uint64_t{mask} >> c.shift) != run) Fail("colour mask is not one run of bits");
        return c;
    }

    std::uint8_t Extract(std::uint32_t value) const {
        if (bits == 0) return 0;
        const std::uint32_t v = (value & mask) >> shift;
        if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
        // Widen by repeating the bits, so that a full channel becomes 255.
        std::uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << bits) | v;
            filled += bits;
        }
        return static_cast<std::uint8_t>(out >> (filled - 8));
    }
};

// What the info header says, with every offset checked against the bytes.
struct Layout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    std::vector<Pixel> palette;
    std::array<Channel, 3> channels{};  // red, green, blue; 32-bit only
    std::uint64_t bitsOffset = 0;
    std::uint64_t stride = 0;
};

// Parses the info header at headerOffset. The colour table (and, for a
// 40-byte header with BI_BITFIELDS, the three masks) follow the header; the
// pixel bits are at fileBitsOffset when given, else right after the table.
Layout ParseInfo(const Reader& in, std::uint64_t headerOffset, const std::uint64_t* fileBitsOffset) {
    const std::uint32_t headerSize = in.U32(headerOffset);
    if (headerSize < kInfoHeaderSize || headerSize > 1024) Fail("unsupported info header size " + std::to_string(headerSize));
    in.Require(headerOffset, headerSize, "info header");

    const std::int64_t width = in.I32(headerOffset + 4);
    const std::int64_t rawHeight = in.I32(headerOffset + 8);
    const std::uint16_t planes = in.U16(headerOffset + 12);
    const std::uint16_t bitCount = in.U16(headerOffset + 14);
    const std::uint32_t compression = in.U32(headerOffset + 16);
    const std::uint32_t coloursUsed = in.U32(headerOffset + 32);

    if (width <= 0 || width > kMaxDimension) Fail("bad width " + std::to_string(width));
    const std::int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (height == 0 || height > kMaxDimension) Fail("bad height " + std::to_string(rawHeight));
    if (planes != 1) Fail("bad plane count " + std::to_string(planes));
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        Fail("unsupported bit count " + std::to_string(bitCount));
    const bool bitfields = compression == kBiBitfields;
    if (compression != kBiRgb && !(bitfields && bitCount == 32))
        Fail("unsupported compression " + std::to_string(compression));

    Layout layout;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    layout.topDown = rawHeight < 0;
    layout.bitsPerPixel = bitCount;
    layout.stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;

    std::uint64_t tableOffset = headerOffset + headerSize;
    if (bitfields) {
        // Larger headers hold the masks themselves; a 40-byte one is followed by them.
        const std::uint64_t masksOffset = headerOffset + kInfoHeaderSize;
        if (headerSize == kInfoHeaderSize) {
            in.Require(masksOffset, 12, "colour masks");
            tableOffset += 12;
        } else if (headerSize < kInfoHeaderSize + 12) {
            Fail("info header too small for colour masks");
        }
        for (int i = 0; i < 3; ++i) layout.channels[i] = Channel::From(in.U32(masksOffset + 4u * i));
    } else if (bitCount == 32) {
        layout.channels = {Channel::From(0x00FF0000u), Channel::From(0x0000FF00u), Channel::From(0x000000FFu)};
    }

    std::uint64_t tableEntries = coloursUsed;
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        if (coloursUsed > full) Fail("colour table of " + std::to_string(coloursUsed) + " entries");
        if (coloursUsed == 0) tableEntries = full;
    }
    const std::uint64_t tableBytes = tableEntries * 4;  // at most 2^34: no overflow
    in.Require(tableOffset, tableBytes, "colour table");
    if (bitCount <= 8) {
        layout.palette.reserve(static_cast<std::size_t>(tableEntries));
        for (std::uint64_t i = 0; i < tableEntries; ++i) {
            const std::uint8_t* q = in.At(tableOffset + 4 * i);
            layout.palette.push_back(MakePixel(q[2], q[1], q[0]));
        }
    }

    if (fileBitsOffset != nullptr) {
        if (*fileBitsOffset < tableOffset + tableBytes) Fail("pixel data overlaps the headers");
        layout.bitsOffset = *fileBitsOffset;
    } else {
        layout.bitsOffset = tableOffset + tableBytes;
    }
    // stride <= 16384 * 32 / 8 and height <= 16384: the product fits easily.
    in.Require(layout.bitsOffset, layout.stride * static_cast<std::uint64_t>(layout.height), "pixel data");
    return layout;
}

Layout ParseFile(const Reader& in) {
    in.Require(0, kFileHeaderSize, "file header");
    if (in.U8(0) != 'B' || in.U8(1) != 'M') Fail("not a bitmap file");
    const std::uint64_t bitsOffset = in.U32(10);
    return ParseInfo(in, kFileHeaderSize, &bitsOffset);
}

// Start of the bytes of top-to-bottom row y.
const std::uint8_t* Row(const Reader& in, const Layout& layout, int y) {
    const int stored = layout.topDown ? y : layout.height - 1 - y;
    return in.At(layout.bitsOffset + layout.stride * static_cast<std::uint64_t>(stored));
}

std::uint8_t IndexAt(const std::uint8_t* row, int x, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4: return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0Fu;
    default: return row[x];
    }
}

std::uint8_t CheckedIndex(const Layout& layout, const std::uint8_t* row, int x) {
    const std::uint8_t index = IndexAt(row, x, layout.bitsPerPixel);
    if (index >= layout.palette.size())
        Fail("palette index " + std::to_string(index) + " beyond a palette of " +
             std::to_string(layout.palette.size()));
    return index;
}

Image Expand(const Reader& in, const Layout& layout) {
    Image image(layout.width, layout.height);
    for (int y = 0; y < layout.height; ++y) {
        const std::uint8_t* row = Row(in, layout, y);
        for (int x = 0; x < layout.width; ++x) {
            Pixel p = 0;
            if (layout.bitsPerPixel <= 8) {
                p = layout.palette[CheckedIndex(layout, row, x)];
            } else if (layout.bitsPerPixel == 24) {
                const std::uint8_t* q = row + 3 * static_cast<std::size_t>(x);
                p = MakePixel(q[2], q[1], q[0]);
            } else {
                const std::uint8_t* q = row + 4 * static_cast<std::size_t>(x);
                const std::uint32_t v = std::uint32_t{q[0]} | (std::uint32_t{q[1]} << 8) |
                                        (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[3]} << 24);
                p = MakePixel(layout.channels[0].Extract(v), layout.channels[1].Extract(v),
                              layout.channels[2].Extract(v));
            }
            image.Set(x, y, p);
        }
    }
    return image;
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}

void CheckSize(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
        Fail("cannot write a " + std::to_string(width) + " x " + std::to_string(height) + " picture");
}

// File header and a 40-byte bottom-up info header for an uncompressed bitmap.
std::vector<std::uint8_t> Headers(int width, int height, int bitsPerPixel, std::uint32_t tableEntries,
                                  std::uint32_t stride) {
    const std::uint32_t bitsOffset = static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize) + 4 * tableEntries;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out;
    out.reserve(bitsOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, bitsOffset + imageSize);
    Put32(out, 0);
    Put32(out, bitsOffset);
    Put32(out, static_cast<std::uint32_t>(kInfoHeaderSize));
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bitsPerPixel));
    Put32(out, kBiRgb);
    Put32(out, imageSize);
    Put32(out, 2835);  // 72 dots an inch
    Put32(out, 2835);
    Put32(out, 0);     // all colours of the table used
    Put32(out, 0);
    return out;
}

std::uint32_t StrideOf(int width, int bitsPerPixel) {
    return (static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitsPerPixel) + 31) / 32 * 4;
}

}  // namespace

Image DecodeBmp(std::span<const std::uint8_t> bytes) {
    const Reader in(bytes);
    return Expand(in, ParseFile(in));
}

Image DecodeDib(std::span<const std::uint8_t> bytes) {
    const Reader in(bytes);
    return Expand(in, ParseInfo(in, 0, nullptr));
}

IndexedImage DecodeIndexedBmp(std::span<const std::uint8_t> bytes) {
    const Reader in(bytes);
    Layout layout = ParseFile(in);
    if (layout.bitsPerPixel > 8) Fail("not a palettised bitmap");
    IndexedImage image;
    image.width = layout.width;
    image.height = layout.height;
    // A 1-bit picture is held as a 4-bit one with a two-entry palette.
    image.bitsPerPixel = layout.bitsPerPixel == 8 ? 8 : 4;
    image.indices.reserve(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height));
    for (int y = 0; y < layout.height; ++y) {
        const std::uint8_t* row = Row(in, layout, y);
        for (int x = 0; x < layout.width; ++x) image.indices.push_back(CheckedIndex(layout, row, x));
    }
    image.palette = std::move(layout.palette);
    return image;
}

std::vector<std::uint8_t> EncodeBmp(const IndexedImage& image) {
    CheckSize(image.width, image.height);
    if (image.bitsPerPixel != 4 && image.bitsPerPixel != 8)
        Fail("cannot write " + std::to_string(image.bitsPerPixel) + " bits a pixel");
    const std::uint32_t tableEntries = 1u << image.bitsPerPixel;
    if (image.palette.size() > tableEntries) Fail("palette of " + std::to_string(image.palette.size()) + " entries");
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (image.indices.size() != count) Fail("index count does not match the size");
    for (std::uint8_t index : image.indices)
        if (index >= image.palette.size()) Fail("palette index " + std::to_string(index) + " beyond the palette");

    const std::uint32_t stride = StrideOf(image.width, image.bitsPerPixel);
    std::vector<std::uint8_t> out = Headers(image.width, image.height, image.bitsPerPixel, tableEntries, stride);
    for (std::uint32_t i = 0; i < tableEntries; ++i) {
        const Pixel p = i < image.palette.size() ? image.palette[i] : kMaskColour;
        out.insert(out.end(), {BlueOf(p), GreenOf(p), RedOf(p), 0});
    }
    std::vector<std::uint8_t> row(stride);
    for (int y = image.height - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        const std::uint8_t* src = image.indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        for (int x = 0; x < image.width; ++x) {
            if (image.bitsPerPixel == 8)
                row[x] = src[x];
            else
                row[x / 2] = static_cast<std::uint8_t>(row[x / 2] | (x % 2 == 0 ? src[x] << 4 : src[x]));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> EncodeBmp(const Image& image) {
    CheckSize(image.Width(), image.Height());
    const std::uint32_t stride = StrideOf(image.Width(), 24);
    std::vector<std::uint8_t> out = Headers(image.Width(), image.Height(), 24, 0, stride);
    std::vector<std::uint8_t> row(stride);
    for (int y = image.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.Width(); ++x) {
            const Pixel p = image.At(x, y);
            row[3 * x] = BlueOf(p);
            row[3 * x + 1] = GreenOf(p);
            row[3 * x + 2] = RedOf(p);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace quelder
