// The screen's dots per inch. A process keeps its screen's for its whole life
// (a new setting takes effect at the next sign-in), so they are read once:
// the screen's drawing context is dear to get, and a control would otherwise
// get it several times as it is made, placed and sized.
#pragma once

namespace quelder::win32 {

struct ScreenDots {
    int x = 96, y = 96;
};

// Read from the screen the first time; 96 where the screen does not tell.
ScreenDots ScreenDpi();

}  // namespace quelder::win32
