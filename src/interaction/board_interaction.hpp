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
// With legal moves set by the host, a lift shows where the piece may go and
// a drop anywhere else goes back; a click lifts a piece in place and a click
// on one of its destinations moves it; a move with promotion forms opens a
// chooser before anything is raised. The right button draws the user's
// shapes, and typed squares ("e2e4") make a move through the same path as a
// drop.
//
// Portable: no Windows types. Squares are the board's indexes 1..64, 0 for
// none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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
inline constexpr int kRightButton = 2;
inline constexpr int kShiftMask = 1;
inline constexpr int kAltMask = 4;

// The keys the board acts on; every other key is Other, with its code.
enum class Key { Left, Right, Up, Down, Home, End, Space, Enter, Escape, Backspace, Other };

// A form a promotion may take: its letter in a typed move ('q', 'r', 'b',
// 'n') and the code of the piece in the mover's colours.
struct Promotion {
    char letter = 'q';
    std::int32_t piece = 0;
    friend bool operator==(const Promotion&, const Promotion&) = default;
};

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
    // The host gives the moves the user may make; without them any move is
    // the host's to judge in PieceDropped.
    virtual bool Restricted() const = 0;
    // Restricted: the squares the piece on square may go to, a bit for each
    // (bit index - 1).
    virtual std::uint64_t Destinations(SquareId square) const = 0;
    // Restricted: the forms a move from -> to may take, in the chooser's
    // order (the queen first); empty when it is no promotion.
    virtual std::vector<Promotion> Promotions(SquareId from, SquareId to) const = 0;
    // The right button draws the user's shapes; some are drawn now.
    virtual bool Annotates() const = 0;
    virtual bool HasShapes() const = 0;
    // Typed squares make moves.
    virtual bool TypesMoves() const = 0;

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
    char typed = '\0';   // Other: the letter or digit the key types, in lower case
    bool repeat = false;
    std::uint32_t time = 0;  // milliseconds, the system's clock
};

// What comes after a call out, decided when the host has answered.
struct Next {
    enum class Kind { Nothing, AfterShapesCleared, AfterPress, AfterMove, AfterRelease, AfterClick, AfterDrop };
    Kind kind = Kind::Nothing;
    SquareId square = 0, to = 0;
    Point at{};
    bool doubleClick = false;
    bool dropped = false;  // AfterRelease: the release ends a drag
    bool click = false;    // AfterRelease: the release is a click
    bool shape = false;    // AfterRelease, AfterClick: a right-button press draws a shape to `to`
    std::int32_t piece = 0;  // AfterDrop: the piece lifted
    std::int32_t promotion = 0;  // AfterDrop: the form chosen, or 0
    int button = 0, shift = 0;
    friend bool operator==(const Next&, const Next&) = default;
};

struct Action {
    enum class Kind {
        // Calls out to the host: always the last of a list.
        RaiseMouseDown, RaiseMouseMove, RaiseMouseUp, RaiseClick, RaiseDblClick, RaiseKeyDown,
        RaisePieceDropped,  // square to `to`, promotion the chosen form's code or 0; the host may cancel
        RaiseAnnotationsChanged,
        TakeFocus,          // the window takes the keyboard focus
        ActivateUI,         // the control becomes the container's active object
        // The control's own.
        TakeCapture, ReleaseCapture,
        Lift,         // square's piece is lifted: drawn above the squares, at (mouse) or on the focus square (keys)
        FloatTo,      // the lifted piece follows the pointer to at
        FloatOnto,    // the piece lifted by the keys goes over square
        PutBack,      // the lifted piece is shown on its square again (home: it goes back there, not on)
        MovePiece,    // square to `to`, after a drop the host let stand; promotion: the piece `to` gets, or 0
        ToggleShape,  // the user's shape from square to `to` (a circle when the same), brush
        ClearShapes,
        ShowChooser,  // the promotion chooser opened, moved its focus or closed (Drawn)
        ShowTyped,    // the typed text changed (Drawn)
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
    bool inPlace = false;       // Lift: a click lifted it, it stays drawn on its square
    bool home = false;          // PutBack: the move did not happen, the piece goes home
    std::int32_t promotion = 0;
    int brush = 0;              // ToggleShape: 0 none held, 1 Shift, 2 Alt, 3 both
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
    SquareId lifted = 0;   // drawn without its piece (unless inPlace)
    SquareId focus = 0;    // the focus square
    bool focusShown = false;
    bool inPlace = false;  // the lifted piece stays on its square, which shows selected
    std::uint64_t destinations = 0;  // restricted: where the lifted piece may go
    // The promotion chooser: its forms (empty when closed), on the file of
    // `to`, and the one focused.
    SquareId chooserTo = 0;
    std::vector<Promotion> chooser;
    std::vector<SquareId> chooserSquares;  // where each form shows
    int chooserFocus = 0;
    std::string typed;     // the squares typed so far
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
    Overlay Drawn() const;
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
        bool right = false;  // began with the right button
    };
    struct Lift {
        SquareId from = 0;  // 0: none
        bool byKeys = false;
        bool inPlace = false;    // a click lifted it
        bool answering = false;  // the host is deciding on its drop
        std::int32_t piece = 0;
        std::uint64_t destinations = 0;  // restricted: where it may go
    };
    struct Chooser {
        SquareId to = 0;  // 0: closed
        std::vector<Promotion> forms;
        std::vector<SquareId> squares;  // from the board's edge inwards
        int focus = 0;
    };
    // The press begun: the focus first, or its report.
    Actions StartPress(const Next& press);
    Actions ClickMove(const Next& click, const BoardView& board);
    // Inputs while the chooser is open; nothing when the input is handled
    // as usual.
    std::optional<Actions> ChooserInput(const Input& input, const BoardView& board);
    Actions RaiseDrop(SquareId to, std::int32_t promotion);
    Actions Choose(int form);
    Actions CloseChooser();
    Actions Typed(const Input& input, const BoardView& board);
    Actions LiftAt(SquareId square, const BoardView& board, bool byKeys, bool inPlace, Point at);
    bool CanLift(SquareId square, const BoardView& board) const;

    Actions Down(const Input& input, const BoardView& board);
    Actions Move(const Input& input, const BoardView& board);
    Actions Up(const Input& input, const BoardView& board);
    Actions KeyPressed(const Input& input, const BoardView& board);
    Actions Drop(SquareId to, const BoardView& board, char promotion = '\0');
    // The press ends without more reports; a drag goes back.
    Actions EndPress(bool releaseCapture);
    // A lift not being answered for goes back (keys: only one by keys).
    void PutBackIfIdle(Actions& out, bool keysOnly);

    Settings settings_;
    Press press_;
    Lift lift_;
    Chooser chooser_;
    std::string typed_;
    SquareId lastDown_ = 0;
    SquareId focus_;
    bool focusShown_ = false;
};

}  // namespace quelder::interaction
