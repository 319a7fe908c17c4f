#include "drawing/pixels.hpp"

#include <algorithm>

namespace quelder {

Image::Image(int width, int height, Pixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Image::Fill(Pixel p) { std::fill(pixels_.begin(), pixels_.end(), p); }

void Image::Reshape(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
}

void Image::Reset(int width, int height, Pixel fill) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill);
}

namespace {

// Calls op(dst row, src row, count) for every row of the part of src placed
// at (x, y) that lies within dst.
template <typename Op>
void ForOverlap(ImagePart dst, ConstImagePart src, int x, int y, Op op) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(dst.Width(), x + src.Width());
    const int y1 = std::min(dst.Height(), y + src.Height());
    if (x0 >= x1) return;
    const auto count = static_cast<std::size_t>(x1 - x0);
    for (int dy = y0; dy < y1; ++dy) op(dst.Row(dy) + x0, src.Row(dy - y) + (x0 - x), count);
}

Pixel Mix(Pixel a, Pixel b) {
    auto half = [](std::uint8_t u, std::uint8_t v) { return static_cast<std::uint8_t>((u + v + 1) / 2); };
    return MakePixel(half(RedOf(a), RedOf(b)), half(GreenOf(a), GreenOf(b)), half(BlueOf(a), BlueOf(b)));
}

}  // namespace

void Image::Copy(ConstImagePart src, int x, int y) { quelder::Copy(*this, src, x, y); }

Image ToImage(ConstImagePart part) {
    Image image(part.Width(), part.Height());
    image.Copy(part, 0, 0);
    return image;
}

void Fill(ImagePart part, Pixel p) {
    for (int y = 0; y < part.Height(); ++y) std::fill_n(part.Row(y), part.Width(), p);
}

void Copy(ImagePart dst, ConstImagePart src, int x, int y) {
    ForOverlap(dst, src, x, y, [](Pixel* to, const Pixel* from, std::size_t n) { std::copy_n(from, n, to); });
}

void DrawTransparent(ImagePart dst, ConstImagePart src, int x, int y) {
    ForOverlap(dst, src, x, y, [](Pixel* to, const Pixel* from, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            if (from[i] != kMaskColour) to[i] = from[i];
    });
}

void DrawSelected(ImagePart dst, ConstImagePart src, int x, int y, Pixel highlight) {
    ForOverlap(dst, src, x, y, [highlight](Pixel* to, const Pixel* from, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            if (from[i] != kMaskColour) to[i] = Mix(from[i], highlight);
    });
}

}  // namespace quelder
