// The demo playing itself, for scripts and tests: real mouse clicks (the
// cursor moved with SetCursorPos, the buttons pressed with SendInput), a drag
// and real keys (SendInput) on the demo's own window, through the window's
// own message loop, then a check of what the control reported and holds.
#pragma once

#include <string>
#include <vector>

#include "demo_window.hpp"

namespace quelder::demo {

// Checks that the board has the focus at the start; plays New game and then
// a game whose every move is picked from the moves the demo generates: a
// click on the pawn e2 (the line says where it may go), g1f3 dragged, g8f6
// with the arrows, Space and Enter (checking that the square it left is
// tinted as the last move) and N for a KeyDown, e2e4 by two clicks, d7d5 on
// the flipped board, e4d5 on the board turned back, f6d5 typed, and f1b5 by
// two clicks, a check: the board must be given exactly the five moves out of
// it, and refuse the queen dragged to d6. After each move the board's
// LegalMoves, LastMove and CheckSquare are those of the demo's game. Then
// resizes, switches the coordinates off and on, and Enabled off and on
// around a click that must raise nothing; leaves the knight on b8 picked up
// and draws a circle and an arrow with the right button, which the status
// bar shows. Returns what went wrong, each as one line; empty when
// everything arrived and the board holds the position expected.
std::vector<std::wstring> PlayTypicalGame(DemoWindow& demo);

// After the window has closed: whether the control's library reports that
// none of its objects is alive (its DllCanUnloadNow), so that neither the
// demo nor the container kept a reference. Empty when it does.
std::wstring CheckControlReleased();

// Runs the window's messages for about ms milliseconds; with demo, through
// its loop (DemoWindow::Process).
void PumpMessages(unsigned ms, const DemoWindow* demo = nullptr);

}  // namespace quelder::demo
