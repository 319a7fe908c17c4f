#include <memory>
#include <string>
#include <vector>

#include "appearance/board_picture.hpp"
#include "position/new_game.hpp"
#include "position/selection.hpp"
#include "render/sharp_squares.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

std::string Where(std::int16_t index) {
    const Square s = SquareOf(index);
    return "square (" + std::to_string(s.col) + ", " + std::to_string(s.row) + ")";
}

// At 37-pixel squares the board class draws what the published code drew, the
// selection included. A square is drawn again only when what it shows
// changes: a host's picture reaches the squares of its number, fitted to
// them, and nothing else. Each picture replaced is let go of, with what was
// drawn from it, once the squares show the next.
TEST(SharpSquares, DrawsAsThePublishedCodeAndKeepsOnlyThePicturesSet) {
    testing::Control c;
    NewGame(c.board);
    SelectSquare(c.board, 3, 2);
    std::vector<Image> published;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) published.push_back(c.host.View(k).Kept());

    SharpSquares squares(c.host);
    const BoardLook look;
    std::vector<std::int16_t> drawn;
    const auto settle = [&] {
        drawn.clear();
        squares.Settle(c.board, look, [&](PixelSquareView& v) {
            drawn.push_back(static_cast<std::int16_t>(v.KeptCell() + 1));
        });
    };
    settle();
    EXPECT_EQ(drawn.size(), 64u) << "a new renderer draws every square";
    for (std::int16_t k = 1; k <= kSquareCount; ++k)
        EXPECT_EQ(c.host.View(k).Kept(), published[static_cast<std::size_t>(k - 1)]) << Where(k);
    settle();
    EXPECT_TRUE(drawn.empty()) << drawn.size() << " squares drawn again, nothing changed, the first "
                               << (drawn.empty() ? std::string() : Where(drawn[0]));

    // The red pawns stand on row 2, (3, 2) selected.
    std::vector<std::int16_t> pawns;
    for (std::int16_t col = 1; col <= 8; ++col) pawns.push_back(SquareIndex(col, 2));
    std::vector<std::weak_ptr<const PictureObject>> set;
    for (const Pixel colour : {MakePixel(200, 30, 30), MakePixel(30, 200, 30), MakePixel(30, 30, 200)}) {
        auto picture = std::make_shared<PixelPicture>(Image(20, 20, colour));
        SetPicture(c.board, Bpawn, picture);
        set.push_back(picture);
        picture.reset();  // the image list holds it now
        settle();
        EXPECT_EQ(drawn, pawns) << "colour " << std::hex << colour;
        // Fitted: 20 pixels grown to the whole square.
        EXPECT_EQ(c.Kept(1, 2).At(36, 36), colour) << std::hex << c.Kept(1, 2).At(36, 36);
    }
    for (std::size_t k = 0; k + 1 < set.size(); ++k) EXPECT_TRUE(set[k].expired()) << "picture " << k << " is kept";
    EXPECT_FALSE(set.back().expired());
}

}  // namespace
}  // namespace quelder
