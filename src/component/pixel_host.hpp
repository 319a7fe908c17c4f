// The parts of the host services that both hosts share: square views that keep
// a 32-bit image, an image list of 32-bit images, and the Check array.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "component/host_services.hpp"

namespace quelder {

constexpr int kSquareSize = 37;  // pixels, the size of every board image
constexpr std::int16_t kSquareCount = 64;
// A kept image grows with its view up to this size; beyond it a view shows its
// background, so a huge board costs no more memory than a large one.
constexpr int kMaxKeptSize = 1024;

// A drawing context on 32-bit pixels: the image list draws into Target().
class PixelDrawContext : public DrawContext {
public:
    virtual Image& Target() = 0;
};

// A drawing context on any image of the caller's.
class ImageDrawContext final : public PixelDrawContext {
public:
    explicit ImageDrawContext(Image& image) : image_(image) {}
    Image& Target() override { return image_; }

private:
    Image& image_;
};

class PixelSquareView : public SquareView {
public:
    // background: the colour wherever no picture covers the view.
    explicit PixelSquareView(Pixel background);
    PixelSquareView(const PixelSquareView& design);  // Load: a hidden copy

    float Left() const override { return left_; }
    float Top() const override { return top_; }
    float Width() const override { return width_; }
    float Height() const override { return height_; }
    bool Visible() const override { return visible_; }
    void SetLeft(float value) override;
    void SetTop(float value) override;
    void SetWidth(float value) override;
    void SetHeight(float value) override;
    void SetVisible(bool value) override;
    void SetPicture(const PictureRef& picture) override;
    DrawContext& hDC() override { return context_; }
    void Refresh() override;

    // The kept image: at least the view's size (up to kMaxKeptSize), never
    // smaller than the last picture set, so shrinking and growing the view
    // again loses nothing.
    const Image& Kept() const { return kept_; }
    Image& Kept() { return kept_; }
    Pixel Background() const { return background_; }
    // The view's rectangle on the surface, rounded to whole pixels.
    int PixelLeft() const;
    int PixelTop() const;
    int PixelWidth() const;
    int PixelHeight() const;

    int RefreshCount() const { return refreshes_; }
    int PictureCount() const { return pictures_; }

    // Called whenever the view's look or place changes (the Win32 host
    // invalidates that part of its window) and on Refresh (it paints at once).
    std::function<void(PixelSquareView&)> onChanged;
    std::function<void(PixelSquareView&)> onRefresh;

private:
    struct KeptContext final : PixelDrawContext {
        explicit KeptContext(PixelSquareView& v) : view(&v) {}
        Image& Target() override { return view->kept_; }
        PixelSquareView* view;
    };
    void Changed();
    void FitKept();

    Pixel background_;
    float left_ = 0, top_ = 0, width_ = kSquareSize, height_ = kSquareSize;
    bool visible_ = true;
    Image kept_;
    KeptContext context_{*this};
    int refreshes_ = 0;
    int pictures_ = 0;
};

class PixelImageList : public ImageList {
public:
    // highlight: the colour the selected style mixes in.
    PixelImageList(std::vector<PictureRef> pictures, Pixel highlight);

    int Count() const override { return static_cast<int>(entries_.size()); }
    PictureRef Picture(std::int32_t index) const override;
    void Draw(std::int32_t index, DrawContext& dc, int x, int y, DrawStyle style) override;
    void Remove(std::int32_t index) override;
    void Add(std::int32_t index, const PictureRef& picture) override;

    const Image& Pixels(std::int32_t index) const;

private:
    struct Entry {
        PictureRef picture;
        Image pixels;
    };
    const Entry& At(std::int32_t index) const;
    std::vector<Entry> entries_;
    Pixel highlight_;
};

// The Check array and the image list; the surface itself is the subclass's.
class PixelHostBase : public HostServices {
public:
    PixelHostBase(std::vector<PictureRef> boardImages, Pixel buttonFace, Pixel highlight);

    void LoadCheck(std::int16_t index) override;
    void UnloadCheck(std::int16_t index) override;
    bool CheckLoaded(std::int16_t index) const override;
    SquareView& Check(std::int16_t index) override { return View(index); }
    ImageList& ImageList1() override { return images_; }

    PixelSquareView& View(std::int16_t index);
    const PixelSquareView& View(std::int16_t index) const;
    PixelImageList& Images() { return images_; }
    Pixel ButtonFace() const { return buttonFace_; }

    // Paints the visible views over a surface of the given size filled with
    // the button-face colour: what the control shows.
    Image Compose(int width, int height) const;
    // The part of that picture at (left, top) of the given size: what a window
    // repaints when only part of it is invalid.
    Image ComposeArea(int left, int top, int width, int height) const;
    // The same into out, whose storage is reused.
    void ComposeArea(Image& out, int left, int top, int width, int height) const;

protected:
    bool ViewsTile(int left, int top, int width, int height) const;
    // Lets a subclass hook the views it creates.
    virtual void ViewCreated(PixelSquareView&) {}

private:
    Pixel buttonFace_;
    PixelImageList images_;
    std::array<std::unique_ptr<PixelSquareView>, kSquareCount + 1> views_;
};

}  // namespace quelder
