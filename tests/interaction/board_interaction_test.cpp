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

struct FakeBoard final : BoardView {
    std::array<std::int32_t, 65> pieces{};
    bool drags = true, frozen = false;
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
    case K::RaisePieceDropped: return "PieceDropped " + NameOf(a.square) + NameOf(a.to);
    case K::TakeFocus: return "TakeFocus";
    case K::ActivateUI: return "ActivateUI";
    case K::TakeCapture: return "TakeCapture " + NameOf(a.square);
    case K::ReleaseCapture: return "ReleaseCapture";
    case K::Lift: return std::string(a.byKeys ? "LiftByKeys " : "Lift ") + NameOf(a.square);
    case K::FloatTo: return "FloatTo " + std::to_string(a.at.x) + "," + std::to_string(a.at.y);
    case K::FloatOnto: return "FloatOnto " + NameOf(a.square);
    case K::PutBack: return "PutBack " + NameOf(a.square);
    case K::MovePiece: return "MovePiece " + NameOf(a.square) + NameOf(a.to);
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

struct Case {
    const char* name;
    bool takesKeys;
    std::function<void(FakeBoard&)> setUp;
    std::vector<Step> steps;
    Overlay end;  // what the squares show afterwards
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
        if (c.end != Overlay{}) {
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
        {"lifted by the keys", {Simple(Input::Kind::FocusGained), Press(Key::Up), Press(Key::Space)}},
    };
    const std::vector<Input> inputs = {Down("e2"), Down("e2", 2), DoubleDown("e3"), Move("e5", 1), Move("e5", 0),
                                       Move("-", 1), Up("e4"), Up("-"), Up("e2", 2), Press(Key::Space),
                                       Press(Key::Enter), Press(Key::Escape, 27), Press(Key::Left), Press(Key::Other, 65),
                                       Simple(Input::Kind::FocusGained), Simple(Input::Kind::FocusLost),
                                       Simple(Input::Kind::CaptureLost), Simple(Input::Kind::Cancel),
                                       Simple(Input::Kind::Disabled), Simple(Input::Kind::Deactivated)};
    for (const auto& [stateName, prefix] : states) {
        for (bool answering : {false, true}) {
            for (const Input& input : inputs) {
                FakeBoard board;
                StartPosition(board);
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
                const std::string what = std::string(stateName) + (answering ? ", answering" : "") + ", input " +
                                         std::to_string(static_cast<int>(input.kind)) + "/" +
                                         std::to_string(static_cast<int>(input.key));
                const SquareId liftedBefore = core.Drawn().lifted;
                const Actions out = core.Handle(input, board);
                for (std::size_t k = 0; k < out.size(); ++k) {
                    const Action& a = out[k];
                    EXPECT_TRUE(!a.CallsOut() || k + 1 == out.size()) << what << ": " << Describe(a) << " not last";
                    if (a.kind == Action::Kind::PutBack) {
                        EXPECT_EQ(a.square, liftedBefore) << what;
                        EXPECT_EQ(core.Drawn().lifted, 0) << what << ": still lifted after PutBack";
                    }
                    if (a.kind == Action::Kind::Lift) {
                        EXPECT_EQ(liftedBefore, 0) << what << ": lifted twice";
                    }
                }
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
