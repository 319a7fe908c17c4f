// The parts of the host services that both hosts share: square views that keep
// a 32-bit image, an image list of 32-bit images, the Check array, and the
// views' places when the board is seen from the other side.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <functional>
#include <memory>
#include <vector>

#include "host/host_services.hpp"

namespace quelder {

constexpr int kSquareSize = 37;  // pixels, the size of every board image
constexpr std::int16_t kSquareCount = 64;
// The largest sheet of kept images taken: 1 GiB, the 64 squares of a board of
// 16,384 pixels. A larger one is out of memory without being asked for. A
// 32-bit process hardly ever has a free range that large, so asking would
// only fail later or leave it no room for anything else; a 64-bit one may
// well be granted and commit the 4 GiB of a 32,767-pixel board, for a board
// no screen shows whole. Up to this size the sheet is asked for, and a refusal
// (std::bad_alloc) is out of memory too.
constexpr std::uint64_t kMaxSheetBytes = std::uint64_t{1} << 30;

// A drawing context on 32-bit pixels: the image list draws into Target().
class PixelDrawContext : public DrawContext {
public:
    virtual ImagePart Target() = 0;
};

// A drawing context on any image of the caller's.
class ImageDrawContext final : public PixelDrawContext {
public:
    explicit ImageDrawContext(Image& image) : image_(image) {}
    ImagePart Target() override { return image_; }

private:
    Image& image_;
};

// The kept images of the square views, each in a cell of one sheet. The cells
// lie columns to a row in the order of their numbers (from 0), all of one
// size: the size of the largest kept image. A kept image fills its cell from
// the top-left corner. When the views show in that same order, each at its
// cell's place and of its cell's size, the sheet is the picture of the board
// and is painted as it stands.
class KeptSheet {
public:
    KeptSheet(int columns, int rows, Pixel fill);
    KeptSheet(const KeptSheet&) = delete;
    KeptSheet& operator=(const KeptSheet&) = delete;

    int CellWidth() const { return cellWidth_; }
    int CellHeight() const { return cellHeight_; }
    int CellLeft(int cell) const { return cell % columns_ * cellWidth_; }
    int CellTop(int cell) const { return cell / columns_ * cellHeight_; }
    // The kept image in a cell (empty until Use gives it a size).
    ImagePart Cell(int cell);
    ConstImagePart Cell(int cell) const;
    // Gives the kept image in a cell the size width x height. Every kept
    // image keeps its pixels; new pixels of this one are left to the caller.
    // The cells grow with the largest image and shrink when none needs
    // their size any more. Fails with 7 "Out of memory", changing nothing,
    // when it cannot get the memory.
    void Use(int cell, int width, int height);
    // Makes the cells at least width x height now, so that images growing to
    // that size later need no new sheet (the cells are larger than the images
    // until they grow). Fails with 7 "Out of memory", changing nothing, when
    // it cannot get the memory.
    void Reserve(int width, int height);
    const Image& Pixels() const { return sheet_; }

private:
    struct Size {
        int width = 0, height = 0;
    };
    // Lays the cells out again at cellWidth x cellHeight: the only step that
    // allocates, and so the only one that can fail (with 7).
    void Relayout(int cellWidth, int cellHeight);

    int columns_, rows_;
    int cellWidth_ = 0, cellHeight_ = 0;
    Pixel fill_;
    std::vector<Size> used_;  // the kept image's size in each cell
    Image sheet_;
};

class PixelSquareView : public SquareView {
public:
    // background: the colour wherever no picture covers the view. The kept
    // image is in a sheet of the view's own.
    explicit PixelSquareView(Pixel background);
    // The kept image is in cell of sheet, which must outlive the view.
    PixelSquareView(Pixel background, KeptSheet& sheet, int cell);
    // Load: a hidden copy of design, its kept image in cell of design's sheet.
    PixelSquareView(const PixelSquareView& design, int cell);
    ~PixelSquareView() override;
    PixelSquareView(const PixelSquareView&) = delete;
    PixelSquareView& operator=(const PixelSquareView&) = delete;

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

    // The kept image: the view's size, what the view shows of it, so that the
    // kept images of a board take its own area whatever its pictures. A
    // picture larger than the view is kept as far as the view shows it (its
    // top-left part). A view that shrinks lets go of the pixels beyond its
    // new size; grown again, it shows its background there until it is next
    // painted. Should the memory for a larger image not be there, the view
    // keeps the image it has and shows its background beyond it.
    // KeptPart is the image where it lies, valid until the next change of any
    // view of the sheet; Kept is a copy.
    ConstImagePart KeptPart() const { return std::as_const(sheet_).Cell(cell_); }
    Image Kept() const { return ToImage(KeptPart()); }
    int KeptCell() const { return cell_; }
    Pixel Background() const { return background_; }
    // The view's rectangle on the surface, rounded to whole pixels.
    int PixelLeft() const { return pixelLeft_; }
    int PixelTop() const { return pixelTop_; }
    int PixelWidth() const { return pixelWidth_; }
    int PixelHeight() const { return pixelHeight_; }

    // A place or extent in whole pixels, as the view rounds what it is given
    // (an extent is never negative).
    static int PixelPlace(float value);
    static int PixelExtent(float value) { return std::max(0, PixelPlace(value)); }

    // Called whenever the view's look or place changes (the Win32 host
    // invalidates that part of its window) and on Refresh (it paints at once).
    std::function<void(PixelSquareView&)> onChanged;
    std::function<void(PixelSquareView&)> onRefresh;

private:
    struct KeptContext final : PixelDrawContext {
        explicit KeptContext(PixelSquareView& v) : view(&v) {}
        ImagePart Target() override { return view->KeptImage(); }
        PixelSquareView* view;
    };
    ImagePart KeptImage() { return sheet_.Cell(cell_); }
    void Changed();
    // Sets one of the view's place (left, top) or extent (width, height) and
    // its value in whole pixels; a new extent resizes the kept image.
    void Place(float& field, int& pixels, float value, bool extent);
    // The kept image becomes width x height: what it held stays at the
    // top-left, new pixels are the background. Fails with 7, changing
    // nothing, when the sheet cannot grow.
    void ResizeKept(int width, int height);
    // The kept image takes the view's size, or keeps its own when there is
    // no memory for that.
    void FitKept();

    Pixel background_;
    float left_ = 0, top_ = 0, width_ = kSquareSize, height_ = kSquareSize;
    // The same rounded, kept as they are set: a view's place is read far
    // more often than it changes.
    int pixelLeft_ = 0, pixelTop_ = 0, pixelWidth_ = kSquareSize, pixelHeight_ = kSquareSize;
    bool visible_ = true;
    std::unique_ptr<KeptSheet> ownSheet_;  // for a view on its own
    KeptSheet& sheet_;
    int cell_;
    KeptContext context_{*this};
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
    Pixel Highlight() const { return highlight_; }

private:
    // The picture's own pixels when it holds them, so that an image costs its
    // pixels once; otherwise a drawing of it.
    struct Entry {
        explicit Entry(PictureRef p);
        const Image& Pixels() const { return held != nullptr ? *held : rendered; }
        PictureRef picture;
        const Image* held = nullptr;  // within *picture, which the entry keeps alive
        Image rendered;
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

    // The kept images' sheet, and whether it is the picture of the area
    // (left, top, width, height) of the surface: every view shows, each at
    // its cell's place and of its cell's size, and the area lies within them.
    const KeptSheet& Sheet() const { return sheet_; }
    bool SheetShows(int left, int top, int width, int height) const;

    // Gets the memory of the views' kept images at edge x edge pixels (the
    // extent the views are about to be given) before a relayout, so that
    // the relayout cannot run out of it half-way. Fails with 7 "Out of
    // memory", changing nothing, when it cannot be had.
    void ReserveSquares(float edge);

    // Places the views for the side the board is seen from: flipped, each
    // view takes the place of the square opposite it through the board's
    // centre, (1, 1) at the bottom right; turned back, its own place again.
    void Orient(bool flipped);
    // The same after the views were laid out afresh, each at its own
    // square's place (a relayout of the board).
    void LaidOut(bool flipped);

protected:
    bool ViewsTile(int left, int top, int width, int height) const;
    // Lets a subclass hook the views it creates.
    virtual void ViewCreated(PixelSquareView&) {}

private:
    Pixel buttonFace_;
    PixelImageList images_;
    KeptSheet sheet_;
    std::array<std::unique_ptr<PixelSquareView>, kSquareCount + 1> views_;
    bool mirrored_ = false;  // each view at the place of the square opposite it
};

}  // namespace quelder
