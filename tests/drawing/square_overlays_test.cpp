#include "drawing/square_overlays.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "drawing/scaling.hpp"

namespace quelder {
namespace {

// under mixed with colour by alpha / 255, as a translucent overlay is expected to look.
Pixel Over(Pixel under, Pixel colour, int alpha) {
    const auto mix = [alpha](int u, int c) {
        return static_cast<std::uint8_t>((c * alpha + u * (255 - alpha) + 127) / 255);
    };
    return MakePixel(mix(RedOf(under), RedOf(colour)), mix(GreenOf(under), GreenOf(colour)),
                     mix(BlueOf(under), BlueOf(colour)));
}

bool Near(Pixel a, Pixel b, int tolerance) {
    return std::abs(RedOf(a) - RedOf(b)) <= tolerance && std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
}

// A red picture whose columns from 3 on are the mask, fitted to squares of
// several sizes and laid over blue: each pixel is red and blue mixed by its
// coverage, never darker (no rim), and in the selected style red mixed with
// white first. At its own size the copy is exact and selects as DrawSelected.
TEST(SquareOverlays, FittedPictureLaysWithoutARimAndSelectsLikeWholePixels) {
    const Pixel red = MakePixel(255, 0, 0), blue = MakePixel(0, 0, 255), white = MakePixel(255, 255, 255);
    Image picture(8, 8, red);
    Fill(ImagePart(picture).Part(3, 0, 5, 8), kMaskColour);
    for (const auto& [width, height] : {std::pair{8, 8}, std::pair{4, 4}, std::pair{5, 3}, std::pair{13, 20}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const BoardPicture fitted = FitPicture(picture, width, height);
        ASSERT_TRUE(fitted.image.Width() == width && fitted.image.Height() == height &&
                    fitted.coverage.size() == static_cast<std::size_t>(width * height))
            << fitted.image.Width() << "x" << fitted.image.Height() << ", coverage " << fitted.coverage.size();
        Image laid(width, height, blue), selected(width, height, blue);
        DrawCovered(laid, fitted, 0, 0);
        DrawSelectedCovered(selected, fitted, 0, 0, white);
        std::set<int> levels;
        for (std::size_t i = 0; i < fitted.coverage.size(); ++i) {
            const int c = fitted.coverage[i];
            levels.insert(c);
            EXPECT_TRUE(Near(laid.Pixels()[i], Over(blue, red, c), 1))
                << "pixel " << i << " coverage " << c << " laid " << std::hex << laid.Pixels()[i];
            EXPECT_TRUE(Near(selected.Pixels()[i], Over(blue, MakePixel(255, 128, 128), c), 2))
                << "pixel " << i << " coverage " << c << " selected " << std::hex << selected.Pixels()[i];
        }
        EXPECT_EQ(levels.size() > 2, width != 8) << "levels " << levels.size();
        if (width == 8) {
            EXPECT_EQ(fitted.image, picture);
            Image whole(8, 8, blue);
            DrawSelected(whole, picture, 0, 0, white);
            EXPECT_EQ(selected, whole);
        }
    }
    for (const auto& [w, h, source] :
         {std::tuple{4, 4, Image()}, std::tuple{0, 4, picture}, std::tuple{4, kMaxScaleSide + 1, picture}}) {
        const BoardPicture none = FitPicture(source, w, h);
        EXPECT_TRUE(none.image.Empty() && none.coverage.empty()) << w << "x" << h << " gave " << none.image.Width();
    }
}

// A tint mixes every pixel by its clamped alpha. A label is LabelWidth x
// height and draws nowhere else; at 7 pixels its cells are whole pixels, and
// at every height each glyph covers the same share of its box, the 16 glyphs
// stay distinct and clipping cuts the same pixels. Other characters draw nothing.
TEST(SquareOverlays, TintsAndLabelsAtEveryHeight) {
    const Pixel ground = MakePixel(0, 100, 200), colour = MakePixel(255, 0, 100), white = MakePixel(255, 255, 255);
    for (const auto& [alpha, expected] :
         {std::pair{-5, ground}, std::pair{0, ground}, std::pair{51, MakePixel(51, 80, 180)}, std::pair{255, colour},
          std::pair{300, colour}}) {
        Image image(3, 2, ground);
        Tint(image, colour, alpha);
        EXPECT_EQ(image, Image(3, 2, expected)) << "alpha " << alpha << " gave " << std::hex << image.At(0, 0);
    }
    for (const auto& [height, width] :
         {std::pair{0, 4}, std::pair{5, 4}, std::pair{7, 5}, std::pair{14, 10}, std::pair{100, 71}})
        EXPECT_EQ(LabelWidth(height), width) << "height " << height;
    const auto draw = [white](char glyph, int height) {  // with 2 pixels around
        Image image(LabelWidth(height) + 4, std::max(height, 5) + 4);
        DrawLabel(image, glyph, 2, 2, height, white);
        return image;
    };
    const auto lit = [](ConstImagePart part) {  // in whole pixels
        double sum = 0;
        for (int y = 0; y < part.Height(); ++y)
            for (int x = 0; x < part.Width(); ++x) sum += RedOf(part.At(x, y)) / 255.0;
        return sum;
    };
    const std::string glyphs = "abcdefgh12345678";
    for (const int height : {1, 5, 7, 14, 23, 100}) {
        std::set<std::vector<Pixel>> distinct;
        for (const char glyph : glyphs) {
            SCOPED_TRACE(std::string("glyph ") + glyph + " at " + std::to_string(height));
            const Image image = draw(glyph, height);
            const int w = image.Width() - 4, h = image.Height() - 4;
            const double inside = lit(ConstImagePart(image).Part(2, 2, w, h));
            EXPECT_EQ(lit(image), inside) << "outside the box";
            EXPECT_NEAR(inside / (w * h), lit(draw(glyph, 7)) / 35, 0.01) << "share of the box";
            EXPECT_TRUE(height != 7 || std::all_of(image.Pixels().begin(), image.Pixels().end(),
                                                   [white](Pixel p) { return p == 0 || p == white; }))
                << "levels at 7 pixels, lit " << inside;
            distinct.insert(image.Pixels());
            Image clipped(image.Width() / 2, image.Height() / 2);
            DrawLabel(clipped, glyph, -1, -1, height, white);
            EXPECT_EQ(clipped, ToImage(ConstImagePart(image).Part(3, 3, clipped.Width(), clipped.Height())));
        }
        EXPECT_EQ(distinct.size(), glyphs.size()) << "at " << height;
    }
    for (const char other : {'i', 'A', '0', '9', ' ', '\0'})
        EXPECT_EQ(draw(other, 14), Image(14, 18)) << "glyph " << int{other};
}

// Arrows over a board of 13-pixel squares, drawn into each square's image,
// are the arrow drawn once over the board. Probed by how far back from the
// tip and aside: near the tip, in the head beside the shaft, at the seam of
// shaft and head and mid-shaft the colour shows (mixed once by alpha at the
// seam and mid-shaft); past the tip and beside the shaft behind the head it
// does not, nor anywhere farther than the head's half-width. The coverage,
// read from red (0 in the arrows), adds up to the area of shaft and head. An
// arrow of no length or with a coordinate that is not a number draws nothing.
TEST(SquareOverlays, ArrowDrawnSquareBySquareIsTheArrowDrawnOverTheBoard) {
    constexpr int kSquare = 13, kBoard = 8 * kSquare;
    Image ground(kBoard, kBoard);
    for (int y = 0; y < kBoard; ++y)
        for (int x = 0; x < kBoard; ++x)
            ground.Set(x, y, (x / kSquare + y / kSquare) % 2 ? MakePixel(90, 60, 30) : MakePixel(230, 200, 150));
    const auto between = [](int file0, int rank0, int file1, int rank1, double width, Pixel colour, int alpha) {
        const auto at = [](int square) { return (square + 0.5) * kSquare; };
        return Arrow{at(file0), at(7 - rank0), at(file1), at(7 - rank1), width, colour, alpha};
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Arrow& arrow :
         {between(4, 1, 4, 3, 3.5, MakePixel(0, 160, 0), 160), between(0, 0, 7, 7, 4, MakePixel(0, 0, 200), 255),
          between(6, 0, 5, 2, 2.7, MakePixel(0, 0, 255), 128),
          Arrow{99.3, 20.1, 3.7, 24.9, 5, MakePixel(0, 255, 255), 200},
          Arrow{50.5, 50.5, 50.5, 50.5, 4, MakePixel(0, 0, 255), 255},
          Arrow{nan, 10, 60, 60, 4, MakePixel(0, 0, 255), 255}}) {
        SCOPED_TRACE("arrow to " + std::to_string(arrow.toX) + "," + std::to_string(arrow.toY));
        Image whole = ground;
        DrawArrowPart(whole, 0, 0, arrow);
        for (int r = 0; r < 8; ++r)
            for (int f = 0; f < 8; ++f) {
                Image square = ToImage(ConstImagePart(ground).Part(f * kSquare, r * kSquare, kSquare, kSquare));
                DrawArrowPart(square, f * kSquare, r * kSquare, arrow);
                const Image cut = ToImage(ConstImagePart(whole).Part(f * kSquare, r * kSquare, kSquare, kSquare));
                ASSERT_EQ(square, cut) << "square " << f << "," << r;
            }
        const double dx = arrow.toX - arrow.fromX, dy = arrow.toY - arrow.fromY, length = std::hypot(dx, dy);
        if (!(length > 0)) {
            EXPECT_EQ(whole, ground);
            continue;
        }
        const double w = arrow.width, ux = dx / length, uy = dy / length;
        struct Probe {
            double back, aside;
            int shows;  // 0 not at all, 1 some, 2 mixed once by alpha
        };
        for (const auto& [back, aside, shows] :
             {Probe{1.5, 0, 1}, Probe{-1.5, 0, 0}, Probe{2 * w, w, 1}, Probe{2.2 * w + 2, 1.2 * w, 0},
              Probe{2.2 * w, 0, 2}, Probe{length / 2, 0, 2}}) {
            const int x = static_cast<int>(arrow.toX - ux * back - uy * aside);
            const int y = static_cast<int>(arrow.toY - uy * back + ux * aside);
            const Pixel seen = whole.At(x, y), under = ground.At(x, y);
            EXPECT_TRUE(shows == 2 ? Near(seen, Over(under, arrow.colour, arrow.alpha), 1)
                                   : (seen != under) == (shows == 1))
                << back << " back, " << aside << " aside at " << x << "," << y << ": " << std::hex << seen << " over "
                << under;
        }
        double area = 0;
        for (int y = 0; y < kBoard; ++y)
            for (int x = 0; x < kBoard; ++x) {
                const double px = x + 0.5 - arrow.fromX, py = y + 0.5 - arrow.fromY;
                const double t = std::clamp((px * dx + py * dy) / (length * length), 0.0, 1.0);
                const double away = std::hypot(px - t * dx, py - t * dy);
                const int under = RedOf(ground.At(x, y)), seen = RedOf(whole.At(x, y));
                EXPECT_TRUE(away <= 1.5 * w + 1 || seen == under) << "at " << x << "," << y << ", " << away << " away";
                area += (under - seen) * 255.0 / (under * arrow.alpha);
            }
        EXPECT_NEAR(area, w * (length - 2.2 * w) + 3.3 * w * w, 0.02 * w * length) << "covered area";
    }
}

// Rings, discs and tiles with rounded corners over a graded ground, each
// against the geometry it is meant to have: every pixel whose centre lies
// more than 0.75 inside is mixed once by alpha, every one more than 0.75
// outside is left, and the coverage, read from red (0 in the shapes), adds up
// to the shape's area. A glow is mixed by alpha at the centre, falls along
// the row out from it, shows well through the inner half of the way to the
// smaller side's half and leaves every pixel from there out.
// Shapes of no size, with a value that is not a number or with no alpha draw
// nothing.
TEST(SquareOverlays, RingsTilesAndGlowsCoverTheirShapes) {
    constexpr int kW = 41, kH = 37;
    Image ground(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ground.Set(x, y,
                       MakePixel(static_cast<std::uint8_t>(60 + 4 * x), 100, static_cast<std::uint8_t>(40 + 5 * y)));
    const Pixel colour = MakePixel(0, 40, 200);
    const double pi = std::acos(-1.0), nan = std::numeric_limits<double>::quiet_NaN();
    using Depth = std::function<double(double, double)>;
    const auto ring = [](double cx, double cy, double outer, double inner) -> Depth {
        return [=](double x, double y) {
            const double r = std::hypot(x - cx, y - cy);
            return inner > 0 ? std::min(outer - r, r - inner) : outer - r;
        };
    };
    const auto tile = [](double r) -> Depth {  // how far inside the corners' rounding or the straight edges
        return [=](double x, double y) {
            return r - std::hypot(x - std::clamp(x, r, kW - r), y - std::clamp(y, r, kH - r));
        };
    };
    const Depth nothing = [](double, double) { return -1e9; };
    struct Shape {
        std::string what;
        std::function<void(ImagePart)> draw;
        Depth depth;
        int alpha;
        double area;
    };
    for (const Shape& s : std::vector<Shape>{
             {"ring", [&](ImagePart i) { DrawRing(i, 20.5, 18, 15, 11, colour, 150); }, ring(20.5, 18, 15, 11), 150,
              pi * (15 * 15 - 11 * 11)},
             {"disc", [&](ImagePart i) { DrawRing(i, 17.3, 20.1, 6.2, 0, colour, 90); }, ring(17.3, 20.1, 6.2, 0), 90,
              pi * 6.2 * 6.2},
             {"thin ring", [&](ImagePart i) { DrawRing(i, 20, 19, 9.6, 8.4, colour, 400); }, ring(20, 19, 9.6, 8.4),
              255, pi * (9.6 * 9.6 - 8.4 * 8.4)},
             {"tile", [&](ImagePart i) { FillRounded(i, 9, colour); }, tile(9), 255, kW * kH - (4 - pi) * 9 * 9},
             {"tile rounded at most to half its height", [&](ImagePart i) { FillRounded(i, 100, colour); },
              tile(kH / 2.0), 255, kW * kH - (4 - pi) * kH * kH / 4},
             {"square tile", [&](ImagePart i) { FillRounded(i, nan, colour); }, tile(0), 255, kW * kH},
             {"no radius", [&](ImagePart i) { DrawRing(i, 20, 18, 0, -1, colour, 255); }, nothing, 255, 0},
             {"inner past outer", [&](ImagePart i) { DrawRing(i, 20, 18, 9, 9, colour, 255); }, nothing, 255, 0},
             {"not a number", [&](ImagePart i) { DrawRing(i, nan, 18, 9, 3, colour, 255); }, nothing, 255, 0},
             {"no alpha", [&](ImagePart i) { DrawRing(i, 20, 18, 9, 3, colour, -4); }, nothing, 255, 0}}) {
        SCOPED_TRACE(s.what);
        Image image = ground;
        s.draw(image);
        double area = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const double depth = s.depth(x + 0.5, y + 0.5);
                const Pixel seen = image.At(x, y), under = ground.At(x, y);
                EXPECT_TRUE(depth > 0.75    ? Near(seen, Over(under, colour, s.alpha), 1)
                            : depth < -0.75 ? seen == under
                                            : true)
                    << "at " << x << "," << y << ", " << depth << " inside: " << std::hex << seen << " over " << under;
                area += (RedOf(under) - RedOf(seen)) * 255.0 / (RedOf(under) * s.alpha);
            }
        EXPECT_NEAR(area, s.area, 0.5 + 0.01 * s.area) << "covered area";
    }
    for (const auto& [w, h] : {std::pair{37, 37}, std::pair{30, 20}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Image plain = ToImage(ConstImagePart(ground).Part(0, 0, w, h));
        Image glow = plain;
        DrawGlow(glow, colour, 200);
        const double reach = std::min(w, h) / 2.0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_TRUE(std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) < reach || glow.At(x, y) == plain.At(x, y))
                    << "at " << x << "," << y << std::hex << ": " << glow.At(x, y);
        const int cx = w / 2, cy = h / 2;
        EXPECT_TRUE(Near(glow.At(cx, cy), Over(plain.At(cx, cy), colour, 200), 2))
            << "centre " << std::hex << glow.At(cx, cy);
        double last = 2;
        for (int x = cx; x < w; ++x) {
            const double shown = 1 - RedOf(glow.At(x, cy)) / static_cast<double>(RedOf(plain.At(x, cy)));
            EXPECT_LE(shown, last + 0.01) << "at " << x << " after " << last;
            EXPECT_TRUE(x + 0.5 - w / 2.0 > reach / 2 || shown > 0.2) << "at " << x << ": " << shown;
            last = shown;
        }
    }
    Image glow = ground;
    DrawGlow(glow, colour, 0);
    EXPECT_EQ(glow, ground) << "a glow of no alpha";
}

// A red dot whole at the middle of a picture and a half-covered one near its
// corner, ringed at several widths: the ring is exactly the colour, whole,
// over an octagon (a square cut at the corners) of the width around each,
// the dot stays red over it, and nothing else is drawn; a width under 1 or
// a malformed picture gives the picture back.
TEST(SquareOverlays, OutlineRingsAPictureInItsColourOverAnOctagon) {
    const Pixel red = MakePixel(255, 0, 0), ink = MakePixel(10, 20, 250);
    constexpr int kSide = 25, kMiddle = 12;
    BoardPicture dot{Image(kSide, kSide, kMaskColour), std::vector<std::uint8_t>(kSide * kSide, 0)};
    dot.image.Set(kMiddle, kMiddle, red);
    dot.coverage[kMiddle * kSide + kMiddle] = 255;
    dot.image.Set(2, 2, MakePixel(128, 0, 0));
    dot.coverage[2 * kSide + 2] = 128;
    for (int radius : {0, 1, 2, 3, 5}) {
        const BoardPicture ringed = OutlinedPicture(dot, radius, ink);
        ASSERT_EQ(ringed.image.Width(), kSide) << "radius " << radius;
        ASSERT_EQ(ringed.coverage.size(), dot.coverage.size()) << "radius " << radius;
        if (radius == 0) {
            EXPECT_EQ(ringed.image.Pixels(), dot.image.Pixels()) << "radius 0";
            EXPECT_EQ(ringed.coverage, dot.coverage) << "radius 0";
            continue;
        }
        const int cut = radius + (radius + 1) / 2;  // the octagon's reach along a diagonal: |dx| + |dy|
        const auto within = [&](int x, int y, int cx, int cy) {
            const int dx = std::abs(x - cx), dy = std::abs(y - cy);
            return std::max(dx, dy) <= radius && dx + dy <= cut;
        };
        int wrong = 0;
        std::string first;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const Pixel p = ringed.image.At(x, y);
                const int a = ringed.coverage[static_cast<std::size_t>(y * kSide + x)];
                Pixel expected = 0;
                int expectedCover = 0;
                if (x == kMiddle && y == kMiddle) {
                    expected = red, expectedCover = 255;
                } else if (x == 2 && y == 2) {
                    // Half the dot, and over the other half the ring spread
                    // from it, half covering: a quarter of the pixel, 64.
                    expected = MakePixel(128 + (10 * 64 + 127) / 255, (20 * 64 + 127) / 255, (250 * 64 + 127) / 255);
                    expectedCover = 192;
                } else if (within(x, y, kMiddle, kMiddle)) {
                    expected = ink, expectedCover = 255;
                } else if (within(x, y, 2, 2)) {
                    // Spread from a pixel half covered: half the ink.
                    expected = MakePixel((10 * 128 + 127) / 255, (20 * 128 + 127) / 255, (250 * 128 + 127) / 255);
                    expectedCover = 128;
                }
                if (p == expected && a == expectedCover) continue;
                if (wrong++ == 0)
                    first = std::to_string(x) + ", " + std::to_string(y) + ": " + std::to_string(p) + " covered " +
                            std::to_string(a) + ", expected " + std::to_string(expected) + " covered " +
                            std::to_string(expectedCover);
            }
        EXPECT_EQ(wrong, 0) << "radius " << radius << ", first at " << first;
    }
    BoardPicture malformed{Image(4, 4, red), {}};
    EXPECT_EQ(OutlinedPicture(malformed, 2, ink).image.Pixels(), malformed.image.Pixels()) << "no coverage";
}

}  // namespace
}  // namespace quelder
