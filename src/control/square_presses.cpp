#include "control/square_presses.hpp"

#include <windowsx.h>

#include <cstdlib>
#include <utility>

namespace quelder::win32 {

namespace {

constexpr float kTwipsPerInch = 1440.0f;

std::int16_t ButtonsOf(WPARAM wParam) {
    std::int16_t buttons = 0;
    if (wParam & MK_LBUTTON) buttons |= 1;
    if (wParam & MK_RBUTTON) buttons |= 2;
    if (wParam & MK_MBUTTON) buttons |= 4;
    return buttons;
}

POINT PointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

std::int16_t ShiftState() {
    std::int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

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

bool SquarePresses::Release() {
    const bool dragging = std::exchange(press_, {}).dragging;
    if (surface_.window != nullptr && GetCapture() == surface_.window) ReleaseCapture();
    return dragging;
}

void SquarePresses::EndPress() {
    if (Release()) input_.CancelDrag();
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
        press_ = {index, button, raiseDouble, point, false};
        SetCapture(surface_.window);
        if (input_.TakesKeys() && GetFocus() != surface_.window) SetFocus(surface_.window);
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
    const std::int16_t under = PtInRect(&client, point) ? SquareAt(surface_.host, point.x, point.y) : 0;
    const bool doubleClick = press_.doubleClick;
    const bool dropped = last && Release();
    const bool click = last && !dropped && !doubleClick && under == index;
    const Twips at = ToTwips(index, point);
    // The host's handler may destroy the window, this object with it, or
    // disable the control: what follows checks first.
    const auto alive = surface_.alive;
    const HWND window = surface_.window;
    input_.MouseUp(index, button, ShiftState(), at.x, at.y);
    if (!StillHere(alive, window)) {
        if (dropped && *alive) input_.CancelDrag();
        return;
    }
    if (dropped) input_.Drop(under);
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
    const auto alive = surface_.alive;
    const HWND window = surface_.window;
    input_.MouseMove(index, ButtonsOf(wParam), ShiftState(), at.x, at.y);
    if (press_.index != 0 && StillHere(alive, window)) Drag(point);
}

void SquarePresses::Drag(POINT point) {
    if (press_.dragging) return input_.DragTo(point);
    // Only the left button lifts, and only beyond the drag distance.
    if (press_.buttons != 1 || press_.doubleClick) return;
    if (std::abs(point.x - press_.start.x) <= GetSystemMetrics(SM_CXDRAG) &&
        std::abs(point.y - press_.start.y) <= GetSystemMetrics(SM_CYDRAG))
        return;
    if (!input_.CanLift(press_.index)) return;
    press_.dragging = true;
    input_.Lift(press_.index, point);
}

}  // namespace quelder::win32
