// What the control's logic takes from the host it runs in: the control surface,
// the 64 square views with their kept images, the image list, pictures, the
// property bag and event delivery. Failures are raised as ControlError.
//
// Two implementations exist: the Win32 one inside Quelder.ocx, and the
// in-memory one (memory_host.hpp) that the native tests and tools use. Nothing
// here names a Windows type.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "host/control_error.hpp"
#include "drawing/pixels.hpp"

namespace quelder {

// A picture object (the automation picture type). Shared by reference: the
// image list hands out the very object it holds.
class PictureObject {
public:
    virtual ~PictureObject() = default;
    // The picture at its own size in pixels; an empty image for the empty
    // picture (the one LoadPicture("") gives).
    virtual Image Render() const = 0;
    // The picture's pixels when it holds them (as Render would give them),
    // for use without a drawing or a copy; null when it does not. Once given,
    // they stay as they are, where they are, for the picture's life.
    virtual const Image* HeldPixels() const { return nullptr; }
};
using PictureRef = std::shared_ptr<const PictureObject>;

// A picture made from pixels.
class PixelPicture : public PictureObject {
public:
    explicit PixelPicture(Image image) : image_(std::move(image)) {}
    Image Render() const override { return image_; }
    const Image* HeldPixels() const override { return &image_; }
    const Image& Pixels() const { return image_; }

private:
    Image image_;
};

// A drawing context on a square view's kept image (the view's hDC).
class DrawContext {
public:
    virtual ~DrawContext() = default;
};

enum class DrawStyle : std::int16_t { Transparent = 1, Selected = 2 };

// One element of the Check array. Coordinates are in the surface's pixels, held
// in single precision as they were handed over.
class SquareView {
public:
    virtual ~SquareView() = default;
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetLeft(float value) = 0;
    virtual void SetTop(float value) = 0;
    virtual void SetWidth(float value) = 0;
    virtual void SetHeight(float value) = 0;
    virtual void SetVisible(bool value) = 0;
    // Replaces the kept image with the picture (at the top-left corner, the rest
    // in the view's background colour); the view repaints by itself.
    virtual void SetPicture(const PictureRef& picture) = 0;
    // What is drawn here goes onto the kept image.
    virtual DrawContext& hDC() = 0;
    // Shows the kept image on screen at once.
    virtual void Refresh() = 0;
};

// ImageList1: images numbered from 1.
class ImageList {
public:
    virtual ~ImageList() = default;
    virtual int Count() const = 0;
    // ListImages(index).Picture; 35600 "Index out of bounds" for a number not held.
    virtual PictureRef Picture(std::int32_t index) const = 0;
    // ListImages(index).Draw(hDC, x, y, style); 35600 for a number not held.
    virtual void Draw(std::int32_t index, DrawContext& dc, int x, int y, DrawStyle style) = 0;
    // ListImages.Remove index: the images above move down by one.
    virtual void Remove(std::int32_t index) = 0;
    // ListImages.Add index, , picture: inserted as number index (1..Count + 1).
    virtual void Add(std::int32_t index, const PictureRef& picture) = 0;
};

enum class SquareEventKind : std::int32_t { Click = 1, DblClick = 2, MouseDown = 3, MouseMove = 4, MouseUp = 5 };

// One event of the control, as it reaches the host.
struct SquareEvent {
    SquareEventKind kind = SquareEventKind::Click;
    std::int16_t col = 0;
    std::int16_t row = 0;
    std::int16_t button = 0;  // mouse events only
    std::int16_t shift = 0;
    float x = 0;
    float y = 0;
    friend bool operator==(const SquareEvent&, const SquareEvent&) = default;
};

// A value in the property bag. An empty PictureRef is "no object".
using PropertyValue = std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string, PictureRef>;

class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    // The stored value of name, or def when there is none.
    virtual PropertyValue ReadProperty(std::string_view name, const PropertyValue& def) = 0;
    virtual void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& def) = 0;
};

// The control surface (UserControl) with its square views and image list.
class HostServices {
public:
    virtual ~HostServices() = default;

    // Outer size in pixels; the surface has no frame, so the inner size is the
    // same. Sizes the surface cannot take fail with 380.
    virtual void SetWidth(float value) = 0;
    virtual void SetHeight(float value) = 0;
    virtual float ScaleHeight() const = 0;
    // Readies a relayout of the board: the surface at size x size pixels and
    // every square view edge x edge (the values SetHeight, SetWidth and the
    // views' SetWidth and SetHeight are about to be given). Fails as
    // SetHeight would for a size the surface cannot take, and with 7 "Out of
    // memory" when the memory for views of that extent cannot be had; either
    // way nothing changes. Once it succeeds, that relayout needs no more
    // memory.
    virtual void PrepareLayout(float size, float edge) = 0;

    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool value) = 0;
    // Ambient.UserMode: true while the host runs, false while it is designed.
    virtual bool AmbientUserMode() const = 0;
    // The container must save the named property again.
    virtual void PropertyChanged(std::string_view name) = 0;
    // Delivers an event to the host; returns after the host's handler has run.
    virtual void RaiseEvent(const SquareEvent& event) = 0;
    // LoadPicture(""): a new empty picture object.
    virtual PictureRef LoadPicture() = 0;

    // The Check array. Element 1 exists from the start; Load creates element
    // index as a hidden copy of element 1, Unload destroys it.
    virtual void LoadCheck(std::int16_t index) = 0;
    virtual void UnloadCheck(std::int16_t index) = 0;
    virtual bool CheckLoaded(std::int16_t index) const = 0;
    virtual SquareView& Check(std::int16_t index) = 0;

    virtual ImageList& ImageList1() = 0;
};

}  // namespace quelder
