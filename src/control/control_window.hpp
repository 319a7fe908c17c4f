// The control's window: one child window of the container showing the board.
// The 64 square views are regions of it, not windows of their own. It paints
// the views from their kept images and turns the mouse actions on them into
// the five square reports; it owns neither the views nor the board.
//
// This class is the window's life and the handing out of its messages: the
// mouse, the keys and the focus become the inputs of the board's interaction
// (BoardInteraction, which it keeps), and their actions are carried out here
// or by the owner (SquareInput). The drawing is in surface_drawing.hpp, the
// changed regions and the batches of them in ChangeBatches; they share the
// WindowSurface this class keeps.
//
// The owner (the control object) makes one ControlWindow per instance, gives
// it the host with the views and a SquareInput that calls the square handlers,
// and creates and destroys the window as the container activates and
// deactivates the control. Without a window Render still draws the board.
//
// The window lives on the thread that created it. Each message it hands the
// owner pins the owner first (SquareInput::TryPin), under a lock held for the
// pin alone: the owner lives until the message is handled, however long the
// host runs meanwhile, and an owner whose last Release has begun is not
// called. An owner let go of for the last time on another thread cannot
// destroy the window from there: the window is cut off from this object and
// destroys itself on its own thread.
#pragma once

#include <windows.h>

#include <memory>

#include "control/change_batches.hpp"
#include "control/surface_drawing.hpp"
#include "control/window_input.hpp"
#include "control/window_surface.hpp"
#include "interaction/board_interaction.hpp"
#include "host/pixel_host.hpp"

namespace quelder::win32 {

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
    // While one lives, no message of the window can pin the owner: one
    // being pinned now is pinned first, and the next waits. An owner that
    // goes holds one while it cuts the window off. On the thread holding it
    // (the window's own among them) messages are handled as ever.
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
    // square report is made. A press in progress ends without more reports,
    // and a lifted piece goes back.
    void SetEnabled(bool enabled);
    bool Enabled() const { return surface_.enabled; }

    // The views' changes and the batches of them (see ChangeBatches).
    void ViewChanged(const PixelSquareView& view) { batches_.ViewChanged(view); }
    void ViewRefreshed(const PixelSquareView& view) { batches_.ViewRefreshed(view); }
    void BeginBatch() { batches_.BeginBatch(); }
    bool EndBatch() noexcept { return batches_.EndBatch(); }
    bool Batching() const { return batches_.Batching(); }
    void HoldChanges() { batches_.Hold(); }
    bool ReleaseChanges() noexcept { return batches_.Release(); }
    void ShowChanges() noexcept { batches_.ShowChanges(); }
    using SetAside = ChangeBatches::SetAside;
    SetAside SetBatchesAside() noexcept { return batches_.SetBatchesAside(); }
    void TakeUpBatches(const SetAside& batches) noexcept { batches_.TakeUpBatches(batches); }

    // A picture shown above the squares (the piece the user drags), its
    // top-left corner at (left, top): shown, moved, put away. Each repaints
    // only the rectangles it leaves and takes, at once out of a batch.
    void Float(BoardPicture picture, int left, int top);
    void FloatTo(int left, int top);
    void Land();
    bool Floating() const { return surface_.floating.has_value(); }
    // The pieces an animation draws over the squares now (their pictures
    // must stay valid until the next call); a part of the surface to repaint
    // (gathered in a batch); and the frames: a timer at the display's pace
    // that calls the owner's Frame until stopped, running only with a window.
    void SetSprites(std::vector<Sprite> sprites) { surface_.sprites = std::move(sprites); }
    void Invalidate(const RECT& rect) { batches_.Invalidate(rect); }
    void StartFrames();
    // A note above everything (the typed text), or none; its old and new
    // rectangles repaint.
    void SetNote(std::optional<FloatingPicture> note);
    void StopFrames();
    // The interaction: an input the window did not make itself, what the
    // squares show of it, and whether a key (WM_KEYDOWN's) is one the board
    // uses now, which the dialog manager and the container's accelerators
    // leave to it.
    void Handle(const interaction::Input& input);
    interaction::Overlay Drawn() const { return interaction_.Drawn(); }
    bool WantsKey(WPARAM key) const;
    // Dragging is turned off: a press ends and a lifted piece goes back.
    void DragsOff() { Run(interaction_.DragsOff()); }
    // The window is about to go: the focus frame hides and what is lifted
    // goes back, the owner hearing of it.
    void Deactivate();

    // Draws the surface into bounds of dc, stretched to it when bounds is not
    // of Size() (IViewObject::Draw: design views, printing, thumbnails).
    // over: pictures drawn over the squares (not the sprites).
    void Render(HDC dc, const RECT& bounds, const std::vector<Sprite>& over = {}) const;

private:
    struct Link;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What the keyboard and the system's other callers ask of the window.
    LRESULT OnKeyboard(UINT message, WPARAM wParam, LPARAM lParam);
    // The floating picture's rectangle repaints.
    void InvalidateFloating();
    // A mouse message as the interaction's input.
    interaction::Input Pointer(interaction::Input::Kind kind, int button, LPARAM lParam) const;
    // Carries out the interaction's actions; after one that calls out, what
    // the interaction makes of the host's answer.
    void Run(const interaction::Actions& actions);
    // A point of the window in twips from the top-left corner of view index.
    struct Twips {
        float x, y;
    };
    Twips ToTwips(std::int16_t index, interaction::Point point) const;
    // The window goes without a word to the owner: the interaction forgets
    // what is in progress.
    void Forget();

    HINSTANCE module_;
    SquareInput& input_;
    WindowSurface surface_;
    std::shared_ptr<Link> link_;  // shared with the window
    bool clipped_ = false;        // the window has a region of the container's clip
    bool frames_ = false;         // the frame timer runs
    ChangeBatches batches_{surface_};
    interaction::BoardInteraction interaction_;
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
