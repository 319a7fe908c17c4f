// What the user does to the board, as one state machine: presses, clicks and
// double clicks, the drag with its lift, its floating piece and its drop, the
// keyboard's focus square and keys, the lift and drop by keys, and what focus
// loss, capture loss, Escape, disabling and deactivation do to each.
//
// Inputs come in as plain data (pointer events in board pixels with the
// square under them, keys, focus and capture changes); what the control must
// do comes out as a list of actions, carried out in order. An action that
// calls out to the host (an event, taking the focus, becoming the active
// object) is always the last of its list and carries what follows it: after
// the host has run, the control reports what it found (Answer) to Continue,
// which decides the rest from the state as it is then. Inputs that arrive
// while the host runs (a message box takes the focus, a handler deactivates
// the control) are handled as they come, each with its own actions.
//
// Portable: no Windows types. Squares are the board's indexes 1..64, 0 for
// none.
#pragma once

#include <cstdint>
#include <vector>

namespace quelder::interaction {

using SquareId = std::int16_t;

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Buttons as masks: left 1, right 2, middle 4. Shift states as masks: shift
// 1, ctrl 2, alt 4.
inline constexpr int kLeftButton = 1;

// The keys the board acts on; every other key is Other, with its code.
enum class Key { Left, Right, Up, Down, Home, End, Space, Enter, Escape, Other };

// What the core reads of the board as an input arrives.
class BoardView {
public:
    // A piece stands on square that the user may lift now (dragging is on,
    // the control is enabled, its events are not frozen).
    virtual bool Liftable(SquareId square) const = 0;
    // The code of the piece on square, to tell whether the host changed it.
    virtual std::int32_t PieceAt(SquareId square) const = 0;
    // Dragging is on and the control can take a drop.
    virtual bool DropsAllowed() const = 0;
    // The square a focus key leads to from square, in the screen's
    // directions.
    virtual SquareId Step(SquareId square, Key key) const = 0;

protected:
    ~BoardView() = default;
};

struct Input {
    enum class Kind {
        PointerDown,  // button pressed (doubleClick: the system's double click)
        PointerMove,  // buttons: those held
        PointerUp,    // button released; square 0 off the board
        Key,          // key (code for Other) pressed; repeat when held down
        FocusGained,
        FocusLost,
        CaptureLost,  // another window took the mouse
        Cancel,       // the system ends the mouse mode (WM_CANCELMODE)
        Disabled,
        Deactivated,  // the window goes: what is in progress is put back
    };
    Kind kind = Kind::PointerMove;
    Point at{};          // in the surface's pixels
    SquareId square = 0; // the square under at
    int button = 0;      // PointerDown, PointerUp: the button; PointerMove: the buttons held
    bool doubleClick = false;
    int shift = 0;
    Key key = Key::Other;
    int code = 0;        // the key's own code, for Other and KeyDown
    bool repeat = false;
    std::uint32_t time = 0;  // milliseconds, the system's clock
};

// What comes after a call out, decided when the host has answered.
struct Next {
    enum class Kind { Nothing, AfterPress, AfterMove, AfterRelease, AfterDrop };
    Kind kind = Kind::Nothing;
    SquareId square = 0, to = 0;
    Point at{};
    bool doubleClick = false;
    bool dropped = false;  // AfterRelease: the release ends a drag
    bool click = false;    // AfterRelease: the release is a click
    std::int32_t piece = 0;  // AfterDrop: the piece lifted
    int button = 0, shift = 0;
    friend bool operator==(const Next&, const Next&) = default;
};

struct Action {
    enum class Kind {
        // Calls out to the host: always the last of a list.
        RaiseMouseDown, RaiseMouseMove, RaiseMouseUp, RaiseClick, RaiseDblClick, RaiseKeyDown,
        RaisePieceDropped,  // square to `to`; the host may cancel
        TakeFocus,          // the window takes the keyboard focus
        ActivateUI,         // the control becomes the container's active object
        // The control's own.
        TakeCapture, ReleaseCapture,
        Lift,         // square's piece is lifted: drawn above the squares, at (mouse) or on the focus square (keys)
        FloatTo,      // the lifted piece follows the pointer to at
        FloatOnto,    // the piece lifted by the keys goes over square
        PutBack,      // the lifted piece is shown on its square again
        MovePiece,    // square to `to`, after a drop the host let stand
        FocusMoved,   // the focus square is now square
        FocusShown,   // the frame shows on square; accessibility clients hear the focus
        FocusHidden,
    };
    Kind kind;
    SquareId square = 0, to = 0;
    Point at{};
    int button = 0, shift = 0;
    int code = 0;
    bool byKeys = false;
    Next next{};
    bool CallsOut() const { return kind <= Kind::ActivateUI; }
    friend bool operator==(const Action&, const Action&) = default;
};
using Actions = std::vector<Action>;

// What the control found after a call out.
struct Answer {
    // The control still has its window, enabled: the press or drop may go on.
    bool stillHere = true;
    // A PieceDropped handler set Cancel.
    bool cancel = false;
};

// What the squares show of the interaction.
struct Overlay {
    SquareId lifted = 0;   // drawn without its piece
    SquareId focus = 0;    // the focus square
    bool focusShown = false;
    friend bool operator==(const Overlay&, const Overlay&) = default;
};

struct Settings {
    // How far the pointer goes from a press before it lifts the piece.
    int dragX = 4, dragY = 4;
    // The board takes the keyboard (the window takes the focus when pressed).
    bool takesKeys = false;
};

class BoardInteraction {
public:
    BoardInteraction(Settings settings, SquareId focus) : settings_(settings), focus_(focus) {}
    void Configure(Settings settings) { settings_ = settings; }

    Actions Handle(const Input& input, const BoardView& board);
    // After an action that calls out: what follows it.
    Actions Continue(const Next& next, const Answer& answer, const BoardView& board);

    // A key the board uses now, which a dialog or a container's accelerators
    // leave to it.
    bool WantsKey(Key key) const;
    Overlay Drawn() const { return {lift_.from, focus_, focusShown_}; }
    bool Dragging() const { return press_.dragging; }

    // Dragging is turned off: a lifted piece goes back.
    Actions DragsOff();

private:
    struct Press {
        SquareId square = 0;  // where the press began; 0: none
        int buttons = 0;      // held since, as masks
        bool doubleClick = false;
        Point start{};
        bool dragging = false;
    };
    struct Lift {
        SquareId from = 0;  // 0: none
        bool byKeys = false;
        bool answering = false;  // the host is deciding on its drop
        std::int32_t piece = 0;
    };

    Actions Down(const Input& input, const BoardView& board);
    Actions Move(const Input& input, const BoardView& board);
    Actions Up(const Input& input, const BoardView& board);
    Actions KeyPressed(const Input& input, const BoardView& board);
    Actions Drop(SquareId to, const BoardView& board);
    // The press ends without more reports; a drag goes back.
    Actions EndPress(bool releaseCapture);
    // A lift not being answered for goes back (keys: only one by keys).
    void PutBackIfIdle(Actions& out, bool keysOnly);

    Settings settings_;
    Press press_;
    Lift lift_;
    SquareId lastDown_ = 0;
    SquareId focus_;
    bool focusShown_ = false;
};

}  // namespace quelder::interaction
