#include "drawing/scaling.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace quelder {
namespace {

Image Make(int width, int height, const std::vector<Pixel>& pixels) {
    Image image(width, height);
    image.Pixels() = pixels;
    return image;
}

// How got differs from expected, in words: the sizes, or the first few
// pixels that differ; empty when the two are equal.
std::string Differences(const Image& got, const Image& expected) {
    auto size = [](const Image& i) { return std::to_string(i.Width()) + "x" + std::to_string(i.Height()); };
    if (got.Width() != expected.Width() || got.Height() != expected.Height())
        return "size " + size(got) + ", expected " + size(expected);
    std::string out;
    int shown = 0;
    for (int y = 0; y < got.Height(); ++y)
        for (int x = 0; x < got.Width(); ++x)
            if (got.At(x, y) != expected.At(x, y) && shown++ < 4) {
                char line[80];
                std::snprintf(line, sizeof line, "(%d, %d) is %06X, expected %06X; ", x, y, got.At(x, y),
                              expected.At(x, y));
                out += line;
            }
    return out;
}

TEST(ScaleImage, AveragesWhenShrinkingInterpolatesWhenEnlargingCopiesAtTheSameSize) {
    struct Case {
        std::string name;
        Image image;
        std::array<int, 4> part;  // x, y, width, height of the source in image; width 0: all of it
        int width, height;
        Image expected;
    };
    const Image ramp = Make(4, 1, {0x0A141E, 0x1E2832, 0x6400FF, 0xC8FF01});
    const Image pairs = Make(2, 1, {0x141E28, 0x968080});
    Image board(4, 4, 0xFF0000);  // a checkerboard amid red: only the part is read
    board.Pixels()[5] = board.Pixels()[10] = kMaskColour;
    board.Pixels()[6] = board.Pixels()[9] = 0xFFFFFF;

    // 2 x 2 greys enlarged to 4 x 4: each axis takes the two pixels in these
    // shares, centre to centre.
    const std::array<int, 4> greys{0, 64, 128, 255};
    const double share[4][2] = {{1, 0}, {0.75, 0.25}, {0.25, 0.75}, {0, 1}};
    Image smooth(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            double v = 0;
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) v += share[x][i] * share[y][j] * greys[static_cast<std::size_t>(2 * j + i)];
            smooth.Set(x, y, static_cast<Pixel>(std::lround(v)) * 0x010101);
        }

    std::vector<Case> cases = {
        {"same size: an exact copy, black too", Make(3, 2, {0x102030, 0, 0xFFFFFF, 0x010203, 0xABCDEF, 0x7F0080}),
         {}, 3, 2, Make(3, 2, {0x102030, 0, 0xFFFFFF, 0x010203, 0xABCDEF, 0x7F0080})},
        {"black and white checkerboard to 1x1: mid grey", board, {1, 1, 2, 2}, 1, 1, Make(1, 1, {0x808080})},
        {"4x1 ramp to 2x1: pairs averaged", ramp, {}, 2, 1, pairs},
        {"4x1 ramp to 2x3: shrunk across, enlarged down", ramp, {}, 2, 3,
         Make(2, 3, {0x141E28, 0x968080, 0x141E28, 0x968080, 0x141E28, 0x968080})},
        {"2x2 to 4x4: interpolated, corners kept", Make(2, 2, {0x000000, 0x404040, 0x808080, 0xFFFFFF}), {}, 4, 4,
         smooth},
        {"4096x1 white to 1x4096: the largest sums", Image(kMaxScaleSide, 1, 0xFFFFFF), {}, 1, kMaxScaleSide,
         Image(1, kMaxScaleSide, 0xFFFFFF)},
        {"width 0", ramp, {}, 0, 1, Image()},
        {"height beyond the bound", ramp, {}, 1, kMaxScaleSide + 1, Image()},
        {"an empty source", Image(), {}, 3, 3, Image()},
    };
    const std::array<std::array<int, 2>, 8> sizes{
        {{1, 1}, {2, 9}, {9, 2}, {3, 5}, {37, 37}, {100, 1}, {1, kMaxScaleSide}, {kMaxScaleSide, 3}}};
    for (Pixel colour : {Pixel{0x7F3A11}, Pixel{0xFFFFFF}, kMaskColour})
        for (auto [sw, sh] : {std::array<int, 2>{3, 5}, {1, 1}})
            for (auto [w, h] : sizes) {
                char name[64];
                std::snprintf(name, sizeof name, "%dx%d of %06X to %dx%d", sw, sh, colour, w, h);
                cases.push_back({name, Image(sw, sh, colour), {}, w, h, Image(w, h, colour)});
            }

    for (const Case& k : cases) {
        const ConstImagePart all(k.image);
        const ConstImagePart source = k.part[2] == 0 ? all : all.Part(k.part[0], k.part[1], k.part[2], k.part[3]);
        const Image result = ScaleImage(source, k.width, k.height);
        EXPECT_EQ(Differences(result, k.expected), "") << k.name;
    }
}

}  // namespace
}  // namespace quelder
