#include "interaction/board_interaction.hpp"

#include <cstdlib>
#include <utility>

namespace quelder::interaction {

namespace {

using K = Action::Kind;

Action Do(K kind, SquareId square = 0) {
    Action action{kind};
    action.square = square;
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
        return out;
    }
    case I::Deactivated: {
        press_ = {};
        Actions out;
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
        if (lift_.from != 0 || !board.Liftable(press_.square)) return {};
        press_.dragging = true;
        lift_ = {press_.square, false, false, board.PieceAt(press_.square)};
        Action lift = Do(K::Lift, press_.square);
        lift.at = next.at;
        return {lift};
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
        if (next.click) return {Do(K::RaiseClick, next.square)};
        return {};
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
            out.push_back(move);
        }
        return out;
    }
    }
    return {};
}

Actions BoardInteraction::Down(const Input& input, const BoardView&) {
    if (press_.square != 0) {
        // Another button while one is held: the square of the press hears it.
        press_.buttons |= input.button;
        return {Raise(K::RaiseMouseDown, press_.square, input)};
    }
    const SquareId previous = std::exchange(lastDown_, input.square);
    if (input.square == 0) return {};  // bare surface
    // A double click counts on the square that had the first click.
    const bool doubleClick = input.doubleClick && input.square == previous;
    press_ = {input.square, input.button, doubleClick, input.at, false};
    Next press{Next::Kind::AfterPress, input.square};
    press.at = input.at;
    press.doubleClick = doubleClick;
    press.button = input.button;
    press.shift = input.shift;
    Actions out{Do(K::TakeCapture, input.square)};
    if (settings_.takesKeys && !focusShown_) {
        Action focus = Do(K::TakeFocus);
        focus.next = press;
        out.push_back(focus);
    } else {
        out.push_back(PressReport(press));
    }
    return out;
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

Actions BoardInteraction::Up(const Input& input, const BoardView&) {
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
    switch (input.key) {
    case Key::Space:
    case Key::Enter:
        // Held down, the key does not act again.
        if (input.repeat) return {};
        if (lift_.from != 0) {
            if (lift_.byKeys && !lift_.answering) return Drop(focus_, board);
            return {};
        }
        if (board.Liftable(focus_)) {
            lift_ = {focus_, true, false, board.PieceAt(focus_)};
            Action lift = Do(K::Lift, focus_);
            lift.byKeys = true;
            return {lift};
        }
        return {Do(K::RaiseClick, focus_)};
    case Key::Escape:
        if (press_.dragging) return EndPress(true);
        if (lift_.from != 0 && lift_.byKeys && !lift_.answering) {
            Actions out;
            PutBackIfIdle(out, true);
            return out;
        }
        break;
    default:
        break;
    }
    Action report = Do(K::RaiseKeyDown);
    report.code = input.code;
    report.shift = input.shift;
    return {report};
}

Actions BoardInteraction::Drop(SquareId to, const BoardView& board) {
    const SquareId from = lift_.from;
    // Off the board, on its own square, or on a board that takes no drops
    // now: put back, with no event.
    if (to == 0 || to == from || !board.DropsAllowed()) {
        lift_ = {};
        return {Do(K::PutBack, from)};
    }
    lift_.answering = true;
    // The piece stays where it was dropped while the host decides.
    Action report = Do(K::RaisePieceDropped, from);
    report.to = to;
    report.next = {Next::Kind::AfterDrop, from, to};
    report.next.piece = lift_.piece;
    return {report};
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
    Actions out = EndPress(true);
    PutBackIfIdle(out, false);
    return out;
}

bool BoardInteraction::WantsKey(Key key) const {
    return IsFocusKey(key) || key == Key::Space || key == Key::Enter || (key == Key::Escape && lift_.from != 0);
}

}  // namespace quelder::interaction
