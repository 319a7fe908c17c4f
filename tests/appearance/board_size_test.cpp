#include <limits>

#include "appearance/board_size.hpp"
#include "position/new_game.hpp"
#include "position/selection.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;
using testing::ExpectError;

struct Geometry {
    float left, top, width, height;
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

std::vector<Geometry> Layout(const Control& c) {
    std::vector<Geometry> out;
    for (std::int16_t k = 1; k <= 64; ++k) {
        const PixelSquareView& v = c.host.View(k);
        out.push_back({v.Left(), v.Top(), v.Width(), v.Height()});
    }
    return out;
}

TEST(BoardSize, LaysTheSquaresOutFromTheInnerHeight) {
    struct Case { std::int32_t dimension; float edge; };
    // 296 gives back the squares the board starts with; 300 a fractional edge,
    // handed to the views exactly as 37.5 and its multiples.
    const Case cases[] = {{400, 50}, {296, 37}, {300, 37.5f}, {8, 1}, {0, 0}};
    for (const Case& k : cases) {
        Control c;
        ChangeBoardSize(c.board, k.dimension);
        EXPECT_EQ(c.host.Height(), static_cast<float>(k.dimension));
        EXPECT_EQ(c.host.Width(), static_cast<float>(k.dimension));
        for (std::int16_t i = 1; i <= 64; ++i) {
            const PixelSquareView& v = c.host.View(i);
            const Square s = SquareOf(i);
            const Geometry expected{(s.col - 1) * k.edge, (s.row - 1) * k.edge, k.edge, k.edge};
            const Geometry got{v.Left(), v.Top(), v.Width(), v.Height()};
            EXPECT_EQ(got, expected) << "Dimension " << k.dimension << ", Check(" << i << ") at " << got.left << ", "
                                     << got.top << " size " << got.width << " x " << got.height;
            EXPECT_EQ(c.host.Refreshes(i), 1) << "Dimension " << k.dimension << ", Check(" << i << ")";
        }
    }
}

TEST(BoardSize, TopsOfAFractionalEdgeAreTheExactMultiples) {
    Control c;
    ChangeBoardSize(c.board, 300);
    const float tops[] = {0.0f, 37.5f, 75.0f, 112.5f, 150.0f, 187.5f, 225.0f, 262.5f};
    for (std::int16_t row = 1; row <= 8; ++row) {
        for (std::int16_t col = 1; col <= 8; ++col) {
            EXPECT_EQ(c.View(col, row).Top(), tops[row - 1]) << "(" << col << ", " << row << ")";
            EXPECT_EQ(c.View(col, row).Left(), tops[col - 1]) << "(" << col << ", " << row << ")";
        }
    }
}

TEST(BoardSize, ChangesGeometryOnlyAndDoesNotScaleThePictures) {
    Control c;
    NewGame(c.board);
    SelectSquare(c.board, 2, 7);
    const Control::Snapshot before = c.Take();
    // The kept image is the view's size and holds the picture at its own size
    // in the top-left corner, as far as the smallest squares so far showed
    // it: what a smaller square let go of shows the background until the
    // square is painted again.
    struct Step {
        std::int32_t dimension;
        int edge, kept;
    };
    for (const Step step : {Step{400, 50, 37}, Step{100, 13, 13}, Step{296, 37, 13}}) {
        const std::int32_t dimension = step.dimension;
        ChangeBoardSize(c.board, dimension);
        const Control::Snapshot after = c.Take();
        EXPECT_EQ(after.pieces, before.pieces) << "Dimension " << dimension;
        EXPECT_EQ(after.selected, before.selected) << "Dimension " << dimension;
        EXPECT_EQ(after.changes, before.changes) << "Dimension " << dimension << ": notified";
        for (std::int16_t k = 1; k <= 64; ++k) {
            const Image& kept = c.host.View(k).Kept();
            Image expected(step.edge, step.edge, kButtonFace);
            expected.Copy(ConstImagePart(before.kept[static_cast<std::size_t>(k - 1)]).Part(0, 0, step.kept, step.kept),
                          0, 0);
            EXPECT_TRUE(kept == expected) << "Dimension " << dimension << ", square " << k << ": kept " << kept.Width()
                                          << " x " << kept.Height() << ", pixel (12, 12) " << std::hex
                                          << (kept.Contains(12, 12) ? kept.At(12, 12) : 0u);
        }
        EXPECT_TRUE(c.host.events.empty());
    }
    // Squares larger than the pictures show the view's background beyond them.
    NewGame(c.board);
    ChangeBoardSize(c.board, 400);
    const Image surface = c.host.Compose();
    EXPECT_EQ(surface.At(45, 45), kButtonFace) << std::hex << surface.At(45, 45);
    EXPECT_EQ(surface.At(20, 20), testing::ExpectedSquare(1, 1, Brook).At(20, 20)) << std::hex << surface.At(20, 20);
    testing::SaveArtifact(surface, "board_400");
}

// A size the surface refuses, or whose squares' kept images cannot be had
// (32,767 pixels: 4 GiB), changes nothing, not even the memory held.
TEST(BoardSize, ASizeTheSurfaceOrTheMemoryRefusesChangesNothing) {
    struct Case {
        std::int32_t dimension;
        std::int32_t error;
        const char* description;
    };
    const Case cases[] = {{-1, error::kInvalidPropertyValue, "Invalid property value"},
                          {32768, error::kInvalidPropertyValue, "Invalid property value"},
                          {std::numeric_limits<std::int32_t>::max(), error::kInvalidPropertyValue, "Invalid property value"},
                          {std::numeric_limits<std::int32_t>::min(), error::kInvalidPropertyValue, "Invalid property value"},
                          {32767, error::kOutOfMemory, "Out of memory"}};
    for (const Case& k : cases) {
        const std::int32_t dimension = k.dimension;
        Control c;
        ChangeBoardSize(c.board, 300);
        const std::vector<Geometry> layout = Layout(c);
        const Control::Snapshot before = c.Take();
        const int cell = c.host.Sheet().CellWidth();
        ExpectError([&] { ChangeBoardSize(c.board, dimension); }, k.error, k.description,
                    "Dimension " + std::to_string(dimension));
        EXPECT_EQ(c.host.Height(), 300.0f) << "Dimension " << dimension;
        EXPECT_EQ(c.host.Width(), 300.0f) << "Dimension " << dimension;
        EXPECT_TRUE(Layout(c) == layout) << "Dimension " << dimension << ": the squares moved";
        EXPECT_TRUE(c.Take() == before) << "Dimension " << dimension << ": something was repainted or refreshed";
        EXPECT_EQ(c.host.Sheet().CellWidth(), cell) << "Dimension " << dimension << ": the sheet was laid out again";
        EXPECT_EQ(c.host.Sheet().CellHeight(), cell) << "Dimension " << dimension << ": the sheet was laid out again";
    }
}

}  // namespace
}  // namespace quelder
