// The host services under Windows: the control surface's state (size,
// Enabled), the square views and image list with their kept images (shared
// with the in-memory host), board images from the module's resources, system
// colours, automation picture objects, and the calls out to the control that
// owns the host (events, property changes, ambient properties).
//
// All surface state lives here, so that a window attached to the control
// later reads it from one place and hears of every change through
// HostOwner.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "host/pixel_host.hpp"

namespace quelder::win32 {

// What the host needs from the control object around it.
class HostOwner {
public:
    virtual ~HostOwner() = default;
    // Ambient.UserMode of the container; true without one.
    virtual bool AmbientUserMode() = 0;
    virtual void PropertyChanged(std::string_view name) = 0;
    // Returns after every sink has handled the event.
    virtual void RaiseEvent(const SquareEvent& event) = 0;
    // The surface's size or Enabled state changed.
    virtual void SurfaceChanged() {}
    // A square view's look or place changed (repaint it when convenient), or
    // it was refreshed (show its kept image now).
    virtual void ViewChanged(PixelSquareView&) {}
    virtual void ViewRefreshed(PixelSquareView&) {}
};

// The 14 board images from the bitmap resources IDB_BOARD_BASE + 1 .. + 14
// of module: picture objects of the board's own, on pixels decoded once and
// shared by every board of the process. Fails with 326 "Resource with
// identifier ... not found" when one is missing, 481 "Invalid picture" when
// one cannot be read.
std::vector<PictureRef> LoadBoardImages(HINSTANCE module);
// A system colour as a pixel (GetSysColor).
Pixel SystemColour(int index);

class Win32Host final : public PixelHostBase {
public:
    Win32Host(HostOwner& owner, HINSTANCE resources);

    void SetWidth(float value) override;
    void SetHeight(float value) override;
    float ScaleHeight() const override { return height_; }
    void PrepareLayout(float size, float edge) override;
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool value) override;
    bool AmbientUserMode() const override { return owner_.AmbientUserMode(); }
    void PropertyChanged(std::string_view name) override { owner_.PropertyChanged(name); }
    void RaiseEvent(const SquareEvent& event) override { owner_.RaiseEvent(event); }
    PictureRef LoadPicture() override;

    // The surface's outer size in pixels (it has no frame: the inner size too).
    float Width() const { return width_; }
    float Height() const { return height_; }
    // The size the container gave the control (its placement): taken as the
    // surface's without telling the owner, who made the change.
    void TakeContainerSize(float width, float height) {
        width_ = width;
        height_ = height;
    }

protected:
    void ViewCreated(PixelSquareView& view) override;

private:
    void Hook(PixelSquareView& view);

    HostOwner& owner_;
    float width_ = 0, height_ = 0;
    bool enabled_ = true;
};

}  // namespace quelder::win32
