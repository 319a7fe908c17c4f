#include <limits>

#include "appearance/board_picture.hpp"
#include "position/piece.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;
using testing::ExpectError;

PictureRef Solid(Pixel colour) { return std::make_shared<PixelPicture>(Image(37, 37, colour)); }

// The image list's pictures, numbers 1..Count.
std::vector<PictureRef> Pictures(Control& c) {
    std::vector<PictureRef> out;
    for (std::int32_t k = 1; k <= c.host.ImageList1().Count(); ++k) out.push_back(Picture(c.board, k));
    return out;
}

TEST(BoardPicture, ReadsTheImageListsPictures) {
    Control c;
    EXPECT_EQ(Pictures(c), testing::BoardImages());
    c.host.SetUserMode(false);  // reading works while the host is designed too
    EXPECT_EQ(Picture(c.board, kDarkSquare), testing::BoardImages()[13]);
}

TEST(BoardPicture, ReadingANumberNotHeldFailsWithTheImageListsError) {
    Control c;
    for (std::int32_t number : {0, 15, -1, std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::int32_t>::max()}) {
        ExpectError([&] { Picture(c.board, number); }, error::kIndexOutOfBounds, "Index out of bounds",
                    "Picture(" + std::to_string(number) + ")");
    }
}

TEST(BoardPicture, ReplacingAnImageKeepsEveryOtherNumber) {
    for (std::int32_t number : {1, 2, 7, 13, 14}) {
        Control c;
        const Control::Snapshot before = c.Take();
        const PictureRef replacement = Solid(MakePixel(10, 200, 30));
        SetPicture(c.board, number, replacement);

        std::vector<PictureRef> expected = testing::BoardImages();
        expected[static_cast<std::size_t>(number - 1)] = replacement;
        EXPECT_EQ(Pictures(c), expected) << "Picture(" << number << ")";
        EXPECT_EQ(c.host.changed, std::vector<std::string>{"Picture"}) << "Picture(" << number << ")";
        // Nothing is repainted: the squares keep the old image until painted.
        const Control::Snapshot after = c.Take();
        EXPECT_EQ(after.kept, before.kept) << "Picture(" << number << ")";
        EXPECT_EQ(after.refreshes, before.refreshes) << "Picture(" << number << ")";
        EXPECT_EQ(after.pieces, before.pieces) << "Picture(" << number << ")";
    }
}

TEST(BoardPicture, TheNextPaintingUsesTheReplacement) {
    Control c;
    const Pixel red = MakePixel(250, 0, 0);
    Image queen(37, 37, kMaskColour);
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x) queen.Set(x, y, red);
    SetPicture(c.board, BQueen, std::make_shared<PixelPicture>(queen));
    LetPiece(c.board, 1, 1, BQueen);

    Image expected = testing::BoardImage(kLightSquare);
    DrawTransparent(expected, queen, 0, 0);
    EXPECT_EQ(c.Kept(1, 1), expected) << "the mask colour lets the wood show through";
    EXPECT_EQ(Piece(c.board, 1, 1), BQueen);
}

TEST(BoardPicture, SettingBackWhatWasReadChangesNothing) {
    Control c;
    for (std::int32_t k = 1; k <= 14; ++k) SetPicture(c.board, k, Picture(c.board, k));
    EXPECT_EQ(Pictures(c), testing::BoardImages());
    EXPECT_EQ(c.host.changed.size(), 14u);
}

TEST(BoardPicture, RefusedSetsChangeNothing) {
    struct Case { const char* what; bool designing; std::int32_t number; bool nullPicture; std::int32_t error; const char* text; };
    const Case cases[] = {
        {"at design time", true, 3, false, error::kSetNotSupportedReadOnly, "Set not supported (read-only property)"},
        {"number 0", false, 0, false, error::kIndexOutOfBounds, "Index out of bounds"},
        {"number 15", false, 15, false, error::kIndexOutOfBounds, "Index out of bounds"},
        {"number -2147483648", false, std::numeric_limits<std::int32_t>::min(), false, error::kIndexOutOfBounds,
         "Index out of bounds"},
        // The insertion refuses no object after the removal: the removed
        // image goes back, so nothing moves.
        {"no object for 1", false, 1, true, error::kInvalidPropertyValue, "Invalid property value"},
        {"no object for 7", false, 7, true, error::kInvalidPropertyValue, "Invalid property value"},
        {"no object for 14", false, 14, true, error::kInvalidPropertyValue, "Invalid property value"},
    };
    for (const Case& k : cases) {
        Control c;
        c.host.SetUserMode(!k.designing);
        const Control::Snapshot before = c.Take();
        const PictureRef picture = k.nullPicture ? PictureRef{} : Solid(MakePixel(1, 1, 1));
        ExpectError([&] { SetPicture(c.board, k.number, picture); }, k.error, k.text, k.what);
        EXPECT_EQ(Pictures(c), testing::BoardImages()) << k.what;
        EXPECT_TRUE(c.host.changed.empty()) << k.what << ": " << c.host.changed.size() << " notifications";
        EXPECT_TRUE(c.Take() == before) << k.what;
    }
}

}  // namespace
}  // namespace quelder
