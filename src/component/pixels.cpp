#include "component/pixels.hpp"

#include <algorithm>

namespace quelder {

Image::Image(int width, int height, Pixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Image::Fill(Pixel p) { std::fill(pixels_.begin(), pixels_.end(), p); }

namespace {

template <typename Op>
void ForOverlap(Image& dst, const Image& src, int x, int y, Op op) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(dst.Width(), x + src.Width());
    const int y1 = std::min(dst.Height(), y + src.Height());
    for (int dy = y0; dy < y1; ++dy)
        for (int dx = x0; dx < x1; ++dx) op(dx, dy, src.At(dx - x, dy - y));
}

Pixel Mix(Pixel a, Pixel b) {
    auto half = [](std::uint8_t u, std::uint8_t v) { return static_cast<std::uint8_t>((u + v + 1) / 2); };
    return MakePixel(half(RedOf(a), RedOf(b)), half(GreenOf(a), GreenOf(b)), half(BlueOf(a), BlueOf(b)));
}

}  // namespace

void Image::Copy(const Image& src, int x, int y) {
    ForOverlap(*this, src, x, y, [this](int dx, int dy, Pixel p) { Set(dx, dy, p); });
}

void Image::Resize(int width, int height, Pixel fill) {
    Image grown(width, height, fill);
    grown.Copy(*this, 0, 0);
    *this = std::move(grown);
}

void DrawTransparent(Image& dst, const Image& src, int x, int y) {
    ForOverlap(dst, src, x, y, [&dst](int dx, int dy, Pixel p) {
        if (p != kMaskColour) dst.Set(dx, dy, p);
    });
}

void DrawSelected(Image& dst, const Image& src, int x, int y, Pixel highlight) {
    ForOverlap(dst, src, x, y, [&dst, highlight](int dx, int dy, Pixel p) {
        if (p != kMaskColour) dst.Set(dx, dy, Mix(p, highlight));
    });
}

}  // namespace quelder
