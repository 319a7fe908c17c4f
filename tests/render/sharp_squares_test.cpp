#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appearance/board_picture.hpp"
#include "position/new_game.hpp"
#include "position/selection.hpp"
#include "render/board_image.hpp"
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

// Each addition to the look, set on the new game's board and cleared again:
// exactly the squares that show it are drawn, nothing more while the look
// stays, and cleared they are as before, pixel for pixel. Where it shows: a
// destination's dot in the centre of an empty square of either wood, its ring
// at the edge of an occupied one, leaving the centre and the piece; the last
// move's tint, the check's glow (not in the corner) and a circle under the
// piece; an arrow over it. Circles and arrows swapping places draw nothing.
// The open chooser darkens every other square and shows its pieces, whole, on
// a light tile on either wood; moving its focus moves the frame. Flat squares
// draw every square in its colour; a colour changed draws its squares and the
// labels in it on the others; on a pair too close to tell apart the labels,
// the focus frame and a destination still stand out.
TEST(SharpSquares, DrawsEachAdditionToTheLookWhereItShowsAndOnlyThere) {
    testing::Control c;
    NewGame(c.board);
    SharpSquares squares(c.host);
    BoardLook look;
    std::vector<std::int16_t> drawn;
    const auto settle = [&] {
        drawn.clear();
        squares.Settle(c.board, look, [&](PixelSquareView& v) {
            drawn.push_back(static_cast<std::int16_t>(v.KeptCell() + 1));
        });
    };
    const auto kept = [&] {
        std::vector<Image> all(1);  // by index
        for (std::int16_t k = 1; k <= kSquareCount; ++k) all.push_back(c.host.View(k).Kept());
        return all;
    };
    const auto at = [](std::int16_t col, std::int16_t row) { return SquareIndex(col, row); };
    const auto bit = [&](std::int16_t col, std::int16_t row) { return std::uint64_t{1} << (at(col, row) - 1); };
    const auto far = [](Pixel a, Pixel b) {  // the channels' differences summed
        return std::abs(RedOf(a) - RedOf(b)) + std::abs(GreenOf(a) - GreenOf(b)) + std::abs(BlueOf(a) - BlueOf(b));
    };
    // What a square shows after the change against before: its centre pixel,
    // or one at its left edge, changed (or the centre not); the pixels of its
    // piece (its picture where not the mask) as before and others not, or
    // some of them changed; the corner as before; less light by half; the
    // white queen whole on a light tile.
    // Flat squares: the centre in the square's colour; some pixels in the
    // other squares' colour; some far from the square's own.
    enum Probe { Centre, Still, Edge, Under, Over, Corner, Darker, Offered, Flat, Ink, Contrast };
    struct Case {
        std::string what;
        std::function<void(BoardLook&)> from, to;
        std::vector<std::int16_t> drawn;  // in index order
        std::vector<std::pair<std::int16_t, Probe>> probes;
    };
    const auto plain = [](BoardLook&) {};
    const std::vector<ChooserItem> chooser{{at(3, 4), WQueen}, {at(3, 5), WQueen}};
    std::vector<std::int16_t> every;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) every.push_back(k);
    const std::pair<Pixel, Pixel> flat{kDefaultFlatLight, kDefaultFlatDark};
    const std::pair<Pixel, Pixel> blue{kDefaultFlatLight, MakePixel(30, 60, 140)};
    const std::pair<Pixel, Pixel> greys{MakePixel(60, 60, 60), MakePixel(72, 72, 72)};
    // The dark squares, and the light ones with a label (row 8, column 1).
    std::vector<std::int16_t> darkAndLabelled;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        const Square q = SquareOf(k);
        if (SquareColour(q.col, q.row) == kDarkSquare || q.row == 8 || q.col == 1) darkAndLabelled.push_back(k);
    }
    // The square's flat colour and the other squares'.
    const auto colours = [&](std::int16_t index) {
        const Square q = SquareOf(index);
        return SquareColour(q.col, q.row) == kLightSquare ? *look.flat
                                                          : std::make_pair(look.flat->second, look.flat->first);
    };
    for (const Case& k : std::vector<Case>{
             {"destinations", plain, [&](BoardLook& l) { l.destinations = bit(5, 4) | bit(6, 4) | bit(4, 7); },
              {at(5, 4), at(6, 4), at(4, 7)},
              {{at(5, 4), Centre}, {at(6, 4), Centre}, {at(4, 7), Still}, {at(4, 7), Under}, {at(4, 7), Edge}}},
             {"last move", plain, [&](BoardLook& l) { l.lastFrom = at(5, 7), l.lastTo = at(5, 5); },
              {at(5, 5), at(5, 7)}, {{at(5, 5), Centre}, {at(5, 7), Under}}},
             {"picked up by a click", plain, [&](BoardLook& l) { l.picked = at(4, 7); }, {at(4, 7)},
              {{at(4, 7), Under}}},
             {"on its way (animated)", plain, [&](BoardLook& l) { l.hidden = bit(5, 7) | bit(5, 8); },
              {at(5, 7), at(5, 8)}, {{at(5, 7), Over}}},
             {"check", plain, [&](BoardLook& l) { l.check = at(5, 1); }, {at(5, 1)},
              {{at(5, 1), Under}, {at(5, 1), Corner}}},
             {"circle", plain, [](BoardLook& l) { l.shapes = {{Brush::Red, {2, 8}, {2, 8}}}; }, {at(2, 8)},
              {{at(2, 8), Under}, {at(2, 8), Corner}}},
             {"arrow", plain, [](BoardLook& l) { l.shapes = {{Brush::Blue, {2, 1}, {2, 3}}}; },
              {at(2, 1), at(2, 2), at(2, 3)}, {{at(2, 2), Over}}},
             {"circle and arrow swapped",
              [](BoardLook& l) { l.shapes = {{Brush::Green, {4, 4}, {4, 4}}, {Brush::Red, {3, 3}, {5, 5}}}; },
              [](BoardLook& l) { l.shapes = {{Brush::Red, {3, 3}, {5, 5}}, {Brush::Green, {4, 4}, {4, 4}}}; }, {}, {}},
             {"chooser", plain, [&](BoardLook& l) { l.chooser = chooser; }, every,
              {{at(1, 1), Darker}, {at(3, 4), Offered}, {at(3, 5), Offered}}},
             {"chooser focus", [&](BoardLook& l) { l.chooser = chooser; },
              [&](BoardLook& l) { l.chooser = chooser, l.chooserFocus = 1; }, {at(3, 4), at(3, 5)},
              {{at(3, 4), Edge}, {at(3, 5), Edge}}},
             {"flat squares", plain, [&](BoardLook& l) { l.flat = flat; }, every,
              {{at(4, 4), Flat}, {at(4, 5), Flat}, {at(5, 8), Under}}},
             {"a flat colour changed", [&](BoardLook& l) { l.flat = flat, l.coordinates = true; },
              [&](BoardLook& l) { l.flat = blue, l.coordinates = true; }, darkAndLabelled,
              {{at(4, 5), Flat}, {at(1, 3), Ink}, {at(1, 4), Ink}}},
             {"a pair too close to read", plain,
              [&](BoardLook& l) {
                  l.flat = greys, l.coordinates = true, l.focus = at(4, 4), l.focusShown = true,
                  l.destinations = bit(6, 5);
              },
              every, {{at(1, 3), Contrast}, {at(1, 4), Contrast}, {at(4, 4), Contrast}, {at(6, 5), Contrast}}}}) {
        SCOPED_TRACE(k.what);
        look = {};
        k.from(look);
        settle();
        const std::vector<Image> before = kept();
        k.to(look);
        settle();
        EXPECT_EQ(drawn, k.drawn) << "set";
        const std::vector<Image> after = kept();
        for (const auto& [index, probe] : k.probes) {
            const Image &b = before[static_cast<std::size_t>(index)], &a = after[static_cast<std::size_t>(index)];
            const Image& piece =
                testing::BoardImage(probe == Offered ? WQueen : c.board.m_Pieces[static_cast<std::size_t>(index)]);
            const std::pair<Pixel, Pixel> own = look.flat ? colours(index) : std::pair<Pixel, Pixel>{};
            int pieceChanged = 0, otherChanged = 0, light[2] = {0, 0}, inOther = 0, contrasting = 0;
            bool whole = true;
            for (int y = 0; y < a.Height(); ++y)
                for (int x = 0; x < a.Width(); ++x) {
                    const Pixel p = a.At(x, y), q = piece.At(x, y);
                    if (p != b.At(x, y)) ++(q != kMaskColour ? pieceChanged : otherChanged);
                    light[0] += RedOf(b.At(x, y)) + GreenOf(b.At(x, y)) + BlueOf(b.At(x, y));
                    light[1] += RedOf(p) + GreenOf(p) + BlueOf(p);
                    inOther += p == own.second;
                    contrasting += far(p, own.first) >= 120;
                    if (std::min({x, y, 36 - x, 36 - y}) >= 4)  // inside the frame and the rounding
                        whole &= q != kMaskColour ? p == q : std::min({RedOf(p), GreenOf(p), BlueOf(p)}) >= 200;
                }
            constexpr int kMid = 18;  // the centre pixel of a 37-pixel square
            const int centre = far(a.At(kMid, kMid), b.At(kMid, kMid)), edge = far(a.At(1, kMid), b.At(1, kMid));
            const bool seen[] = {centre >= 40, centre == 0, edge >= 40, pieceChanged == 0 && otherChanged > 0,
                                 pieceChanged > 0, a.At(0, 0) == b.At(0, 0), light[1] < light[0] / 2, whole,
                                 a.At(kMid, kMid) == own.first, inOther > 0, contrasting > 0};
            EXPECT_TRUE(seen[probe]) << Where(index) << " probe " << probe << ": centre " << centre << " edge "
                                     << edge << ", changed " << pieceChanged << " of the piece, " << otherChanged
                                     << " else, light " << light[1] << " was " << light[0] << ", centre " << std::hex
                                     << a.At(kMid, kMid) << std::dec << ", " << inOther << " in the other colour, "
                                     << contrasting << " far from the square's";
        }
        settle();
        EXPECT_EQ(drawn, std::vector<std::int16_t>{}) << "again";
        look = {};
        k.from(look);
        settle();
        EXPECT_EQ(drawn, k.drawn) << "cleared";
        const std::vector<Image> cleared = kept();
        for (std::int16_t i = 1; i <= kSquareCount; ++i)
            EXPECT_EQ(cleared[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)]) << Where(i);
    }
}

// The board drawn as a picture of another size is the board laid out and
// drawn at that size, under the sanitizers: marks, an arrow, coordinates and
// the selection, from the other side too.
TEST(SharpSquares, DrawsTheBoardAsAPictureOfAnySize) {
    testing::Control c;
    NewGame(c.board);
    SelectSquare(c.board, 3, 2);
    BoardLook look;
    look.coordinates = true;
    look.marks[static_cast<std::size_t>(SquareIndex(4, 4))] = MakePixel(255, 0, 0);
    look.arrows.push_back({Square{5, 7}, Square{5, 5}, MakePixel(0, 0, 255)});
    SharpSquares squares(c.host);
    squares.Settle(c.board, look, [](PixelSquareView&) {});
    for (const bool flipped : {false, true})
        for (const int size : {64, 296, 400, 1001}) {
            look.flipped = flipped;
            const Image picture = DrawBoardImage(c.host, squares, c.board, look, size);
            EXPECT_EQ(picture.Width(), size) << "flipped " << flipped;
            EXPECT_EQ(picture.Height(), size) << "flipped " << flipped;
        }
}

}  // namespace
}  // namespace quelder
