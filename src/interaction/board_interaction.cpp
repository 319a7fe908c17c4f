#include "interaction/board_interaction.hpp"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

#include "position/move_text.hpp"

namespace quelder::interaction {

namespace {

using K = Action::Kind;

Action Do(K kind, SquareId square = 0) {
    Action action{kind};
    action.square = square;
    action.home = kind == K::PutBack;
    return action;
}

Action Raise(K kind, SquareId square, const Input& input, Next next = {}) {
    Action action{kind};
    action.square = square;
    action.at = input.at;
    action.button = input.button;
    action.shift = input.shift;
    action.next = next;
    return action;
}

bool IsFocusKey(Key key) {
    switch (key) {
    case Key::Left:
    case Key::Right:
    case Key::Up:
    case Key::Down:
    case Key::Home:
    case Key::End: return true;
    default: return false;
    }
}

std::uint64_t Bit(SquareId square) { return square >= 1 && square <= 64 ? std::uint64_t{1} << (square - 1) : 0; }

// The square of typed text such as "e2", as moves are written.
SquareId TypedSquare(const std::string& text, std::size_t at) {
    const std::optional<Square> square = ParseSquareText(std::string_view(text).substr(at, 2));
    return square ? SquareIndex(square->col, square->row) : 0;
}

// Whether c may follow typed text: a file, a rank, a file, a rank, and a
// promotion letter.
bool Extends(const std::string& typed, char c) {
    switch (typed.size()) {
    case 0:
    case 2: return c >= 'a' && c <= 'h';
    case 1:
    case 3: return c >= '1' && c <= '8';
    case 4: return c == 'q' || c == 'r' || c == 'b' || c == 'n';
    default: return false;
    }
}

// A key the board has no use for: the host hears it.
Action KeyReport(const Input& input) {
    Action report{K::RaiseKeyDown};
    report.code = input.code;
    report.shift = input.shift;
    return report;
}

// The report that begins a press: a double click in place of the MouseDown.
Action PressReport(const Next& press) {
    Action action{press.doubleClick ? K::RaiseDblClick : K::RaiseMouseDown};
    action.square = press.square;
    action.at = press.at;
    action.button = press.button;
    action.shift = press.shift;
    return action;
}

}  // namespace

Actions BoardInteraction::Handle(const Input& input, const BoardView& board) {
    using I = Input::Kind;
    if (chooser_.to != 0)
        if (std::optional<Actions> out = ChooserInput(input, board)) return *out;
    switch (input.kind) {
    case I::PointerDown: return Down(input, board);
    case I::PointerMove: return Move(input, board);
    case I::PointerUp: return Up(input, board);
    case I::Key: return KeyPressed(input, board);
    case I::FocusGained:
        focusShown_ = true;
        return {Do(K::FocusShown, focus_), Do(K::ActivateUI)};
    case I::FocusLost: {
        focusShown_ = false;
        Actions out{Do(K::FocusHidden, focus_)};
        PutBackIfIdle(out, true);
        return out;
    }
    case I::CaptureLost: return EndPress(false);
    case I::Cancel: return EndPress(true);
    case I::Disabled: {
        Actions out = EndPress(true);
        PutBackIfIdle(out, true);
        if (!typed_.empty()) {
            typed_.clear();
            out.push_back(Do(K::ShowTyped));
        }
        return out;
    }
    case I::Deactivated: {
        press_ = {};
        Actions out;
        if (!typed_.empty()) {
            typed_.clear();
            out.push_back(Do(K::ShowTyped));
        }
        if (std::exchange(focusShown_, false)) out.push_back(Do(K::FocusHidden, focus_));
        PutBackIfIdle(out, false);
        return out;
    }
    }
    return {};
}

Actions BoardInteraction::Continue(const Next& next, const Answer& answer, const BoardView& board) {
    using N = Next::Kind;
    switch (next.kind) {
    case N::Nothing: return {};
    case N::AfterShapesCleared:
        if (!answer.stillHere || press_.square != next.square) return {};
        return StartPress(next);
    case N::AfterPress:
        // Taking the focus called out: the press goes on only if nothing
        // ended it meanwhile.
        if (!answer.stillHere || press_.square != next.square) return {};
        return {PressReport(next)};
    case N::AfterMove: {
        if (!answer.stillHere || press_.square != next.square) return {};
        if (press_.dragging) return {[&] {
            Action action = Do(K::FloatTo, press_.square);
            action.at = next.at;
            return action;
        }()};
        // Only the left button lifts, and only beyond the drag distance.
        if (press_.buttons != kLeftButton || press_.doubleClick) return {};
        if (std::abs(next.at.x - press_.start.x) <= settings_.dragX &&
            std::abs(next.at.y - press_.start.y) <= settings_.dragY)
            return {};
        if (!CanLift(press_.square, board)) return {};
        // A piece a click lifted goes down first, even when this is it.
        Actions out;
        if (lift_.from != 0) {
            if (!lift_.inPlace || lift_.answering) return {};
            out.push_back(Do(K::PutBack, std::exchange(lift_, {}).from));
        }
        press_.dragging = true;
        for (Action& a : LiftAt(press_.square, board, false, false, next.at)) out.push_back(a);
        return out;
    }
    case N::AfterRelease:
        if (!answer.stillHere) {
            Actions out;
            if (next.dropped && lift_.from == next.square && !lift_.byKeys) PutBackIfIdle(out, false);
            return out;
        }
        if (next.dropped) {
            if (lift_.from != next.square || lift_.byKeys || lift_.answering) return {};
            return Drop(next.to, board);
        }
        if (next.click) {
            Action click = Do(K::RaiseClick, next.square);
            click.next = next;
            click.next.kind = Next::Kind::AfterClick;
            return {click};
        }
        if (next.shape) return ClickMove(next, board);
        return {};
    case N::AfterClick:
        if (!answer.stillHere) return {};
        return ClickMove(next, board);
    case N::AfterDrop: {
        // Only the lift the host answered for ends here: a message box its
        // handler showed, which took the focus, did not put it back.
        if (lift_.from != next.square || !lift_.answering) return {};
        lift_ = {};
        Actions out{Do(K::PutBack, next.square)};
        // The host's Cancel, or a handler that changed the square itself,
        // decides against the move.
        if (!answer.cancel && answer.stillHere && board.DropsAllowed() && board.PieceAt(next.square) == next.piece) {
            Action move = Do(K::MovePiece, next.square);
            move.to = next.to;
            move.promotion = next.promotion;
            out.front().home = false;  // it lands where it was dropped
            out.push_back(move);
        }
        return out;
    }
    }
    return {};
}

Actions BoardInteraction::Down(const Input& input, const BoardView& board) {
    if (press_.square != 0) {
        // Another button while one is held: the square of the press hears it.
        press_.buttons |= input.button;
        return {Raise(K::RaiseMouseDown, press_.square, input)};
    }
    const SquareId previous = std::exchange(lastDown_, input.square);
    if (input.square == 0) return {};  // bare surface
    // A double click counts on the square that had the first click.
    const bool doubleClick = input.doubleClick && input.square == previous;
    press_ = {input.square, input.button, doubleClick, input.at, false, input.button == kRightButton};
    Next press{Next::Kind::AfterPress, input.square};
    press.at = input.at;
    press.doubleClick = doubleClick;
    press.button = input.button;
    press.shift = input.shift;
    Actions out{Do(K::TakeCapture, input.square)};
    // A left press clears the user's shapes; the host hears of it first.
    if (input.button == kLeftButton && board.HasShapes()) {
        out.push_back(Do(K::ClearShapes));
        Action changed = Do(K::RaiseAnnotationsChanged);
        changed.next = press;
        changed.next.kind = Next::Kind::AfterShapesCleared;
        out.push_back(changed);
        return out;
    }
    for (Action& a : StartPress(press)) out.push_back(a);
    return out;
}

Actions BoardInteraction::StartPress(const Next& press) {
    if (settings_.takesKeys && !focusShown_) {
        Action focus = Do(K::TakeFocus);
        focus.next = press;
        focus.next.kind = Next::Kind::AfterPress;
        return {focus};
    }
    return {PressReport(press)};
}

Actions BoardInteraction::Move(const Input& input, const BoardView&) {
    if (press_.square != 0) {
        Next then{Next::Kind::AfterMove, press_.square};
        then.at = input.at;
        return {Raise(K::RaiseMouseMove, press_.square, input, then)};
    }
    // Buttons held without a press on a square were pressed elsewhere (on
    // bare surface or outside): those moves are not the squares'.
    if (input.button != 0 || input.square == 0) return {};
    return {Raise(K::RaiseMouseMove, input.square, input)};
}

Actions BoardInteraction::Up(const Input& input, const BoardView& board) {
    // Only a release of a button pressed on a square is reported.
    if (press_.square == 0 || (press_.buttons & input.button) == 0) return {};
    const SquareId square = press_.square;
    const bool doubleClick = press_.doubleClick;
    press_.buttons &= ~input.button;
    Actions out;
    Next then{Next::Kind::AfterRelease, square, input.square};
    if (press_.buttons == 0) {
        then.dropped = press_.dragging;
        then.click = !then.dropped && !doubleClick && input.square == square;
        then.shape = press_.right && input.square != 0 && board.Annotates();
        then.button = press_.right ? kRightButton : kLeftButton;
        then.shift = input.shift;
        press_ = {};
        out.push_back(Do(K::ReleaseCapture));
    }
    out.push_back(Raise(K::RaiseMouseUp, square, input, then));
    return out;
}

Actions BoardInteraction::KeyPressed(const Input& input, const BoardView& board) {
    if (IsFocusKey(input.key)) {
        const SquareId to = board.Step(focus_, input.key);
        if (to == focus_ || to == 0) return {};
        focus_ = to;
        Actions out{Do(K::FocusMoved, to)};
        if (lift_.from != 0 && lift_.byKeys) out.push_back(Do(K::FloatOnto, to));
        return out;
    }
    if (!typed_.empty() || (input.key == Key::Other && board.TypesMoves() && Extends(typed_, input.typed))) {
        if (input.repeat) return {};
        return Typed(input, board);
    }
    switch (input.key) {
    case Key::Space:
    case Key::Enter:
        // Held down, the key does not act again.
        if (input.repeat) return {};
        if (lift_.from != 0) {
            if ((lift_.byKeys || lift_.inPlace) && !lift_.answering) return Drop(focus_, board);
            return {};
        }
        if (CanLift(focus_, board)) return LiftAt(focus_, board, true, false, {});
        return {Do(K::RaiseClick, focus_)};
    case Key::Escape:
        if (press_.dragging) return EndPress(true);
        if (lift_.from != 0 && (lift_.byKeys || lift_.inPlace) && !lift_.answering) {
            lift_.byKeys = true;  // so that it goes back as a lift by the keys does
            Actions out;
            PutBackIfIdle(out, true);
            return out;
        }
        break;
    default:
        break;
    }
    return {KeyReport(input)};
}

// The squares typed so far: a letter or digit that continues a move is
// added, Backspace takes the last back, Escape clears them, Enter makes the
// move through the path of a drop.
Actions BoardInteraction::Typed(const Input& input, const BoardView& board) {
    switch (input.key) {
    case Key::Backspace: typed_.pop_back(); return {Do(K::ShowTyped)};
    case Key::Escape: typed_.clear(); return {Do(K::ShowTyped)};
    case Key::Enter: {
        if (typed_.size() < 4) return {};
        const std::string text = std::exchange(typed_, {});
        Actions out{Do(K::ShowTyped)};
        const SquareId from = TypedSquare(text, 0), to = TypedSquare(text, 2);
        if (lift_.answering || !CanLift(from, board)) return out;
        if (lift_.from != 0) out.push_back(Do(K::PutBack, std::exchange(lift_, {}).from));
        for (Action& a : LiftAt(from, board, true, false, {})) out.push_back(a);
        out.push_back(Do(K::FloatOnto, to));
        for (Action& a : Drop(to, board, text.size() == 5 ? text[4] : '\0')) out.push_back(a);
        return out;
    }
    case Key::Other:
        if (!Extends(typed_, input.typed)) break;
        typed_ += input.typed;
        return {Do(K::ShowTyped)};
    default:
        break;
    }
    // Any other key while typing: the text stays, and the host hears the key.
    return {KeyReport(input)};
}

Actions BoardInteraction::Drop(SquareId to, const BoardView& board, char letter) {
    const SquareId from = lift_.from;
    // Off the board, on its own square, on a board that takes no drops now,
    // or where the host's moves do not lead: put back, with no event.
    if (to == 0 || to == from || !board.DropsAllowed() || (board.Restricted() && (lift_.destinations & Bit(to)) == 0)) {
        lift_ = {};
        return {Do(K::PutBack, from)};
    }
    if (!board.Restricted()) return RaiseDrop(to, 0);
    std::vector<Promotion> forms = board.Promotions(from, to);
    if (forms.empty()) return RaiseDrop(to, 0);
    if (letter != '\0') {
        // A typed form skips the chooser; one the host does not list is no move.
        for (const Promotion& form : forms)
            if (form.letter == letter) return RaiseDrop(to, form.piece);
        lift_ = {};
        return {Do(K::PutBack, from)};
    }
    // The chooser opens on the target's file, from the board's edge inwards,
    // the queen focused: Enter alone makes the usual choice.
    const Key inwards = board.Step(to, Key::Up) == to ? Key::Down : Key::Up;
    chooser_ = {to, std::move(forms), {}, 0};
    SquareId square = to;
    for (std::size_t k = 0; k < chooser_.forms.size(); ++k) {
        chooser_.squares.push_back(square);
        if (chooser_.forms[k].letter == 'q' && chooser_.forms[static_cast<std::size_t>(chooser_.focus)].letter != 'q')
            chooser_.focus = static_cast<int>(k);
        square = board.Step(square, inwards);
    }
    return {Do(K::ShowChooser)};
}

Actions BoardInteraction::RaiseDrop(SquareId to, std::int32_t promotion) {
    const SquareId from = lift_.from;
    lift_.answering = true;
    // The piece stays where it was dropped while the host decides.
    Action report = Do(K::RaisePieceDropped, from);
    report.to = to;
    report.promotion = promotion;
    report.next = {Next::Kind::AfterDrop, from, to};
    report.next.piece = lift_.piece;
    report.next.promotion = promotion;
    return {report};
}

std::optional<Actions> BoardInteraction::ChooserInput(const Input& input, const BoardView& board) {
    using I = Input::Kind;
    switch (input.kind) {
    case I::PointerDown:
        // The chooser takes the press: a form is chosen, anywhere else cancels.
        for (std::size_t k = 0; k < chooser_.squares.size(); ++k)
            if (chooser_.squares[k] == input.square) return Choose(static_cast<int>(k));
        return CloseChooser();
    case I::PointerMove:
    case I::PointerUp:
    case I::CaptureLost:
    case I::Cancel: return Actions{};
    case I::FocusLost:
        // A window of the host's own taking the focus does not undo the
        // user's move: the chooser stays.
        focusShown_ = false;
        return Actions{Do(K::FocusHidden, focus_)};
    case I::Key:
        if (input.repeat) return Actions{};
        switch (input.key) {
        case Key::Enter:
        case Key::Space: return Choose(chooser_.focus);
        case Key::Escape: return CloseChooser();
        case Key::Left:
        case Key::Right:
        case Key::Up:
        case Key::Down: {
            const SquareId next = board.Step(chooser_.squares[static_cast<std::size_t>(chooser_.focus)], input.key);
            for (std::size_t k = 0; k < chooser_.squares.size(); ++k)
                if (chooser_.squares[k] == next && static_cast<int>(k) != chooser_.focus) {
                    chooser_.focus = static_cast<int>(k);
                    return Actions{Do(K::ShowChooser)};
                }
            return Actions{};
        }
        default: return Actions{};
        }
    case I::Disabled:
    case I::Deactivated: {
        Actions out = CloseChooser();
        for (Action& a : Handle(input, board)) out.push_back(a);
        return out;
    }
    case I::FocusGained: return std::nullopt;
    }
    return std::nullopt;
}

Actions BoardInteraction::Choose(int form) {
    const std::int32_t piece = chooser_.forms[static_cast<std::size_t>(form)].piece;
    const SquareId to = chooser_.to;
    chooser_ = {};
    Actions out{Do(K::ShowChooser)};
    for (Action& a : RaiseDrop(to, piece)) out.push_back(a);
    return out;
}

// Cancelled: the piece goes back and nothing is raised.
Actions BoardInteraction::CloseChooser() {
    chooser_ = {};
    return {Do(K::ShowChooser), Do(K::PutBack, std::exchange(lift_, {}).from)};
}

// After a click (left) or a right-button release: the user's shape, or
// click-to-move when the host gives the moves.
Actions BoardInteraction::ClickMove(const Next& click, const BoardView& board) {
    if (click.shape) {
        if (click.to == 0 || !board.Annotates()) return {};
        Action shape = Do(K::ToggleShape, click.square);
        shape.to = click.to;
        shape.brush = ((click.shift & kShiftMask) ? 1 : 0) | ((click.shift & kAltMask) ? 2 : 0);
        return {shape, Do(K::RaiseAnnotationsChanged)};
    }
    if (click.button != kLeftButton || !board.Restricted() || press_.square != 0) return {};
    const SquareId square = click.square;
    Actions out;
    if (lift_.from != 0) {
        if (!lift_.inPlace || lift_.answering) return {};
        if ((lift_.destinations & Bit(square)) != 0) return Drop(square, board);
        // Anywhere else lets it go; another piece with moves is lifted.
        const SquareId from = std::exchange(lift_, {}).from;
        out.push_back(Do(K::PutBack, from));
        if (square == from) return out;
    }
    if (CanLift(square, board))
        for (Action& a : LiftAt(square, board, false, true, {})) out.push_back(a);
    return out;
}

Actions BoardInteraction::LiftAt(SquareId square, const BoardView& board, bool byKeys, bool inPlace, Point at) {
    lift_ = {square, byKeys, inPlace, false, board.PieceAt(square),
             board.Restricted() ? board.Destinations(square) : 0};
    Action lift = Do(K::Lift, square);
    lift.at = at;
    lift.byKeys = byKeys;
    lift.inPlace = inPlace;
    return {lift};
}

bool BoardInteraction::CanLift(SquareId square, const BoardView& board) const {
    return board.Liftable(square) && (!board.Restricted() || board.Destinations(square) != 0);
}

Overlay BoardInteraction::Drawn() const {
    Overlay drawn;
    drawn.lifted = lift_.from;
    drawn.focus = focus_;
    drawn.focusShown = focusShown_;
    drawn.inPlace = lift_.inPlace;
    drawn.destinations = lift_.answering || chooser_.to != 0 ? 0 : lift_.destinations;
    drawn.chooserTo = chooser_.to;
    drawn.chooser = chooser_.forms;
    drawn.chooserSquares = chooser_.squares;
    drawn.chooserFocus = chooser_.focus;
    drawn.typed = typed_;
    return drawn;
}

Actions BoardInteraction::EndPress(bool releaseCapture) {
    if (press_.square == 0) return {};
    const bool dragging = press_.dragging;
    press_ = {};
    Actions out;
    if (releaseCapture) out.push_back(Do(K::ReleaseCapture));
    if (dragging && !lift_.byKeys) PutBackIfIdle(out, false);
    return out;
}

void BoardInteraction::PutBackIfIdle(Actions& out, bool keysOnly) {
    if (lift_.from == 0 || lift_.answering || (keysOnly && !lift_.byKeys)) return;
    out.push_back(Do(K::PutBack, std::exchange(lift_, {}).from));
}

Actions BoardInteraction::DragsOff() {
    Actions out = chooser_.to != 0 ? CloseChooser() : EndPress(true);
    PutBackIfIdle(out, false);
    return out;
}

bool BoardInteraction::WantsKey(Key key) const {
    if (chooser_.to != 0) return key != Key::Other;
    if (!typed_.empty() && (key == Key::Backspace || key == Key::Escape)) return true;
    return IsFocusKey(key) || key == Key::Space || key == Key::Enter || (key == Key::Escape && lift_.from != 0);
}

}  // namespace quelder::interaction
