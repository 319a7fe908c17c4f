// The board class's input beyond the published mouse reports, as the window's
// interaction asks it of the control: the board it reads, the pieces lifted,
// dropped and moved, the keys it has no use for, the focus square shown; and
// the board as accessibility clients read it.
#include <windows.h>

#include <string>

#include "control/quelder_control.hpp"
#include "board/square_events.hpp"
#include "position/move_piece.hpp"
#include "interaction/board_interaction.hpp"

namespace quelder::win32 {

namespace {

std::size_t At(std::int16_t index) { return static_cast<std::size_t>(index); }

std::optional<FocusKey> FocusKeyOf(interaction::Key key) {
    using interaction::Key;
    switch (key) {
    case Key::Left: return FocusKey::Left;
    case Key::Right: return FocusKey::Right;
    case Key::Up: return FocusKey::Up;
    case Key::Down: return FocusKey::Down;
    case Key::Home: return FocusKey::Home;
    case Key::End: return FocusKey::End;
    default: return std::nullopt;
    }
}

bool OnBoard(interaction::SquareId square) { return square >= 1 && square <= kSquareCount; }

}  // namespace

// ---- the board the interaction reads -------------------------------------------------

bool QuelderControl::DropsAllowed() const {
    // A frozen board asks nothing of its host, so it takes no drops.
    return kind_.extended && dragPieces_ && window_.Enabled() && !events_.Frozen();
}

bool QuelderControl::Liftable(interaction::SquareId square) const {
    return DropsAllowed() && OnBoard(square) && !ShowsNoPiece(board_.m_Pieces[At(square)]);
}

std::int32_t QuelderControl::PieceAt(interaction::SquareId square) const {
    return OnBoard(square) ? board_.m_Pieces[At(square)] : 0;
}

interaction::SquareId QuelderControl::Step(interaction::SquareId square, interaction::Key key) const {
    const std::optional<FocusKey> move = FocusKeyOf(key);
    if (!move || !OnBoard(square)) return square;
    const Square to = quelder::MoveFocus(look_, SquareOf(square), *move);
    return SquareIndex(to.col, to.row);
}

// ---- what the interaction asks of the control ----------------------------------------

void QuelderControl::Lift(std::int16_t index, POINT centre) {
    const ChangeBatch batch(*this);
    const PixelSquareView& view = host_.View(index);
    BoardPicture picture = sharp_->Art(board_.m_Pieces[At(index)], view.PixelWidth(), view.PixelHeight());
    const int width = picture.image.Width(), height = picture.image.Height();
    window_.Float(std::move(picture), centre.x - width / 2, centre.y - height / 2);
}

bool QuelderControl::PieceDropped(std::int16_t from, std::int16_t to) {
    const ChangeBatch batch(*this);
    if (events_.Frozen()) return true;
    const Square a = SquareOf(from), b = SquareOf(to);
    const CallOut out(*this);
    return events_.RaisePieceDropped(a.col, a.row, b.col, b.row);
}

void QuelderControl::MovePiece(std::int16_t from, std::int16_t to) {
    const ChangeBatch batch(*this);
    const Square a = SquareOf(from), b = SquareOf(to);
    quelder::MovePiece(board_, a.col, a.row, b.col, b.row);
}

void QuelderControl::KeyDown(int code, int shift) {
    const ChangeBatch batch(*this);
    if (events_.Frozen()) return;
    const CallOut out(*this);
    events_.RaiseKeyDown(static_cast<std::int16_t>(code), static_cast<std::int16_t>(shift));
}

void QuelderControl::OverlayChanged(bool focusMoved) {
    const ChangeBatch batch(*this);
    const interaction::Overlay drawn = window_.Drawn();
    if (focusMoved && drawn.focusShown && window_.Handle() != nullptr)
        NotifyWinEvent(EVENT_OBJECT_FOCUS, window_.Handle(), OBJID_CLIENT, drawn.focus);
}

void QuelderControl::BecomeActive() {
    // Focus by Tab or by a click makes the control the container's active one.
    if (!site_.inPlace || site_.uiActive) return;
    const ChangeBatch batch(*this);
    const CallOut out(*this);
    ActivateUserInterface();
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
    return window != nullptr && GetFocus() == window ? window_.Drawn().focus : 0;
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
