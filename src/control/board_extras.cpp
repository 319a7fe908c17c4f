#include "control/board_extras.hpp"

#include <algorithm>
#include <iterator>
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

void BoardExtras::SetAnimationTime(std::int32_t milliseconds) {
    if (milliseconds < 0 || milliseconds > 2000) Raise(error::kInvalidPropertyValue);
    animationTime_ = milliseconds;
}

namespace {

constexpr char kBrushLetters[] = {'G', 'R', 'B', 'Y'};

std::int16_t IndexOf(Square square) { return SquareIndex(square.col, square.row); }

}  // namespace

std::string BoardExtras::Annotations() const {
    std::string text;
    for (const UserShape& shape : look_.shapes) {
        if (!text.empty()) text += ' ';
        text += kBrushLetters[static_cast<int>(shape.brush)];
        text += SquareText(shape.from);
        if (shape.to != shape.from) text += SquareText(shape.to);
    }
    return text;
}

void BoardExtras::SetAnnotations(std::string_view text) {
    if (text.size() > kMaxMoveListText) Raise(error::kInvalidPropertyValue, "The list of annotations is too long");
    std::vector<UserShape> shapes;
    for (const std::string_view word : Words(text)) {
        const auto bad = [&] {
            Raise(error::kInvalidPropertyValue, "'" + std::string(word.substr(0, 16)) + "' is not an annotation");
        };
        if (word.size() != 3 && word.size() != 5) bad();
        const auto letter = std::find(std::begin(kBrushLetters), std::end(kBrushLetters), word[0]);
        const auto from = ParseSquareText(word.substr(1, 2));
        const auto to = word.size() == 5 ? ParseSquareText(word.substr(3, 2)) : from;
        if (letter == std::end(kBrushLetters) || !from || !to || (word.size() == 5 && *from == *to)) bad();
        const UserShape shape{static_cast<Brush>(letter - std::begin(kBrushLetters)), *from, *to};
        // One shape per pair of squares: the last one given stands.
        std::erase_if(shapes, [&](const UserShape& s) { return s.from == shape.from && s.to == shape.to; });
        shapes.push_back(shape);
    }
    look_.shapes = std::move(shapes);
}

void BoardExtras::ToggleShape(std::int16_t from, std::int16_t to, int brush) {
    if (!OnBoard(from) || !OnBoard(to) || brush < 0 || brush > 3) return;
    const UserShape shape{static_cast<Brush>(brush), SquareOf(from), SquareOf(to)};
    auto& shapes = look_.shapes;
    const auto same = std::find_if(shapes.begin(), shapes.end(),
                                   [&](const UserShape& s) { return s.from == shape.from && s.to == shape.to; });
    if (same == shapes.end()) {
        shapes.push_back(shape);
    } else if (same->brush == shape.brush) {
        shapes.erase(same);
    } else {
        same->brush = shape.brush;
    }
}

std::string BoardExtras::LastMove() const {
    if (look_.lastFrom == 0) return {};
    return MoveText({SquareOf(look_.lastFrom), SquareOf(look_.lastTo)});
}

void BoardExtras::SetLastMove(std::string_view text) {
    if (text.empty()) {
        look_.lastFrom = look_.lastTo = 0;
        return;
    }
    const auto move = ParseMoveText(text.substr(0, 5));
    if (!move || text.size() > 5 || move->promotion != '\0')
        Raise(error::kInvalidPropertyValue, "'" + std::string(text.substr(0, 16)) + "' is not a move");
    look_.lastFrom = IndexOf(move->from);
    look_.lastTo = IndexOf(move->to);
}

std::string BoardExtras::CheckSquare() const { return look_.check == 0 ? std::string() : SquareText(SquareOf(look_.check)); }

void BoardExtras::SetCheckSquare(std::string_view text) {
    if (text.empty()) {
        look_.check = 0;
        return;
    }
    const auto square = ParseSquareText(text);
    if (!square) Raise(error::kInvalidPropertyValue, "'" + std::string(text.substr(0, 16)) + "' is not a square");
    look_.check = IndexOf(*square);
}

// ---- the board the interaction reads -------------------------------------------------

std::uint64_t BoardExtras::Destinations(interaction::SquareId square) const {
    std::uint64_t bits = 0;
    for (const CoordinateMove& move : legal_)
        if (IndexOf(move.from) == square) bits |= std::uint64_t{1} << (IndexOf(move.to) - 1);
    return bits;
}

std::vector<interaction::Promotion> BoardExtras::Promotions(interaction::SquareId from,
                                                            interaction::SquareId to) const {
    // In the mover's colours, the queen first: nearest the board's edge.
    const bool white = OnBoard(from) && board_.m_Pieces[At(from)] >= Wpawn;
    const std::pair<char, std::int32_t> forms[] = {{'q', white ? WQueen : BQueen},
                                                   {'r', white ? Wrook : Brook},
                                                   {'b', white ? Wbishop : Bbishop},
                                                   {'n', white ? Wknight : Bknight}};
    std::vector<interaction::Promotion> listed;
    for (const auto& [letter, code] : forms)
        for (const CoordinateMove& move : legal_)
            if (IndexOf(move.from) == from && IndexOf(move.to) == to && move.promotion == letter) {
                listed.push_back({letter, code});
                break;
            }
    return listed;
}


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
    look_.lifted = drawn.inPlace ? 0 : drawn.lifted;
    look_.focus = drawn.focus;
    look_.focusShown = drawn.focusShown;
    look_.destinations = drawn.destinations;
    look_.chooserFocus = drawn.chooserFocus;
    try {
        look_.chooser.clear();
        for (std::size_t k = 0; k < drawn.chooser.size() && k < drawn.chooserSquares.size(); ++k)
            look_.chooser.push_back({drawn.chooserSquares[k], drawn.chooser[k].piece});
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
