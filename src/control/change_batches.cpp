#include "control/change_batches.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "handles/win_handles.hpp"
#include "control/surface_drawing.hpp"

namespace quelder::win32 {

namespace {

// Rectangles to draw or invalidate for the given ones: a few as they are; many
// that tile their bounding rectangle (all 64 squares) as that one; otherwise
// their union, merged by a region.
std::vector<RECT> Union(const std::vector<RECT>& rects) {
    if (rects.size() <= kMostRectangles) return rects;
    RECT bounds = rects.front();
    long long area = 0;
    for (const RECT& r : rects) {
        UnionRect(&bounds, &bounds, &r);
        area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    }
    const auto overlap = [](const RECT& a, const RECT& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    };
    bool disjoint = true;
    for (std::size_t i = 0; disjoint && i < rects.size(); ++i)
        for (std::size_t j = i + 1; disjoint && j < rects.size(); ++j) disjoint = !overlap(rects[i], rects[j]);
    if (disjoint && area == static_cast<long long>(bounds.right - bounds.left) * (bounds.bottom - bounds.top))
        return {bounds};
    handles::UniqueRegion region(CreateRectRgnIndirect(&rects.front()));
    for (std::size_t k = 1; region && k < rects.size(); ++k) {
        handles::UniqueRegion part(CreateRectRgnIndirect(&rects[k]));
        if (part) CombineRgn(region.get(), region.get(), part.get(), RGN_OR);
    }
    std::vector<RECT> parts = region ? RegionRectangles(region.get()) : std::vector<RECT>{};
    if (parts.empty()) parts.push_back(bounds);
    return parts;
}

RECT ViewRect(const PixelSquareView& view) {
    return {view.PixelLeft(), view.PixelTop(), view.PixelLeft() + view.PixelWidth(),
            view.PixelTop() + view.PixelHeight()};
}

}  // namespace

void ChangeBatches::ViewChanged(const PixelSquareView& view) { Invalidate(ViewRect(view)); }

void ChangeBatches::Invalidate(const RECT& rect) {
    if (Batching()) return Gather(rect, false);
    if (surface_.window != nullptr && !IsRectEmpty(&rect)) InvalidateRect(surface_.window, &rect, FALSE);
}

void ChangeBatches::ViewRefreshed(const PixelSquareView& view) {
    const RECT rect = ViewRect(view);
    if (Batching()) return Gather(rect, true);
    if (surface_.window != nullptr && !IsRectEmpty(&rect))
        RedrawWindow(surface_.window, &rect, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void ChangeBatches::Gather(const RECT& rect, bool refresh) {
    changed_ = true;
    refreshPending_ = refreshPending_ || refresh;
    if (rect.left >= rect.right || rect.top >= rect.bottom) return;
    // A view usually changes more than once (a new picture, then a refresh).
    const auto same = [&](const RECT& r) {
        return r.left == rect.left && r.top == rect.top && r.right == rect.right && r.bottom == rect.bottom;
    };
    if (std::any_of(pending_.rbegin(), pending_.rend(), same)) return;
    if (pending_.empty()) pending_.reserve(2 * kSquareCount);  // one allocation for a batch's changes
    pending_.push_back(rect);
}

bool ChangeBatches::EndBatch() noexcept {
    if (batch_ == 0 || --batch_ > 0 || holds_ > 0) return false;
    const bool changed = std::exchange(changed_, false);
    ShowChanges();
    return changed;
}

bool ChangeBatches::Release() noexcept {
    if (holds_ == 0) return false;
    --holds_;
    return true;
}

ChangeBatches::SetAside ChangeBatches::SetBatchesAside() noexcept {
    if (holds_ > 0) return {std::exchange(batch_, 0), false};
    const SetAside aside{std::exchange(batch_, 0), std::exchange(changed_, false)};
    ShowChanges();
    return aside;
}

void ChangeBatches::ShowChanges() noexcept {
    const std::vector<RECT> rects = std::exchange(pending_, {});
    const bool refresh = std::exchange(refreshPending_, false);
    if (surface_.window == nullptr || rects.empty()) return;
    std::vector<RECT> parts;
    try {
        parts = Union(rects);
        // Refreshed: drawn onto the window now, all of it current, without
        // the round of WM_PAINT.
        if (refresh && PaintShowing(surface_, parts)) return;
    } catch (...) {
        // Out of memory for the picture: WM_PAINT tries again.
        if (parts.empty()) parts.assign(1, RECT{0, 0, surface_.size.cx, surface_.size.cy});
    }
    for (const RECT& part : parts) InvalidateRect(surface_.window, &part, FALSE);
}

}  // namespace quelder::win32
