#include "control/screen_dots.hpp"

#include <windows.h>

#include "handles/win_handles.hpp"

namespace quelder::win32 {

ScreenDots ScreenDpi() {
    static const ScreenDots dots = [] {
        handles::ScreenDc screen;
        const int x = GetDeviceCaps(screen.get(), LOGPIXELSX), y = GetDeviceCaps(screen.get(), LOGPIXELSY);
        return ScreenDots{x > 0 ? x : 96, y > 0 ? y : 96};
    }();
    return dots;
}

}  // namespace quelder::win32
