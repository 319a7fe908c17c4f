#include "drawing/board_art.hpp"

#include <algorithm>
#include <cstring>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <variant>

namespace quelder {
namespace {

constexpr double kMid = kBoardArtSize / 2.0;  // the vertical axis of the pieces

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

// The step of t rounded to one of steps + 1 levels, to keep the number of
// colours small.
int LevelStep(double t, int steps) {
    const double c = std::clamp(t, 0.0, 1.0);
    return static_cast<int>(c * steps + 0.5);
}

double Level(double t, int steps) { return LevelStep(t, steps) / static_cast<double>(steps); }

constexpr Rgb kOutlineRgb{40, 20, 10};
constexpr Pixel kOutline = MakePixel(40, 20, 10);

// crease: the seams between the parts of a piece and its carved lines,
// softer than the outline around it.
struct PieceColours {
    Rgb shadow, body, light, crease;
};

constexpr PieceColours kRed{{105, 16, 10}, {188, 36, 26}, {240, 118, 96}, {80, 10, 6}};
constexpr PieceColours kCream{{214, 192, 150}, {248, 237, 208}, {255, 253, 242}, {186, 154, 110}};

// A picture's colours summed over the samples of one pixel, then mixed.
struct Sum {
    double r = 0, g = 0, b = 0;
    void Add(Rgb c) {
        r += c.r;
        g += c.g;
        b += c.b;
    }
    Pixel Mean(int count) const { return ToPixel({r / count, g / count, b / count}); }
};

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
    double period;  // design units between growth rings
};

// Growth rings running left to right, bent by low-frequency noise, with a
// sharp dark edge that fades out across each ring, and a little fibre noise.
// The grain is a function of the design coordinates, pixel (x, y) of the
// 37-pixel square sampling it at (x, y); a larger or smaller square samples
// it twice a pixel each way and takes the mean.
Image DrawWood(const WoodStyle& style, int size) {
    Rng rng(style.seed);
    const Noise bend(rng), ripple(rng), drift(rng), fibre(rng);
    const int samples = size == kBoardArtSize ? 1 : 2;
    const double scale = size / static_cast<double>(kBoardArtSize);
    const int count = size * samples;
    // Design coordinate of every sample along an axis, and the terms of the
    // grain that depend on one axis only.
    std::vector<double> at(static_cast<std::size_t>(count)), bends(at.size()), drifts(at.size());
    for (std::size_t i = 0; i < at.size(); ++i) {
        at[i] = (static_cast<double>(i) + 0.5) / samples / scale - 0.5;
        bends[i] = 2.6 * bend(at[i] / 11.0);
        drifts[i] = 0.35 * drift(at[i] / 7.0);
    }
    Image image(size, size);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Sum sum;
            for (int sy = py * samples; sy < (py + 1) * samples; ++sy) {
                const double y = at[static_cast<std::size_t>(sy)];
                for (int sx = px * samples; sx < (px + 1) * samples; ++sx) {
                    const double x = at[static_cast<std::size_t>(sx)];
                    const double warp = bends[static_cast<std::size_t>(sx)] + 0.7 * ripple(x / 3.7 + y / 9.0);
                    const double ring = (y + warp) / style.period + drifts[static_cast<std::size_t>(sy)];
                    const double s = ring - std::floor(ring);
                    const double fade = 1.0 - s;
                    const double line = fade * fade * fade * fade;
                    const double streak = 0.10 * fibre(x / 1.3 + y * 7.0);
                    const double grain = 0.62 * line + 0.12 + streak;
                    sum.Add(Lerp(style.base, style.grain, Level(grain, 40)));
                }
            }
            image.Set(px, py, sum.Mean(samples * samples));
        }
    }
    return image;
}

// ---- Shapes ------------------------------------------------------------------

// Shapes in the coordinates of the 37-unit design square (x right, y down).
struct Point {
    double x, y;
};

struct Ellipse {
    double cx, cy, rx, ry;
};

// Closed at the left and top, open at the right and bottom.
struct Box {
    double x0, y0, x1, y1;
};

// A trapezoid about the axis: half-width half0 at y0 widening (or narrowing)
// linearly to half1 at y1.
struct Taper {
    double y0, y1, half0, half1;
};

// Inside by the even-odd rule.
struct Polygon {
    std::vector<Point> points;
};

// A thick segment with round ends.
struct Stroke {
    Point a, b;
    double width;
};

using Shape = std::variant<Ellipse, Box, Taper, Polygon, Stroke>;

Ellipse Circle(double cx, double cy, double r) { return {cx, cy, r, r}; }

// A shape with holes cut out of it; a region is the union of its areas.
struct Area {
    Shape shape;
    std::vector<Shape> holes = {};
};
using Region = std::vector<Area>;

// ---- Scan lines --------------------------------------------------------------

// The pictures are sampled along rows: xs holds the design x of every sample
// of a row, ascending. On the row at design y each shape finds the runs of
// samples it holds by where its edges cross the row; the test below it,
// the one it is defined by, settles the samples where that is not exact.

using Xs = std::vector<double>;

// Samples lo..hi-1 of a row.
struct Run {
    int lo, hi;
};
using Runs = std::vector<Run>;  // ascending, apart

int FirstAtLeast(const Xs& xs, double v) {
    return static_cast<int>(std::lower_bound(xs.begin(), xs.end(), v) - xs.begin());
}
int FirstAbove(const Xs& xs, double v) {
    return static_cast<int>(std::upper_bound(xs.begin(), xs.end(), v) - xs.begin());
}

void AddRun(Runs& runs, int lo, int hi) {
    if (lo < hi) runs.push_back({lo, hi});
}

// For a convex shape: the run of samples where inside holds, from an
// estimate of it. The run grows while a neighbour is inside and shrinks
// while an end is not.
template <typename Inside>
void AddSettledRun(const Xs& xs, int lo, int hi, Inside inside, Runs& runs) {
    const int n = static_cast<int>(xs.size());
    const auto in = [&](int i) { return inside(xs[static_cast<std::size_t>(i)]); };
    lo = std::clamp(lo, 0, n);
    hi = std::clamp(hi, lo, n);
    while (lo > 0 && in(lo - 1)) --lo;
    while (hi < n && in(hi)) ++hi;
    while (lo < hi && !in(lo)) ++lo;
    while (hi > lo && !in(hi - 1)) --hi;
    AddRun(runs, lo, hi);
}

void AddRuns(const Ellipse& e, const Xs& xs, double y, Runs& runs) {
    const double dy = (y - e.cy) / e.ry;
    const double rest = 1.0 - dy * dy;
    if (rest < 0) return;
    const double half = e.rx * std::sqrt(rest);
    AddSettledRun(
        xs, FirstAtLeast(xs, e.cx - half), FirstAbove(xs, e.cx + half),
        [&](double x) {
            const double dx = (x - e.cx) / e.rx;
            return dx * dx + dy * dy <= 1.0;
        },
        runs);
}

void AddRuns(const Box& b, const Xs& xs, double y, Runs& runs) {
    // x >= x0 && x < x1 && y >= y0 && y < y1
    if (y >= b.y0 && y < b.y1) AddRun(runs, FirstAtLeast(xs, b.x0), FirstAtLeast(xs, b.x1));
}

void AddRuns(const Taper& t, const Xs& xs, double y, Runs& runs) {
    // y >= y0 && y < y1 && x >= kMid - half && x < kMid + half
    if (y < t.y0 || y >= t.y1) return;
    const double half = t.half0 + (t.half1 - t.half0) * (y - t.y0) / (t.y1 - t.y0);
    AddRun(runs, FirstAtLeast(xs, kMid - half), FirstAtLeast(xs, kMid + half));
}

void AddRuns(const Polygon& p, const Xs& xs, double y, Runs& runs) {
    // A point is inside when an odd number of edges cross its row to its
    // right (x < crossing); a row meets an even number of edges.
    std::array<double, 32> crossings{};
    std::size_t count = 0;
    const std::vector<Point>& pts = p.points;
    for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
        const Point a = pts[i], b = pts[j];
        if ((a.y > y) != (b.y > y)) crossings.at(count++) = (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x;
    }
    std::sort(crossings.begin(), crossings.begin() + static_cast<std::ptrdiff_t>(count));
    for (std::size_t k = 0; k + 1 < count; k += 2) AddRun(runs, FirstAtLeast(xs, crossings[k]), FirstAtLeast(xs, crossings[k + 1]));
}

void AddRuns(const Stroke& s, const Xs& xs, double y, Runs& runs) {
    const double reach = s.width / 2 + 1;  // beyond the stroke's box, from where the test settles it
    if (y < std::min(s.a.y, s.b.y) - reach || y > std::max(s.a.y, s.b.y) + reach) return;
    AddSettledRun(
        xs, FirstAtLeast(xs, std::min(s.a.x, s.b.x) - reach), FirstAbove(xs, std::max(s.a.x, s.b.x) + reach),
        [&](double x) {
            const Point a = s.a, b = s.b;
            const double vx = b.x - a.x, vy = b.y - a.y;
            const double len2 = vx * vx + vy * vy;
            double t = len2 > 0 ? ((x - a.x) * vx + (y - a.y) * vy) / len2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
            return dx * dx + dy * dy <= s.width * s.width / 4;
        },
        runs);
}

// The runs of a region on a row, reusing the storage of its members.
class RegionRows {
public:
    const Runs& Of(const Region& region, const Xs& xs, double y) {
        all_.clear();
        for (const Area& area : region) {
            area_.clear();
            std::visit([&](const auto& s) { AddRuns(s, xs, y, area_); }, area.shape);
            for (const Shape& hole : area.holes) {
                holes_.clear();
                std::visit([&](const auto& s) { AddRuns(s, xs, y, holes_); }, hole);
                for (const Run h : holes_) {
                    kept_.clear();
                    for (const Run r : area_) {
                        if (h.hi <= r.lo || h.lo >= r.hi) {
                            kept_.push_back(r);
                            continue;
                        }
                        AddRun(kept_, r.lo, h.lo);
                        AddRun(kept_, h.hi, r.hi);
                    }
                    area_.swap(kept_);
                }
            }
            all_.insert(all_.end(), area_.begin(), area_.end());
        }
        std::sort(all_.begin(), all_.end(), [](Run a, Run b) { return a.lo < b.lo; });
        kept_.clear();
        for (const Run r : all_) {
            if (!kept_.empty() && r.lo <= kept_.back().hi)
                kept_.back().hi = std::max(kept_.back().hi, r.hi);
            else
                kept_.push_back(r);
        }
        return kept_;
    }

private:
    Runs all_, area_, holes_, kept_;
};

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
    shape.parts.push_back({{{Taper{31.0, 34.0, 12.0, 12.5}}}});
    shape.parts.push_back({{{Taper{top, 31.0, 9.0, 10.5}}}});
}

PieceShape Pawn() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({{{Taper{18.5, 28.0, 3.6, 7.5}}}});
    s.parts.push_back({{{Ellipse{kMid, 18.8, 6.6, 2.0}}}});
    s.parts.push_back({{{Circle(kMid, 12.3, 5.6)}}});
    return s;
}

PieceShape Rook() {
    PieceShape s;
    AddBase(s);
    s.parts.push_back({{{Taper{12.5, 27.0, 6.6, 7.8}}}});
    s.parts.push_back({{{Taper{24.5, 27.5, 9.4, 9.6}}}});
    s.parts.push_back({{{Taper{9.5, 13.5, 9.8, 9.0}},
                        {Box{8.7, 4.5, 13.6, 10.0}},
                        {Box{16.0, 4.5, 21.0, 10.0}},
                        {Box{23.4, 4.5, 28.3, 10.0}}}});
    // Courses of masonry on the tower.
    s.details.push_back({{{Box{12.0, 18.0, 25.0, 19.0}}}, Mark::Crease});
    return s;
}

PieceShape Knight() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({{{Polygon{{{10.5, 28.5}, {28.6, 28.5}, {29.4, 22.0}, {28.6, 15.5}, {26.6, 10.8},
                                  {23.7, 7.6}, {23.4, 2.6}, {20.4, 5.4}, {16.4, 5.9}, {12.6, 8.6},
                                  {9.4, 12.8}, {6.6, 17.4}, {6.8, 20.4}, {9.4, 21.8}, {12.6, 20.8},
                                  {15.6, 18.6}, {14.6, 22.6}, {11.8, 25.6}}}}}});
    s.details.push_back({{{Circle(16.6, 10.6, 1.35)}}, Mark::Dark});                // eye
    s.details.push_back({{{Circle(9.4, 17.2, 0.8)}}, Mark::Dark});                  // nostril
    s.details.push_back({{{Stroke{{7.6, 20.2}, {11.0, 20.0}, 0.9}}}, Mark::Dark});  // mouth
    // The mane down the back of the neck.
    s.details.push_back({{{Stroke{{23.0, 8.4}, {26.4, 14.0}, 1.0}}}, Mark::Crease});
    s.details.push_back({{{Stroke{{26.4, 14.0}, {27.2, 22.0}, 1.0}}}, Mark::Crease});
    return s;
}

PieceShape Bishop() {
    PieceShape s;
    AddBase(s, 28.0);
    s.parts.push_back({{{Taper{22.5, 28.0, 4.0, 7.4}}}});
    s.parts.push_back({{{Ellipse{kMid, 22.8, 7.2, 1.9}}}});
    s.parts.push_back({{{Ellipse{kMid, 15.0, 6.6, 7.2}}, {Polygon{{{kMid, 5.6}, {12.6, 12.0}, {24.4, 12.0}}}}}});
    s.parts.push_back({{{Circle(kMid, 5.2, 2.3)}}});
    // The slit in the mitre.
    s.details.push_back({{{Stroke{{21.6, 10.0}, {17.6, 15.4}, 1.3}}}, Mark::Dark});
    return s;
}

// Body shared by the queen and the king: a stem flaring into the crown band.
void AddRoyalBody(PieceShape& s) {
    AddBase(s, 28.0);
    s.parts.push_back({{{Taper{24.0, 28.0, 4.4, 7.6}}}});
    s.parts.push_back({{{Taper{12.5, 24.0, 8.2, 4.0}}}, false});
    s.parts.push_back({{{Ellipse{kMid, 23.6, 6.6, 1.7}}}});
}

PieceShape Queen() {
    PieceShape s;
    AddRoyalBody(s);
    // A cup notched into five points, with a ball on the middle one.
    std::vector<Shape> notches;
    for (double x : {12.0, 16.3, 20.7, 25.0}) notches.push_back(Polygon{{{x - 2.0, 6.0}, {x + 2.0, 6.0}, {x, 11.2}}});
    s.parts.push_back({{{Taper{7.0, 14.0, 10.0, 8.4}, std::move(notches)}}});
    s.parts.push_back({{{Circle(kMid, 4.3, 3.1)}}});
    s.details.push_back({{{Box{10.5, 15.5, 26.5, 16.5}}}, Mark::Crease});
    return s;
}

PieceShape King() {
    PieceShape s;
    AddRoyalBody(s);
    // A domed crown under a cross.
    s.parts.push_back({{{Taper{12.5, 14.0, 8.6, 8.3}}, {Ellipse{kMid, 12.8, 7.8, 3.8}, {Box{0, 12.8, 37, 37}}}}});
    s.parts.push_back({{{Box{17.0, 1.6, 20.0, 10.4}}, {Box{13.0, 3.6, 24.0, 6.6}}}});
    s.details.push_back({{{Box{10.5, 15.5, 26.5, 16.5}}}, Mark::Crease});
    return s;
}

// ---- Rasterising -------------------------------------------------------------

// Where a picture lies over the design square.
struct View {
    int width = kBoardArtSize;
    int height = kBoardArtSize;
    double scale = 1.0;  // pixels a design unit
    double originX = 0;  // design coordinates of the top-left corner
    double originY = 0;
};

constexpr int kSub = 4;  // samples a pixel along each axis

// The design coordinates of count cells along an axis, perPixel to a pixel:
// each at its cell's centre.
Xs Positions(int count, int perPixel, double origin, double scale) {
    Xs at(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) at[static_cast<std::size_t>(i)] = origin + ((i + 0.5) / perPixel) / scale;
    return at;
}

// A grid over the picture holding for every cell the part of the piece it
// shows, counted from 1, or 0 outside the piece.
struct Grid {
    int width = 0, height = 0;
    int perPixel = 1;  // cells a pixel along each axis
    std::vector<std::uint8_t> owner;
    std::uint8_t At(int x, int y) const {
        return owner[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// The top part at each of kSub x kSub samples a pixel.
Grid Sample(const PieceShape& shape, const View& view) {
    Grid g;
    g.width = view.width * kSub;
    g.height = view.height * kSub;
    g.perPixel = kSub;
    g.owner.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height), 0);
    const Xs xs = Positions(g.width, kSub, view.originX, view.scale);
    const Xs ys = Positions(g.height, kSub, view.originY, view.scale);
    RegionRows rows;
    for (int y = 0; y < g.height; ++y) {
        std::uint8_t* row = g.owner.data() + static_cast<std::size_t>(y) * xs.size();
        for (std::size_t k = 0; k < shape.parts.size(); ++k)
            for (const Run r : rows.Of(shape.parts[k].region, xs, ys[static_cast<std::size_t>(y)]))
                std::fill(row + r.lo, row + r.hi, static_cast<std::uint8_t>(k + 1));
    }
    return g;
}

// Whole pixels from the samples: a pixel belongs to the piece when the piece
// covers at least half its samples, and to the part covering most of them
// (the upper of two as many).
Grid WholePixels(const Grid& samples, std::size_t parts) {
    Grid g;
    g.width = samples.width / kSub;
    g.height = samples.height / kSub;
    g.owner.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height), 0);
    std::vector<int> votes(parts + 1);
    for (int py = 0; py < g.height; ++py) {
        for (int px = 0; px < g.width; ++px) {
            std::fill(votes.begin(), votes.end(), 0);
            int covered = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const int k = samples.At(px * kSub + sx, py * kSub + sy);
                    if (k == 0) continue;
                    ++votes[static_cast<std::size_t>(k)];
                    ++covered;
                }
            if (covered * 2 < kSub * kSub) continue;
            std::size_t best = 1;
            for (std::size_t k = 1; k < votes.size(); ++k)
                if (votes[k] >= votes[best]) best = k;
            g.owner[static_cast<std::size_t>(py) * static_cast<std::size_t>(g.width) + static_cast<std::size_t>(px)] =
                static_cast<std::uint8_t>(best);
        }
    }
    return g;
}

// What a cell shows: nothing, the outline, a crease, or the body at one of
// the 13 steps of its light.
constexpr std::uint8_t kNothing = 0, kEdge = 1, kCrease = 2, kLit = 3;
constexpr int kLightSteps = 12;

// The least owner within reach cells of each cell along its row or its
// column, 0 beyond the grid: at a reach of one, its four neighbours and itself.
// A cell sees another owner only across a change of owner within its reach,
// and then the owner on the far side of that change: only the cells near
// the changes are visited.
std::vector<std::uint8_t> LeastNear(const Grid& g, int reach) {
    const int w = g.width, h = g.height;
    std::vector<std::uint8_t> least(g.owner);
    const auto at = [w](int x, int y) { return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x); };
    const auto lower = [&least](std::size_t i, std::uint8_t v) { least[i] = std::min(least[i], v); };
    // Along the rows: the change between cells b - 1 and b.
    for (int y = 0; y < h; ++y) {
        for (int b = 0; b <= w; ++b) {
            const std::uint8_t before = b > 0 ? g.owner[at(b - 1, y)] : 0;
            const std::uint8_t after = b < w ? g.owner[at(b, y)] : 0;
            if (before == after) continue;
            for (int c = b; c < std::min(b + reach, w); ++c) lower(at(c, y), before);
            for (int c = std::max(b - reach, 0); c < b; ++c) lower(at(c, y), after);
        }
    }
    // Along the columns: the change between rows b - 1 and b.
    for (int b = 0; b <= h; ++b) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t before = b > 0 ? g.owner[at(x, b - 1)] : 0;
            const std::uint8_t after = b < h ? g.owner[at(x, b)] : 0;
            if (before == after) continue;
            for (int c = b; c < std::min(b + reach, h); ++c) lower(at(x, c), before);
            for (int c = std::max(b - reach, 0); c < b; ++c) lower(at(x, c), after);
        }
    }
    return least;
}

// Draws a piece on pure black: outlined, lit from the upper left. In whole
// pixels, or smooth: then the cells of the grid are the samples, drawn as
// pixels would be, and each pixel is the mean of its cells. The outline and
// the seams are reach cells deep.
BoardPicture DrawPiece(const PieceShape& shape, const PieceColours& colours, const View& view, bool smooth,
                       int reach = 1) {
    const Grid samples = Sample(shape, view);
    const Grid g = smooth ? samples : WholePixels(samples, shape.parts.size());
    const std::vector<std::uint8_t> least = LeastNear(g, reach);
    std::vector<std::uint8_t> shows(g.owner.size(), kNothing);
    for (int y = 0; y < g.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width);
        for (int left = 0; left < g.width;) {
            if (g.owner[row + static_cast<std::size_t>(left)] == 0) {
                ++left;
                continue;
            }
            int right = left;
            while (right + 1 < g.width && g.owner[row + static_cast<std::size_t>(right) + 1] != 0) ++right;
            // Light across the run of the row, as on a turned piece lit from
            // the left.
            for (int x = left; x <= right; ++x) {
                const std::size_t i = row + static_cast<std::size_t>(x);
                const int part = g.owner[i];
                if (least[i] == 0) {
                    shows[i] = kEdge;
                } else if (shape.parts[static_cast<std::size_t>(part) - 1].seam && least[i] < part) {
                    shows[i] = kCrease;
                } else {
                    const double t = (x - left + 0.5) / (right - left + 1);
                    const double lit = 1.0 - std::clamp((t - 0.3 > 0 ? t - 0.3 : 0.3 - t) * 1.6, 0.0, 1.0);
                    shows[i] = static_cast<std::uint8_t>(kLit + LevelStep(lit - 0.1 * y / g.height, kLightSteps));
                }
            }
            left = right + 1;
        }
    }
    // Details lie on the body and the creases, at the cells' centres.
    const Xs xs = Positions(g.width, g.perPixel, view.originX, view.scale);
    const Xs ys = Positions(g.height, g.perPixel, view.originY, view.scale);
    RegionRows rows;
    for (const Detail& d : shape.details) {
        for (int y = 0; y < g.height; ++y) {
            std::uint8_t* row = shows.data() + static_cast<std::size_t>(y) * xs.size();
            for (const Run r : rows.Of(d.region, xs, ys[static_cast<std::size_t>(y)]))
                for (int x = r.lo; x < r.hi; ++x)
                    if (row[x] != kNothing && row[x] != kEdge) row[x] = d.mark == Mark::Dark ? kEdge : kCrease;
        }
    }
    std::array<Rgb, kLit + kLightSteps + 1> palette{};
    palette[kNothing] = {0, 0, 0};
    palette[kEdge] = kOutlineRgb;
    palette[kCrease] = colours.crease;
    for (int step = 0; step <= kLightSteps; ++step) {
        const double lit = step / static_cast<double>(kLightSteps);
        palette[static_cast<std::size_t>(kLit + step)] = lit > 0.7 ? Lerp(colours.body, colours.light, (lit - 0.7) / 0.3)
                                                                   : Lerp(colours.shadow, colours.body, lit / 0.7);
    }
    BoardPicture picture{Image(view.width, view.height, kMaskColour),
                         std::vector<std::uint8_t>(static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height))};
    const int per = g.perPixel;
    for (int py = 0; py < view.height; ++py) {
        for (int px = 0; px < view.width; ++px) {
            Sum sum;
            int covered = 0;
            for (int cy = py * per; cy < (py + 1) * per; ++cy) {
                const std::uint8_t* row = shows.data() + static_cast<std::size_t>(cy) * static_cast<std::size_t>(g.width);
                for (int cx = px * per; cx < (px + 1) * per; ++cx) {
                    const std::uint8_t s = row[cx];
                    if (s == kNothing) continue;
                    sum.Add(palette[s]);
                    ++covered;
                }
            }
            if (covered == 0) continue;
            picture.image.Set(px, py, sum.Mean(per * per));
            picture.coverage[static_cast<std::size_t>(py) * static_cast<std::size_t>(view.width) + static_cast<std::size_t>(px)] =
                static_cast<std::uint8_t>((covered * 255 + per * per / 2) / (per * per));
        }
    }
    return picture;
}

// ---- The pictures ------------------------------------------------------------

constexpr WoodStyle kLightWood{0x51A7E3u, {228, 192, 146}, {178, 126, 74}, 4.6};
constexpr WoodStyle kDarkWood{0x2C4D19u, {158, 100, 56}, {92, 52, 24}, 3.9};

}  // namespace

BoardPicture DrawBoardPicture(int number, int squareSize) {
    if (number < 1 || number > kBoardPictureCount) throw std::out_of_range("no such board picture");
    if (squareSize < 1 || squareSize > kMaxBoardArtSize) throw std::out_of_range("board picture size out of range");
    const std::size_t area = static_cast<std::size_t>(squareSize) * static_cast<std::size_t>(squareSize);
    if (number == 1 || number == kBoardPictureCount)
        return {DrawWood(number == 1 ? kLightWood : kDarkWood, squareSize), std::vector<std::uint8_t>(area, 255)};
    using Maker = PieceShape (*)();
    constexpr Maker kMakers[] = {Pawn, Rook, Knight, Bishop, Queen, King};
    const int piece = number - 2;  // 0..11
    View view;
    view.width = view.height = squareSize;
    view.scale = squareSize / static_cast<double>(kBoardArtSize);
    // At 37 pixels the pieces are the embedded images, drawn with the mask
    // colour: whole pixels with a one-pixel outline. At other sizes the same
    // samples are kept and their mean taken, with the outline a pixel wide,
    // a pixel for every hundred of larger squares.
    const bool smooth = squareSize != kBoardArtSize;
    const int reach = smooth ? std::max(kSub, static_cast<int>(std::lround(kSub * squareSize / 100.0))) : 1;
    return DrawPiece(kMakers[piece % 6](), piece < 6 ? kRed : kCream, view, smooth, reach);
}

std::vector<BoardPicture> DrawBoardPictures(int squareSize) {
    std::vector<BoardPicture> pictures;
    for (int n = 1; n <= kBoardPictureCount; ++n) pictures.push_back(DrawBoardPicture(n, squareSize));
    return pictures;
}

void DrawCovered(ImagePart dst, const BoardPicture& picture, int x, int y, int opacity) {
    opacity = std::clamp(opacity, 0, 255);
    if (opacity == 0) return;
    const Image& src = picture.image;
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(dst.Width(), x + src.Width());
    const int y1 = std::min(dst.Height(), y + src.Height());
    const auto eight = [](const std::uint8_t* at) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        return word;
    };
    for (int ty = y0; ty < y1; ++ty) {
        Pixel* to = dst.Row(ty);
        const Pixel* from = src.Row(ty - y);
        const std::uint8_t* cover = picture.coverage.data() + static_cast<std::ptrdiff_t>(ty - y) * src.Width();
        int tx = x0;
        while (tx < x1) {
            // Most of a piece's box is runs it leaves or covers whole: those
            // are skipped or copied at once, eight coverages read at a time.
            while (tx + 8 <= x1 && eight(cover + (tx - x)) == 0) tx += 8;
            while (tx < x1 && cover[tx - x] == 0) ++tx;
            if (tx >= x1) break;
            if (opacity == 255) {
                const int run = tx;
                while (tx + 8 <= x1 && eight(cover + (tx - x)) == ~std::uint64_t{0}) tx += 8;
                while (tx < x1 && cover[tx - x] == 255) ++tx;
                if (tx > run) {
                    std::memcpy(to + run, from + (run - x), static_cast<std::size_t>(tx - run) * sizeof(Pixel));
                    continue;
                }
            }
            int a = cover[tx - x];
            Pixel s = from[tx - x];
            if (opacity < 255) {
                // Faded: the colour, mixed with black by its coverage already,
                // and its coverage both scaled.
                const auto fade = [opacity](std::uint8_t c) { return static_cast<std::uint8_t>((c * opacity + 127) / 255); };
                s = MakePixel(fade(RedOf(s)), fade(GreenOf(s)), fade(BlueOf(s)));
                a = (a * opacity + 127) / 255;
            }
            // The colours are mixed with black already: add what shows of the one under.
            const Pixel d = to[tx];
            const auto mix = [a](std::uint8_t sc, std::uint8_t dc) {
                return static_cast<std::uint8_t>(std::min(255, sc + (dc * (255 - a) + 127) / 255));
            };
            to[tx] = MakePixel(mix(RedOf(s), RedOf(d)), mix(GreenOf(s), GreenOf(d)), mix(BlueOf(s), BlueOf(d)));
            ++tx;
        }
    }
}

Image DrawToolboxPicture() {
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

Image DrawAboutPicture() {
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
    const Image knight = DrawPiece(Knight(), kCream, view, false).image;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const Pixel p = knight.At(x, y);
            if (p == kMaskColour) continue;
            // The knight in grey lit with silver, its outline and features in black.
            image.Set(x, y, p == kOutline ? black : (RedOf(p) >= 252 ? silver : grey));
        }
    return image;
}

}  // namespace quelder
