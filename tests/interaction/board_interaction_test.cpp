// The board's interaction as tables: each case is a run of inputs with what
// the host does while it is called out to, and the actions that come out,
// written as text ("TakeCapture e2, TakeFocus > MouseDown e2": after '>' what
// Continue gave once the host had answered).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "interaction/board_interaction.hpp"

namespace quelder::interaction {
namespace {

constexpr SquareId At(const char* name) {  // "e2": file a..h is column 1..8, rank 1 is row 8
    return static_cast<SquareId>((8 - (name[1] - '1') - 1) * 8 + (name[0] - 'a') + 1);
}

std::string NameOf(SquareId square) {
    if (square == 0) return "-";
    const int col = (square - 1) % 8 + 1, row = (square - 1) / 8 + 1;
    return {static_cast<char>('a' + col - 1), static_cast<char>('1' + 8 - row)};
}

// The codes of the promotion forms, by letter.
constexpr std::int32_t kFormCode[] = {'q', 'r', 'b', 'n'};
char FormLetter(std::int32_t code) { return static_cast<char>(code); }

struct FakeBoard final : BoardView {
    std::array<std::int32_t, 65> pieces{};
    bool drags = true, frozen = false;
    std::vector<std::string> moves;  // the host's legal moves; none: any move
    bool annotates = true, shapes = false, typesMoves = false;
    bool Restricted() const override { return !moves.empty(); }
    std::uint64_t Destinations(SquareId square) const override {
        std::uint64_t bits = 0;
        for (const std::string& m : moves)
            if (At(m.c_str()) == square) bits |= std::uint64_t{1} << (At(m.c_str() + 2) - 1);
        return bits;
    }
    std::vector<Promotion> Promotions(SquareId from, SquareId to) const override {
        std::vector<Promotion> forms;
        for (const std::int32_t code : kFormCode)
            for (const std::string& m : moves)
                if (m.size() == 5 && At(m.c_str()) == from && At(m.c_str() + 2) == to && m[4] == FormLetter(code))
                    forms.push_back({m[4], code});
        return forms;
    }
    bool Annotates() const override { return annotates; }
    bool HasShapes() const override { return shapes; }
    bool TypesMoves() const override { return typesMoves; }
    bool Liftable(SquareId square) const override { return drags && !frozen && pieces[square] != 0; }
    std::int32_t PieceAt(SquareId square) const override { return pieces[square]; }
    bool DropsAllowed() const override { return drags && !frozen; }
    SquareId Step(SquareId square, Key key) const override {
        int col = (square - 1) % 8 + 1, row = (square - 1) / 8 + 1;
        switch (key) {
        case Key::Left: col = std::max(1, col - 1); break;
        case Key::Right: col = std::min(8, col + 1); break;
        case Key::Up: row = std::max(1, row - 1); break;
        case Key::Down: row = std::min(8, row + 1); break;
        case Key::Home: col = 1; break;
        case Key::End: col = 8; break;
        default: break;
        }
        return static_cast<SquareId>((row - 1) * 8 + col);
    }
};

std::string Describe(const Action& a) {
    using K = Action::Kind;
    switch (a.kind) {
    case K::RaiseMouseDown: return "MouseDown " + NameOf(a.square);
    case K::RaiseMouseMove: return "MouseMove " + NameOf(a.square);
    case K::RaiseMouseUp: return "MouseUp " + NameOf(a.square);
    case K::RaiseClick: return "Click " + NameOf(a.square);
    case K::RaiseDblClick: return "DblClick " + NameOf(a.square);
    case K::RaiseKeyDown: return "KeyDown " + std::to_string(a.code);
    case K::RaisePieceDropped:
        return "PieceDropped " + NameOf(a.square) + NameOf(a.to) + (a.promotion ? std::string(1, FormLetter(a.promotion)) : "");
    case K::RaiseAnnotationsChanged: return "AnnotationsChanged";
    case K::TakeFocus: return "TakeFocus";
    case K::ActivateUI: return "ActivateUI";
    case K::TakeCapture: return "TakeCapture " + NameOf(a.square);
    case K::ReleaseCapture: return "ReleaseCapture";
    case K::Lift: return std::string(a.byKeys ? "LiftByKeys " : a.inPlace ? "LiftInPlace " : "Lift ") + NameOf(a.square);
    case K::FloatTo: return "FloatTo " + std::to_string(a.at.x) + "," + std::to_string(a.at.y);
    case K::FloatOnto: return "FloatOnto " + NameOf(a.square);
    case K::PutBack: return "PutBack " + NameOf(a.square);
    case K::MovePiece:
        return "MovePiece " + NameOf(a.square) + NameOf(a.to) + (a.promotion ? std::string(1, FormLetter(a.promotion)) : "");
    case K::ToggleShape:
        return "ToggleShape " + NameOf(a.square) + NameOf(a.to) + " " + std::array{"green", "red", "blue", "yellow"}[a.brush];
    case K::ClearShapes: return "ClearShapes";
    case K::ShowChooser: return "ShowChooser";
    case K::ShowTyped: return "ShowTyped";
    case K::FocusMoved: return "FocusMoved " + NameOf(a.square);
    case K::FocusShown: return "FocusShown " + NameOf(a.square);
    case K::FocusHidden: return "FocusHidden " + NameOf(a.square);
    }
    return "?";
}

// Square centres on a board of 40-pixel squares, for the pointer.
Point Centre(const char* name) {
    const SquareId s = At(name);
    return {((s - 1) % 8) * 40 + 20, ((s - 1) / 8) * 40 + 20};
}

Input Pointer(Input::Kind kind, const char* square, int button, Point offset = {}) {
    Input in;
    in.kind = kind;
    in.square = square[0] == '-' ? 0 : At(square);
    in.at = square[0] == '-' ? Point{-5, -5} : Point{Centre(square).x + offset.x, Centre(square).y + offset.y};
    in.button = button;
    return in;
}
Input Down(const char* s, int button = 1) { return Pointer(Input::Kind::PointerDown, s, button); }
Input DoubleDown(const char* s) {
    Input in = Down(s);
    in.doubleClick = true;
    return in;
}
Input Move(const char* s, int buttons = 1, Point offset = {}) { return Pointer(Input::Kind::PointerMove, s, buttons, offset); }
Input Up(const char* s, int button = 1) { return Pointer(Input::Kind::PointerUp, s, button); }
Input Press(Key key, int code = 0, bool repeat = false) {
    Input in;
    in.kind = Input::Kind::Key;
    in.key = key;
    in.code = code;
    in.repeat = repeat;
    return in;
}
// A key that types c (a letter or a digit).
Input Type(char c) {
    Input in = Press(Key::Other, c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    in.typed = c;
    return in;
}
Input WithShift(Input in, int shift) {
    in.shift = shift;
    return in;
}
Input Simple(Input::Kind kind) {
    Input in;
    in.kind = kind;
    return in;
}

// One input and what follows: while the host runs (each call out), it may
// send inputs of its own and change the board; then it answers.
struct Step {
    Input input;
    std::string expect;
    std::vector<Input> during = {};      // inputs while the first call out runs
    std::string duringExpect = {};       // their actions
    std::function<void(FakeBoard&)> host = {};
    Answer answer = {};
};

// What the squares show afterwards: the lift, the focus square and its frame.
struct End {
    SquareId lifted = 0, focus = 0;
    bool focusShown = false;
    friend bool operator==(const End&, const End&) = default;
};

struct Case {
    const char* name;
    bool takesKeys;
    std::function<void(FakeBoard&)> setUp;
    std::vector<Step> steps;
    End end;
};

std::string RunStep(BoardInteraction& core, FakeBoard& board, const Step& step, std::string& during) {
    std::string text;
    Actions actions = core.Handle(step.input, board);
    bool first = true;
    while (true) {
        for (std::size_t k = 0; k < actions.size(); ++k) text += (k ? ", " : "") + Describe(actions[k]);
        if (actions.empty() || !actions.back().CallsOut()) break;
        if (first) {
            for (const Input& in : step.during)
                for (const Action& a : core.Handle(in, board)) during += (during.empty() ? "" : ", ") + Describe(a);
            if (step.host) step.host(board);
        }
        first = false;
        actions = core.Continue(actions.back().next, step.answer, board);
        if (!actions.empty()) text += " > ";
    }
    return text;
}

const Answer kGone{false, false};
const Answer kCancel{true, true};
void StartPosition(FakeBoard& b) {
    b.pieces[At("e2")] = 6;
    b.pieces[At("a1")] = 9;
    b.pieces[At("d7")] = 12;
}
// The host gives the moves: the pawn on e2 has two, the rook on a1 one, d7 none.
void Legal(FakeBoard& b) {
    StartPosition(b);
    b.moves = {"e2e4", "e2e3", "a1a3"};
}
// The pawn on d7 promotes on d8, at the top edge, in four forms; e2 may go to e4.
void Promoting(FakeBoard& b) {
    StartPosition(b);
    b.moves = {"d7d8n", "d7d8q", "d7d8r", "d7d8b", "e2e4"};
    b.typesMoves = true;
}
void Frozen(FakeBoard& b) {
    StartPosition(b);
    b.frozen = true;
}

const std::vector<Case> kCases = {
    {"a click: capture, focus, the reports, the click", true, StartPosition,
     {{Down("e3"), "TakeCapture e3, TakeFocus > MouseDown e3"},
      {Up("e3"), "ReleaseCapture, MouseUp e3 > Click e3"}},
     {0, At("a1"), false}},
    {"the published class takes no focus; a release elsewhere is no click", false, StartPosition,
     {{Down("e3"), "TakeCapture e3, MouseDown e3"},
      {Down("e3", 2), "MouseDown e3"},
      {Up("e4"), "MouseUp e3"},
      {Up("f5", 2), "ReleaseCapture, MouseUp e3"},
      {Move("-", 1), ""},
      {Move("f5", 0), "MouseMove f5"}},
     {0, At("a1"), false}},
    {"a double click raises DblClick in place of MouseDown, and no Click", false, StartPosition,
     {{Down("e3"), "TakeCapture e3, MouseDown e3"},
      {Up("e3"), "ReleaseCapture, MouseUp e3 > Click e3"},
      {DoubleDown("e3"), "TakeCapture e3, DblClick e3"},
      {Up("e3"), "ReleaseCapture, MouseUp e3"}},
     {}},
    {"a drag beyond the drag distance lifts, follows and drops", false, StartPosition,
     {{Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e2", 1, {3, 3}), "MouseMove e2"},
      {Move("e2", 1, {10, 0}), "MouseMove e2 > Lift e2"},
      {Move("e3", 1), "MouseMove e2 > FloatTo 180,220"},
      {Up("e4"), "ReleaseCapture, MouseUp e2 > PieceDropped e2e4 > PutBack e2, MovePiece e2e4"}},
     {0, At("a1"), false}},
    {"a dropped piece the host cancels, or whose square it changed, goes back", false, StartPosition,
     {{Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("e4"), "ReleaseCapture, MouseUp e2 > PieceDropped e2e4 > PutBack e2", {}, {}, {}, kCancel},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("e4"), "ReleaseCapture, MouseUp e2 > PieceDropped e2e4 > PutBack e2", {}, {}, [](FakeBoard& b) {
           b.pieces[At("e2")] = 0;
       }}},
     {}},
    {"a drop on its own square or off the board puts back with no event", false, StartPosition,
     {{Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("e2"), "ReleaseCapture, MouseUp e2 > PutBack e2"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("-"), "ReleaseCapture, MouseUp e2 > PutBack e2"}},
     {}},
    {"a lost capture, Escape or disabling end a drag without events", false, StartPosition,
     {{Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Simple(Input::Kind::CaptureLost), "PutBack e2"},
      {Up("e4"), ""},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Press(Key::Escape, 27), "ReleaseCapture, PutBack e2"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Simple(Input::Kind::Disabled), "ReleaseCapture, PutBack e2"},
      {Press(Key::Escape, 27), "KeyDown 27"}},
     {}},
    {"a handler of MouseUp that deactivates the control: the drag goes back", false, StartPosition,
     {{Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("e4"), "ReleaseCapture, MouseUp e2", {Simple(Input::Kind::Deactivated)}, "PutBack e2", {}, kGone}},
     {}},
    {"taking the focus ends the press (the host let go of the mouse): no report", true, StartPosition,
     {{Down("e3"), "TakeCapture e3, TakeFocus", {Simple(Input::Kind::CaptureLost)}, ""},
      {Up("e3"), ""}},
     {}},
    {"keys: the focus moves, lifts, follows and drops through the same path", true, StartPosition,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Space), "LiftByKeys a1"},
      {Press(Key::Space, 0, true), ""},
      {Press(Key::Up), "FocusMoved a2, FloatOnto a2"},
      {Press(Key::Left), ""},
      {Press(Key::End), "FocusMoved h2, FloatOnto h2"},
      {Press(Key::Home), "FocusMoved a2, FloatOnto a2"},
      {Press(Key::Enter), "PieceDropped a1a2 > PutBack a1, MovePiece a1a2"},
      {Press(Key::Right), "FocusMoved b2"},
      {Press(Key::Space), "Click b2"},
      {Press(Key::Other, 'N'), "KeyDown 78"}},
     {0, At("b2"), true}},
    {"a message box in the drop handler takes the focus: the move still stands", true, StartPosition,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Space), "LiftByKeys a1"},
      {Press(Key::Up), "FocusMoved a2, FloatOnto a2"},
      {Press(Key::Enter), "PieceDropped a1a2 > PutBack a1, MovePiece a1a2",
       {Simple(Input::Kind::FocusLost), Simple(Input::Kind::Cancel), Press(Key::Escape, 27)},
       "FocusHidden a2, KeyDown 27"}},
     {0, At("a2"), false}},
    {"losing the focus puts back a piece the keys lifted; Escape too", true, StartPosition,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Enter), "LiftByKeys a1"},
      {Simple(Input::Kind::FocusLost), "FocusHidden a1, PutBack a1"},
      {Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Enter), "LiftByKeys a1"},
      {Press(Key::Escape, 27), "PutBack a1"}},
     {0, At("a1"), true}},
    {"deactivation hides the focus frame and puts a lift back", true, StartPosition,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Enter), "LiftByKeys a1"},
      {Simple(Input::Kind::Deactivated), "FocusHidden a1, PutBack a1"},
      {Simple(Input::Kind::Deactivated), ""}},
     {0, At("a1"), false}},
    {"a frozen board lifts nothing and a drop frozen meanwhile goes back", true, Frozen,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Press(Key::Space), "Click a1"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e4", 1), "MouseMove e2"},
      {Up("e4"), "ReleaseCapture, MouseUp e2"},
      {Down("e2"), "TakeCapture e2, MouseDown e2", {}, "", [](FakeBoard& b) { b.frozen = false; }},
      {Move("e4", 1), "MouseMove e2 > Lift e2"},
      {Up("e4"), "ReleaseCapture, MouseUp e2 > PutBack e2", {}, "", [](FakeBoard& b) { b.frozen = true; }}},
     {0, At("a1"), true}},
    {"legal moves: no lift without moves, a drop elsewhere goes back silently, click-to-move", false, Legal,
     {{Down("d7"), "TakeCapture d7, MouseDown d7"},
      {Move("d5", 1), "MouseMove d7"},
      {Up("d5"), "ReleaseCapture, MouseUp d7"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Move("e5", 1), "MouseMove e2 > Lift e2"},
      {Up("e5"), "ReleaseCapture, MouseUp e2 > PutBack e2"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Up("e2"), "ReleaseCapture, MouseUp e2 > Click e2 > LiftInPlace e2"},
      {Down("h5"), "TakeCapture h5, MouseDown h5"},
      {Up("h5"), "ReleaseCapture, MouseUp h5 > Click h5 > PutBack e2"},
      {Down("e2"), "TakeCapture e2, MouseDown e2"},
      {Up("e2"), "ReleaseCapture, MouseUp e2 > Click e2 > LiftInPlace e2"},
      {Down("a1"), "TakeCapture a1, MouseDown a1"},
      {Up("a1"), "ReleaseCapture, MouseUp a1 > Click a1 > PutBack e2, LiftInPlace a1"},
      {Down("a3"), "TakeCapture a3, MouseDown a3"},
      {Up("a3"), "ReleaseCapture, MouseUp a3 > Click a3 > PieceDropped a1a3 > PutBack a1, MovePiece a1a3"}},
     {0, At("a1"), false}},
    {"promotion: the chooser opens before any event, keys choose, a click elsewhere cancels", true, Promoting,
     {{Simple(Input::Kind::FocusGained), "FocusShown a1, ActivateUI"},
      {Down("d7"), "TakeCapture d7, MouseDown d7"},
      {Move("d8", 1), "MouseMove d7 > Lift d7"},
      {Up("d8"), "ReleaseCapture, MouseUp d7 > ShowChooser"},
      {Press(Key::Down), "ShowChooser"},
      {Simple(Input::Kind::FocusLost), "FocusHidden a1"},
      {Press(Key::Enter), "ShowChooser, PieceDropped d7d8r > PutBack d7, MovePiece d7d8r"},
      {Down("d7"), "TakeCapture d7, TakeFocus > MouseDown d7"},
      {Move("d8", 1), "MouseMove d7 > Lift d7"},
      {Up("d8"), "ReleaseCapture, MouseUp d7 > ShowChooser"},
      {Down("h1"), "ShowChooser, PutBack d7"},
      {Up("h1"), ""}},
     {0, At("a1"), false}},
    {"the right button draws shapes in the brush of the keys held; a left press clears them", true, StartPosition,
     {{Down("e2", 2), "TakeCapture e2, TakeFocus > MouseDown e2"},
      {WithShift(Up("e4", 2), 1), "ReleaseCapture, MouseUp e2 > ToggleShape e2e4 red, AnnotationsChanged"},
      {Down("e5", 2), "TakeCapture e5, TakeFocus > MouseDown e5"},
      {WithShift(Up("e5", 2), 5), "ReleaseCapture, MouseUp e5 > Click e5 > ToggleShape e5e5 yellow, AnnotationsChanged",
       {}, "", [](FakeBoard& b) { b.shapes = true; }},
      {Down("e3"), "TakeCapture e3, ClearShapes, AnnotationsChanged > TakeFocus > MouseDown e3"},
      {Up("e3"), "ReleaseCapture, MouseUp e3 > Click e3"}},
     {}},
    {"typed squares make moves through the drop path, a form typed skips the chooser", true, Promoting,
     {{Type('e'), "ShowTyped"},
      {Type('2'), "ShowTyped"},
      {Type('x'), "KeyDown 88"},
      {Type('e'), "ShowTyped"},
      {Type('5'), "ShowTyped"},
      {Press(Key::Backspace, 8), "ShowTyped"},
      {Type('4'), "ShowTyped"},
      {Press(Key::Enter), "ShowTyped, LiftByKeys e2, FloatOnto e4, PieceDropped e2e4 > PutBack e2, MovePiece e2e4"},
      {Type('d'), "ShowTyped"}, {Type('7'), "ShowTyped"}, {Type('d'), "ShowTyped"}, {Type('8'), "ShowTyped"},
      {Type('n'), "ShowTyped"},
      {Press(Key::Enter), "ShowTyped, LiftByKeys d7, FloatOnto d8, PieceDropped d7d8n > PutBack d7, MovePiece d7d8n"},
      {Type('d'), "ShowTyped"}, {Type('7'), "ShowTyped"}, {Type('d'), "ShowTyped"}, {Type('8'), "ShowTyped"},
      {Press(Key::Enter), "ShowTyped, LiftByKeys d7, FloatOnto d8, ShowChooser"},
      {Press(Key::Escape, 27), "ShowChooser, PutBack d7"},
      {Type('z'), "KeyDown 90"}},
     {}},
};

TEST(BoardInteraction, Cases) {
    for (const Case& c : kCases) {
        FakeBoard board;
        c.setUp(board);
        Settings settings;
        settings.takesKeys = c.takesKeys;
        BoardInteraction core(settings, At("a1"));
        for (std::size_t k = 0; k < c.steps.size(); ++k) {
            std::string during;
            const std::string got = RunStep(core, board, c.steps[k], during);
            EXPECT_EQ(got, c.steps[k].expect) << c.name << ", step " << k;
            EXPECT_EQ(during, c.steps[k].duringExpect) << c.name << ", step " << k << ", while the host ran";
        }
        if (c.end != End{}) {
            const Overlay drawn = core.Drawn();
            EXPECT_EQ(drawn.lifted, c.end.lifted) << c.name;
            EXPECT_EQ(NameOf(drawn.focus), NameOf(c.end.focus)) << c.name;
            EXPECT_EQ(drawn.focusShown, c.end.focusShown) << c.name;
        }
    }
}

TEST(BoardInteraction, WantsItsKeysAndEscapeOnlyWhileLifted) {
    FakeBoard board;
    StartPosition(board);
    BoardInteraction core({4, 4, true}, At("a1"));
    const std::vector<std::pair<Key, bool>> idle = {{Key::Left, true}, {Key::End, true}, {Key::Space, true},
                                                     {Key::Enter, true}, {Key::Escape, false}, {Key::Other, false}};
    for (const auto& [key, wanted] : idle) EXPECT_EQ(core.WantsKey(key), wanted) << static_cast<int>(key);
    core.Handle(Press(Key::Space), board);
    EXPECT_TRUE(core.WantsKey(Key::Escape)) << "lifted";
    EXPECT_EQ(core.DragsOff().size(), 1u) << "dragging turned off puts the piece back";
    EXPECT_FALSE(core.WantsKey(Key::Escape));
}

// Every state against every input: from each state the cases reach (idle,
// pressed, dragging, lifted by the keys, waiting for the host's answer to a
// drop), each input's actions keep the rules the control relies on: a call
// out is the last of its list; a piece is put back only from the square it
// was lifted from, and is not lifted any more afterwards; nothing is lifted
// twice; deactivation leaves no frame and nothing lifted but a drop the host
// is answering for.
TEST(BoardInteraction, EveryInputFromEveryStateKeepsTheRules) {
    const std::vector<std::pair<const char*, std::vector<Input>>> states = {
        {"idle", {}},
        {"pressed", {Down("e2")}},
        {"dragging", {Down("e2"), Move("e4", 1)}},
        {"lifted by the keys", {Simple(Input::Kind::FocusGained), Press(Key::Space)}},
        {"lifted in place", {Down("e2"), Up("e2")}},
        {"choosing", {Simple(Input::Kind::FocusGained), Down("d7"), Move("d8", 1), Up("d8")}},
        {"typing", {Type('e'), Type('2')}},
    };
    const std::vector<Input> inputs = {Down("e2"), Down("e2", 2), DoubleDown("e3"), Move("e5", 1), Move("e5", 0),
                                       Move("-", 1), Up("e4"), Up("-"), Up("e2", 2), Press(Key::Space),
                                       Press(Key::Enter), Press(Key::Escape, 27), Press(Key::Left), Press(Key::Other, 65),
                                       Simple(Input::Kind::FocusGained), Simple(Input::Kind::FocusLost),
                                       Simple(Input::Kind::CaptureLost), Simple(Input::Kind::Cancel),
                                       Simple(Input::Kind::Disabled), Simple(Input::Kind::Deactivated),
                                       Down("e2", 2), Up("e4", 2), Down("d8"), Type('e'), Type('4'),
                                       Press(Key::Backspace, 8)};
    for (const auto& setUp : {StartPosition, Promoting})
    for (const auto& [stateName, prefix] : states) {
        for (bool answering : {false, true}) {
            for (const Input& input : inputs) {
                FakeBoard board;
                setUp(board);
                // Only the host's moves lift in place and open the chooser.
                if (board.moves.empty() && (stateName == std::string("lifted in place") ||
                                            stateName == std::string("choosing")))
                    continue;
                BoardInteraction core({4, 4, true}, At("a1"));
                Actions pending;
                for (const Input& in : prefix) {
                    Actions out = core.Handle(in, board);
                    while (!out.empty() && out.back().CallsOut() && out.back().next.kind != Next::Kind::AfterDrop)
                        out = core.Continue(out.back().next, {}, board);
                }
                if (answering) {
                    // The lift dropped elsewhere, the host not answered yet.
                    Actions out = core.Handle(core.Dragging() ? Up("e5") : Press(Key::Enter), board);
                    while (!out.empty() && out.back().CallsOut() && out.back().next.kind != Next::Kind::AfterDrop)
                        out = core.Continue(out.back().next, {}, board);
                    if (out.empty() || out.back().kind != Action::Kind::RaisePieceDropped) continue;
                    pending = out;
                }
                const std::string what = std::string(board.moves.empty() ? "" : "legal moves, ") + stateName +
                                         (answering ? ", answering" : "") + ", input " +
                                         std::to_string(static_cast<int>(input.kind)) + "/" +
                                         std::to_string(static_cast<int>(input.key));
                const SquareId liftedBefore = core.Drawn().lifted;
                const Actions out = core.Handle(input, board);
                SquareId lifted = liftedBefore;  // as the actions leave it, one after another
                for (std::size_t k = 0; k < out.size(); ++k) {
                    const Action& a = out[k];
                    EXPECT_TRUE(!a.CallsOut() || k + 1 == out.size()) << what << ": " << Describe(a) << " not last";
                    if (a.kind == Action::Kind::PutBack) {
                        EXPECT_EQ(NameOf(a.square), NameOf(lifted)) << what;
                        lifted = 0;
                    }
                    if (a.kind == Action::Kind::Lift) {
                        EXPECT_EQ(NameOf(lifted), "-") << what << ": lifted twice, " << Describe(a);
                        lifted = a.square;
                    }
                }
                EXPECT_EQ(NameOf(core.Drawn().lifted), NameOf(lifted)) << what << ": drawn otherwise than the actions say";
                if (input.kind == Input::Kind::Deactivated) {
                    EXPECT_FALSE(core.Drawn().focusShown) << what;
                    EXPECT_EQ(core.Drawn().lifted, answering ? liftedBefore : 0) << what;
                }
                if (answering) {
                    // The host's answer still ends the lift it was asked about.
                    const Actions after = core.Continue(pending.back().next, {}, board);
                    EXPECT_EQ(core.Drawn().lifted, 0) << what << " then answered";
                    EXPECT_FALSE(after.empty()) << what << ": the answer was ignored";
                }
            }
        }
    }
}

}  // namespace
}  // namespace quelder::interaction
