#include "drawing/square_overlays.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "drawing/scaling.hpp"

namespace quelder {
namespace {

// under mixed with colour by alpha / 255, alpha 0..255.
Pixel Blend(Pixel under, Pixel colour, int alpha) {
    const auto mix = [alpha](std::uint8_t u, std::uint8_t c) {
        return static_cast<std::uint8_t>((c * alpha + u * (255 - alpha) + 127) / 255);
    };
    return MakePixel(mix(RedOf(under), RedOf(colour)), mix(GreenOf(under), GreenOf(colour)),
                     mix(BlueOf(under), BlueOf(colour)));
}

// The label glyphs in the order of kLabelGlyphs, 5 x 7 cells each, side by
// side one column apart: '#' is a lit cell.
constexpr std::string_view kLabelGlyphs = "abcdefgh12345678";
constexpr std::string_view kLabelCells[7] = {
    "..... #.... ..... ....# ..... ..##. ..... #.... ..#.. .###. .###. ...#. ##### ..##. ##### .###.",
    "..... #.... ..... ....# ..... .#... ..... #.... .##.. #...# #...# ..##. #.... .#... ....# #...#",
    ".###. ####. .###. .#### .###. ####. .#### ####. ..#.. ....# ....# .#.#. ####. #.... ...#. #...#",
    "....# #...# #.... #...# #...# .#... #...# #...# ..#.. ...#. ..##. #..#. ....# ####. ..#.. .###.",
    ".#### #...# #.... #...# ##### .#... .#### #...# ..#.. ..#.. ....# ##### ....# #...# .#... #...#",
    "#...# #...# #.... #...# #.... .#... ....# #...# ..#.. .#... #...# ...#. #...# #...# .#... #...#",
    ".#### ####. .###. .#### .###. .#... .###. #...# .###. ##### .###. ...#. .###. .###. .#... .###.",
};
constexpr int kCellsAcross = 5, kCellsDown = 7;

// How much of pixel i of a label `pixels` long lies on cell c of `cells`,
// measured so that a cell is `pixels` long and a pixel `cells`.
int Overlap(int i, int c, int cells, int pixels) {
    return std::max(0, std::min((i + 1) * cells, (c + 1) * pixels) - std::max(i * cells, c * pixels));
}

int LabelHeight(int height) { return std::clamp(height, 5, kMaxScaleSide); }

// The samples of a pixel lie at the centres of its 4 x 4 sixteenths, at most
// this far from the pixel's centre.
constexpr int kSamplesAcross = 4;
constexpr double kSampleReach = 0.54;

// The first and one past the last pixel of a part that starts at board
// coordinate origin and is size long, between board coordinates lo and hi.
std::pair<int, int> Span(double lo, double hi, int origin, int size) {
    const auto at = [&](double v) { return static_cast<int>(std::clamp(v - origin, 0.0, static_cast<double>(size))); };
    return {at(std::floor(lo)), at(std::ceil(hi))};
}

// Mixes colour by alpha / 255 (0..255) into the pixels of dst in columns
// [xs.first, xs.second) and rows [ys.first, ys.second), each by how many of
// its 4 x 4 samples lie within a shape. depth(bx, by) tells how far board
// point (bx, by) lies within the shape, dst's top-left pixel being board pixel
// (originX, originY): at least the distance to its edge inside, less than
// minus that outside, and changing no faster than the point moves. So a pixel
// whose centre lies deep inside or far outside is taken whole or left without
// sampling; only those along the edges are sampled.
template <typename Depth>
void Cover(ImagePart dst, int originX, int originY, std::pair<int, int> xs, std::pair<int, int> ys, const Depth& depth,
           Pixel colour, int alpha) {
    constexpr int kSamples = kSamplesAcross * kSamplesAcross;
    for (int y = ys.first; y < ys.second; ++y) {
        Pixel* row = dst.Row(y);
        const double by = static_cast<double>(originY + y);
        for (int x = xs.first; x < xs.second; ++x) {
            const double bx = static_cast<double>(originX + x);
            const double centre = depth(bx + 0.5, by + 0.5);
            if (centre < -kSampleReach) continue;
            int covered = kSamples;
            if (centre < kSampleReach) {
                covered = 0;
                for (int sy = 0; sy < kSamplesAcross; ++sy)
                    for (int sx = 0; sx < kSamplesAcross; ++sx)
                        covered += depth(bx + (sx + 0.5) / kSamplesAcross, by + (sy + 0.5) / kSamplesAcross) >= 0;
            }
            if (covered != 0) row[x] = Blend(row[x], colour, (covered * alpha + kSamples / 2) / kSamples);
        }
    }
}

}  // namespace

BoardPicture FitPicture(ConstImagePart picture, int width, int height) {
    BoardPicture fitted{ScaleImage(picture, width, height), {}};
    if (fitted.image.Empty()) return {};
    Image covered(picture.Width(), picture.Height());
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            if (picture.At(x, y) != kMaskColour) covered.Set(x, y, MakePixel(255, 255, 255));
    const Image coverage = ScaleImage(covered, width, height);
    fitted.coverage.reserve(coverage.Pixels().size());
    for (const Pixel p : coverage.Pixels()) fitted.coverage.push_back(BlueOf(p));
    return fitted;
}

BoardPicture FitCoveredPicture(const BoardPicture& picture, int size) {
    const int w = picture.image.Width(), h = picture.image.Height();
    if (w <= 0 || h <= 0 || picture.coverage.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) ||
        size < 1 || size > kMaxScaleSide)
        return {};
    // The longer side takes the square; the other keeps the proportion.
    const int width = std::max(1, w >= h ? size : static_cast<int>((static_cast<long long>(w) * size + h / 2) / h));
    const int height = std::max(1, h >= w ? size : static_cast<int>((static_cast<long long>(h) * size + w / 2) / w));
    Image covered(w, h);
    std::vector<Pixel>& grey = covered.Pixels();
    for (std::size_t i = 0; i < grey.size(); ++i) {
        const std::uint8_t a = picture.coverage[i];
        grey[i] = MakePixel(a, a, a);
    }
    const Image colours = ScaleImage(picture.image, width, height), coverage = ScaleImage(covered, width, height);
    if (colours.Empty() || coverage.Empty()) return {};
    BoardPicture fitted{Image(size, size, kMaskColour), std::vector<std::uint8_t>(static_cast<std::size_t>(size) * size, 0)};
    const int left = (size - width) / 2, top = (size - height) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            fitted.image.Set(left + x, top + y, colours.At(x, y));
            fitted.coverage[static_cast<std::size_t>(top + y) * size + static_cast<std::size_t>(left + x)] =
                BlueOf(coverage.At(x, y));
        }
    return fitted;
}

BoardPicture OutlinedPicture(const BoardPicture& picture, int radius, Pixel colour) {
    const int w = picture.image.Width(), h = picture.image.Height();
    const std::size_t count = static_cast<std::size_t>(std::max(0, w)) * static_cast<std::size_t>(std::max(0, h));
    if (radius < 1 || w <= 0 || h <= 0 || picture.coverage.size() != count) return picture;
    // Spread a pixel at a time, by the eight neighbours and by the four in
    // turn: the steps together reach an octagon, near enough a disc, at a
    // cost that grows with the radius alone.
    std::vector<std::uint8_t> spread = picture.coverage, step(count);
    const auto at = [w](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
    };
    for (int k = 0; k < radius; ++k) {
        const bool square = k % 2 == 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t most = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((!square && dx != 0 && dy != 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                        most = std::max(most, spread[at(nx, ny)]);
                    }
                step[at(x, y)] = most;
            }
        spread.swap(step);
    }
    // The picture over the ring: its colours are mixed with black by their
    // coverage already, the ring's by what of it the picture leaves.
    BoardPicture outlined{Image(w, h, kMaskColour), std::vector<std::uint8_t>(count, 0)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = at(x, y);
            const int a = picture.coverage[i];
            const int ring = (spread[i] * (255 - a) + 127) / 255;
            const Pixel p = picture.image.At(x, y);
            const auto add = [ring](int c, int r) {
                return static_cast<std::uint8_t>(std::min(255, c + (r * ring + 127) / 255));
            };
            outlined.image.Set(x, y, MakePixel(add(RedOf(p), RedOf(colour)), add(GreenOf(p), GreenOf(colour)),
                                               add(BlueOf(p), BlueOf(colour))));
            outlined.coverage[i] = static_cast<std::uint8_t>(std::min(255, a + ring));
        }
    return outlined;
}

void DrawSelectedCovered(ImagePart dst, const BoardPicture& picture, int x, int y, Pixel highlight) {
    // The colours are mixed with black by their coverage a already, so the
    // highlight is too: (colour + highlight) / 2 taken a / 255 of, rounded as
    // DrawSelected rounds where a is 255.
    BoardPicture selected = picture;
    std::vector<Pixel>& pixels = selected.image.Pixels();
    for (std::size_t i = 0; i < pixels.size() && i < picture.coverage.size(); ++i) {
        const int a = picture.coverage[i];
        if (a == 0) continue;
        const auto mix = [a](std::uint8_t s, std::uint8_t h) {
            return static_cast<std::uint8_t>((255 * s + a * h + 255) / 510);
        };
        const Pixel s = pixels[i];
        pixels[i] = MakePixel(mix(RedOf(s), RedOf(highlight)), mix(GreenOf(s), GreenOf(highlight)),
                              mix(BlueOf(s), BlueOf(highlight)));
    }
    DrawCovered(dst, selected, x, y);
}

void Tint(ImagePart dst, Pixel colour, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == 0) return;
    for (int y = 0; y < dst.Height(); ++y) {
        Pixel* row = dst.Row(y);
        for (int x = 0; x < dst.Width(); ++x) row[x] = Blend(row[x], colour, alpha);
    }
}

void DrawFrame(ImagePart dst, int thickness, Pixel colour) {
    const int w = dst.Width(), h = dst.Height();
    const int t = std::clamp(thickness, 0, std::min(w, h) / 2);
    for (int y = 0; y < h; ++y) {
        Pixel* row = dst.Row(y);
        const bool edge = y < t || y >= h - t;
        for (int x = 0; x < w; ++x)
            if (edge || x < t || x >= w - t) row[x] = colour;
    }
}

int LabelWidth(int height) { return (kCellsAcross * LabelHeight(height) + kCellsDown / 2) / kCellsDown; }

void DrawLabel(ImagePart dst, char glyph, int x, int y, int height, Pixel colour) {
    const std::size_t g = kLabelGlyphs.find(glyph);
    if (g == std::string_view::npos) return;
    height = LabelHeight(height);
    const int width = LabelWidth(height);
    const auto lit = [g](int c, int r) {
        return kLabelCells[r][g * (kCellsAcross + 1) + static_cast<std::size_t>(c)] == '#';
    };
    const int x0 = std::max(0, x), x1 = std::min(dst.Width(), x + width);
    const int y0 = std::max(0, y), y1 = std::min(dst.Height(), y + height);
    for (int ty = y0; ty < y1; ++ty) {
        Pixel* row = dst.Row(ty);
        const int py = ty - y;
        for (int tx = x0; tx < x1; ++tx) {
            const int px = tx - x;
            // The cells this pixel lies on, each weighted by how much of it.
            int covered = 0;
            for (int r = py * kCellsDown / height; r * height < (py + 1) * kCellsDown; ++r)
                for (int c = px * kCellsAcross / width; c * width < (px + 1) * kCellsAcross; ++c)
                    if (lit(c, r)) covered += Overlap(px, c, kCellsAcross, width) * Overlap(py, r, kCellsDown, height);
            constexpr int kWhole = kCellsAcross * kCellsDown;
            if (covered != 0) row[tx] = Blend(row[tx], colour, (covered * 255 + kWhole / 2) / kWhole);
        }
    }
}

void DrawArrowPart(ImagePart dst, int originX, int originY, const Arrow& arrow) {
    const double dx = arrow.toX - arrow.fromX, dy = arrow.toY - arrow.fromY;
    const double length = std::hypot(dx, dy);
    const int alpha = std::clamp(arrow.alpha, 0, 255);
    // A length that is finite has finite ends.
    if (!(length > 0) || !(arrow.width > 0) || !std::isfinite(length * arrow.width) || alpha == 0) return;
    const double ux = dx / length, uy = dy / length;
    const double halfShaft = arrow.width / 2, halfHead = arrow.width * 1.5;
    const double headLength = std::min(arrow.width * 2.2, length), shaftEnd = length - headLength;
    const double slant = std::hypot(halfHead, headLength);
    // How far board point (bx, by) lies within the arrow: at least the
    // distance to its edge inside, less than minus that outside, and changing
    // no faster than the point moves. Shaft and head are each the nearest of
    // their edges; the arrow is the deeper of the two.
    const auto depth = [&](double bx, double by) {
        const double px = bx - arrow.fromX, py = by - arrow.fromY;
        const double u = px * ux + py * uy, v = std::abs(py * ux - px * uy);
        const double shaft = std::min({u, shaftEnd - u, halfShaft - v});
        const double head = std::min(u - shaftEnd, ((length - u) * halfHead - v * headLength) / slant);
        return std::max(shaft, head);
    };
    const auto xs = Span(std::min(arrow.fromX, arrow.toX) - halfHead, std::max(arrow.fromX, arrow.toX) + halfHead,
                         originX, dst.Width());
    const auto ys = Span(std::min(arrow.fromY, arrow.toY) - halfHead, std::max(arrow.fromY, arrow.toY) + halfHead,
                         originY, dst.Height());
    Cover(dst, originX, originY, xs, ys, depth, arrow.colour, alpha);
}

void DrawRing(ImagePart dst, double centreX, double centreY, double outer, double inner, Pixel colour, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (!(outer > 0) || !(inner < outer) || !std::isfinite(centreX + centreY + outer + inner) || alpha == 0) return;
    const auto depth = [&](double x, double y) {
        const double r = std::hypot(x - centreX, y - centreY);
        return inner > 0 ? std::min(outer - r, r - inner) : outer - r;
    };
    Cover(dst, 0, 0, Span(centreX - outer, centreX + outer, 0, dst.Width()),
          Span(centreY - outer, centreY + outer, 0, dst.Height()), depth, colour, alpha);
}

void FillRounded(ImagePart dst, double radius, Pixel colour) {
    const double halfW = dst.Width() / 2.0, halfH = dst.Height() / 2.0;
    radius = std::clamp(std::isnan(radius) ? 0.0 : radius, 0.0, std::min(halfW, halfH));
    // The distance to the edge of the rectangle whose corners are the centres
    // of the rounding, less the radius.
    const auto depth = [&](double x, double y) {
        const double qx = std::abs(x - halfW) - (halfW - radius), qy = std::abs(y - halfH) - (halfH - radius);
        return radius - std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) - std::min(std::max(qx, qy), 0.0);
    };
    Cover(dst, 0, 0, {0, dst.Width()}, {0, dst.Height()}, depth, colour, 255);
}

void DrawGlow(ImagePart dst, Pixel colour, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    const double centreX = dst.Width() / 2.0, centreY = dst.Height() / 2.0;
    const double reach = std::min(centreX, centreY);
    if (alpha == 0 || !(reach > 0)) return;
    for (int y = 0; y < dst.Height(); ++y) {
        Pixel* row = dst.Row(y);
        for (int x = 0; x < dst.Width(); ++x) {
            // 1 at the centre to 0 at reach, level at the centre and falling
            // faster on the way out, so that much of it shows around a piece.
            const double out = std::min(1.0, std::hypot(x + 0.5 - centreX, y + 0.5 - centreY) / reach);
            const int a = static_cast<int>(alpha * (1 - out * out) + 0.5);
            if (a != 0) row[x] = Blend(row[x], colour, a);
        }
    }
}

}  // namespace quelder
