#include "control/control_window.hpp"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "control/screen_dots.hpp"
#include "handles/win_handles.hpp"

namespace quelder::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuelderBoardWindow";
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

// ---- the link ------------------------------------------------------------------

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
    : module_(module), input_(input), surface_(host), presses_(surface_, input) {}

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
    clipped_ = false;
    link_.reset(new (std::nothrow) Link(this));
    if (!link_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const ScreenDots dots = ScreenDpi();
    surface_.dpiX = dots.x;
    surface_.dpiY = dots.y;
    surface_.size = {std::max(0L, position.right - position.left), std::max(0L, position.bottom - position.top)};
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!surface_.enabled) style |= WS_DISABLED;
    if (input_.TakesKeys()) style |= WS_TABSTOP;
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
    presses_.Forget();
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
    const HWND window = surface_.window;
    if (window == nullptr) return;
    // A window already in place (as it was made) is neither moved nor its
    // region set again: each costs the window manager a round and a repaint.
    RECT now{};
    GetWindowRect(window, &now);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&now), 2);
    if (!EqualRect(&now, &position))
        SetWindowPos(window, nullptr, position.left, position.top, surface_.size.cx, surface_.size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    RECT visible{};
    IntersectRect(&visible, &position, &clip);
    if (EqualRect(&visible, &position)) {
        if (clipped_ && SetWindowRgn(window, nullptr, TRUE)) clipped_ = false;
        return;
    }
    OffsetRect(&visible, -position.left, -position.top);
    handles::UniqueRegion region(CreateRectRgnIndirect(&visible));
    // The window owns the region once it is set.
    if (region && SetWindowRgn(window, region.get(), TRUE)) {
        region.release();
        clipped_ = true;
    }
}

void ControlWindow::SetEnabled(bool enabled) {
    surface_.enabled = enabled;
    if (!enabled) presses_.EndPress();
    if (surface_.window != nullptr) EnableWindow(surface_.window, enabled ? TRUE : FALSE);
}

void ControlWindow::InvalidateFloating() {
    if (surface_.window == nullptr || !surface_.floating) return;
    const RECT rect = surface_.floating->Rect();
    InvalidateRect(surface_.window, &rect, FALSE);
}

void ControlWindow::Float(BoardPicture picture, int left, int top) {
    InvalidateFloating();
    surface_.floating = FloatingPicture{std::move(picture), left, top};
    FloatTo(left, top);
}

void ControlWindow::FloatTo(int left, int top) {
    if (!surface_.floating) return;
    InvalidateFloating();
    surface_.floating->left = left;
    surface_.floating->top = top;
    InvalidateFloating();
    if (surface_.window != nullptr && !batches_.Batching()) UpdateWindow(surface_.window);
}

void ControlWindow::Land() {
    InvalidateFloating();
    surface_.floating.reset();
}

void ControlWindow::Render(HDC dc, const RECT& bounds) const {
    RenderSurface(surface_.host, surface_.size.cx, surface_.size.cy, dc, bounds);
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
            self->presses_.Forget();
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
        PaintInvalid(surface_);
        return 0;
    case WM_PRINTCLIENT:
        PrintClient(surface_.host, surface_.window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_LBUTTONDOWN: presses_.ButtonDown(1, false, lParam); return 0;
    case WM_RBUTTONDOWN: presses_.ButtonDown(2, false, lParam); return 0;
    case WM_MBUTTONDOWN: presses_.ButtonDown(4, false, lParam); return 0;
    case WM_LBUTTONDBLCLK: presses_.ButtonDown(1, true, lParam); return 0;
    case WM_RBUTTONDBLCLK: presses_.ButtonDown(2, true, lParam); return 0;
    case WM_MBUTTONDBLCLK: presses_.ButtonDown(4, true, lParam); return 0;
    case WM_LBUTTONUP: presses_.ButtonUp(1, lParam); return 0;
    case WM_RBUTTONUP: presses_.ButtonUp(2, lParam); return 0;
    case WM_MBUTTONUP: presses_.ButtonUp(4, lParam); return 0;
    case WM_MOUSEMOVE: presses_.MouseMoved(wParam, lParam); return 0;
    case WM_CAPTURECHANGED:
        presses_.CaptureChanged(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CANCELMODE:
        presses_.EndPress();
        return 0;
    case WM_ENABLE:
        if (!wParam) presses_.EndPress();
        return 0;
    default:
        return OnKeyboard(message, wParam, lParam);
    }
}

LRESULT ControlWindow::OnKeyboard(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto system = [&] { return DefWindowProcW(surface_.window, message, wParam, lParam); };
    switch (message) {
    case WM_GETOBJECT: {
        const LRESULT object = input_.GetObject(wParam, lParam);
        return object != 0 ? object : system();
    }
    default:
        break;
    }
    if (!input_.TakesKeys()) return system();
    switch (message) {
    case WM_GETDLGCODE: {
        // The arrows and characters always; Enter and Escape when the board
        // has a use for them, rather than the dialog's default buttons.
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && msg->message == WM_KEYDOWN && input_.WantsKey(msg->wParam)) code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && presses_.Dragging()) {
            presses_.EndPress();
            return 0;
        }
        return input_.KeyDown(wParam, (lParam & (1 << 30)) != 0) ? 0 : system();
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        input_.FocusChanged(message == WM_SETFOCUS);
        return 0;
    default:
        return system();
    }
}

}  // namespace quelder::win32
