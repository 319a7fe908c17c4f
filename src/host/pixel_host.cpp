#include "host/pixel_host.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace quelder {

namespace {
constexpr std::int32_t kControlArrayElementMissing = 340;
constexpr std::int32_t kObjectAlreadyLoaded = 360;
constexpr std::int32_t kCannotUnloadDesignElement = 362;
}  // namespace

// ---- the kept images' sheet ---------------------------------------------------

KeptSheet::KeptSheet(int columns, int rows, Pixel fill)
    : columns_(std::max(columns, 1)), rows_(std::max(rows, 1)), fill_(fill),
      used_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {}

ImagePart KeptSheet::Cell(int cell) {
    const Size& used = used_.at(static_cast<std::size_t>(cell));
    return ImagePart(sheet_).Part(CellLeft(cell), CellTop(cell), used.width, used.height);
}

ConstImagePart KeptSheet::Cell(int cell) const {
    const Size& used = used_.at(static_cast<std::size_t>(cell));
    return ConstImagePart(sheet_).Part(CellLeft(cell), CellTop(cell), used.width, used.height);
}

void KeptSheet::Use(int cell, int width, int height) {
    Size& used = used_.at(static_cast<std::size_t>(cell));
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == used.width && height == used.height) return;
    if (width > cellWidth_ || height > cellHeight_) {
        Relayout(std::max(width, cellWidth_), std::max(height, cellHeight_));  // the only step that can fail
        used = {width, height};
        return;
    }
    const bool heldTheSize = used.width == cellWidth_ || used.height == cellHeight_;
    used = {width, height};
    if (!heldTheSize) return;
    Size largest;
    for (const Size& u : used_) largest = {std::max(largest.width, u.width), std::max(largest.height, u.height)};
    if (largest.width == cellWidth_ && largest.height == cellHeight_) return;
    try {
        Relayout(largest.width, largest.height);
    } catch (const ControlError&) {
        // Out of memory for the smaller sheet: the larger cells serve as well.
    } catch (const std::bad_alloc&) {
        // Not even for the error's text: the same.
    }
}

void KeptSheet::Reserve(int width, int height) {
    if (width <= cellWidth_ && height <= cellHeight_) return;
    Relayout(std::max(width, cellWidth_), std::max(height, cellHeight_));
}

void KeptSheet::Relayout(int cellWidth, int cellHeight) {
    // Counted in 64 bits: the pixels of a 32,767-pixel board do not fit a
    // 32-bit size_t.
    const std::uint64_t sheetWidth = std::uint64_t(columns_) * std::uint64_t(cellWidth);
    const std::uint64_t sheetHeight = std::uint64_t(rows_) * std::uint64_t(cellHeight);
    if (sheetWidth * sheetHeight * sizeof(Pixel) > kMaxSheetBytes) Raise(error::kOutOfMemory);
    Image laid;
    try {
        laid = Image(static_cast<int>(sheetWidth), static_cast<int>(sheetHeight), fill_);
    } catch (const std::bad_alloc&) {
        Raise(error::kOutOfMemory);
    }
    for (int cell = 0; cell < columns_ * rows_; ++cell) {
        const Size& used = used_[static_cast<std::size_t>(cell)];
        const int width = std::min(used.width, cellWidth), height = std::min(used.height, cellHeight);
        if (width > 0 && height > 0)
            Copy(laid, ConstImagePart(sheet_).Part(CellLeft(cell), CellTop(cell), width, height),
                 cell % columns_ * cellWidth, cell / columns_ * cellHeight);
    }
    sheet_ = std::move(laid);
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
}

// ---- square views ----------------------------------------------------------

PixelSquareView::PixelSquareView(Pixel background)
    : background_(background), ownSheet_(std::make_unique<KeptSheet>(1, 1, background)), sheet_(*ownSheet_),
      cell_(0) {
    sheet_.Use(cell_, kSquareSize, kSquareSize);
    Fill(KeptImage(), background_);
}

PixelSquareView::PixelSquareView(Pixel background, KeptSheet& sheet, int cell)
    : background_(background), sheet_(sheet), cell_(cell) {
    sheet_.Use(cell_, kSquareSize, kSquareSize);
    Fill(KeptImage(), background_);
}

PixelSquareView::PixelSquareView(const PixelSquareView& design, int cell)
    : background_(design.background_),
      left_(design.left_), top_(design.top_), width_(design.width_), height_(design.height_),
      pixelLeft_(design.pixelLeft_), pixelTop_(design.pixelTop_), pixelWidth_(design.pixelWidth_),
      pixelHeight_(design.pixelHeight_), visible_(false), sheet_(design.sheet_), cell_(cell) {
    sheet_.Use(cell_, design.KeptPart().Width(), design.KeptPart().Height());
    Copy(KeptImage(), design.KeptPart(), 0, 0);
}

// The cell is free for another view.
PixelSquareView::~PixelSquareView() { sheet_.Use(cell_, 0, 0); }

void PixelSquareView::Changed() {
    if (onChanged) onChanged(*this);
}

void PixelSquareView::ResizeKept(int width, int height) {
    const int oldWidth = KeptPart().Width(), oldHeight = KeptPart().Height();
    if (width == oldWidth && height == oldHeight) return;
    sheet_.Use(cell_, width, height);  // the only step that can fail
    const ImagePart kept = KeptImage();
    const int keptRows = std::min(height, oldHeight);
    if (width > oldWidth) Fill(kept.Part(oldWidth, 0, width - oldWidth, keptRows), background_);
    if (height > keptRows) Fill(kept.Part(0, keptRows, width, height - keptRows), background_);
}

void PixelSquareView::FitKept() {
    try {
        ResizeKept(PixelWidth(), PixelHeight());
    } catch (const ControlError& e) {
        // No memory for a larger image: the view shows its background beyond
        // the one it has. ChangeBoardSize gets the memory first, so its views
        // never come here.
        if (e.Number() != error::kOutOfMemory) throw;
    } catch (const std::bad_alloc&) {
        // Not even for the error's text: the same.
    }
}

int PixelSquareView::PixelPlace(float value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, -1.0e8f, 1.0e8f)));
}

void PixelSquareView::Place(float& field, int& pixels, float value, bool extent) {
    Changed();
    field = value;
    pixels = extent ? PixelExtent(value) : PixelPlace(value);
    if (extent) FitKept();
    Changed();
}

void PixelSquareView::SetLeft(float value) { Place(left_, pixelLeft_, value, false); }
void PixelSquareView::SetTop(float value) { Place(top_, pixelTop_, value, false); }
void PixelSquareView::SetWidth(float value) { Place(width_, pixelWidth_, value, true); }
void PixelSquareView::SetHeight(float value) { Place(height_, pixelHeight_, value, true); }
void PixelSquareView::SetVisible(bool value) { visible_ = value; Changed(); }

void PixelSquareView::SetPicture(const PictureRef& picture) {
    // The picture's own pixels when it holds them: a new picture allocates
    // nothing when the kept image keeps its size.
    Image rendered;
    const Image* held = picture ? picture->HeldPixels() : nullptr;
    if (held == nullptr && picture) rendered = picture->Render();
    const Image& image = held != nullptr ? *held : rendered;
    FitKept();  // a view that could not grow tries again
    // The picture's top-left part, as far as the view shows it; beyond a
    // smaller picture, the background.
    const ImagePart kept = KeptImage();
    if (image.Width() < kept.Width() || image.Height() < kept.Height()) Fill(kept, background_);
    Copy(kept, image, 0, 0);
    Changed();
}

void PixelSquareView::Refresh() {
    if (onRefresh) onRefresh(*this);
}

// ---- image list --------------------------------------------------------------

PixelImageList::Entry::Entry(PictureRef p) : picture(std::move(p)), held(picture ? picture->HeldPixels() : nullptr) {
    if (held == nullptr && picture) rendered = picture->Render();
}

PixelImageList::PixelImageList(std::vector<PictureRef> pictures, Pixel highlight) : highlight_(highlight) {
    entries_.reserve(pictures.size());
    for (auto& p : pictures) entries_.emplace_back(std::move(p));
}

const PixelImageList::Entry& PixelImageList::At(std::int32_t index) const {
    if (index < 1 || index > Count()) Raise(error::kIndexOutOfBounds);
    return entries_[static_cast<std::size_t>(index - 1)];
}

PictureRef PixelImageList::Picture(std::int32_t index) const { return At(index).picture; }
const Image& PixelImageList::Pixels(std::int32_t index) const { return At(index).Pixels(); }

void PixelImageList::Draw(std::int32_t index, DrawContext& dc, int x, int y, DrawStyle style) {
    const Entry& entry = At(index);
    auto* context = dynamic_cast<PixelDrawContext*>(&dc);
    if (context == nullptr) Raise(error::kInvalidArgument);  // not a context on pixels
    const ImagePart target = context->Target();
    if (style == DrawStyle::Selected)
        DrawSelected(target, entry.Pixels(), x, y, highlight_);
    else
        DrawTransparent(target, entry.Pixels(), x, y);
}

void PixelImageList::Remove(std::int32_t index) {
    At(index);
    entries_.erase(entries_.begin() + (index - 1));
}

void PixelImageList::Add(std::int32_t index, const PictureRef& picture) {
    if (index < 1 || index > Count() + 1) Raise(error::kIndexOutOfBounds);
    if (!picture) Raise(error::kInvalidPropertyValue);
    Entry entry(picture);
    entries_.insert(entries_.begin() + (index - 1), std::move(entry));
}

// ---- the Check array -------------------------------------------------------

PixelHostBase::PixelHostBase(std::vector<PictureRef> boardImages, Pixel buttonFace, Pixel highlight)
    : buttonFace_(buttonFace), images_(std::move(boardImages), highlight),
      sheet_(8, kSquareCount / 8, buttonFace) {
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

void PixelHostBase::ReserveSquares(float edge) {
    const int pixels = PixelSquareView::PixelExtent(edge);
    sheet_.Reserve(pixels, pixels);
}

void PixelHostBase::LaidOut(bool flipped) {
    mirrored_ = false;
    Orient(flipped);
}

void PixelHostBase::Orient(bool flipped) {
    if (flipped == mirrored_) return;
    mirrored_ = flipped;
    // Square k and square 65 - k lie opposite each other through the centre.
    for (std::int16_t k = 1; k <= kSquareCount / 2; ++k) {
        const auto opposite = static_cast<std::int16_t>(kSquareCount + 1 - k);
        if (!CheckLoaded(k) || !CheckLoaded(opposite)) continue;
        PixelSquareView& a = View(k);
        PixelSquareView& b = View(opposite);
        const float left = a.Left(), top = a.Top();
        a.SetLeft(b.Left());
        a.SetTop(b.Top());
        b.SetLeft(left);
        b.SetTop(top);
    }
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
    if (SheetShows(left, top, width, height)) {
        // The kept images are the picture already: its rows as they stand.
        surface.Reshape(width, height);
        Copy(surface, ConstImagePart(sheet_.Pixels()).Part(left, top, width, height), 0, 0);
        return;
    }
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
