// The control's window: one child window of the container showing the board.
// The 64 square views are regions of it, not windows of their own. It paints
// the views from their kept images and turns the mouse actions on them into
// the five square reports; it owns neither the views nor the board.
//
// The owner (the control object) makes one ControlWindow per instance, gives
// it the host with the views and a SquareInput that calls the square handlers,
// and creates and destroys the window as the container activates and
// deactivates the control. Without a window Render still draws the board.
//
// The window lives on the thread that created it. An owner let go of for the
// last time on another thread cannot destroy it from there: the window is
// cut off from this object and destroys itself on its own thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "control/change_batches.hpp"
#include "control/surface_drawing.hpp"
#include "control/window_surface.hpp"
#include "host/pixel_host.hpp"

namespace quelder::win32 {

// Where the mouse actions on the squares go: index is the square view's
// element number; button and shift are masks (left 1, right 2, middle 4;
// shift 1, ctrl 2, alt 4); x and y in twips from the view's top-left corner.
class SquareInput {
public:
    virtual ~SquareInput() = default;
    virtual void MouseDown(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void MouseMove(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void MouseUp(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void Click(std::int16_t index) = 0;
    virtual void DblClick(std::int16_t index) = 0;
};

// The square view under a point of the surface: the last visible view, in
// index order, whose rounded rectangle holds the point; 0 for none.
std::int16_t SquareAt(const PixelHostBase& host, int x, int y);

// The window class is registered by the first Create in each module; a DLL
// unregisters it when it unloads (false while windows of it remain).
bool UnregisterControlWindowClass(HINSTANCE module);

class ControlWindow {
public:
    // module: the module the window class belongs to. host and input must
    // outlive this object.
    ControlWindow(HINSTANCE module, PixelHostBase& host, SquareInput& input);
    // Destroys the window.
    ~ControlWindow();
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // Creates the window as a visible child of parent at position (in the
    // parent's client coordinates), disabled when SetEnabled(false) was
    // called. Returns the window, or null with GetLastError set. An existing
    // window is moved over to the new parent and position instead.
    HWND Create(HWND parent, const RECT& position);
    // Destroys the window; Render still works. On a thread other than the
    // window's, where it cannot be destroyed, the window is cut off from this
    // object at once (its messages reach it no more) and destroys itself on
    // its own thread, at a message posted to it. leftovers is released on the
    // window's thread: after the window here, or when the window goes there.
    void Destroy(std::shared_ptr<void> leftovers = {});
    // While one lives, the window's messages are kept from this object: a
    // message the window's thread is handling now ends first, and the next
    // waits. An owner that goes holds one while it takes itself apart, so that
    // no message finds it half gone. On the thread holding it (the window's
    // own among them) messages are handled as ever.
    class MessageHold;
    MessageHold HoldMessages() const;
    HWND Handle() const { return surface_.window; }
    // The windows of this class alive now, made by this module.
    static long LiveWindows();

    // The surface's size in pixels (kNaturalSize square at first): the
    // window's size, and what Render draws. The top-left corner stays. The
    // squares are not laid out again.
    void SetSize(int width, int height);
    SIZE Size() const { return surface_.size; }
    // The container's placement (IOleInPlaceObject::SetObjectRects): the
    // window goes to position and shows only what lies within clip, both in
    // the parent's client coordinates. The size follows position.
    void Place(const RECT& position, const RECT& clip);

    // The surface's Enabled: a disabled window receives no mouse input, so no
    // square report is made. A press in progress ends without more reports.
    void SetEnabled(bool enabled);
    bool Enabled() const { return surface_.enabled; }

    // The views' changes and the batches of them (see ChangeBatches).
    void ViewChanged(const PixelSquareView& view) { batches_.ViewChanged(view); }
    void ViewRefreshed(const PixelSquareView& view) { batches_.ViewRefreshed(view); }
    void BeginBatch() { batches_.BeginBatch(); }
    bool EndBatch() noexcept { return batches_.EndBatch(); }
    bool Batching() const { return batches_.Batching(); }
    void ShowChanges() noexcept { batches_.ShowChanges(); }
    using SetAside = ChangeBatches::SetAside;
    SetAside SetBatchesAside() noexcept { return batches_.SetBatchesAside(); }
    void TakeUpBatches(const SetAside& batches) noexcept { batches_.TakeUpBatches(batches); }
    // The hooks do nothing once this object is gone.
    void HookViews() { batches_.HookViews(); }

    // Draws the surface into bounds of dc, stretched to it when bounds is not
    // of Size() (IViewObject::Draw: design views, printing, thumbnails).
    void Render(HDC dc, const RECT& bounds) const;

    // Screen dots per inch, read when the window was created (96 before).
    int DpiX() const { return surface_.dpiX; }
    int DpiY() const { return surface_.dpiY; }

private:
    struct Link;

    struct Press {
        std::int16_t index = 0;     // the square where the press began; 0: none
        std::int16_t buttons = 0;   // the buttons held since, as masks
        bool doubleClick = false;   // begun by a double click: no Click
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ButtonDown(std::int16_t button, bool doubleClick, LPARAM lParam);
    void ButtonUp(std::int16_t button, LPARAM lParam);
    void MouseMoved(WPARAM wParam, LPARAM lParam);
    void EndPress();
    struct Twips {
        float x, y;
    };
    // A point of the window in twips from the top-left corner of view index.
    Twips ToTwips(std::int16_t index, POINT point) const;

    HINSTANCE module_;
    WindowSurface surface_;
    SquareInput& input_;
    std::shared_ptr<Link> link_;  // shared with the window
    ChangeBatches batches_{surface_};
    Press press_;
    std::int16_t lastDown_ = 0;  // the square of the last press, for double clicks
};

class ControlWindow::MessageHold {
public:
    explicit MessageHold(std::shared_ptr<Link> link);
    ~MessageHold();
    MessageHold(const MessageHold&) = delete;
    MessageHold& operator=(const MessageHold&) = delete;

private:
    std::shared_ptr<Link> link_;
};

}  // namespace quelder::win32
