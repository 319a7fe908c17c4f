// What the control's window asks of its owner: it turns its messages into the
// interaction's inputs (interaction/board_interaction.hpp), carries out the
// actions that are its own (the capture, the focus, the floating piece) and
// hands the rest here. The owner is the board the interaction reads
// (BoardView); by default a board whose pieces cannot be lifted.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "com/weak_link.hpp"
#include "interaction/board_interaction.hpp"

namespace quelder::win32 {

class SquareInput : public interaction::BoardView, public com::Pinnable {
public:
    virtual ~SquareInput() = default;

    // The five square reports: index is the square view's element number;
    // button and shift are masks (left 1, right 2, middle 4; shift 1, ctrl 2,
    // alt 4); x and y in twips from the view's top-left corner.
    virtual void MouseDown(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void MouseMove(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void MouseUp(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void Click(std::int16_t index) = 0;
    virtual void DblClick(std::int16_t index) = 0;

    // The board class's: a piece lifted from square index, to be shown
    // centred at a point of the surface (ControlWindow::Float), or left on
    // its square (inPlace); the drop the host is asked about, with the
    // promotion chosen or 0 (true: it cancelled); the move it let stand; a
    // key the board has no use for; the user's shapes (brush 0 to 3: none
    // held, Shift, Alt, both) and the host hearing of them.
    virtual void Lift(std::int16_t, POINT, bool /*inPlace*/) {}
    virtual bool PieceDropped(std::int16_t, std::int16_t, std::int32_t /*promotion*/) { return true; }
    virtual void MovePiece(std::int16_t, std::int16_t, std::int32_t /*promotion*/) {}
    virtual void KeyDown(int /*code*/, int /*shift*/) {}
    virtual void ToggleShape(std::int16_t, std::int16_t, int /*brush*/) {}
    virtual void ClearShapes() {}
    virtual void AnnotationsChanged() {}
    // The piece of square, put back, goes home from the top-left corner
    // where its floating picture was; a frame of the animation is due.
    virtual void SlideHome(std::int16_t, POINT) {}
    virtual void Frame() {}
    // What the squares show of the interaction changed (the focus square,
    // its frame, a piece put back): focusMoved when the keys moved the focus.
    virtual void OverlayChanged(bool /*focusMoved*/) {}
    // The window took the focus: the control becomes the container's active
    // object (a call out).
    virtual void BecomeActive() {}
    // The system's settings or colours changed (WM_SETTINGCHANGE,
    // WM_SYSCOLORCHANGE): high contrast may have come or gone.
    virtual void SystemColoursChanged() {}

    // The keyboard (none unless TakesKeys): the window takes the focus when
    // clicked and by Tab.
    virtual bool TakesKeys() const { return false; }
    // WM_GETOBJECT; 0 to leave it to the system.
    virtual LRESULT GetObject(WPARAM, LPARAM) { return 0; }

    // BoardView: nothing to lift.
    bool Liftable(interaction::SquareId) const override { return false; }
    std::int32_t PieceAt(interaction::SquareId) const override { return 0; }
    bool DropsAllowed() const override { return false; }
    interaction::SquareId Step(interaction::SquareId square, interaction::Key) const override { return square; }
    bool Restricted() const override { return false; }
    std::uint64_t Destinations(interaction::SquareId) const override { return 0; }
    std::vector<interaction::Promotion> Promotions(interaction::SquareId, interaction::SquareId) const override {
        return {};
    }
    bool Annotates() const override { return false; }
    bool HasShapes() const override { return false; }
    bool TypesMoves() const override { return false; }

    // Pinnable: the window pins its owner for each message it hands it.
    bool TryPin() noexcept override { return true; }
    void Unpin() noexcept override {}
};

}  // namespace quelder::win32
