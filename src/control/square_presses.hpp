// The mouse on the squares: the control's window hands its mouse messages
// here, and they become the five square reports. A press begins with a button
// pressed on a square and captures the mouse; until all its buttons are
// released, what the mouse does is reported on that square. Releasing the
// last one on the square pressed is a Click; a double click on the square of
// the press before is a DblClick in place of the MouseDown, and its release
// makes no Click.
//
// A press of the left button alone on a square whose piece may be lifted
// becomes a drag once the pointer leaves the system's drag distance: the
// mouse reports go on as before, the piece follows the pointer, and the
// release drops it instead of clicking. Anything that ends the press
// otherwise (a lost capture, Escape, disabling) cancels the drag.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <utility>

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

    // Drags (none unless CanLift says so): the piece of view index is lifted
    // with the pointer at a point of the surface, follows it, and is dropped
    // on view index (0: off the squares) or put back.
    virtual bool CanLift(std::int16_t) { return false; }
    virtual void Lift(std::int16_t, POINT) {}
    virtual void DragTo(POINT) {}
    virtual void Drop(std::int16_t) {}
    virtual void CancelDrag() {}

    // The keyboard (none unless TakesKeys): the window takes the focus when
    // clicked and by Tab, and hears of its focus and the keys pressed.
    virtual bool TakesKeys() const { return false; }
    virtual void FocusChanged(bool) {}
    // WM_KEYDOWN: false for a key left to the system.
    virtual bool KeyDown(WPARAM, bool /*repeat*/) { return false; }
    // Whether a key is one the board uses now, which the dialog manager and
    // the container's accelerators leave to it (arrows, Home, End, Space,
    // Enter; Escape while a piece is lifted).
    virtual bool WantsKey(WPARAM) const { return false; }
    // WM_GETOBJECT; 0 to leave it to the system.
    virtual LRESULT GetObject(WPARAM, LPARAM) { return 0; }
};

// The keys held when the message being handled was sent, as a mask: shift 1,
// ctrl 2, alt 4.
std::int16_t ShiftState();

// The square view under a point of the surface: the last visible view, in
// index order, whose rounded rectangle holds the point; 0 for none.
std::int16_t SquareAt(const PixelHostBase& host, int x, int y);

class SquarePresses {
public:
    // surface and input must outlive this object.
    SquarePresses(const WindowSurface& surface, SquareInput& input) : surface_(surface), input_(input) {}
    SquarePresses(const SquarePresses&) = delete;
    SquarePresses& operator=(const SquarePresses&) = delete;

    // A button went down (WM_xBUTTONDOWN, or WM_xBUTTONDBLCLK for a double
    // click) at the point in lParam; button is its mask.
    void ButtonDown(std::int16_t button, bool doubleClick, LPARAM lParam);
    // A button went up (WM_xBUTTONUP).
    void ButtonUp(std::int16_t button, LPARAM lParam);
    // WM_MOUSEMOVE.
    void MouseMoved(WPARAM wParam, LPARAM lParam);
    // The capture went to window (WM_CAPTURECHANGED): when that is someone
    // else, the press ends without a release.
    void CaptureChanged(HWND window) {
        if (window == surface_.window) return;
        if (std::exchange(press_, {}).dragging) input_.CancelDrag();
    }
    // The press in progress ends without more reports, a drag put back; the
    // capture is let go.
    void EndPress();
    bool Dragging() const { return press_.dragging; }
    // The window goes: the press in progress is forgotten.
    void Forget() { press_ = {}; }

private:
    struct Press {
        std::int16_t index = 0;     // the square where the press began; 0: none
        std::int16_t buttons = 0;   // the buttons held since, as masks
        bool doubleClick = false;   // begun by a double click: no Click
        POINT start{};              // where it began
        bool dragging = false;      // became a drag
    };
    struct Twips {
        float x, y;
    };
    // A point of the window in twips from the top-left corner of view index.
    Twips ToTwips(std::int16_t index, POINT point) const;
    // The press ends; the capture is let go. True when it was a drag.
    bool Release();
    // After a report the host ran in: the window and its control are still
    // there to go on with.
    bool StillHere(const std::shared_ptr<bool>& alive, HWND window) const {
        return *alive && surface_.window == window && surface_.enabled;
    }
    // The pointer moved during a press: a drag begins or goes on.
    void Drag(POINT point);

    const WindowSurface& surface_;
    SquareInput& input_;
    Press press_;
    std::int16_t lastDown_ = 0;  // the square of the last press, for double clicks
};

}  // namespace quelder::win32
