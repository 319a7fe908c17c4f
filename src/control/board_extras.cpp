#include "control/board_extras.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

#include "com/com_error.hpp"
#include "control/text_box.hpp"
#include "host/control_error.hpp"
#include "render/board_image.hpp"

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
    : host_(host), board_(board), window_(window), owner_(owner), squares_(host), shown_(Pieces()),
      animation_(shown_) {
    FollowSystemColours();
}

BoardExtras::~BoardExtras() {
    if (accessible_) accessible_->Disconnect();
    // The sprites' pictures are this object's.
    window_.StopFrames();
    window_.SetSprites({});
}

// ---- the animation ----------------------------------------------------------------------

namespace {
std::uint32_t Now() { return GetTickCount(); }
}  // namespace

interaction::Pieces BoardExtras::Pieces() const {
    interaction::Pieces pieces{};
    std::copy(board_.m_Pieces.begin(), board_.m_Pieces.end(), pieces.begin());
    return pieces;
}

std::uint32_t BoardExtras::Duration() const {
    const HWND window = window_.Handle();
    if (animationTime_ == 0 || window == nullptr || !IsWindowVisible(window)) return 0;
    BOOL animate = TRUE;
    if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animate, 0)) animate = TRUE;
    return animate ? static_cast<std::uint32_t>(animationTime_) : 0;
}

POINT BoardExtras::PixelsOf(const interaction::Spot& spot) const {
    // The squares lie in a regular grid, from column 1 row 1 to column 8 row
    // 8 whichever way the board is seen.
    const PixelSquareView &first = host_.View(1), &last = host_.View(kSquareCount);
    const double x = first.PixelLeft() + spot.x * (last.PixelLeft() - first.PixelLeft()) / 7.0;
    const double y = first.PixelTop() + spot.y * (last.PixelTop() - first.PixelTop()) / 7.0;
    return {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
}

RECT BoardExtras::PixelsOf(const interaction::Box& box) const {
    // The box's first and last unit squares, and all between.
    const POINT a = PixelsOf(interaction::Spot{box.left, box.top});
    const POINT b = PixelsOf(interaction::Spot{box.right - 1, box.bottom - 1});
    const PixelSquareView& first = host_.View(1);
    // A pixel more all round: the rounding of the places drawn.
    return {std::min(a.x, b.x) - 1, std::min(a.y, b.y) - 1, std::max(a.x, b.x) + first.PixelWidth() + 1,
            std::max(a.y, b.y) + first.PixelHeight() + 1};
}

interaction::Spot BoardExtras::UnitsOf(POINT point) const {
    const PixelSquareView &first = host_.View(1), &last = host_.View(kSquareCount);
    const int dx = last.PixelLeft() - first.PixelLeft(), dy = last.PixelTop() - first.PixelTop();
    return {dx == 0 ? 0.0 : (point.x - first.PixelLeft()) * 7.0 / dx,
            dy == 0 ? 0.0 : (point.y - first.PixelTop()) * 7.0 / dy};
}

void BoardExtras::Invalidate(const std::vector<interaction::Box>& boxes) {
    for (const interaction::Box& box : boxes) window_.Invalidate(PixelsOf(box));
}

void BoardExtras::SlideHome(std::int16_t square, POINT topLeft) {
    if (!OnBoard(square)) return;
    Invalidate(animation_.SlideHome(square, UnitsOf(topLeft), Now(), Duration()));
}

void BoardExtras::Frame() { Invalidate(animation_.Advance(Now())); }

void BoardExtras::Finish() {
    shown_ = Pieces();
    Invalidate(animation_.Change(shown_, Now(), 0));
}

void BoardExtras::Animate() {
    // A BeginUpdate batch animates as one change, when it ends.
    if (updates_ > 0) return;
    const interaction::Pieces pieces = Pieces();
    if (pieces == shown_) return;
    Invalidate(animation_.Change(pieces, Now(), Duration(), std::exchange(drop_, {})));
    shown_ = pieces;
}

void BoardExtras::ShowMoving() {
    const std::uint32_t now = Now();
    std::vector<Sprite> sprites;
    const PixelSquareView& view = host_.View(1);
    for (const interaction::Sprite& s : animation_.Sprites(now)) {
        const POINT at = PixelsOf(s.at);
        sprites.push_back({&squares_.PieceArt(s.piece, view.PixelWidth(), view.PixelHeight()), at.x, at.y,
                           static_cast<int>(std::lround(std::clamp(s.opacity, 0.0, 1.0) * 255))});
    }
    window_.SetSprites(std::move(sprites));
    if (animation_.Running(now))
        window_.StartFrames();
    else
        window_.StopFrames();
}

void BoardExtras::ShowTyped(const std::string& typed) {
    if (typed == typedShown_) return;
    typedShown_ = typed;
    if (typed.empty()) return window_.SetNote(std::nullopt);
    const int edge = host_.View(1).PixelHeight();
    BoardPicture box = TextBox(com::Widen(typed), std::max(16, edge / 2));
    const int margin = std::max(2, edge / 12), top = window_.Size().cy - box.image.Height() - margin;
    window_.SetNote(FloatingPicture{std::move(box), margin, top});
}

std::vector<Sprite> BoardExtras::FinalPieces() {
    std::vector<Sprite> pieces;
    const std::uint64_t hidden = look_.hidden;
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (((hidden >> (k - 1)) & 1) == 0 || ShowsNoPiece(board_.m_Pieces[At(k)])) continue;
        const PixelSquareView& view = host_.View(k);
        pieces.push_back({&squares_.PieceArt(board_.m_Pieces[At(k)], view.PixelWidth(), view.PixelHeight()),
                          view.PixelLeft(), view.PixelTop(), 255});
    }
    return pieces;
}

// ---- the members --------------------------------------------------------------------

void BoardExtras::SetFlipped(bool flipped) {
    look_.flipped = flipped;
    host_.Orient(flipped);
}

void BoardExtras::SetLightColour(std::int32_t colour, Pixel drawn) {
    lightColour_ = colour;
    look_.flat = std::make_pair(drawn, look_.flat ? look_.flat->second : kDefaultFlatDark);
}

void BoardExtras::SetDarkColour(std::int32_t colour, Pixel drawn) {
    darkColour_ = colour;
    look_.flat = std::make_pair(look_.flat ? look_.flat->first : kDefaultFlatLight, drawn);
}

void BoardExtras::UseWood() {
    lightColour_ = kDefaultLightColour;
    darkColour_ = kDefaultDarkColour;
    look_.flat.reset();
}

void BoardExtras::FollowSystemColours() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    const bool on = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != FALSE &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    if (!on) {
        look_.system.reset();
        return;
    }
    const auto colour = [](int index) {
        const COLORREF rgb = GetSysColor(index);
        return MakePixel(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    };
    look_.system =
        SystemColours{colour(COLOR_WINDOW), colour(COLOR_BTNFACE), colour(COLOR_WINDOWTEXT), colour(COLOR_HIGHLIGHT)};
}

void BoardExtras::UsePieces(std::shared_ptr<const PieceSet> pieces) {
    // Every square is drawn again as the member ends.
    squares_.UsePieces(std::move(pieces));
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
    if (milliseconds < 0 || milliseconds > kMaxAnimationTime) Raise(error::kInvalidPropertyValue);
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
    return squares_.PieceArt(board_.m_Pieces[At(index)], view.PixelWidth(), view.PixelHeight());
}

// ---- drawing and telling ---------------------------------------------------------------

Image BoardExtras::Picture(int size) {
    // The board as it stands: every piece home, nothing of the user's
    // interaction with it.
    BoardLook look = look_;
    look.lifted = look.picked = 0;
    look.hidden = 0;
    look.focusShown = false;
    look.destinations = 0;
    look.chooser.clear();
    look.chooserFocus = 0;
    return DrawBoardImage(host_, squares_, board_, look, size);
}

int BoardExtras::Size() const { return static_cast<int>(std::lround(8.0 * host_.View(1).Width())); }

void BoardExtras::Settle() noexcept {
    // What the squares show of the interaction is the window's to say.
    const interaction::Overlay drawn = window_.Drawn();
    try {
        Animate();
        look_.hidden = animation_.Hidden(Now());
    } catch (...) {
        // No memory for the animation: the board shows where the pieces are.
        look_.hidden = 0;
    }
    look_.lifted = drawn.inPlace ? 0 : drawn.lifted;
    look_.picked = drawn.inPlace ? drawn.lifted : 0;
    look_.focus = drawn.focus;
    look_.focusShown = drawn.focusShown;
    look_.destinations = drawn.destinations;
    look_.chooserFocus = drawn.chooserFocus;
    try {
        look_.chooser.clear();
        for (std::size_t k = 0; k < drawn.chooser.size() && k < drawn.chooserSquares.size(); ++k)
            look_.chooser.push_back({drawn.chooserSquares[k], drawn.chooser[k].piece});
        squares_.Settle(board_, look_, [this](PixelSquareView& view) { owner_.ViewDrawn(view); });
        ShowMoving();
        ShowTyped(drawn.typed);
    } catch (...) {
        // No memory for a size's pictures: the squares not drawn keep what
        // they show and are drawn with the next change. What moved is not
        // drawn moving: its pictures may be gone.
        window_.SetSprites({});
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
        const Announced now{board_.m_Pieces[At(k)], board_.m_Selected[At(k)] != kFalse, look_.marks[At(k)].has_value(),
                            CellDestination(k)};
        Announced& told = announced_[At(k)];
        if (now == told) continue;
        if (window != nullptr && accessible_) {
            if (now.code != told.code) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, k);
            if (now.selected != told.selected)
                NotifyWinEvent(now.selected ? EVENT_OBJECT_SELECTIONADD : EVENT_OBJECT_SELECTIONREMOVE, window,
                               OBJID_CLIENT, k);
            if (now.marked != told.marked || now.destination != told.destination)
                NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, k);
        }
        told = now;
    }
    // The chooser is a menu that pops up over the board, its focused piece
    // the focus; when it goes, the focus is the focus square's again.
    const std::size_t items = look_.chooser.size();
    const int item = look_.chooserFocus;
    if (items == toldItems_ && (items == 0 || item == toldItem_)) return;
    if (window != nullptr && accessible_) {
        if (toldItems_ == 0) NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, window, OBJID_CLIENT, CHILDID_SELF);
        if (items == 0) {
            NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, window, OBJID_CLIENT, CHILDID_SELF);
            if (look_.focusShown) NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, look_.focus);
        } else if (GetFocus() == window) {
            NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, kSquareCount + 1 + item);
        }
    }
    toldItems_ = items;
    toldItem_ = item;
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

bool BoardExtras::CellDestination(std::int16_t child) const { return ((look_.destinations >> (child - 1)) & 1) != 0; }

std::vector<AccessibleSquares::ChooserEntry> BoardExtras::Chooser() const {
    const interaction::Overlay drawn = window_.Drawn();
    std::vector<ChooserEntry> entries;
    for (std::size_t k = 0; k < drawn.chooser.size() && k < drawn.chooserSquares.size(); ++k) {
        const char letter = drawn.chooser[k].letter;
        entries.push_back({letter == 'q'   ? L"queen"
                           : letter == 'r' ? L"rook"
                           : letter == 'b' ? L"bishop"
                                           : L"knight",
                           drawn.chooserSquares[k]});
    }
    return entries;
}

std::int16_t BoardExtras::FocusedCell() const {
    const HWND window = window_.Handle();
    if (window == nullptr || GetFocus() != window) return 0;
    const interaction::Overlay drawn = window_.Drawn();
    if (!drawn.chooser.empty()) return static_cast<std::int16_t>(kSquareCount + 1 + drawn.chooserFocus);
    return drawn.focus;
}

RECT BoardExtras::CellRect(std::int16_t child) const {
    const PixelSquareView& view = host_.View(child);
    return {view.PixelLeft(), view.PixelTop(), view.PixelLeft() + view.PixelWidth(),
            view.PixelTop() + view.PixelHeight()};
}

}  // namespace quelder::win32
