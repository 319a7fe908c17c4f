// Writes the seed inputs of the fuzz targets: a handful of small valid and
// nearly valid inputs each, made with the project's own writer so that they
// are what a container really stores.
//
//   make_fuzz_corpus <folder>    writes <folder>/<target>/<name>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "appearance/bmp_picture_codec.hpp"
#include "appearance/saved_properties.hpp"
#include "fuzz_support.hpp"

using namespace quelder;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::filesystem::path root;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const auto dir = root / target;
    std::filesystem::create_directories(dir);
    WriteFileBytes((dir / name).c_str(), bytes);
}

Bytes Saved(bool enabled, std::int16_t piece, VBool isSelected, const PictureRef& picture,
            const BoardClassSettings& settings = {}) {
    Board board(fuzz::SharedHost());
    fuzz::Apply(board, {enabled, piece, isSelected, picture});
    testing::BmpPictureCodec codec;
    return SaveToStreamForm(board, codec, settings);
}

// A stream form around picture bytes as they are, for pictures that the
// codec reads but would not write (palettised ones).
Bytes WithPicture(const Bytes& picture) {
    Bytes out{'Q', 'B', 'S', 'P', kStreamFormVersion, 0};
    const auto body = static_cast<std::uint32_t>(5 + 4 + picture.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(body >> shift));
    out.insert(out.end(), {1, 3, 0, 0, 1});  // enabled, piece 3, not selected, a picture
    const auto size = static_cast<std::uint32_t>(picture.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(size >> shift));
    out.insert(out.end(), picture.begin(), picture.end());
    return out;
}

Bytes Palettised(int bitsPerPixel) {
    IndexedImage image;
    image.width = 5;
    image.height = 3;
    image.bitsPerPixel = bitsPerPixel;
    image.palette = {MakePixel(0, 0, 0), MakePixel(255, 0, 0), MakePixel(0, 255, 0), MakePixel(20, 30, 40)};
    for (int k = 0; k < image.width * image.height; ++k) image.indices.push_back(static_cast<std::uint8_t>(k % 4));
    return EncodeBmp(image);
}

void StreamSeeds() {
    const std::string t = "saved_properties_fuzz";
    const Bytes plain = Saved(true, 0, kFalse, nullptr);
    Write(t, "no_picture", plain);
    Write(t, "disabled_piece_-2_selected", Saved(false, -2, kTrue, nullptr));
    Write(t, "empty_picture", Saved(true, 13, kFalse, fuzz::SharedHost().LoadPicture()));
    Write(t, "small_picture", Saved(true, 7, kTrue, fuzz::SolidPicture(3, 2, MakePixel(200, 100, 50))));

    Write(t, "picture_4_bit", WithPicture(Palettised(4)));
    Write(t, "picture_8_bit", WithPicture(Palettised(8)));
    Write(t, "flat_squares", Saved(true, 0, kFalse, nullptr, {std::make_pair(0x00FFFFFF, -2147483643)}));
    Write(t, "board_class_settings",
          Saved(false, 4, kFalse, fuzz::SolidPicture(2, 2, MakePixel(9, 8, 7)),
                BoardClassSettings{std::make_pair(1, 2), true, false, true, false, true, 750}));

    Bytes version = plain;
    version[4] = 2;
    Write(t, "unknown_version", version);
    Bytes boolean = plain;
    boolean[10] = 2;
    Write(t, "boolean_2", boolean);
    Bytes trailing = plain;
    trailing.push_back(0);
    Write(t, "trailing_byte", trailing);
    Write(t, "header_only", Bytes(plain.begin(), plain.begin() + 10));
    Bytes long_picture = Saved(true, 0, kFalse, fuzz::SolidPicture(1, 1, MakePixel(1, 1, 1)));
    long_picture[16] = 0xff;  // the picture's length, past the end
    Write(t, "picture_length_past_end", long_picture);
}

// The tagged values of the conversion target (see property_conversion_fuzz.cpp).
struct Values {
    Bytes bytes;
    Values& Nothing() { return Put(0); }
    Values& Boolean(bool v) { return Put(1).Put(v ? 1 : 0); }
    Values& Int16(std::int16_t v) { return Put(2).Le(static_cast<std::uint16_t>(v), 2); }
    Values& Int32(std::int32_t v) { return Put(3).Le(static_cast<std::uint32_t>(v), 4); }
    Values& Double(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return Put(4).Le(bits, 8);
    }
    Values& Text(const std::string& v) {
        Put(5).Put(static_cast<std::uint8_t>(v.size()));
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    Values& Picture(std::uint8_t kind) { return Put(6).Put(kind); }

    Values& Put(std::uint8_t b) {
        bytes.push_back(b);
        return *this;
    }
    Values& Le(std::uint64_t v, int count) {
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
};

void ConversionSeeds() {
    const std::string t = "property_conversion_fuzz";
    Write(t, "bag_as_saved", Values().Boolean(true).Int16(0).Boolean(false).Picture(1).bytes);
    Write(t, "bag_as_text", Values().Text("False").Text(" 12 ").Text("TRUE").Picture(0).bytes);
    Write(t, "bag_piece_overflows", Values().Boolean(false).Int32(40000).Boolean(true).Picture(2).bytes);
    Write(t, "bag_picture_is_text", Values().Int32(1).Double(-3.5).Nothing().Text("picture").bytes);
    Write(t, "bag_missing_keys", Values().Double(0.25).bytes);
    Write(t, "numbers_in_text",
          Values().Text("-32768.5").Text("32767.5").Text("2.5").Text("-0.5").Text("1e4").Text(".5e1").Text("5.")
              .Text("1e400").Text("1e-400").Text("0.000e99999").bytes);
    Write(t, "no_numbers_in_text",
          Values().Text("").Text(" ").Text("+").Text("1e").Text("0x10").Text("inf").Text("nan").Text("1,5").bytes);
    Write(t, "numbers", Values().Int16(-32768).Int32(-32769).Int32(32767).Double(32767.49).Double(-32768.5)
                            .Double(std::numeric_limits<double>::infinity())
                            .Double(std::numeric_limits<double>::quiet_NaN()).Double(-0.0).bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    root = argv[1];
    StreamSeeds();
    ConversionSeeds();
    return 0;
}
