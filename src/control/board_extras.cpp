#include "control/board_extras.hpp"

#include <limits>
#include <optional>

#include "com/com_error.hpp"
#include "host/control_error.hpp"

namespace quelder::win32 {

namespace {

std::size_t At(std::int16_t index) { return static_cast<std::size_t>(index); }

bool OnBoard(interaction::SquareId square) { return square >= 1 && square <= kSquareCount; }

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

}  // namespace

BoardExtras::BoardExtras(PixelHostBase& host, const Board& board, ControlWindow& window, ExtrasOwner& owner)
    : host_(host), board_(board), window_(window), owner_(owner), squares_(host) {}

BoardExtras::~BoardExtras() {
    if (accessible_) accessible_->Disconnect();
}

// ---- the members --------------------------------------------------------------------

void BoardExtras::SetFlipped(bool flipped) {
    look_.flipped = flipped;
    host_.Orient(flipped);
}

void BoardExtras::LaidOut() { host_.LaidOut(look_.flipped); }

void BoardExtras::SetDragPieces(bool on) {
    dragPieces_ = on;
    if (!on) window_.DragsOff();
}

void BoardExtras::BeginUpdate() {
    if (updates_ == std::numeric_limits<int>::max()) Raise(error::kOverflow);
    window_.HoldChanges();
    ++updates_;
}

void BoardExtras::EndUpdate() {
    if (updates_ == 0) Raise(error::kInvalidArgument, "EndUpdate without BeginUpdate");
    window_.ReleaseChanges();
    --updates_;
}

// ---- the board the interaction reads -------------------------------------------------

bool BoardExtras::DropsAllowed() const {
    // A frozen board asks nothing of its host, so it takes no drops.
    return dragPieces_ && window_.Enabled() && !owner_.EventsFrozen();
}

bool BoardExtras::Liftable(interaction::SquareId square) const {
    return DropsAllowed() && OnBoard(square) && !ShowsNoPiece(board_.m_Pieces[At(square)]);
}

interaction::SquareId BoardExtras::Step(interaction::SquareId square, interaction::Key key) const {
    const std::optional<FocusKey> move = FocusKeyOf(key);
    if (!move || !OnBoard(square)) return square;
    const Square to = quelder::MoveFocus(look_, SquareOf(square), *move);
    return SquareIndex(to.col, to.row);
}

BoardPicture BoardExtras::PieceArt(std::int16_t index) {
    const PixelSquareView& view = host_.View(index);
    return squares_.Art(board_.m_Pieces[At(index)], view.PixelWidth(), view.PixelHeight());
}

// ---- drawing and telling ---------------------------------------------------------------

void BoardExtras::Settle() noexcept {
    // What the squares show of the interaction is the window's to say.
    const interaction::Overlay drawn = window_.Drawn();
    look_.lifted = drawn.lifted;
    look_.focus = drawn.focus;
    look_.focusShown = drawn.focusShown;
    try {
        squares_.Settle(board_, look_, [this](PixelSquareView& view) { owner_.ViewDrawn(view); });
    } catch (...) {
        // No memory for a size's pictures: the squares not drawn keep what
        // they show and are drawn with the next change.
    }
    AnnounceChanges();
}

void BoardExtras::FocusMoved() {
    const interaction::Overlay drawn = window_.Drawn();
    if (drawn.focusShown && window_.Handle() != nullptr)
        NotifyWinEvent(EVENT_OBJECT_FOCUS, window_.Handle(), OBJID_CLIENT, drawn.focus);
}

void BoardExtras::AnnounceChanges() noexcept {
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

// ---- accessibility ------------------------------------------------------------------

LRESULT BoardExtras::GetObject(WPARAM wParam, LPARAM lParam) {
    if (!accessible_) accessible_ = BoardAccessible::Create<BoardAccessible>(static_cast<AccessibleSquares&>(*this));
    return accessible_->Answer(wParam, lParam);
}

std::wstring BoardExtras::CellName(std::int16_t child) const {
    const Square square = SquareOf(child);
    return com::Widen(SquareName(square.col, square.row, board_.m_Pieces[At(child)]));
}

bool BoardExtras::CellSelected(std::int16_t child) const { return board_.m_Selected[At(child)] != kFalse; }

bool BoardExtras::CellMarked(std::int16_t child) const { return look_.marks[At(child)].has_value(); }

std::int16_t BoardExtras::FocusedCell() const {
    const HWND window = window_.Handle();
    return window != nullptr && GetFocus() == window ? window_.Drawn().focus : 0;
}

RECT BoardExtras::CellRect(std::int16_t child) const {
    const PixelSquareView& view = host_.View(child);
    return {view.PixelLeft(), view.PixelTop(), view.PixelLeft() + view.PixelWidth(),
            view.PixelTop() + view.PixelHeight()};
}

}  // namespace quelder::win32
