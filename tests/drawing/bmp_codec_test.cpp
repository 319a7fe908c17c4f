#include "drawing/bmp_codec.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quelder {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bitmap written independently of the codec under test.
struct Dib {
    std::uint32_t headerSize = 40;
    int width = 3;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::vector<Pixel> palette{};
    std::uint32_t coloursUsed = 0;
    std::array<std::uint32_t, 3> masks{};
    std::vector<Bytes> rows{};  // top row first, unpadded
};

Bytes BuildDib(const Dib& d, bool topDown) {
    const int height = static_cast<int>(d.rows.size());
    Bytes b;
    Put32(b, d.headerSize);
    Put32(b, static_cast<std::uint32_t>(d.width));
    Put32(b, static_cast<std::uint32_t>(topDown ? -height : height));
    Put16(b, 1);
    Put16(b, d.bitCount);
    Put32(b, d.compression);
    for (int i = 0; i < 5; ++i) Put32(b, 0);
    Set32(b, 32, d.coloursUsed);
    b.resize(d.headerSize, 0);
    if (d.compression == 3) {
        if (d.headerSize == 40) b.resize(52, 0);
        for (int i = 0; i < 3; ++i) Set32(b, 40 + 4 * i, d.masks[i]);
    }
    std::vector<Pixel> table = d.palette;
    if (d.bitCount <= 8 && d.coloursUsed == 0) table.resize(std::size_t{1} << d.bitCount, 0x123456);
    for (Pixel p : table) Put32(b, p);
    const std::size_t stride = (static_cast<std::size_t>(d.width) * d.bitCount + 31) / 32 * 4;
    for (int i = 0; i < height; ++i) {
        Bytes row = d.rows[static_cast<std::size_t>(topDown ? i : height - 1 - i)];
        row.resize(stride, 0xEE);  // padding must be ignored
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes BuildBmp(const Dib& d, bool topDown = false) {
    const Bytes dib = BuildDib(d, topDown);
    const std::size_t bitsOffset = 14 + dib.size() - d.rows.size() * ((d.width * d.bitCount + 31) / 32 * 4);
    Bytes b{'B', 'M'};
    Put32(b, static_cast<std::uint32_t>(14 + dib.size()));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(bitsOffset));
    b.insert(b.end(), dib.begin(), dib.end());
    return b;
}

constexpr Pixel kRed = MakePixel(255, 0, 0), kGreen = MakePixel(0, 255, 0), kBlue = MakePixel(0, 0, 255);
constexpr Pixel kGrey = MakePixel(10, 20, 30);

Image Picture(std::array<Pixel, 3> top, std::array<Pixel, 3> bottom) {
    Image image(3, 2);
    for (int x = 0; x < 3; ++x) {
        image.Set(x, 0, top[x]);
        image.Set(x, 1, bottom[x]);
    }
    return image;
}

struct FormatCase {
    const char* name;
    Dib dib;
};

std::vector<FormatCase> Formats() {
    const std::vector<Pixel> pal{kGrey, kRed, kGreen, kBlue};
    return {
        // 1-bit holds two colours: red green green / green red red.
        {"1-bit", {.bitCount = 1, .palette = {kRed, kGreen}, .rows = {{0x60}, {0x80}}}},
        {"4-bit", {.bitCount = 4, .palette = pal, .rows = {{0x12, 0x30}, {0x30, 0x10}}}},
        {"8-bit", {.bitCount = 8, .palette = pal, .rows = {{1, 2, 3}, {3, 0, 1}}}},
        {"8-bit short table", {.bitCount = 8, .palette = pal, .coloursUsed = 4, .rows = {{1, 2, 3}, {3, 0, 1}}}},
        {"8-bit V4 header", {.headerSize = 108, .bitCount = 8, .palette = pal, .rows = {{1, 2, 3}, {3, 0, 1}}}},
        {"24-bit", {.bitCount = 24, .rows = {{0, 0, 255, 0, 255, 0, 255, 0, 0}, {255, 0, 0, 30, 20, 10, 0, 0, 255}}}},
        {"32-bit", {.bitCount = 32,
                    .rows = {{0, 0, 255, 0xAA, 0, 255, 0, 0xAA, 255, 0, 0, 0xAA},
                             {255, 0, 0, 0xAA, 30, 20, 10, 0xAA, 0, 0, 255, 0xAA}}}},
        {"32-bit bitfields RGBX", {.bitCount = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000},
                                   .rows = {{255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9},
                                            {0, 0, 255, 9, 10, 20, 30, 9, 255, 0, 0, 9}}}},
        {"32-bit bitfields V5 header", {.headerSize = 124, .bitCount = 32, .compression = 3,
                                        .masks = {0xFF0000, 0xFF00, 0xFF},
                                        .rows = {{0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0},
                                                 {255, 0, 0, 0, 30, 20, 10, 0, 0, 0, 255, 0}}}},
    };
}

// What every format above holds.
Image Expected(const FormatCase& c) {
    if (c.dib.bitCount == 1) return Picture({kRed, kGreen, kGreen}, {kGreen, kRed, kRed});
    return Picture({kRed, kGreen, kBlue}, {kBlue, kGrey, kRed});
}

std::string Describe(const Image& image) {
    std::string s = std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + ":";
    char buf[12];
    for (Pixel p : image.Pixels()) {
        std::snprintf(buf, sizeof buf, " %06X", static_cast<unsigned>(p));
        s += buf;
    }
    return s;
}

TEST(BmpDecode, EveryFormatBothRowOrders) {
    for (const FormatCase& c : Formats()) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
            const Bytes file = BuildBmp(c.dib, topDown);
            const Image fromFile = DecodeBmp(file);
            EXPECT_EQ(fromFile, Expected(c)) << Describe(fromFile);
            const Image fromDib = DecodeDib(BuildDib(c.dib, topDown));
            EXPECT_EQ(fromDib, Expected(c)) << Describe(fromDib);
            if (c.dib.bitCount > 8) {
                EXPECT_THROW(DecodeIndexedBmp(file), BmpError);
            } else {
                const IndexedImage indexed = DecodeIndexedBmp(file);
                ASSERT_EQ(indexed.indices.size(), 6u);
                for (int i = 0; i < 6; ++i)
                    EXPECT_EQ(indexed.palette.at(indexed.indices[i]), Expected(c).Pixels()[i]) << "pixel " << i;
            }
        }
    }
}

TEST(BmpDecode, FiveBitMasksWidenToFullRange) {
    Dib d{.width = 2, .bitCount = 32, .compression = 3, .masks = {0x7C00, 0x03E0, 0x001F},
          .rows = {{0x00, 0x7C, 0, 0, 0x10, 0x42, 0, 0}}};  // 0x7C00 red, 0x4210 = 16,16,16
    const Image image = DecodeBmp(BuildBmp(d));
    EXPECT_EQ(image.At(0, 0), kRed) << Describe(image);
    EXPECT_EQ(image.At(1, 0), MakePixel(132, 132, 132)) << Describe(image);
}

// The 8-bit bottom-up file every corruption below starts from: headers 54
// bytes, four palette entries at 54, bits at 70, two rows of 4 bytes.
Bytes ValidFile() {
    return BuildBmp({.bitCount = 8, .palette = {kGrey, kRed, kGreen, kBlue}, .coloursUsed = 4,
                     .rows = {{1, 2, 3}, {3, 0, 1}}});
}

Bytes With(std::function<void(Bytes&)> change, Bytes b = ValidFile()) {
    change(b);
    return b;
}

TEST(BmpDecode, RejectsMalformedFiles) {
    const Bytes rgb32 = BuildBmp({.width = 1, .bitCount = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF},
                                  .rows = {{1, 2, 3, 4}}});
    const Bytes rgb24 = BuildBmp({.width = 1, .bitCount = 24, .rows = {{1, 2, 3}}});
    // inDib: the fault lies in what a packed DIB holds too.
    const struct {
        const char* name;
        Bytes bytes;
        bool inDib = true;
    } cases[] = {
        {"empty", {}, false},
        {"bad magic", With([](Bytes& b) { b[0] = 'X'; }), false},
        {"core header", With([](Bytes& b) { Set32(b, 14, 12); })},
        {"header past end", With([](Bytes& b) { Set32(b, 14, 600); })},
        {"zero width", With([](Bytes& b) { Set32(b, 18, 0); })},
        {"negative width", With([](Bytes& b) { Set32(b, 18, static_cast<std::uint32_t>(-3)); })},
        {"width over limit", With([](Bytes& b) { Set32(b, 18, 16385); })},
        {"zero height", With([](Bytes& b) { Set32(b, 22, 0); })},
        {"height over limit", With([](Bytes& b) { Set32(b, 22, static_cast<std::uint32_t>(-16385)); })},
        {"most negative height", With([](Bytes& b) { Set32(b, 22, 0x80000000u); })},
        {"two planes", With([](Bytes& b) { b[26] = 2; })},
        {"16 bits a pixel", With([](Bytes& b) { b[28] = 16; })},
        {"RLE8", With([](Bytes& b) { Set32(b, 30, 1); })},
        {"bitfields on 8-bit", With([](Bytes& b) { Set32(b, 30, 3); })},
        {"PNG inside", With([](Bytes& b) { Set32(b, 30, 5); })},
        {"bits past end", With([](Bytes& b) { Set32(b, 10, 75); }), false},
        {"bits offset wraps", With([](Bytes& b) { Set32(b, 10, 0xFFFFFFF0u); }), false},
        {"bits inside headers", With([](Bytes& b) { Set32(b, 10, 30); }), false},
        {"table over 256", With([](Bytes& b) { Set32(b, 46, 257); })},
        {"table past end", With([](Bytes& b) { Set32(b, 46, 200); })},
        {"index beyond palette", With([](Bytes& b) { b[70] = 4; })},
        {"rows missing", With([](Bytes& b) { Set32(b, 22, 3); })},
        {"huge table on 24-bit", With([](Bytes& b) { Set32(b, 46, 0xFFFFFFFFu); }, rgb24)},
        {"bitfields on 24-bit", With([](Bytes& b) { Set32(b, 30, 3); }, rgb24)},
        {"split mask", With([](Bytes& b) { Set32(b, 54, 0x00FF00F0u); }, rgb32)},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(DecodeBmp(c.bytes), BmpError) << c.name;
        EXPECT_THROW(DecodeIndexedBmp(c.bytes), BmpError) << c.name;
        if (c.inDib) {
            EXPECT_THROW(DecodeDib(Bytes(c.bytes.begin() + 14, c.bytes.end())), BmpError) << c.name;
        }
    }
}

TEST(BmpDecode, RejectsEveryTruncation) {
    for (const Bytes& whole : {ValidFile(), BuildBmp(Formats()[8].dib)}) {
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_THROW(DecodeBmp(cut), BmpError) << "first " << n << " of " << whole.size() << " bytes";
            if (n > 14) {
                EXPECT_THROW(DecodeDib(Bytes(cut.begin() + 14, cut.end())), BmpError) << "DIB, first " << n;
            }
        }
    }
}

IndexedImage Pattern(int width, int height, int bits, int colours) {
    IndexedImage image{width, height, bits, {}, {}};
    for (int i = 0; i < colours; ++i) image.palette.push_back(MakePixel(static_cast<std::uint8_t>(i * 7), 0x40, static_cast<std::uint8_t>(255 - i)));
    for (int i = 0; i < width * height; ++i) image.indices.push_back(static_cast<std::uint8_t>((i * 5 + i / width) % colours));
    return image;
}

TEST(BmpRoundTrip, Palettised) {
    const struct {
        int width, height, bits, colours;
        std::size_t stride;
    } cases[] = {{1, 1, 4, 2, 4}, {7, 3, 4, 16, 4}, {9, 2, 4, 5, 8}, {37, 37, 8, 256, 40}, {5, 4, 8, 3, 8}, {4, 1, 8, 200, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + std::to_string(c.bits) + "-bit");
        const IndexedImage image = Pattern(c.width, c.height, c.bits, c.colours);
        const Bytes file = EncodeBmp(image);
        const std::size_t table = std::size_t{4} << c.bits;
        EXPECT_EQ(file.size(), 54 + table + c.stride * c.height);
        const IndexedImage back = DecodeIndexedBmp(file);
        EXPECT_EQ(back.bitsPerPixel, c.bits);
        ASSERT_EQ(back.palette.size(), std::size_t{1} << c.bits) << "the full table is written";
        for (std::size_t i = 0; i < back.palette.size(); ++i)
            EXPECT_EQ(back.palette[i], i < image.palette.size() ? image.palette[i] : kMaskColour) << "entry " << i;
        EXPECT_EQ(back.indices, image.indices);
        const Image pixels = DecodeBmp(file);
        for (int i = 0; i < c.width * c.height; ++i)
            ASSERT_EQ(pixels.Pixels()[i], image.palette[image.indices[i]]) << "pixel " << i;
    }
}

TEST(BmpRoundTrip, TrueColour) {
    for (int width : {1, 2, 3, 4, 5, 37}) {
        Image image(width, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                image.Set(x, y, MakePixel(static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 90), static_cast<std::uint8_t>(x + y + 1)));
        const Bytes file = EncodeBmp(image);
        EXPECT_EQ(file.size(), 54 + 3 * ((width * 3 + 3) / 4 * 4)) << "width " << width;
        const Image back = DecodeBmp(file);
        EXPECT_EQ(back, image) << "width " << width << ": " << Describe(back);
    }
}

TEST(BmpEncode, RejectsWhatCannotBeWritten) {
    const struct {
        const char* name;
        std::function<void(IndexedImage&)> change;
    } cases[] = {
        {"index beyond palette", [](IndexedImage& i) { i.indices[3] = 4; }},
        {"17 colours in 4 bits", [](IndexedImage& i) { i.palette.resize(17); }},
        {"index missing", [](IndexedImage& i) { i.indices.pop_back(); }},
        {"1 bit a pixel", [](IndexedImage& i) { i.bitsPerPixel = 1; }},
        {"no width", [](IndexedImage& i) { i.width = 0; }},
        {"too tall", [](IndexedImage& i) { i.height = 16385; }},
    };
    for (const auto& c : cases) {
        IndexedImage image = Pattern(2, 2, 4, 4);
        c.change(image);
        EXPECT_THROW(EncodeBmp(image), BmpError) << c.name;
    }
    EXPECT_THROW(EncodeBmp(Image()), BmpError);
}

TEST(BmpFiles, WriteReadAndFailures) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string path = (dir / "quelder_bmp_codec_test.bin").string();
    const Bytes bytes{1, 2, 0, 255};
    WriteFileBytes(path.c_str(), bytes);
    EXPECT_EQ(ReadFileBytes(path.c_str()), bytes);
    std::filesystem::remove(path);
    EXPECT_THROW(ReadFileBytes(path.c_str()), BmpError);
    const std::string nowhere = (dir / "quelder-no-such-dir" / "x.bmp").string();
    EXPECT_THROW(WriteFileBytes(nowhere.c_str(), bytes), BmpError);
}

// ---- The committed pictures --------------------------------------------------

Bytes Resource(const std::string& name) { return ReadFileBytes((std::string(QUELDER_RESOURCE_DIR) + "/" + name).c_str()); }

std::string BoardName(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "board_%02d.bmp", n);
    return name;
}

TEST(BoardResources, AllAre37Square8Bit) {
    for (int n = 1; n <= 14; ++n) {
        const IndexedImage image = DecodeIndexedBmp(Resource(BoardName(n)));
        EXPECT_EQ(image.width, 37) << BoardName(n);
        EXPECT_EQ(image.height, 37) << BoardName(n);
        EXPECT_EQ(image.bitsPerPixel, 8) << BoardName(n);
        EXPECT_EQ(image.palette.size(), 256u) << BoardName(n);
    }
}

TEST(BoardResources, WoodSquaresAreOpaqueAndGrained) {
    double brightness[2] = {};
    for (int i = 0; i < 2; ++i) {
        const Image wood = DecodeBmp(Resource(BoardName(i == 0 ? 1 : 14)));
        std::vector<Pixel> seen;
        for (Pixel p : wood.Pixels()) {
            ASSERT_NE(p, kMaskColour) << BoardName(i == 0 ? 1 : 14);
            if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
            brightness[i] += RedOf(p) + GreenOf(p) + BlueOf(p);
        }
        EXPECT_GE(seen.size(), 8u) << "shades of " << BoardName(i == 0 ? 1 : 14);
    }
    EXPECT_GT(brightness[0], brightness[1] * 1.2) << "light " << brightness[0] << ", dark " << brightness[1];
}

TEST(BoardResources, PiecesStandOnBlackInTheirColours) {
    for (int n = 2; n <= 13; ++n) {
        SCOPED_TRACE(BoardName(n));
        const Image piece = DecodeBmp(Resource(BoardName(n)));
        for (int i = 0; i < 37; ++i)
            for (const auto& [x, y] : {std::pair{i, 0}, std::pair{i, 36}, std::pair{0, i}, std::pair{36, i}})
                ASSERT_EQ(piece.At(x, y), kMaskColour) << "margin at " << x << "," << y;
        EXPECT_NE(piece.At(18, 18), kMaskColour) << "centre";
        double red = 0, green = 0, light = 0;
        int count = 0;
        for (Pixel p : piece.Pixels()) {
            if (p == kMaskColour) continue;
            red += RedOf(p);
            green += GreenOf(p);
            light += (RedOf(p) + GreenOf(p) + BlueOf(p)) / 3.0;
            ++count;
        }
        ASSERT_GT(count, 150) << "piece pixels";
        if (n <= 7)
            EXPECT_GT(red / count, green / count + 40) << "red " << red / count << ", green " << green / count;
        else
            EXPECT_GT(light / count, 150) << "brightness";
    }
}

TEST(BoardResources, ToolboxAndAbout) {
    const IndexedImage toolbox = DecodeIndexedBmp(Resource("toolbox.bmp"));
    EXPECT_EQ(toolbox.width, 16);
    EXPECT_EQ(toolbox.height, 15);
    EXPECT_EQ(toolbox.bitsPerPixel, 4);
    const Image about = DecodeBmp(Resource("about.bmp"));
    ASSERT_EQ(about.Width(), 32);
    ASSERT_EQ(about.Height(), 32);
    const Pixel allowed[] = {MakePixel(0, 0, 0), MakePixel(128, 128, 128), MakePixel(192, 192, 192), MakePixel(255, 255, 255)};
    for (Pixel p : about.Pixels())
        ASSERT_NE(std::find(std::begin(allowed), std::end(allowed), p), std::end(allowed)) << std::hex << p;
}

}  // namespace
}  // namespace quelder
