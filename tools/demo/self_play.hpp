// The demo playing itself, for scripts and tests: real mouse clicks (the
// cursor moved with SetCursorPos, the buttons pressed with SendInput), a drag
// and real keys (SendInput) on the demo's own window, through the window's
// own message loop, then a check of what the control reported and holds.
#pragma once

#include <string>
#include <vector>

#include "demo_window.hpp"

namespace quelder::demo {

// Checks that the board has the focus at the start; plays New game, selects
// the pawn on (5,7) and drags the knight (7,8)-(6,6), which lets the
// selection go; Tab and Shift+Tab out of the board and back, the knight
// (6,6)-(7,8) with the arrows, End, Space and Enter (checking that the
// square it left is marked), and N for a KeyDown; then the move (5,7)-(5,5),
// on the flipped board (4,2)-(4,4) and on the board turned back
// (5,5)x(4,4); switches the coordinates off and on, and Enabled off and on
// around a click that must raise nothing; leaves the knight on (7,8)
// selected. Returns what went wrong, each as one line; empty when everything
// arrived and the board holds the position expected.
std::vector<std::wstring> PlayTypicalGame(DemoWindow& demo);

// After the window has closed: whether the control's library reports that
// none of its objects is alive (its DllCanUnloadNow), so that neither the
// demo nor the container kept a reference. Empty when it does.
std::wstring CheckControlReleased();

// Runs the window's messages for about ms milliseconds; with demo, through
// its loop (DemoWindow::Process).
void PumpMessages(unsigned ms, const DemoWindow* demo = nullptr);

}  // namespace quelder::demo
