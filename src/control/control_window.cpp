#include "control/control_window.hpp"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "board/board_model.hpp"
#include "control/screen_dots.hpp"
#include "handles/win_handles.hpp"

namespace quelder::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuelderBoardWindow";
std::atomic<long> liveWindows{0};

// Posted to a window cut off from its owner: it destroys itself.
constexpr UINT kCloseMessage = WM_USER + 0x100;
// The animation's frames: a timer at about the display's pace.
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMilliseconds = 15;

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

constexpr float kTwipsPerInch = 1440.0f;

int ButtonsOf(WPARAM wParam) {
    int buttons = 0;
    if (wParam & MK_LBUTTON) buttons |= 1;
    if (wParam & MK_RBUTTON) buttons |= 2;
    if (wParam & MK_MBUTTON) buttons |= 4;
    return buttons;
}

// The keys held when the message being handled was sent, as a mask: shift 1,
// ctrl 2, alt 4.
int ShiftState() {
    int shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

// The letter or digit a key types, in lower case, whatever the keyboard's
// layout shifts: squares and promotion letters are typed as such.
char TypedOf(WPARAM key) {
    if (key >= 'A' && key <= 'Z') return static_cast<char>(key - 'A' + 'a');
    if (key >= '0' && key <= '9') return static_cast<char>(key);
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return static_cast<char>(key - VK_NUMPAD0 + '0');
    return '\0';
}

interaction::Key KeyOf(WPARAM key) {
    using interaction::Key;
    switch (key) {
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_HOME: return Key::Home;
    case VK_END: return Key::End;
    case VK_SPACE: return Key::Space;
    case VK_RETURN: return Key::Enter;
    case VK_ESCAPE: return Key::Escape;
    case VK_BACK: return Key::Backspace;
    default: return Key::Other;
    }
}

// The square view under a point of the surface: the last visible view, in
// index order, whose rectangle holds the point; 0 for none.
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
    : module_(module), input_(input), surface_(host), interaction_({}, quelder::SquareIndex(1, 8)) {}

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
    interaction_.Configure({GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG), input_.TakesKeys()});
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
    Forget();
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
    if (!enabled) Handle({interaction::Input::Kind::Disabled});
    if (surface_.window != nullptr) EnableWindow(surface_.window, enabled ? TRUE : FALSE);
}

void ControlWindow::StartFrames() {
    if (frames_ || surface_.window == nullptr) return;
    frames_ = SetTimer(surface_.window, kFrameTimer, kFrameMilliseconds, nullptr) != 0;
}

void ControlWindow::SetNote(std::optional<FloatingPicture> note) {
    if (surface_.note) Invalidate(surface_.note->Rect());
    surface_.note = std::move(note);
    if (surface_.note) Invalidate(surface_.note->Rect());
}

void ControlWindow::StopFrames() {
    if (!frames_) return;
    frames_ = false;
    if (surface_.window != nullptr) KillTimer(surface_.window, kFrameTimer);
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

void ControlWindow::Render(HDC dc, const RECT& bounds, const std::vector<Sprite>& over) const {
    RenderSurface(surface_.host, surface_.size.cx, surface_.size.cy, dc, bounds, over);
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
    ControlWindow* self = nullptr;
    bool pinned = false;
    {
        const Locked hold(link->lock);
        self = link->owner;
        if (message == WM_NCDESTROY) {
            --liveWindows;
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete held;
            leftovers = std::move(link->leftovers);
            if (self != nullptr && self->surface_.window == window) {
                self->surface_.window = nullptr;
                self->Forget();
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (self == nullptr && message == kCloseMessage) {
            // Cut off from an owner that went on another thread.
            DestroyWindow(window);
            return 0;
        }
        // The owner lives until the message is handled; one that is going
        // is not called.
        pinned = self != nullptr && self->surface_.window == window && self->input_.TryPin();
    }
    if (!pinned) return DefWindowProcW(window, message, wParam, lParam);
    // Nothing may escape into the system. The owner, and this object with it,
    // may go when it is unpinned: nothing is touched after that.
    SquareInput& owner = self->input_;
    LRESULT result = 0;
    try {
        result = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        result = 0;
    }
    owner.Unpin();
    return result;
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
    case WM_LBUTTONDOWN: Handle(Pointer(interaction::Input::Kind::PointerDown, 1, lParam)); return 0;
    case WM_RBUTTONDOWN: Handle(Pointer(interaction::Input::Kind::PointerDown, 2, lParam)); return 0;
    case WM_MBUTTONDOWN: Handle(Pointer(interaction::Input::Kind::PointerDown, 4, lParam)); return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        interaction::Input input = Pointer(interaction::Input::Kind::PointerDown,
                                           message == WM_LBUTTONDBLCLK ? 1 : message == WM_RBUTTONDBLCLK ? 2 : 4, lParam);
        input.doubleClick = true;
        Handle(input);
        return 0;
    }
    case WM_LBUTTONUP: Handle(Pointer(interaction::Input::Kind::PointerUp, 1, lParam)); return 0;
    case WM_RBUTTONUP: Handle(Pointer(interaction::Input::Kind::PointerUp, 2, lParam)); return 0;
    case WM_MBUTTONUP: Handle(Pointer(interaction::Input::Kind::PointerUp, 4, lParam)); return 0;
    case WM_MOUSEMOVE: Handle(Pointer(interaction::Input::Kind::PointerMove, ButtonsOf(wParam), lParam)); return 0;
    case WM_CAPTURECHANGED:
        // The capture went to another window: the press ends without a release.
        if (reinterpret_cast<HWND>(lParam) != surface_.window) Handle({interaction::Input::Kind::CaptureLost});
        return 0;
    case WM_CANCELMODE:
        Handle({interaction::Input::Kind::Cancel});
        return 0;
    case WM_ENABLE:
        if (!wParam) Handle({interaction::Input::Kind::Disabled});
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // Top-level windows hear of these from the system, and containers
        // pass them on to their controls.
        input_.SystemColoursChanged();
        return DefWindowProcW(surface_.window, message, wParam, lParam);
    case WM_TIMER:
        if (wParam != kFrameTimer) return DefWindowProcW(surface_.window, message, wParam, lParam);
        input_.Frame();
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
        if (msg != nullptr && msg->message == WM_KEYDOWN && WantsKey(msg->wParam)) code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN: {
        interaction::Input input{interaction::Input::Kind::Key};
        input.key = KeyOf(wParam);
        input.code = static_cast<int>(wParam);
        input.typed = TypedOf(wParam);
        input.repeat = (lParam & (1 << 30)) != 0;
        input.shift = ShiftState();
        input.time = static_cast<std::uint32_t>(GetMessageTime());
        Handle(input);
        return 0;
    }
    case WM_SETFOCUS:
        Handle({interaction::Input::Kind::FocusGained});
        return 0;
    case WM_KILLFOCUS:
        Handle({interaction::Input::Kind::FocusLost});
        return 0;
    default:
        return system();
    }
}

// ---- the interaction -----------------------------------------------------------

interaction::Input ControlWindow::Pointer(interaction::Input::Kind kind, int button, LPARAM lParam) const {
    interaction::Input input{kind};
    input.at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    input.button = button;
    input.shift = ShiftState();
    input.time = static_cast<std::uint32_t>(GetMessageTime());
    const POINT point{input.at.x, input.at.y};
    RECT client{};
    // A release outside the window is on no square.
    if (kind != interaction::Input::Kind::PointerUp ||
        (GetClientRect(surface_.window, &client) && PtInRect(&client, point)))
        input.square = SquareAt(surface_.host, point.x, point.y);
    return input;
}

ControlWindow::Twips ControlWindow::ToTwips(std::int16_t index, interaction::Point point) const {
    const PixelSquareView& view = surface_.host.View(index);
    return {static_cast<float>(point.x - view.PixelLeft()) * kTwipsPerInch / static_cast<float>(surface_.dpiX),
            static_cast<float>(point.y - view.PixelTop()) * kTwipsPerInch / static_cast<float>(surface_.dpiY)};
}

bool ControlWindow::WantsKey(WPARAM key) const { return interaction_.WantsKey(KeyOf(key)); }

void ControlWindow::Handle(const interaction::Input& input) { Run(interaction_.Handle(input, input_)); }

void ControlWindow::Deactivate() { Handle({interaction::Input::Kind::Deactivated}); }

void ControlWindow::Forget() {
    interaction_.Handle({interaction::Input::Kind::Deactivated}, input_);
    surface_.floating.reset();
    frames_ = false;  // the timer went with the window
}

void ControlWindow::Run(const interaction::Actions& actions) {
    using K = interaction::Action::Kind;
    // A report's handler may destroy the window or disable the control: the
    // interaction hears of it after each call out, and decides what follows.
    const auto alive = surface_.alive;
    const HWND window = surface_.window;
    for (const interaction::Action& action : actions) {
        const auto square = static_cast<std::int16_t>(action.square);
        const auto button = static_cast<std::int16_t>(action.button), shift = static_cast<std::int16_t>(action.shift);
        bool cancel = false;
        switch (action.kind) {
        case K::RaiseMouseDown:
        case K::RaiseMouseMove:
        case K::RaiseMouseUp: {
            const Twips at = ToTwips(square, action.at);
            if (action.kind == K::RaiseMouseDown) input_.MouseDown(square, button, shift, at.x, at.y);
            if (action.kind == K::RaiseMouseMove) input_.MouseMove(square, button, shift, at.x, at.y);
            if (action.kind == K::RaiseMouseUp) input_.MouseUp(square, button, shift, at.x, at.y);
            break;
        }
        case K::RaiseClick: input_.Click(square); break;
        case K::RaiseDblClick: input_.DblClick(square); break;
        case K::RaiseKeyDown: input_.KeyDown(action.code, action.shift); break;
        case K::RaisePieceDropped:
            cancel = input_.PieceDropped(square, static_cast<std::int16_t>(action.to), action.promotion);
            break;
        case K::RaiseAnnotationsChanged: input_.AnnotationsChanged(); break;
        case K::TakeFocus:
            if (window != nullptr && GetFocus() != window) SetFocus(window);
            break;
        case K::ActivateUI: input_.BecomeActive(); break;
        case K::TakeCapture:
            if (window != nullptr) SetCapture(window);
            break;
        case K::ReleaseCapture:
            if (window != nullptr && GetCapture() == window) ReleaseCapture();
            break;
        case K::Lift: {
            const PixelSquareView& view = surface_.host.View(square);
            const POINT centre = action.byKeys ? POINT{view.PixelLeft() + view.PixelWidth() / 2,
                                                       view.PixelTop() + view.PixelHeight() / 2}
                                               : POINT{action.at.x, action.at.y};
            try {
                input_.Lift(square, centre, action.inPlace);
            } catch (...) {
                // Without memory for its picture nothing is lifted.
                Run(interaction_.DragsOff());
            }
            break;
        }
        case K::FloatTo: {
            const PixelSquareView& view = surface_.host.View(square);
            FloatTo(action.at.x - view.PixelWidth() / 2, action.at.y - view.PixelHeight() / 2);
            break;
        }
        case K::FloatOnto: {
            const PixelSquareView& view = surface_.host.View(square);
            FloatTo(view.PixelLeft(), view.PixelTop());
            break;
        }
        case K::PutBack:
            // A drop that did not happen: the piece goes home from where it
            // was left.
            if (action.home && surface_.floating)
                input_.SlideHome(square, {surface_.floating->left, surface_.floating->top});
            Land();
            input_.OverlayChanged(false);
            break;
        case K::MovePiece: input_.MovePiece(square, static_cast<std::int16_t>(action.to), action.promotion); break;
        case K::ToggleShape: input_.ToggleShape(square, static_cast<std::int16_t>(action.to), action.brush); break;
        case K::ClearShapes: input_.ClearShapes(); break;
        case K::ShowChooser:
        case K::ShowTyped: input_.OverlayChanged(false); break;
        case K::FocusMoved:
        case K::FocusShown: input_.OverlayChanged(true); break;
        case K::FocusHidden: input_.OverlayChanged(false); break;
        }
        if (action.CallsOut()) {
            if (!*alive) return;
            const interaction::Answer answer{window != nullptr && surface_.window == window && surface_.enabled, cancel};
            Run(interaction_.Continue(action.next, answer, input_));
            return;
        }
    }
}

}  // namespace quelder::win32
