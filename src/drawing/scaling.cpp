#include "drawing/scaling.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelder {

namespace {

// How the pixels along one axis of the result are made from the source's:
// result pixel i is the sum over taps first[i] .. first[i + 1] - 1 of the
// tap's weight times its source pixel, divided by total.
struct Axis {
    struct Tap {
        int source;
        std::uint32_t weight;
    };
    std::vector<std::size_t> first;
    std::vector<Tap> taps;
    std::uint32_t total = 1;
};

Axis MakeAxis(int from, int to) {
    Axis axis;
    axis.first.reserve(static_cast<std::size_t>(to) + 1);
    const std::int64_t n = from, m = to;
    for (std::int64_t i = 0; i < m; ++i) {
        axis.first.push_back(axis.taps.size());
        if (n == m) {
            axis.taps.push_back({static_cast<int>(i), 1});
        } else if (m < n) {
            // Measured so that a source pixel is m long and a result pixel n:
            // result pixel i covers [i * n, (i + 1) * n).
            const std::int64_t lo = i * n, hi = lo + n;
            for (std::int64_t j = lo / m; j * m < hi; ++j) {
                const std::int64_t covered = std::min(hi, (j + 1) * m) - std::max(lo, j * m);
                axis.taps.push_back({static_cast<int>(j), static_cast<std::uint32_t>(covered)});
            }
        } else {
            // The centre of result pixel i lies at source position
            // ((2i + 1) n - m) / 2m, counted from the first source centre.
            const std::int64_t at = std::max<std::int64_t>((2 * i + 1) * n - m, 0);
            const std::int64_t j = at / (2 * m), part = at % (2 * m);
            if (j >= n - 1) {
                axis.taps.push_back({static_cast<int>(n - 1), static_cast<std::uint32_t>(2 * m)});
            } else {
                axis.taps.push_back({static_cast<int>(j), static_cast<std::uint32_t>(2 * m - part)});
                if (part != 0) axis.taps.push_back({static_cast<int>(j + 1), static_cast<std::uint32_t>(part)});
            }
        }
    }
    axis.first.push_back(axis.taps.size());
    axis.total = static_cast<std::uint32_t>(n == m ? 1 : (m < n ? n : 2 * m));
    return axis;
}

}  // namespace

Image ScaleImage(ConstImagePart source, int width, int height) {
    auto inRange = [](int side) { return side >= 1 && side <= kMaxScaleSide; };
    if (!inRange(source.Width()) || !inRange(source.Height()) || !inRange(width) || !inRange(height)) return Image();

    const Axis across = MakeAxis(source.Width(), width);
    const Axis down = MakeAxis(source.Height(), height);
    // At most 8192 * 8192 * 255 for a result channel, 8192 * 255 for a column.
    const std::uint64_t total = std::uint64_t{across.total} * down.total;
    Image result(width, height);
    std::vector<std::array<std::uint32_t, 3>> columns(static_cast<std::size_t>(source.Width()));
    for (int y = 0; y < height; ++y) {
        // The source rows that make result row y, summed down each column.
        columns.assign(columns.size(), {0, 0, 0});
        for (std::size_t t = down.first[static_cast<std::size_t>(y)]; t < down.first[static_cast<std::size_t>(y) + 1];
             ++t) {
            const Pixel* row = source.Row(down.taps[t].source);
            const std::uint32_t w = down.taps[t].weight;
            for (std::size_t x = 0; x < columns.size(); ++x) {
                columns[x][0] += w * RedOf(row[x]);
                columns[x][1] += w * GreenOf(row[x]);
                columns[x][2] += w * BlueOf(row[x]);
            }
        }
        Pixel* out = result.Row(y);
        for (int x = 0; x < width; ++x) {
            std::array<std::uint64_t, 3> sum{};
            for (std::size_t t = across.first[static_cast<std::size_t>(x)];
                 t < across.first[static_cast<std::size_t>(x) + 1]; ++t) {
                const auto& column = columns[static_cast<std::size_t>(across.taps[t].source)];
                for (std::size_t c = 0; c < 3; ++c) sum[c] += std::uint64_t{across.taps[t].weight} * column[c];
            }
            auto channel = [total](std::uint64_t s) { return static_cast<std::uint8_t>((s + total / 2) / total); };
            out[x] = MakePixel(channel(sum[0]), channel(sum[1]), channel(sum[2]));
        }
    }
    return result;
}

}  // namespace quelder
