#include "control/square_presses.hpp"

#include <windowsx.h>

#include <utility>

namespace quelder::win32 {

namespace {

constexpr float kTwipsPerInch = 1440.0f;

// The keys held when the message being handled was sent.
std::int16_t ShiftState() {
    std::int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

std::int16_t ButtonsOf(WPARAM wParam) {
    std::int16_t buttons = 0;
    if (wParam & MK_LBUTTON) buttons |= 1;
    if (wParam & MK_RBUTTON) buttons |= 2;
    if (wParam & MK_MBUTTON) buttons |= 4;
    return buttons;
}

POINT PointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

std::int16_t SquareAt(const PixelHostBase& host, int x, int y) {
    for (std::int16_t k = kSquareCount; k >= 1; --k) {
        if (!host.CheckLoaded(k)) continue;
        const PixelSquareView& view = host.View(k);
        if (!view.Visible()) continue;
        const long long left = view.PixelLeft(), top = view.PixelTop();
        if (x >= left && x < left + view.PixelWidth() && y >= top && y < top + view.PixelHeight()) return k;
    }
    return 0;
}

SquarePresses::Twips SquarePresses::ToTwips(std::int16_t index, POINT point) const {
    const PixelSquareView& view = surface_.host.View(index);
    return {static_cast<float>(point.x - view.PixelLeft()) * kTwipsPerInch / static_cast<float>(surface_.dpiX),
            static_cast<float>(point.y - view.PixelTop()) * kTwipsPerInch / static_cast<float>(surface_.dpiY)};
}

void SquarePresses::EndPress() {
    press_ = {};
    if (surface_.window != nullptr && GetCapture() == surface_.window) ReleaseCapture();
}

void SquarePresses::ButtonDown(std::int16_t button, bool doubleClick, LPARAM lParam) {
    const POINT point = PointOf(lParam);
    std::int16_t index = press_.index;
    bool raiseDouble = false;
    if (index != 0) {
        // Another button while one is held: the square of the press hears it.
        if (!surface_.host.CheckLoaded(index)) return EndPress();
        press_.buttons |= button;
    } else {
        index = SquareAt(surface_.host, point.x, point.y);
        const std::int16_t previous = std::exchange(lastDown_, index);
        if (index == 0) return;  // bare surface
        // A double click counts on the square that had the first click.
        raiseDouble = doubleClick && index == previous;
        press_ = {index, button, raiseDouble};
        SetCapture(surface_.window);
    }
    const std::int16_t shift = ShiftState();
    if (raiseDouble) {
        input_.DblClick(index);
    } else {
        const Twips at = ToTwips(index, point);
        input_.MouseDown(index, button, shift, at.x, at.y);
    }
}

void SquarePresses::ButtonUp(std::int16_t button, LPARAM lParam) {
    // Only a release of a button pressed on a square is reported.
    const std::int16_t index = press_.index;
    if (index == 0 || (press_.buttons & button) == 0) return;
    if (!surface_.host.CheckLoaded(index)) return EndPress();
    const POINT point = PointOf(lParam);
    press_.buttons = static_cast<std::int16_t>(press_.buttons & ~button);
    const bool last = press_.buttons == 0;
    RECT client{};
    GetClientRect(surface_.window, &client);
    const bool click = last && !press_.doubleClick && PtInRect(&client, point) &&
                       SquareAt(surface_.host, point.x, point.y) == index;
    if (last) EndPress();
    const Twips at = ToTwips(index, point);
    // The host's handler may destroy the window, this object with it, or
    // disable the control: what follows checks first.
    const auto alive = surface_.alive;
    const HWND window = surface_.window;
    input_.MouseUp(index, button, ShiftState(), at.x, at.y);
    if (!*alive || surface_.window != window || !surface_.enabled) return;
    if (click) input_.Click(index);
}

void SquarePresses::MouseMoved(WPARAM wParam, LPARAM lParam) {
    const POINT point = PointOf(lParam);
    std::int16_t index = press_.index;
    if (index != 0) {
        if (!surface_.host.CheckLoaded(index)) return EndPress();
    } else {
        // Buttons held without a press on a square were pressed elsewhere
        // (on bare surface or outside): those moves are not the squares'.
        if (ButtonsOf(wParam) != 0) return;
        index = SquareAt(surface_.host, point.x, point.y);
        if (index == 0) return;
    }
    const Twips at = ToTwips(index, point);
    input_.MouseMove(index, ButtonsOf(wParam), ShiftState(), at.x, at.y);
}

}  // namespace quelder::win32
