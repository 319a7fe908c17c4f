// The changed regions of the control's window: what the views' changes make
// the window repaint, and when. Out of a batch a changed view is invalidated
// and a refreshed one repainted at once; in one they are gathered and the
// window hears of them when the outermost batch ends.
#pragma once

#include <windows.h>

#include <vector>

#include "control/window_surface.hpp"
#include "host/pixel_host.hpp"

namespace quelder::win32 {

class ChangeBatches {
public:
    // surface must outlive this object.
    explicit ChangeBatches(const WindowSurface& surface) : surface_(surface) {}
    ChangeBatches(const ChangeBatches&) = delete;
    ChangeBatches& operator=(const ChangeBatches&) = delete;

    // A view's look or place changed: its rectangle is repainted with the
    // next WM_PAINT. Call with the view before and after a move.
    void ViewChanged(const PixelSquareView& view);
    // A view was refreshed: its rectangle is repainted at once.
    void ViewRefreshed(const PixelSquareView& view);
    // Any other part of the surface changed (a moving piece's box).
    void Invalidate(const RECT& rect);

    // Change batches: while one is open, the views' changes are gathered and
    // the window hears of them once, when the outermost batch ends: one
    // invalid region for all, and one paint if a view was refreshed (NewGame
    // changes and refreshes all 64 views and paints once).
    void BeginBatch() { ++batch_; }
    // True when the outermost batch ended and a view changed in it.
    bool EndBatch() noexcept;
    bool Batching() const { return batch_ > 0 || holds_ > 0; }
    // Holds (BeginUpdate): while one is held the changes are gathered even
    // out of batches and nothing is shown, not when a batch ends nor when
    // batches are set aside; the end of the batch the last hold is released
    // in shows them all. Release is false when no hold is held.
    void Hold() { ++holds_; }
    bool Release() noexcept;
    // Hands the gathered changes to the window now and paints what was
    // refreshed.
    void ShowChanges() noexcept;

    // The open batches, set aside while the host runs (an event, a property
    // notification): what they gathered is handed to the window first, and
    // until they are taken up again the views' changes are nobody's batch,
    // so that each call the host makes meanwhile shows its own when it ends.
    // A host that waits in a loop of its own sees the board as it left it.
    struct SetAside {
        int batches = 0;
        bool changed = false;  // a view changed in them before
    };
    SetAside SetBatchesAside() noexcept;
    // Opens the batches set aside again, empty.
    void TakeUpBatches(const SetAside& batches) noexcept { batch_ += batches.batches; }

private:
    void Gather(const RECT& rect, bool refresh);

    const WindowSurface& surface_;
    int batch_ = 0;                // change batches open
    int holds_ = 0;                // holds held
    std::vector<RECT> pending_;    // the rectangles changed in them
    bool changed_ = false;         // a view changed in them
    bool refreshPending_ = false;  // a view was refreshed in them
};

}  // namespace quelder::win32
