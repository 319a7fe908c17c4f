#include "drawing/board_art.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "drawing/bmp_codec.hpp"

namespace quelder {
namespace {

Image Resource(const std::string& name) {
    return DecodeBmp(ReadFileBytes((std::string(QUELDER_RESOURCE_DIR) + "/" + name).c_str()));
}

std::string BoardName(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "board_%02d.bmp", n);
    return name;
}

// Empty when the pictures are equal, else where and how they first differ.
std::string FirstDifference(const Image& drawn, const Image& file) {
    char text[96];
    if (drawn.Width() != file.Width() || drawn.Height() != file.Height()) {
        std::snprintf(text, sizeof text, "drawn %dx%d, file %dx%d", drawn.Width(), drawn.Height(), file.Width(), file.Height());
        return text;
    }
    for (int y = 0; y < drawn.Height(); ++y)
        for (int x = 0; x < drawn.Width(); ++x)
            if (drawn.At(x, y) != file.At(x, y)) {
                std::snprintf(text, sizeof text, "at %d,%d drawn %06X, file %06X", x, y, static_cast<unsigned>(drawn.At(x, y)),
                              static_cast<unsigned>(file.At(x, y)));
                return text;
            }
    return "";
}

// At every size each picture is as large as the square, a square covers all
// of it and a piece shows the mask colour exactly where it covers nothing.
// At 37 pixels the pictures are the committed files, in whole pixels; at
// other sizes the pieces' edges are smoothed over many levels of coverage.
TEST(BoardArt, EverySizeAnd37AreTheEmbeddedImages) {
    for (int size : {20, 37, 64, 100, 150}) {
        const std::vector<BoardPicture> pictures = DrawBoardPictures(size);
        ASSERT_EQ(pictures.size(), 14u) << "at " << size;
        for (int n = 1; n <= 14; ++n) {
            SCOPED_TRACE("picture " + std::to_string(n) + " at " + std::to_string(size));
            const BoardPicture& p = pictures[static_cast<std::size_t>(n - 1)];
            ASSERT_EQ(p.image.Width(), size);
            ASSERT_EQ(p.image.Height(), size);
            ASSERT_EQ(p.coverage.size(), static_cast<std::size_t>(size * size));
            std::set<int> levels;
            for (std::size_t i = 0; i < p.coverage.size(); ++i) {
                ASSERT_EQ(p.coverage[i] == 0, p.image.Pixels()[i] == kMaskColour)
                    << "pixel " << i << " coverage " << int{p.coverage[i]} << " colour " << std::hex << p.image.Pixels()[i];
                levels.insert(p.coverage[i]);
            }
            if (n == 1 || n == 14)
                EXPECT_EQ(levels, (std::set<int>{255}));
            else if (size == 37)
                EXPECT_EQ(levels, (std::set<int>{0, 255}));
            else
                EXPECT_GE(levels.size(), 10u) << "levels of coverage";
            if (size == 37) {
                EXPECT_EQ(FirstDifference(p.image, Resource(BoardName(n))), "");
            }
        }
    }
    EXPECT_EQ(FirstDifference(DrawToolboxPicture(), Resource("toolbox.bmp")), "");
    EXPECT_EQ(FirstDifference(DrawAboutPicture(), Resource("about.bmp")), "");
    EXPECT_THROW(DrawBoardPicture(0, 37), std::out_of_range);
    EXPECT_THROW(DrawBoardPicture(15, 37), std::out_of_range);
    EXPECT_THROW(DrawBoardPicture(1, 0), std::out_of_range);
}

// Across the cream rook's tower, from the ground to the body: one outline
// pixel at 37, and at most two pixels between ground and body at larger
// sizes (the 37-pixel picture stretched to 100 would take three). Laid over
// a square, the smoothed edge mixes with the wood under it; a whole-pixel
// piece is laid as with the mask colour.
TEST(BoardArt, OutlineStaysAPixelWide) {
    for (const auto& [size, widest] : {std::pair{37, 1}, std::pair{64, 2}, std::pair{100, 2}}) {
        SCOPED_TRACE("at " + std::to_string(size));
        const BoardPicture rook = DrawBoardPicture(9, size);
        const BoardPicture wood = DrawBoardPicture(1, size);
        Image laid = wood.image;
        DrawCovered(laid, rook, 0, 0);
        const int y = static_cast<int>(21.0 * size / 37);  // design row 21
        const auto covered = [&](int x) { return rook.coverage[static_cast<std::size_t>(y * size + x)]; };
        const auto body = [&](int x) { return RedOf(rook.image.At(x, y)) >= 200; };  // cream, not the dark outline
        for (const int step : {1, -1}) {
            int first = step > 0 ? 0 : size - 1;
            while (covered(first) == 0) first += step;
            int inner = first;
            while (!body(inner)) inner += step;
            const int between = (inner - first) * step;
            EXPECT_GE(between, 1) << "from " << first;
            EXPECT_LE(between, widest) << "from " << first;
            const Pixel under = wood.image.At(first, y), edge = laid.At(first, y);
            if (size == 37) {
                EXPECT_EQ(edge, rook.image.At(first, y));
            } else {
                ASSERT_LT(covered(first), 255) << "at " << first;
                EXPECT_GT(RedOf(edge), 40) << "over " << std::hex << under;  // the outline's red, mixed with black only
                EXPECT_LT(RedOf(edge), RedOf(under)) << "over " << std::hex << under;
            }
        }
        if (size == 37) {
            Image masked = wood.image;
            DrawTransparent(masked, rook.image, 0, 0);
            EXPECT_EQ(FirstDifference(laid, masked), "");
        }
    }
}

}  // namespace
}  // namespace quelder
