#include "control/control_window.hpp"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "com/win_handles.hpp"

namespace quelder::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuelderBoardWindow";
constexpr float kTwipsPerInch = 1440.0f;

std::atomic<long> liveWindows{0};

// Posted to a window cut off from its owner: it destroys itself.
constexpr UINT kCloseMessage = WM_USER + 0x100;

// A critical section: recursive, so the thread holding it may take it again.
class RecursiveLock {
public:
    RecursiveLock() { InitializeCriticalSection(&section_); }
    ~RecursiveLock() { DeleteCriticalSection(&section_); }
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a RecursiveLock for a scope.
class Locked {
public:
    explicit Locked(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
    ~Locked() { lock_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    RecursiveLock& lock_;
};

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

bool RegisterControlWindowClass(HINSTANCE module, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(module, kClassName, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

// ---- the surface ---------------------------------------------------------------

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

long ControlWindow::LiveWindows() { return liveWindows; }

// What a window and the object that made it share, each holding it: the
// object (null once the window is cut off from it), and the lock the
// window's thread holds while it hands a message to the object. What the
// object leaves for the window's thread to release goes with the window.
struct ControlWindow::Link {
    explicit Link(ControlWindow* made) : owner(made) {}
    RecursiveLock lock;
    ControlWindow* owner;
    std::shared_ptr<void> leftovers;
};

ControlWindow::MessageHold::MessageHold(std::shared_ptr<Link> link) : link_(std::move(link)) {
    if (link_) link_->lock.Enter();
}

ControlWindow::MessageHold::~MessageHold() {
    if (link_) link_->lock.Leave();
}

ControlWindow::MessageHold ControlWindow::HoldMessages() const { return MessageHold(link_); }

bool UnregisterControlWindowClass(HINSTANCE module) { return UnregisterClassW(kClassName, module) != 0; }

// ---- the window ----------------------------------------------------------------

ControlWindow::ControlWindow(HINSTANCE module, PixelHostBase& host, SquareInput& input)
    : module_(module), surface_(host), input_(input) {}

ControlWindow::~ControlWindow() {
    Destroy();
    *surface_.alive = false;
}

HWND ControlWindow::Create(HWND parent, const RECT& position) {
    if (surface_.window != nullptr) {
        SetParent(surface_.window, parent);
        Place(position, position);
        return surface_.window;
    }
    if (!RegisterControlWindowClass(module_, &ControlWindow::WindowProc)) return nullptr;
    link_.reset(new (std::nothrow) Link(this));
    if (!link_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        handles::ScreenDc screen;
        const int x = GetDeviceCaps(screen.get(), LOGPIXELSX), y = GetDeviceCaps(screen.get(), LOGPIXELSY);
        surface_.dpiX = x > 0 ? x : 96;
        surface_.dpiY = y > 0 ? y : 96;
    }
    surface_.size = {std::max(0L, position.right - position.left), std::max(0L, position.bottom - position.top)};
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!surface_.enabled) style |= WS_DISABLED;
    // WM_NCCREATE sets surface_.window and gives the window link_.
    return CreateWindowExW(0, kClassName, L"", style, position.left, position.top, surface_.size.cx,
                           surface_.size.cy, parent, nullptr, module_, this);
}

void ControlWindow::Destroy(std::shared_ptr<void> leftovers) {
    const std::shared_ptr<Link> link = std::move(link_);
    // After a message being handled on the window's thread: from here on
    // none reaches this object.
    const MessageHold hold(link);
    // Forgotten first: the messages of its destruction, and whatever they
    // make the container do, find no window here.
    const HWND window = std::exchange(surface_.window, nullptr);
    press_ = {};
    if (window == nullptr || !link) return;
    link->owner = nullptr;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(window);
        return;
    }
    // Only the window's thread can destroy it (WindowProc). Should the post
    // fail (a full queue), the window goes with its parent.
    link->leftovers = std::move(leftovers);
    PostMessageW(window, kCloseMessage, 0, 0);
}

void ControlWindow::SetSize(int width, int height) {
    surface_.size = {std::max(0, width), std::max(0, height)};
    if (surface_.window != nullptr)
        SetWindowPos(surface_.window, nullptr, 0, 0, surface_.size.cx, surface_.size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlWindow::Place(const RECT& position, const RECT& clip) {
    surface_.size = {std::max(0L, position.right - position.left), std::max(0L, position.bottom - position.top)};
    if (surface_.window == nullptr) return;
    SetWindowPos(surface_.window, nullptr, position.left, position.top, surface_.size.cx, surface_.size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT visible{};
    IntersectRect(&visible, &position, &clip);
    if (EqualRect(&visible, &position)) {
        SetWindowRgn(surface_.window, nullptr, TRUE);
        return;
    }
    OffsetRect(&visible, -position.left, -position.top);
    handles::UniqueRegion region(CreateRectRgnIndirect(&visible));
    // The window owns the region once it is set.
    if (region && SetWindowRgn(surface_.window, region.get(), TRUE)) region.release();
}

void ControlWindow::SetEnabled(bool enabled) {
    surface_.enabled = enabled;
    if (!enabled) EndPress();
    if (surface_.window != nullptr) EnableWindow(surface_.window, enabled ? TRUE : FALSE);
}

void ControlWindow::Render(HDC dc, const RECT& bounds) const {
    RenderSurface(surface_.host, surface_.size.cx, surface_.size.cy, dc, bounds);
}

ControlWindow::Twips ControlWindow::ToTwips(std::int16_t index, POINT point) const {
    const PixelSquareView& view = surface_.host.View(index);
    return {static_cast<float>(point.x - view.PixelLeft()) * kTwipsPerInch / static_cast<float>(surface_.dpiX),
            static_cast<float>(point.y - view.PixelTop()) * kTwipsPerInch / static_cast<float>(surface_.dpiY)};
}

// ---- messages ------------------------------------------------------------------

LRESULT CALLBACK ControlWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using HeldLink = std::shared_ptr<Link>;
    if (message == WM_NCCREATE) {
        auto* self = static_cast<ControlWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        auto* held = new (std::nothrow) HeldLink(self->link_);
        if (held == nullptr) return FALSE;  // no window
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(held));
        self->surface_.window = window;
        ++liveWindows;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* held = reinterpret_cast<HeldLink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (held == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    // The link stays while the message is handled, even if the window goes;
    // what the owner left is released after the lock.
    const HeldLink link = *held;
    std::shared_ptr<void> leftovers;
    const Locked hold(link->lock);
    ControlWindow* self = link->owner;
    if (message == WM_NCDESTROY) {
        --liveWindows;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete held;
        leftovers = std::move(link->leftovers);
        if (self != nullptr && self->surface_.window == window) {
            self->surface_.window = nullptr;
            self->press_ = {};
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (self == nullptr || self->surface_.window != window) {
        // No longer the object's: being destroyed, or cut off from an owner
        // that went on another thread, which posted kCloseMessage.
        if (self == nullptr && message == kCloseMessage) {
            DestroyWindow(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Nothing may escape into the system; self may be gone by the time a
    // failure arrives here, so it is not touched again.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT ControlWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintInvalid(surface_.host, surface_.window);
        return 0;
    case WM_PRINTCLIENT:
        PrintClient(surface_.host, surface_.window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_LBUTTONDOWN: ButtonDown(1, false, lParam); return 0;
    case WM_RBUTTONDOWN: ButtonDown(2, false, lParam); return 0;
    case WM_MBUTTONDOWN: ButtonDown(4, false, lParam); return 0;
    case WM_LBUTTONDBLCLK: ButtonDown(1, true, lParam); return 0;
    case WM_RBUTTONDBLCLK: ButtonDown(2, true, lParam); return 0;
    case WM_MBUTTONDBLCLK: ButtonDown(4, true, lParam); return 0;
    case WM_LBUTTONUP: ButtonUp(1, lParam); return 0;
    case WM_RBUTTONUP: ButtonUp(2, lParam); return 0;
    case WM_MBUTTONUP: ButtonUp(4, lParam); return 0;
    case WM_MOUSEMOVE: MouseMoved(wParam, lParam); return 0;
    case WM_CAPTURECHANGED:
        // Someone else took the mouse: the press ends without a release.
        if (reinterpret_cast<HWND>(lParam) != surface_.window) press_ = {};
        return 0;
    case WM_CANCELMODE:
        EndPress();
        return 0;
    case WM_ENABLE:
        if (!wParam) EndPress();
        return 0;
    default:
        return DefWindowProcW(surface_.window, message, wParam, lParam);
    }
}

void ControlWindow::EndPress() {
    press_ = {};
    if (surface_.window != nullptr && GetCapture() == surface_.window) ReleaseCapture();
}

void ControlWindow::ButtonDown(std::int16_t button, bool doubleClick, LPARAM lParam) {
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

void ControlWindow::ButtonUp(std::int16_t button, LPARAM lParam) {
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

void ControlWindow::MouseMoved(WPARAM wParam, LPARAM lParam) {
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
