// Draws the pictures the control embeds: the fourteen board images (two wood
// squares and the twelve pieces), the toolbox icon and the About emblem.
//
//   quelder_imagegen <outdir>              writes the pictures into outdir
//   quelder_imagegen --preview <file.bmp>  writes the starting position as one
//                                          24-bit picture, to look at
//
// Everything is computed from fixed numbers with plain arithmetic (no library
// random distributions, no trigonometry; floor is exact), so every run writes the same bytes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/bmp_codec.hpp"
#include "drawing/pixels.hpp"

namespace quelder {
namespace {

constexpr int kSquare = 37;
constexpr double kMid = kSquare / 2.0;  // the vertical axis of the pieces

// ---- Colours -----------------------------------------------------------------

struct Rgb {
    double r, g, b;
};

Rgb Lerp(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

std::uint8_t Channel8(double v) {
    const double c = std::clamp(v, 0.0, 255.0);
    return static_cast<std::uint8_t>(c + 0.5);
}

Pixel ToPixel(Rgb c) { return MakePixel(Channel8(c.r), Channel8(c.g), Channel8(c.b)); }

// Rounds t to one of steps + 1 levels, to keep the number of colours small.
double Level(double t, int steps) {
    const double c = std::clamp(t, 0.0, 1.0);
    return static_cast<int>(c * steps + 0.5) / static_cast<double>(steps);
}

constexpr Pixel kOutline = MakePixel(40, 20, 10);

// crease: the seams between the parts of a piece and its carved lines,
// softer than the outline around it.
struct PieceColours {
    Rgb shadow, body, light, crease;
};

constexpr PieceColours kRed{{105, 16, 10}, {188, 36, 26}, {240, 118, 96}, {80, 10, 6}};
constexpr PieceColours kCream{{214, 192, 150}, {248, 237, 208}, {255, 253, 242}, {186, 154, 110}};

// ---- Pseudo-random numbers ---------------------------------------------------

// xorshift32: small, and the same sequence everywhere.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [-1, 1].
    double Signed() { return static_cast<double>(Next() >> 8) / 8388607.5 - 1.0; }

private:
    std::uint32_t state_;
};

// Smooth one-dimensional value noise in [-1, 1], repeating every kPoints.
class Noise {
public:
    explicit Noise(Rng& rng) {
        for (double& v : values_) v = rng.Signed();
    }
    double operator()(double u) const {
        const double whole = std::floor(u);
        const double f = u - whole;
        const long i = static_cast<long>(whole);
        const double a = values_[Wrap(i)];
        const double b = values_[Wrap(i + 1)];
        const double s = f * f * (3 - 2 * f);
        return a + (b - a) * s;
    }

private:
    static constexpr long kPoints = 64;
    static std::size_t Wrap(long i) { return static_cast<std::size_t>(((i % kPoints) + kPoints) % kPoints); }
    std::array<double, kPoints> values_{};
};

// ---- Wood --------------------------------------------------------------------

struct WoodStyle {
    std::uint32_t seed;
    Rgb base;
    Rgb grain;
    double period;  // pixels between growth rings
};

// Growth rings running left to right, bent by low-frequency noise, with a
// sharp dark edge that fades out across each ring, and a little fibre noise.
Image DrawWood(const WoodStyle& style) {
    Rng rng(style.seed);
    const Noise bend(rng), ripple(rng), drift(rng), fibre(rng);
    Image image(kSquare, kSquare);
    for (int y = 0; y < kSquare; ++y) {
        for (int x = 0; x < kSquare; ++x) {
            const double warp = 2.6 * bend(x / 11.0) + 0.7 * ripple(x / 3.7 + y / 9.0);
            const double ring = (y + warp) / style.period + 0.35 * drift(y / 7.0);
            const double s = ring - std::floor(ring);
            const double fade = 1.0 - s;
            const double line = fade * fade * fade * fade;
            const double streak = 0.10 * fibre(x / 1.3 + y * 7.0);
            const double grain = 0.62 * line + 0.12 + streak;
            image.Set(x, y, ToPixel(Lerp(style.base, style.grain, Level(grain, 40))));
        }
    }
    return image;
}

// ---- Shapes ------------------------------------------------------------------

// A region of the plane in the coordinates of a 37 x 37 square (x right, y down).
using Region = std::function<bool(double, double)>;

struct Point {
    double x, y;
};

Region Ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
}

Region Circle(double cx, double cy, double r) { return Ellipse(cx, cy, r, r); }

Region Box(double x0, double y0, double x1, double y1) {
    return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

// A trapezoid about the axis: half-width half0 at y0 widening (or narrowing)
// linearly to half1 at y1.
Region Taper(double y0, double y1, double half0, double half1) {
    return [=](double x, double y) {
        if (y < y0 || y >= y1) return false;
        const double half = half0 + (half1 - half0) * (y - y0) / (y1 - y0);
        return x >= kMid - half && x < kMid + half;
    };
}

Region Polygon(std::vector<Point> points) {
    return [pts = std::move(points)](double x, double y) {
        bool inside = false;
        for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const Point a = pts[i], b = pts[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
        }
        return inside;
    };
}

// A thick segment with round ends.
Region Stroke(Point a, Point b, double width) {
    return [=](double x, double y) {
        const double vx = b.x - a.x, vy = b.y - a.y;
        const double len2 = vx * vx + vy * vy;
        double t = len2 > 0 ? ((x - a.x) * vx + (y - a.y) * vy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
        return dx * dx + dy * dy <= width * width / 4;
    };
}

Region Without(Region a, Region b) {
    return [=](double x, double y) { return a(x, y) && !b(x, y); };
}

Region Any(std::vector<Region> regions) {
    return [rs = std::move(regions)](double x, double y) {
        return std::any_of(rs.begin(), rs.end(), [&](const Region& r) { return r(x, y); });
    };
}

// ---- Pieces ------------------------------------------------------------------

// A piece is a pile of parts drawn in order. Where a part with a seam lies on
// an earlier part, its edge is outlined, which separates collars and bases.
struct Part {
    Region region;
    bool seam = true;
};

enum class Mark { Dark, Crease };

struct Detail {
    Region region;
    Mark mark;
};

struct PieceShape {
    std::vector<Part> parts;
    std::vector<Detail> details;
};

// The plinth every piece stands on.
void AddBase(PieceShape& shape, double top = 27.0) {
    shape.parts.push_back({Taper(31.0, 34.0, 12.0, 12.5)});
    shape.parts.push_back({Taper(top, 31.0, 9.0, 10.5)});
}

PieceShape Pawn() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({Taper(18.5, 28.0, 3.6, 7.5)});
    s.parts.push_back({Ellipse(kMid, 18.8, 6.6, 2.0)});
    s.parts.push_back({Circle(kMid, 12.3, 5.6)});
    return s;
}

PieceShape Rook() {
    PieceShape s;
    AddBase(s);
    s.parts.push_back({Taper(12.5, 27.0, 6.6, 7.8)});
    s.parts.push_back({Taper(24.5, 27.5, 9.4, 9.6)});
    s.parts.push_back({Any({Taper(9.5, 13.5, 9.8, 9.0), Box(8.7, 4.5, 13.6, 10.0), Box(16.0, 4.5, 21.0, 10.0),
                            Box(23.4, 4.5, 28.3, 10.0)})});
    // Courses of masonry on the tower.
    s.details.push_back({Box(12.0, 18.0, 25.0, 19.0), Mark::Crease});
    return s;
}

PieceShape Knight() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({Polygon({{10.5, 28.5}, {28.6, 28.5}, {29.4, 22.0}, {28.6, 15.5}, {26.6, 10.8},
                                {23.7, 7.6}, {23.4, 2.6}, {20.4, 5.4}, {16.4, 5.9}, {12.6, 8.6},
                                {9.4, 12.8}, {6.6, 17.4}, {6.8, 20.4}, {9.4, 21.8}, {12.6, 20.8},
                                {15.6, 18.6}, {14.6, 22.6}, {11.8, 25.6}})});
    s.details.push_back({Circle(16.6, 10.6, 1.35), Mark::Dark});          // eye
    s.details.push_back({Circle(9.4, 17.2, 0.8), Mark::Dark});            // nostril
    s.details.push_back({Stroke({7.6, 20.2}, {11.0, 20.0}, 0.9), Mark::Dark});  // mouth
    // The mane down the back of the neck.
    s.details.push_back({Stroke({23.0, 8.4}, {26.4, 14.0}, 1.0), Mark::Crease});
    s.details.push_back({Stroke({26.4, 14.0}, {27.2, 22.0}, 1.0), Mark::Crease});
    return s;
}

PieceShape Bishop() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({Taper(22.5, 28.0, 4.0, 7.4)});
    s.parts.push_back({Ellipse(kMid, 22.8, 7.2, 1.9)});
    s.parts.push_back({Any({Ellipse(kMid, 15.0, 6.6, 7.2), Polygon({{kMid, 5.6}, {12.6, 12.0}, {24.4, 12.0}})})});
    s.parts.push_back({Circle(kMid, 5.2, 2.3)});
    // The slit in the mitre.
    s.details.push_back({Stroke({21.6, 10.0}, {17.6, 15.4}, 1.3), Mark::Dark});
    return s;
}

// Body shared by the queen and the king: a stem flaring into the crown band.
void AddRoyalBody(PieceShape& s) {
    AddBase(s, 28.0);
    s.parts.push_back({Taper(24.0, 28.0, 4.4, 7.6)});
    s.parts.push_back({Taper(12.5, 24.0, 8.2, 4.0), false});
    s.parts.push_back({Ellipse(kMid, 23.6, 6.6, 1.7)});
}

PieceShape Queen() {
    PieceShape s;
    AddRoyalBody(s);
    // A cup notched into five points, with a ball on the middle one.
    std::vector<Region> notches;
    for (double x : {12.0, 16.3, 20.7, 25.0}) notches.push_back(Polygon({{x - 2.0, 6.0}, {x + 2.0, 6.0}, {x, 11.2}}));
    s.parts.push_back({Without(Taper(7.0, 14.0, 10.0, 8.4), Any(std::move(notches)))});
    s.parts.push_back({Circle(kMid, 4.3, 3.1)});
    s.details.push_back({Box(10.5, 15.5, 26.5, 16.5), Mark::Crease});
    return s;
}

PieceShape King() {
    PieceShape s;
    AddRoyalBody(s);
    // A domed crown under a cross.
    s.parts.push_back({Any({Taper(12.5, 14.0, 8.6, 8.3), Without(Ellipse(kMid, 12.8, 7.8, 3.8), Box(0, 12.8, 37, 37))})});
    s.parts.push_back({Any({Box(17.0, 1.6, 20.0, 10.4), Box(13.0, 3.6, 24.0, 6.6)})});
    s.details.push_back({Box(10.5, 15.5, 26.5, 16.5), Mark::Crease});
    return s;
}

// Where a rendered picture lies in design coordinates.
struct View {
    int width = kSquare;
    int height = kSquare;
    double scale = 1.0;   // pixels a design unit
    double originX = 0;   // design coordinates of the top-left corner
    double originY = 0;
};

// For every pixel: -1 outside the piece, else the part covering it.
std::vector<int> Rasterise(const PieceShape& shape, const View& view) {
    constexpr int kSub = 4;
    std::vector<int> owner(static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height), -1);
    for (int py = 0; py < view.height; ++py) {
        for (int px = 0; px < view.width; ++px) {
            std::vector<int> votes(shape.parts.size(), 0);
            int covered = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const double x = view.originX + (px + (sx + 0.5) / kSub) / view.scale;
                    const double y = view.originY + (py + (sy + 0.5) / kSub) / view.scale;
                    for (int k = static_cast<int>(shape.parts.size()) - 1; k >= 0; --k) {
                        if (shape.parts[static_cast<std::size_t>(k)].region(x, y)) {
                            ++votes[static_cast<std::size_t>(k)];
                            ++covered;
                            break;
                        }
                    }
                }
            }
            if (covered * 2 < kSub * kSub) continue;
            int best = 0;
            for (std::size_t k = 0; k < votes.size(); ++k)
                if (votes[k] >= votes[static_cast<std::size_t>(best)]) best = static_cast<int>(k);
            owner[static_cast<std::size_t>(py) * static_cast<std::size_t>(view.width) + static_cast<std::size_t>(px)] = best;
        }
    }
    return owner;
}

// Draws a piece on pure black: outlined, lit from the upper left.
Image DrawPiece(const PieceShape& shape, const PieceColours& colours, const View& view = View{}) {
    const std::vector<int> owner = Rasterise(shape, view);
    const auto at = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= view.width || y >= view.height) return -1;
        return owner[static_cast<std::size_t>(y) * static_cast<std::size_t>(view.width) + static_cast<std::size_t>(x)];
    };
    Image image(view.width, view.height, kMaskColour);
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            const int part = at(x, y);
            if (part < 0) continue;
            bool edge = false, crease = false;
            const bool seam = shape.parts[static_cast<std::size_t>(part)].seam;
            for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
                const int n = at(x + dx, y + dy);
                edge = edge || n < 0;
                crease = crease || (seam && n < part);
            }
            if (edge || crease) {
                image.Set(x, y, edge ? kOutline : ToPixel(colours.crease));
                continue;
            }
            // Light across the run of the row the pixel belongs to, as on a
            // turned piece lit from the left.
            int left = x, right = x;
            while (at(left - 1, y) >= 0) --left;
            while (at(right + 1, y) >= 0) ++right;
            const double t = (x - left + 0.5) / (right - left + 1);
            double lit = 1.0 - std::clamp((t - 0.3 > 0 ? t - 0.3 : 0.3 - t) * 1.6, 0.0, 1.0);
            lit = Level(lit - 0.1 * y / view.height, 12);
            const Rgb c = lit > 0.7 ? Lerp(colours.body, colours.light, (lit - 0.7) / 0.3)
                                    : Lerp(colours.shadow, colours.body, lit / 0.7);
            image.Set(x, y, ToPixel(c));
        }
    }
    for (const Detail& d : shape.details) {
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                if (image.At(x, y) == kMaskColour || image.At(x, y) == kOutline) continue;
                const double cx = view.originX + (x + 0.5) / view.scale;
                const double cy = view.originY + (y + 0.5) / view.scale;
                if (d.region(cx, cy)) image.Set(x, y, d.mark == Mark::Dark ? kOutline : ToPixel(colours.crease));
            }
        }
    }
    return image;
}

// ---- Palettes ----------------------------------------------------------------

// The palette holds the given colours first, then the others in the order
// they first appear, top-left to bottom-right.
IndexedImage ToIndexed(const Image& image, int bitsPerPixel, std::vector<Pixel> first) {
    IndexedImage out;
    out.width = image.Width();
    out.height = image.Height();
    out.bitsPerPixel = bitsPerPixel;
    out.palette = std::move(first);
    const std::size_t limit = std::size_t{1} << bitsPerPixel;
    for (Pixel p : image.Pixels()) {
        auto it = std::find(out.palette.begin(), out.palette.end(), p);
        if (it == out.palette.end()) {
            if (out.palette.size() == limit) throw BmpError("too many colours for the palette");
            out.palette.push_back(p);
            it = out.palette.end() - 1;
        }
        out.indices.push_back(static_cast<std::uint8_t>(it - out.palette.begin()));
    }
    return out;
}

// ---- The pictures ------------------------------------------------------------

constexpr WoodStyle kLightWood{0x51A7E3u, {228, 192, 146}, {178, 126, 74}, 4.6};
constexpr WoodStyle kDarkWood{0x2C4D19u, {158, 100, 56}, {92, 52, 24}, 3.9};

// board_01 .. board_14 in order.
std::vector<Image> BoardImages() {
    using Maker = PieceShape (*)();
    const Maker makers[] = {Pawn, Rook, Knight, Bishop, Queen, King};
    std::vector<Image> images;
    images.push_back(DrawWood(kLightWood));
    for (const PieceColours* colours : {&kRed, &kCream})
        for (Maker make : makers) images.push_back(DrawPiece(make(), *colours));
    images.push_back(DrawWood(kDarkWood));
    return images;
}

// 16 x 15: a little board in a frame with a pawn standing on it.
Image ToolboxImage() {
    const Pixel ground = MakePixel(192, 192, 192);
    const Pixel frame = MakePixel(96, 56, 26);
    const Pixel light = MakePixel(228, 192, 146);
    const Pixel dark = MakePixel(158, 100, 56);
    Image image(16, 15, ground);
    for (int y = 1; y <= 14; ++y)
        for (int x = 1; x <= 14; ++x) {
            const bool border = x == 1 || x == 14 || y == 1 || y == 14;
            image.Set(x, y, border ? frame : (((x - 2) / 3 + (y - 2) / 3) % 2 == 0 ? light : dark));
        }
    static constexpr std::string_view kPawn[] = {
        "..oo..",
        ".orRo.",
        ".oRRo.",
        "..oo..",
        ".orRo.",
        ".orRo.",
        "orRRRo",
        "oooooo",
    };
    const Pixel red = ToPixel(kRed.body);
    const Pixel shine = ToPixel(kRed.light);
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 6; ++col) {
            const char c = kPawn[row][static_cast<std::size_t>(col)];
            if (c == '.') continue;
            image.Set(5 + col, 4 + row, c == 'o' ? kOutline : c == 'R' ? red : shine);
        }
    return image;
}

// 32 x 32 in black, two greys and white: a knight on a chequered field.
Image AboutImage() {
    const Pixel black = MakePixel(0, 0, 0);
    const Pixel grey = MakePixel(128, 128, 128);
    const Pixel silver = MakePixel(192, 192, 192);
    const Pixel white = MakePixel(255, 255, 255);
    Image image(32, 32, black);
    for (int y = 1; y < 31; ++y)
        for (int x = 1; x < 31; ++x) image.Set(x, y, ((x - 1) / 6 + (y - 1) / 6) % 2 == 0 ? white : silver);
    View view;
    view.width = 32;
    view.height = 32;
    view.scale = 0.86;
    view.originX = 0.5;
    view.originY = 0.5;
    const Image knight = DrawPiece(Knight(), kCream, view);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const Pixel p = knight.At(x, y);
            if (p == kMaskColour) continue;
            // The knight in grey lit with silver, its outline and features in black.
            image.Set(x, y, p == kOutline ? black : (RedOf(p) >= 252 ? silver : grey));
        }
    return image;
}

Pixel Black() { return MakePixel(0, 0, 0); }

void Write(const std::string& dir, const std::string& name, const IndexedImage& image) {
    const std::string path = dir + "/" + name;
    WriteFileBytes(path.c_str(), EncodeBmp(image));
}

void WriteAll(const std::string& dir) {
    const std::vector<Image> board = BoardImages();
    for (std::size_t i = 0; i < board.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "board_%02zu.bmp", i + 1);
        Write(dir, name, ToIndexed(board[i], 8, {Black()}));
    }
    Write(dir, "toolbox.bmp", ToIndexed(ToolboxImage(), 4, {Black()}));
    Write(dir, "about.bmp", ToIndexed(AboutImage(), 8, {Black()}));
}

// The starting position, composed the way the control draws it: the square,
// then the piece without its black ground. The pictures go through the codec.
void WritePreview(const std::string& path) {
    std::vector<Image> board;
    for (const Image& image : BoardImages()) board.push_back(DecodeBmp(EncodeBmp(ToIndexed(image, 8, {Black()}))));
    constexpr int kBackRow[] = {3, 4, 5, 6, 7, 5, 4, 3};  // red rook .. rook
    Image out(8 * kSquare, 8 * kSquare);
    for (int row = 1; row <= 8; ++row) {
        for (int col = 1; col <= 8; ++col) {
            const int x = (col - 1) * kSquare, y = (row - 1) * kSquare;
            out.Copy(board[(col + row) % 2 == 0 ? 0 : 13], x, y);
            int piece = 0;
            if (row == 1) piece = kBackRow[col - 1];
            if (row == 2) piece = 2;
            if (row == 7) piece = 8;
            if (row == 8) piece = kBackRow[col - 1] + 6;
            if (piece != 0) DrawTransparent(out, board[static_cast<std::size_t>(piece - 1)], x, y);
        }
    }
    WriteFileBytes(path.c_str(), EncodeBmp(out));
}

}  // namespace
}  // namespace quelder

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2 && args[0] == "--preview") {
            quelder::WritePreview(args[1]);
        } else if (args.size() == 1 && args[0].rfind("--", 0) != 0) {
            quelder::WriteAll(args[0]);
        } else {
            std::fprintf(stderr, "usage: quelder_imagegen <outdir>\n       quelder_imagegen --preview <file.bmp>\n");
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quelder_imagegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
