#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;

TEST(Construction, SizesTheSurfaceAndLaysOutTheGrid) {
    Control c;
    EXPECT_EQ(c.host.Width(), 296.0f);
    EXPECT_EQ(c.host.Height(), 296.0f);
    struct Case { std::int16_t index; float left, top; std::int16_t colour; };
    const Case corners[] = {
        {1, 0, 0, kLightSquare}, {8, 259, 0, kDarkSquare}, {9, 0, 37, kDarkSquare},
        {57, 0, 259, kDarkSquare}, {64, 259, 259, kLightSquare},
    };
    for (const Case& k : corners) {
        const PixelSquareView& v = c.host.View(k.index);
        EXPECT_EQ(v.Left(), k.left) << "Check(" << k.index << ")";
        EXPECT_EQ(v.Top(), k.top) << "Check(" << k.index << ")";
        EXPECT_EQ(v.Kept(), testing::BoardImage(k.colour)) << "Check(" << k.index << ") colour";
    }
    for (std::int16_t k = 1; k <= 64; ++k) {
        const PixelSquareView& v = c.host.View(k);
        const Square s = SquareOf(k);
        EXPECT_TRUE(v.Visible()) << "Check(" << k << ")";
        EXPECT_EQ(v.Left(), (s.col - 1) * 37.0f) << "Check(" << k << ")";
        EXPECT_EQ(v.Top(), (s.row - 1) * 37.0f) << "Check(" << k << ")";
        EXPECT_EQ(v.Width(), 37.0f) << "Check(" << k << ")";
        EXPECT_EQ(v.Kept(), testing::BoardImage(SquareColour(s.col, s.row))) << "Check(" << k << ")";
        EXPECT_EQ(c.host.Refreshes(k), 0) << "Check(" << k << ") refreshed";
    }
}

TEST(Construction, StartsWithAnEmptyUnselectedBoardAndTellsNobody) {
    Control c;
    EXPECT_EQ(c.board.m_Pieces[0], 0);
    for (std::int16_t k = 1; k <= 64; ++k) {
        EXPECT_EQ(c.board.m_Pieces[static_cast<std::size_t>(k)], None) << "square " << k;
        EXPECT_EQ(c.board.m_Selected[static_cast<std::size_t>(k)], kFalse) << "square " << k;
    }
    EXPECT_EQ(c.board.m_Piece, 0);
    EXPECT_EQ(c.board.m_IsSelected, kFalse);
    EXPECT_EQ(c.board.m_Picture, nullptr);
    EXPECT_TRUE(c.host.changed.empty()) << c.host.changed.size() << " notifications";
    EXPECT_TRUE(c.host.events.empty());
    ASSERT_EQ(c.host.loads.size(), 63u);
    for (std::size_t i = 0; i < 63; ++i) EXPECT_EQ(c.host.loads[i], static_cast<std::int16_t>(i + 2));
}

TEST(Construction, BuildsTheSameBoardAtDesignTime) {
    Control running;
    MemoryHost host(testing::BoardImages());
    host.SetUserMode(false);
    Board board(host);
    UserControl_Initialize(board);
    EXPECT_EQ(host.Compose(), running.host.Compose());
}

TEST(Construction, ComposedBoardShowsTheWoodPattern) {
    Control c;
    const Image surface = c.host.Compose();
    ASSERT_EQ(surface.Width(), 296);
    ASSERT_EQ(surface.Height(), 296);
    for (std::int16_t k = 1; k <= 64; ++k) {
        const Square s = SquareOf(k);
        const Image& wood = testing::BoardImage(SquareColour(s.col, s.row));
        const int x = (s.col - 1) * 37 + 18, y = (s.row - 1) * 37 + 18;
        EXPECT_EQ(surface.At(x, y), wood.At(18, 18)) << "square " << k;
    }
    testing::SaveArtifact(surface, "empty_board");
}

}  // namespace
}  // namespace quelder
