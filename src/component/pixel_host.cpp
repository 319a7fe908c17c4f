#include "component/pixel_host.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quelder {

namespace {
int Round(float v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::lround(std::clamp(v, -1.0e8f, 1.0e8f)));
}
constexpr std::int32_t kControlArrayElementMissing = 340;
constexpr std::int32_t kObjectAlreadyLoaded = 360;
constexpr std::int32_t kCannotUnloadDesignElement = 362;
}  // namespace

// ---- the kept images' sheet ---------------------------------------------------

KeptSheet::KeptSheet(int columns, int rows, int cellWidth, int cellHeight, Pixel fill)
    : columns_(std::max(columns, 1)), rows_(std::max(rows, 1)), cellWidth_(std::max(cellWidth, 0)),
      cellHeight_(std::max(cellHeight, 0)), fill_(fill),
      sheet_(columns_ * cellWidth_, rows_ * cellHeight_, fill) {}

ImagePart KeptSheet::Cell(int cell, int width, int height) {
    return ImagePart(sheet_).Part(CellLeft(cell), CellTop(cell), std::min(width, cellWidth_),
                                  std::min(height, cellHeight_));
}

ConstImagePart KeptSheet::Cell(int cell, int width, int height) const {
    return ConstImagePart(sheet_).Part(CellLeft(cell), CellTop(cell), std::min(width, cellWidth_),
                                       std::min(height, cellHeight_));
}

void KeptSheet::Grow(int width, int height) {
    const int cellWidth = std::max(cellWidth_, width), cellHeight = std::max(cellHeight_, height);
    if (cellWidth == cellWidth_ && cellHeight == cellHeight_) return;
    Image grown(columns_ * cellWidth, rows_ * cellHeight, fill_);
    const ConstImagePart old(sheet_);
    for (int cell = 0; cell < columns_ * rows_; ++cell)
        Copy(grown, old.Part(CellLeft(cell), CellTop(cell), cellWidth_, cellHeight_), cell % columns_ * cellWidth,
             cell / columns_ * cellHeight);
    sheet_ = std::move(grown);
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
}

// ---- square views ----------------------------------------------------------

PixelSquareView::PixelSquareView(Pixel background)
    : background_(background),
      ownSheet_(std::make_unique<KeptSheet>(1, 1, kSquareSize, kSquareSize, background)),
      sheet_(*ownSheet_), cell_(0), keptWidth_(kSquareSize), keptHeight_(kSquareSize) {}

PixelSquareView::PixelSquareView(Pixel background, KeptSheet& sheet, int cell)
    : background_(background), sheet_(sheet), cell_(cell) {
    sheet_.Grow(kSquareSize, kSquareSize);
    keptWidth_ = keptHeight_ = kSquareSize;
    Fill(KeptImage(), background_);
}

PixelSquareView::PixelSquareView(const PixelSquareView& design, int cell)
    : background_(design.background_),
      left_(design.left_), top_(design.top_), width_(design.width_), height_(design.height_),
      visible_(false), sheet_(design.sheet_), cell_(cell),
      keptWidth_(design.keptWidth_), keptHeight_(design.keptHeight_) {
    Copy(KeptImage(), design.KeptPart(), 0, 0);
}

int PixelSquareView::PixelLeft() const { return Round(left_); }
int PixelSquareView::PixelTop() const { return Round(top_); }
int PixelSquareView::PixelWidth() const { return std::max(0, Round(width_)); }
int PixelSquareView::PixelHeight() const { return std::max(0, Round(height_)); }

void PixelSquareView::Changed() {
    if (onChanged) onChanged(*this);
}

void PixelSquareView::ResizeKept(int width, int height) {
    if (width == keptWidth_ && height == keptHeight_) return;
    sheet_.Grow(width, height);  // the only step that can fail
    const ImagePart cell = sheet_.Cell(cell_, width, height);
    const int keptRows = std::min(height, keptHeight_);
    if (width > keptWidth_) Fill(cell.Part(keptWidth_, 0, width - keptWidth_, keptRows), background_);
    if (height > keptRows) Fill(cell.Part(0, keptRows, width, height - keptRows), background_);
    keptWidth_ = width;
    keptHeight_ = height;
}

void PixelSquareView::FitKept() {
    ResizeKept(std::max(keptWidth_, std::min(PixelWidth(), kMaxKeptSize)),
               std::max(keptHeight_, std::min(PixelHeight(), kMaxKeptSize)));
}

void PixelSquareView::SetLeft(float value) { Changed(); left_ = value; Changed(); }
void PixelSquareView::SetTop(float value) { Changed(); top_ = value; Changed(); }
void PixelSquareView::SetWidth(float value) { Changed(); width_ = value; FitKept(); Changed(); }
void PixelSquareView::SetHeight(float value) { Changed(); height_ = value; FitKept(); Changed(); }
void PixelSquareView::SetVisible(bool value) { visible_ = value; Changed(); }

void PixelSquareView::SetPicture(const PictureRef& picture) {
    // The picture's own pixels when it holds them: a new picture allocates
    // nothing when the kept image keeps its size.
    Image rendered;
    const Image* held = picture ? picture->HeldPixels() : nullptr;
    if (held == nullptr && picture) rendered = picture->Render();
    const Image& image = held != nullptr ? *held : rendered;
    const int width = std::min(std::max(PixelWidth(), image.Width()), kMaxKeptSize);
    const int height = std::min(std::max(PixelHeight(), image.Height()), kMaxKeptSize);
    sheet_.Grow(width, height);  // the only step that can fail
    keptWidth_ = width;
    keptHeight_ = height;
    const ImagePart kept = KeptImage();
    if (width != image.Width() || height != image.Height()) Fill(kept, background_);  // the picture covers only part
    Copy(kept, image, 0, 0);
    ++pictures_;
    Changed();
}

void PixelSquareView::Refresh() {
    ++refreshes_;
    if (onRefresh) onRefresh(*this);
}

// ---- image list --------------------------------------------------------------

PixelImageList::PixelImageList(std::vector<PictureRef> pictures, Pixel highlight) : highlight_(highlight) {
    entries_.reserve(pictures.size());
    for (auto& p : pictures) {
        Image pixels = p ? p->Render() : Image();
        entries_.push_back({std::move(p), std::move(pixels)});
    }
}

const PixelImageList::Entry& PixelImageList::At(std::int32_t index) const {
    if (index < 1 || index > Count()) Raise(error::kIndexOutOfBounds);
    return entries_[static_cast<std::size_t>(index - 1)];
}

PictureRef PixelImageList::Picture(std::int32_t index) const { return At(index).picture; }
const Image& PixelImageList::Pixels(std::int32_t index) const { return At(index).pixels; }

void PixelImageList::Draw(std::int32_t index, DrawContext& dc, int x, int y, DrawStyle style) {
    const Entry& entry = At(index);
    auto* context = dynamic_cast<PixelDrawContext*>(&dc);
    if (context == nullptr) Raise(5);  // not a context on pixels
    const ImagePart target = context->Target();
    if (style == DrawStyle::Selected)
        DrawSelected(target, entry.pixels, x, y, highlight_);
    else
        DrawTransparent(target, entry.pixels, x, y);
}

void PixelImageList::Remove(std::int32_t index) {
    At(index);
    entries_.erase(entries_.begin() + (index - 1));
}

void PixelImageList::Add(std::int32_t index, const PictureRef& picture) {
    if (index < 1 || index > Count() + 1) Raise(error::kIndexOutOfBounds);
    if (!picture) Raise(error::kInvalidPropertyValue);
    Image pixels = picture->Render();
    entries_.insert(entries_.begin() + (index - 1), Entry{picture, std::move(pixels)});
}

// ---- the Check array -------------------------------------------------------

PixelHostBase::PixelHostBase(std::vector<PictureRef> boardImages, Pixel buttonFace, Pixel highlight)
    : buttonFace_(buttonFace), images_(std::move(boardImages), highlight),
      sheet_(8, kSquareCount / 8, kSquareSize, kSquareSize, buttonFace) {
    views_[1] = std::make_unique<PixelSquareView>(buttonFace, sheet_, 0);
}

bool PixelHostBase::CheckLoaded(std::int16_t index) const {
    return index >= 1 && index <= kSquareCount && views_[static_cast<std::size_t>(index)] != nullptr;
}

PixelSquareView& PixelHostBase::View(std::int16_t index) {
    if (!CheckLoaded(index)) Raise(kControlArrayElementMissing, "Control array element doesn't exist");
    return *views_[static_cast<std::size_t>(index)];
}

const PixelSquareView& PixelHostBase::View(std::int16_t index) const {
    if (!CheckLoaded(index)) Raise(kControlArrayElementMissing, "Control array element doesn't exist");
    return *views_[static_cast<std::size_t>(index)];
}

void PixelHostBase::LoadCheck(std::int16_t index) {
    if (index < 1 || index > kSquareCount) Raise(kControlArrayElementMissing, "Control array element doesn't exist");
    if (CheckLoaded(index)) Raise(kObjectAlreadyLoaded, "Object already loaded");
    auto view = std::make_unique<PixelSquareView>(View(1), index - 1);
    ViewCreated(*view);
    views_[static_cast<std::size_t>(index)] = std::move(view);
}

void PixelHostBase::UnloadCheck(std::int16_t index) {
    if (index == 1) Raise(kCannotUnloadDesignElement, "Can't unload controls created at design time");
    View(index);
    views_[static_cast<std::size_t>(index)].reset();
}

Image PixelHostBase::Compose(int width, int height) const { return ComposeArea(0, 0, width, height); }

Image PixelHostBase::ComposeArea(int left, int top, int width, int height) const {
    Image surface;
    ComposeArea(surface, left, top, width, height);
    return surface;
}

// Whether the visible views cover the area (left, top, width, height) without
// overlapping: then composing it writes every pixel once.
bool PixelHostBase::ViewsTile(int left, int top, int width, int height) const {
    struct Box {
        long long l, t, r, b;
    };
    std::array<Box, kSquareCount> boxes{};
    std::size_t count = 0;
    long long covered = 0;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!CheckLoaded(k) || !View(k).Visible()) continue;
        const PixelSquareView& v = View(k);
        const Box box{std::max<long long>(v.PixelLeft(), left), std::max<long long>(v.PixelTop(), top),
                      std::min<long long>(static_cast<long long>(v.PixelLeft()) + v.PixelWidth(),
                                          static_cast<long long>(left) + width),
                      std::min<long long>(static_cast<long long>(v.PixelTop()) + v.PixelHeight(),
                                          static_cast<long long>(top) + height)};
        if (box.l >= box.r || box.t >= box.b) continue;
        for (std::size_t i = 0; i < count; ++i)
            if (box.l < boxes[i].r && boxes[i].l < box.r && box.t < boxes[i].b && boxes[i].t < box.b) return false;
        boxes[count++] = box;
        covered += (box.r - box.l) * (box.b - box.t);
    }
    return covered == static_cast<long long>(width) * height;
}

bool PixelHostBase::SheetShows(int left, int top, int width, int height) const {
    const int cellWidth = sheet_.CellWidth(), cellHeight = sheet_.CellHeight();
    if (width <= 0 || height <= 0 || left < 0 || top < 0 || left > 8 * cellWidth - width ||
        top > kSquareCount / 8 * cellHeight - height)
        return false;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!CheckLoaded(k)) return false;
        const PixelSquareView& v = View(k);
        const ConstImagePart kept = v.KeptPart();
        if (!v.Visible() || v.KeptCell() != k - 1 || v.PixelLeft() != sheet_.CellLeft(k - 1) ||
            v.PixelTop() != sheet_.CellTop(k - 1) || v.PixelWidth() != cellWidth || v.PixelHeight() != cellHeight ||
            kept.Width() != cellWidth || kept.Height() != cellHeight)
            return false;
    }
    return true;
}

void PixelHostBase::ComposeArea(Image& surface, int left, int top, int width, int height) const {
    if (ViewsTile(left, top, width, height))
        surface.Reshape(width, height);  // every pixel is written below
    else
        surface.Reset(width, height, buttonFace_);
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!CheckLoaded(k)) continue;
        const PixelSquareView& v = View(k);
        if (!v.Visible()) continue;
        // The view's rectangle within the area; what the kept image does not
        // cover shows the view's background.
        const long long vl = v.PixelLeft(), vt = v.PixelTop();
        const long long x0 = std::max<long long>(vl, left), y0 = std::max<long long>(vt, top);
        const long long x1 = std::min<long long>(vl + v.PixelWidth(), left + width);
        const long long y1 = std::min<long long>(vt + v.PixelHeight(), top + height);
        if (x0 >= x1) continue;
        const ConstImagePart kept = v.KeptPart();
        // Within each row: the kept image's pixels, then the background.
        const long long keptEnd = std::clamp<long long>(vl + kept.Width(), x0, x1);
        for (long long y = y0; y < y1; ++y) {
            Pixel* out = surface.Row(static_cast<int>(y - top)) + (x0 - left);
            const long long ky = y - vt;
            long long x = x0;
            if (ky < kept.Height()) {
                const Pixel* in = kept.Row(static_cast<int>(ky)) + (x0 - vl);
                out = std::copy(in, in + (keptEnd - x0), out);
                x = keptEnd;
            }
            std::fill(out, out + (x1 - x), v.Background());
        }
    }
}

}  // namespace quelder
