// The board class's input beyond the published mouse reports: pieces dragged
// with the mouse or lifted and put down with the keys, the focus square the
// keys move, and the board as accessibility clients read it.
#include <windows.h>

#include <string>

#include "control/quelder_control.hpp"
#include "board/square_events.hpp"
#include "position/move_piece.hpp"

namespace quelder::win32 {

namespace {

// The key that moves the focus square, if key is one.
std::optional<FocusKey> FocusKeyOf(WPARAM key) {
    switch (key) {
    case VK_LEFT: return FocusKey::Left;
    case VK_RIGHT: return FocusKey::Right;
    case VK_UP: return FocusKey::Up;
    case VK_DOWN: return FocusKey::Down;
    case VK_HOME: return FocusKey::Home;
    case VK_END: return FocusKey::End;
    default: return std::nullopt;
    }
}

std::size_t At(std::int16_t index) { return static_cast<std::size_t>(index); }

}  // namespace

// ---- lifting and putting down --------------------------------------------------------

bool QuelderControl::CanLift(std::int16_t index) {
    return kind_.extended && dragPieces_ && lift_.from == 0 && index >= 1 && index <= kSquareCount &&
           window_.Enabled() && !ShowsNoPiece(board_.m_Pieces[At(index)]);
}

POINT QuelderControl::CentreOf(std::int16_t index) const {
    const PixelSquareView& view = host_.View(index);
    return {view.PixelLeft() + view.PixelWidth() / 2, view.PixelTop() + view.PixelHeight() / 2};
}

void QuelderControl::LiftPiece(std::int16_t index, bool byKeys, POINT centre) {
    const ChangeBatch batch(*this);
    const PixelSquareView& view = host_.View(index);
    const std::int32_t code = board_.m_Pieces[At(index)];
    // The picture first: without memory for it nothing is lifted.
    BoardPicture picture = sharp_->Art(code, view.PixelWidth(), view.PixelHeight());
    const int width = picture.image.Width(), height = picture.image.Height();
    window_.Float(std::move(picture), centre.x - width / 2, centre.y - height / 2);
    lift_ = {index, byKeys, code};
    look_.lifted = index;
}

void QuelderControl::Lift(std::int16_t index, POINT at) {
    if (CanLift(index)) LiftPiece(index, false, at);
}

void QuelderControl::DragTo(POINT at) {
    if (lift_.from == 0 || lift_.byKeys || !window_.Floating()) return;
    const PixelSquareView& view = host_.View(lift_.from);
    window_.FloatTo(at.x - view.PixelWidth() / 2, at.y - view.PixelHeight() / 2);
}

void QuelderControl::Drop(std::int16_t index) {
    if (!lift_.byKeys) PutDown(index);
}

void QuelderControl::CancelDrag() {
    if (lift_.from == 0 || lift_.byKeys) return;
    const ChangeBatch batch(*this);
    EndLift();
}

void QuelderControl::EndLift() {
    lift_ = {};
    look_.lifted = 0;
    window_.Land();
}

void QuelderControl::PutDown(std::int16_t to) {
    const ChangeBatch batch(*this);
    const Lifted lifted = lift_;
    if (lifted.from == 0) return;
    bool cancel = to < 1 || to > kSquareCount || to == lifted.from;
    const Square from = SquareOf(lifted.from);
    const Square onto = cancel ? from : SquareOf(to);
    if (!cancel && !events_.Frozen()) {
        // The piece stays where it was dropped while the host decides.
        const CallOut out(*this);
        cancel = events_.RaisePieceDropped(from.col, from.row, onto.col, onto.row);
    }
    // The host may have put it back itself, lifted another, or moved the
    // piece meanwhile: only the lift it answered for goes on.
    if (lift_.from != lifted.from || lift_.byKeys != lifted.byKeys) return;
    EndLift();
    if (!cancel && board_.m_Pieces[At(lifted.from)] == lifted.code)
        quelder::MovePiece(board_, from.col, from.row, onto.col, onto.row);
}

// ---- the keyboard ------------------------------------------------------------------

void QuelderControl::MoveFocusTo(std::int16_t index) {
    if (index == look_.focus) return;
    look_.focus = index;
    if (lift_.from != 0 && lift_.byKeys) {
        const PixelSquareView& view = host_.View(index);
        window_.FloatTo(view.PixelLeft(), view.PixelTop());
    }
    if (look_.focusShown) NotifyWinEvent(EVENT_OBJECT_FOCUS, window_.Handle(), OBJID_CLIENT, index);
}

bool QuelderControl::KeyDown(WPARAM key, bool repeat) {
    if (!kind_.extended) return false;
    const ChangeBatch batch(*this);
    if (const std::optional<FocusKey> move = FocusKeyOf(key)) {
        const Square to = quelder::MoveFocus(look_, SquareOf(look_.focus), *move);
        MoveFocusTo(SquareIndex(to.col, to.row));
        return true;
    }
    const bool byKeys = lift_.from != 0 && lift_.byKeys;
    switch (key) {
    case VK_SPACE:
    case VK_RETURN:
        // Held down, the key does not act again.
        if (repeat) return true;
        if (byKeys) {
            PutDown(look_.focus);
        } else if (lift_.from == 0 && CanLift(look_.focus)) {
            LiftPiece(look_.focus, true, CentreOf(look_.focus));
        } else if (lift_.from == 0) {
            Check_Click(board_, look_.focus);
        }
        return true;
    case VK_ESCAPE:
        if (byKeys) {
            EndLift();
            return true;
        }
        break;
    default:
        break;
    }
    if (!events_.Frozen()) {
        const CallOut out(*this);
        events_.RaiseKeyDown(static_cast<std::int16_t>(key), ShiftState());
    }
    return true;
}

bool QuelderControl::WantsKey(WPARAM key) const {
    return FocusKeyOf(key) || key == VK_SPACE || key == VK_RETURN || (key == VK_ESCAPE && lift_.from != 0);
}

void QuelderControl::FocusChanged(bool focused) {
    const ChangeBatch batch(*this);
    look_.focusShown = focused;
    if (!focused) {
        // A piece the keys lifted goes back when the board loses the keys.
        if (lift_.from != 0 && lift_.byKeys) EndLift();
        return;
    }
    NotifyWinEvent(EVENT_OBJECT_FOCUS, window_.Handle(), OBJID_CLIENT, look_.focus);
    // Focus by Tab or by a click makes the control the container's active one.
    if (site_.inPlace && !site_.uiActive) {
        const CallOut out(*this);
        ActivateUserInterface();
    }
}

// ---- accessibility ------------------------------------------------------------------

LRESULT QuelderControl::GetObject(WPARAM wParam, LPARAM lParam) {
    if (!kind_.extended) return 0;
    if (!accessible_) accessible_ = BoardAccessible::Create<BoardAccessible>(static_cast<AccessibleSquares&>(*this));
    return accessible_->Answer(wParam, lParam);
}

std::wstring QuelderControl::CellName(std::int16_t child) const {
    const Square square = SquareOf(child);
    return com::Widen(SquareName(square.col, square.row, board_.m_Pieces[At(child)]));
}

bool QuelderControl::CellSelected(std::int16_t child) const { return board_.m_Selected[At(child)] != kFalse; }

bool QuelderControl::CellMarked(std::int16_t child) const { return look_.marks[At(child)].has_value(); }

std::int16_t QuelderControl::FocusedCell() const {
    const HWND window = window_.Handle();
    return window != nullptr && GetFocus() == window ? look_.focus : 0;
}

RECT QuelderControl::CellRect(std::int16_t child) const {
    const PixelSquareView& view = host_.View(child);
    return {view.PixelLeft(), view.PixelTop(), view.PixelLeft() + view.PixelWidth(),
            view.PixelTop() + view.PixelHeight()};
}

void QuelderControl::ClickCell(std::int16_t child) {
    const ChangeBatch batch(*this);
    if (window_.Enabled()) Check_Click(board_, child);
}

void QuelderControl::AnnounceChanges() noexcept {
    const HWND window = window_.Handle();
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        const Announced now{board_.m_Pieces[At(k)], board_.m_Selected[At(k)] != kFalse, look_.marks[At(k)].has_value()};
        Announced& told = announced_[At(k)];
        if (now == told) continue;
        if (window != nullptr && accessible_) {
            if (now.code != told.code) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, k);
            if (now.selected != told.selected)
                NotifyWinEvent(now.selected ? EVENT_OBJECT_SELECTIONADD : EVENT_OBJECT_SELECTIONREMOVE, window,
                               OBJID_CLIENT, k);
            if (now.marked != told.marked) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, k);
        }
        told = now;
    }
}

}  // namespace quelder::win32
