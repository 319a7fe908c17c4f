// 32-bit pixel images: the kept images of the square views, the images of the
// image list and the composed board are all held in this one form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace quelder {

// 0x00RRGGBB, the layout of a 32-bit top-down DIB.
using Pixel = std::uint32_t;

constexpr Pixel MakePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return (Pixel{r} << 16) | (Pixel{g} << 8) | Pixel{b};
}
constexpr std::uint8_t RedOf(Pixel p) { return static_cast<std::uint8_t>(p >> 16); }
constexpr std::uint8_t GreenOf(Pixel p) { return static_cast<std::uint8_t>(p >> 8); }
constexpr std::uint8_t BlueOf(Pixel p) { return static_cast<std::uint8_t>(p); }

// The mask colour of the board images: pure black is not drawn in the
// transparent style.
constexpr Pixel kMaskColour = MakePixel(0, 0, 0);

template <typename P>
class BasicImagePart;
// A rectangle of pixels within an image, to write and to read.
using ImagePart = BasicImagePart<Pixel>;
using ConstImagePart = BasicImagePart<const Pixel>;

class Image {
public:
    Image() = default;
    Image(int width, int height, Pixel fill = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    Pixel At(int x, int y) const { return pixels_[Offset(x, y)]; }
    void Set(int x, int y, Pixel p) { pixels_[Offset(x, y)] = p; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Row y, width pixels long.
    Pixel* Row(int y) { return pixels_.data() + Offset(0, y); }
    const Pixel* Row(int y) const { return pixels_.data() + Offset(0, y); }

    const std::vector<Pixel>& Pixels() const { return pixels_; }
    std::vector<Pixel>& Pixels() { return pixels_; }

    void Fill(Pixel p);
    // Becomes width x height, every pixel fill, keeping its storage when it
    // is large enough.
    void Reset(int width, int height, Pixel fill);
    // Becomes width x height with its pixels left undefined (the caller
    // writes every one), keeping its storage when it is large enough.
    void Reshape(int width, int height);
    // Copies src with its top-left corner at (x, y), clipped to this image.
    void Copy(ConstImagePart src, int x, int y);

    friend bool operator==(const Image&, const Image&) = default;

private:
    std::size_t Offset(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
};

// A rectangle of pixels within an image's storage: width x height pixels, rows
// stride pixels apart. It holds nothing: the image must outlive it and keep
// its size meanwhile. An image converts to the part that is all of it.
template <typename P>
class BasicImagePart {
public:
    BasicImagePart() = default;
    BasicImagePart(P* first, int width, int height, std::ptrdiff_t stride)
        : first_(first), width_(width), height_(height), stride_(stride) {}
    // All of an image.
    BasicImagePart(std::conditional_t<std::is_const_v<P>, const Image&, Image&> image)  // NOLINT: a view of it
        : BasicImagePart(image.Pixels().data(), image.Width(), image.Height(), image.Width()) {}
    // A part to write is a part to read.
    template <typename Q, typename = std::enable_if_t<std::is_const_v<P> && !std::is_const_v<Q>>>
    BasicImagePart(const BasicImagePart<Q>& part)  // NOLINT: the same pixels
        : BasicImagePart(part.Row(0), part.Width(), part.Height(), part.Stride()) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::ptrdiff_t Stride() const { return stride_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    P* Row(int y) const { return first_ + static_cast<std::ptrdiff_t>(y) * stride_; }
    Pixel At(int x, int y) const { return Row(y)[x]; }
    // The part of this one at (x, y), width x height; the caller keeps it
    // within this one.
    BasicImagePart Part(int x, int y, int width, int height) const {
        return BasicImagePart(Row(y) + x, width, height, stride_);
    }

private:
    P* first_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::ptrdiff_t stride_ = 0;
};

// A copy of a part, as an image of its own.
Image ToImage(ConstImagePart part);
void Fill(ImagePart part, Pixel p);
// Copies src with its top-left corner at (x, y) of dst, clipped to dst.
void Copy(ImagePart dst, ConstImagePart src, int x, int y);
// Draws src at (x, y) leaving out every pixel of the mask colour.
void DrawTransparent(ImagePart dst, ConstImagePart src, int x, int y);
// Draws src at (x, y) in the selected style: every pixel that is not the mask
// colour is mixed half and half with the highlight colour; mask pixels are left.
void DrawSelected(ImagePart dst, ConstImagePart src, int x, int y, Pixel highlight);

}  // namespace quelder
