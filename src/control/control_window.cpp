#include "control/control_window.hpp"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "com/win_handles.hpp"

namespace quelder::win32 {

namespace {

constexpr wchar_t kClassName[] = L"QuelderBoardWindow";
constexpr float kTwipsPerInch = 1440.0f;
// Render composes at most this many pixels; a larger surface is sampled at
// no more than kMaxRenderEdge pixels a side.
constexpr long long kMaxRenderPixels = 4096LL * 4096LL;
constexpr double kMaxRenderEdge = 2048.0;
// The largest paint picture kept for the next paint (1024 x 1024).
constexpr std::size_t kMaxKeptPaintPixels = 1024 * 1024;

using UniqueRegion = handles::Unique<HRGN, handles::DeleteGdiObject>;

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

// A surface of width x height pixels shown in outWidth x outHeight pixels:
// each pixel shows the surface's pixel at its place.
Image SampleSurface(const PixelHostBase& host, int width, int height, int outWidth, int outHeight) {
    Image image(outWidth, outHeight, host.ButtonFace());
    const auto sourceX = [&](long long i) { return i * width / outWidth; };
    const auto sourceY = [&](long long j) { return j * height / outHeight; };
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!host.CheckLoaded(k)) continue;
        const PixelSquareView& view = host.View(k);
        if (!view.Visible()) continue;
        const ConstImagePart kept = view.KeptPart();
        const long long left = view.PixelLeft(), top = view.PixelTop();
        const long long right = left + view.PixelWidth(), bottom = top + view.PixelHeight();
        // The output pixels whose place lies in the view, give or take one.
        const long long i0 = std::max(0LL, left * outWidth / width - 1);
        const long long i1 = std::min<long long>(outWidth, right * outWidth / width + 1);
        const long long j0 = std::max(0LL, top * outHeight / height - 1);
        const long long j1 = std::min<long long>(outHeight, bottom * outHeight / height + 1);
        for (long long j = j0; j < j1; ++j) {
            const long long y = sourceY(j);
            if (y < top || y >= bottom) continue;
            for (long long i = i0; i < i1; ++i) {
                const long long x = sourceX(i);
                if (x < left || x >= right) continue;
                const int kx = static_cast<int>(x - left), ky = static_cast<int>(y - top);
                image.Set(static_cast<int>(i), static_cast<int>(j),
                          kept.Contains(kx, ky) ? kept.At(kx, ky) : view.Background());
            }
        }
    }
    return image;
}

BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Draws the area (left, top, width, height), which lies within image, at
// (x, y) of dc unstretched.
void DrawArea(HDC dc, const Image& image, int left, int top, int width, int height, int x, int y) {
    if (width <= 0 || height <= 0) return;
    // The image's rows from the area's first; the area is a column range of them.
    const BITMAPINFO info = TopDownInfo(image.Width(), height);
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), left, 0, 0,
                      static_cast<UINT>(height), image.Row(top), &info, DIB_RGB_COLORS);
}

// Draws image into the rectangle (x, y, width, height) of dc, stretched when
// the sizes differ.
void DrawImage(HDC dc, const Image& image, int x, int y, int width, int height) {
    if (image.Empty()) return;
    if (width == image.Width() && height == image.Height()) return DrawArea(dc, image, 0, 0, width, height, x, y);
    const BITMAPINFO info = TopDownInfo(image.Width(), image.Height());
    POINT oldOrigin{};
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    StretchDIBits(dc, x, y, width, height, 0, 0, image.Width(), image.Height(), image.Pixels().data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    if (oldMode != 0) SetStretchBltMode(dc, oldMode);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

// The rectangles of a region, at most kMostRectangles of them; none when it
// cannot be read or has more pieces than are worth drawing one by one (then
// the caller draws the bounding rectangle).
constexpr DWORD kMostRectangles = 16;
std::vector<RECT> RegionRectangles(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER) || size > sizeof(RGNDATAHEADER) + kMostRectangles * sizeof(RECT)) return {};
    std::vector<std::uint8_t> bytes(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (GetRegionData(region, size, data) != size || data->rdh.iType != RDH_RECTANGLES ||
        data->rdh.nCount > kMostRectangles)
        return {};
    std::vector<RECT> rects(data->rdh.nCount);
    std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
    return rects;
}

// The rectangles of a window's invalid region (see RegionRectangles).
std::vector<RECT> InvalidRectangles(HWND window) {
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    if (!region || GetUpdateRgn(window, region.get(), FALSE) != COMPLEXREGION) return {};
    return RegionRectangles(region.get());
}

// Rectangles to draw or invalidate for the given ones: a few as they are; many
// that tile their bounding rectangle (all 64 squares) as that one; otherwise
// their union, merged by a region.
std::vector<RECT> Union(const std::vector<RECT>& rects) {
    if (rects.size() <= kMostRectangles) return rects;
    RECT bounds = rects.front();
    long long area = 0;
    for (const RECT& r : rects) {
        UnionRect(&bounds, &bounds, &r);
        area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    }
    const auto overlap = [](const RECT& a, const RECT& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    };
    bool disjoint = true;
    for (std::size_t i = 0; disjoint && i < rects.size(); ++i)
        for (std::size_t j = i + 1; disjoint && j < rects.size(); ++j) disjoint = !overlap(rects[i], rects[j]);
    if (disjoint && area == static_cast<long long>(bounds.right - bounds.left) * (bounds.bottom - bounds.top))
        return {bounds};
    UniqueRegion region(CreateRectRgnIndirect(&rects.front()));
    for (std::size_t k = 1; region && k < rects.size(); ++k) {
        UniqueRegion part(CreateRectRgnIndirect(&rects[k]));
        if (part) CombineRgn(region.get(), region.get(), part.get(), RGN_OR);
    }
    std::vector<RECT> parts = region ? RegionRectangles(region.get()) : std::vector<RECT>{};
    if (parts.empty()) parts.push_back(bounds);
    return parts;
}

// The picture of a part of the surface being painted, kept between paints so
// that painting allocates nothing once it has painted its largest part.
// One per thread: controls of different apartments paint at the same time.
Image& PaintBuffer() {
    thread_local Image buffer;
    return buffer;
}

// Paints the area (left, top, width, height) of the surface onto dc.
void PaintArea(const PixelHostBase& host, HDC dc, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    if (host.SheetShows(area.left, area.top, width, height)) {
        // The kept images are the picture already.
        return DrawArea(dc, host.Sheet().Pixels(), area.left, area.top, width, height, area.left, area.top);
    }
    Image& buffer = PaintBuffer();
    host.ComposeArea(buffer, area.left, area.top, width, height);
    DrawImage(dc, buffer, area.left, area.top, width, height);
    // A huge window's picture is not kept.
    if (buffer.Pixels().capacity() > kMaxKeptPaintPixels) buffer = Image();
}

RECT ViewRect(const PixelSquareView& view) {
    return {view.PixelLeft(), view.PixelTop(), view.PixelLeft() + view.PixelWidth(),
            view.PixelTop() + view.PixelHeight()};
}

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

// onChanged / onRefresh of a view while a window shows it.
struct ViewHook {
    std::weak_ptr<bool> alive;
    ControlWindow* window;
    bool refresh;
    std::function<void(PixelSquareView&)> previous;

    void operator()(PixelSquareView& view) const {
        if (previous) previous(view);
        const auto live = alive.lock();
        if (!live || !*live) return;
        if (refresh)
            window->ViewRefreshed(view);
        else
            window->ViewChanged(view);
    }
};

// Puts back what was there before the hook of window, if it is still there.
void Unhook(std::function<void(PixelSquareView&)>& slot, const ControlWindow* window) {
    if (const auto* hook = slot.target<ViewHook>(); hook != nullptr && hook->window == window) {
        auto previous = hook->previous;
        slot = std::move(previous);
    }
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

void RenderSurface(const PixelHostBase& host, int width, int height, HDC dc, const RECT& bounds) {
    const int outWidth = bounds.right - bounds.left, outHeight = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0 || outWidth == 0 || outHeight == 0) return;
    Image image;
    if (static_cast<long long>(width) * height <= kMaxRenderPixels) {
        image = host.ComposeArea(0, 0, width, height);
    } else {
        // Too large to hold: sampled at the size it is drawn, within the limit.
        const double scale = std::min({1.0, kMaxRenderEdge / width, kMaxRenderEdge / height,
                                       static_cast<double>(std::abs(outWidth)) / width,
                                       static_cast<double>(std::abs(outHeight)) / height});
        image = SampleSurface(host, width, height, std::max(1, static_cast<int>(width * scale)),
                              std::max(1, static_cast<int>(height * scale)));
    }
    DrawImage(dc, image, bounds.left, bounds.top, outWidth, outHeight);
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
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!surface_.host.CheckLoaded(k)) continue;
        PixelSquareView& view = surface_.host.View(k);
        Unhook(view.onChanged, this);
        Unhook(view.onRefresh, this);
    }
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
    UniqueRegion region(CreateRectRgnIndirect(&visible));
    // The window owns the region once it is set.
    if (region && SetWindowRgn(surface_.window, region.get(), TRUE)) region.release();
}

void ControlWindow::SetEnabled(bool enabled) {
    surface_.enabled = enabled;
    if (!enabled) EndPress();
    if (surface_.window != nullptr) EnableWindow(surface_.window, enabled ? TRUE : FALSE);
}

void ControlWindow::ViewChanged(const PixelSquareView& view) {
    const RECT rect = ViewRect(view);
    if (batch_ > 0) return Gather(rect, false);
    if (surface_.window != nullptr && !IsRectEmpty(&rect)) InvalidateRect(surface_.window, &rect, FALSE);
}

void ControlWindow::ViewRefreshed(const PixelSquareView& view) {
    const RECT rect = ViewRect(view);
    if (batch_ > 0) return Gather(rect, true);
    if (surface_.window != nullptr && !IsRectEmpty(&rect))
        RedrawWindow(surface_.window, &rect, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void ControlWindow::Gather(const RECT& rect, bool refresh) {
    changed_ = true;
    refreshPending_ = refreshPending_ || refresh;
    if (rect.left >= rect.right || rect.top >= rect.bottom) return;
    // A view usually changes more than once (a new picture, then a refresh).
    const auto same = [&](const RECT& r) {
        return r.left == rect.left && r.top == rect.top && r.right == rect.right && r.bottom == rect.bottom;
    };
    if (std::any_of(pending_.rbegin(), pending_.rend(), same)) return;
    if (pending_.empty()) pending_.reserve(2 * kSquareCount);  // one allocation for a batch's changes
    pending_.push_back(rect);
}

bool ControlWindow::EndBatch() noexcept {
    if (batch_ == 0 || --batch_ > 0) return false;
    const bool changed = std::exchange(changed_, false);
    ShowChanges();
    return changed;
}

ControlWindow::SetAside ControlWindow::SetBatchesAside() noexcept {
    const SetAside aside{std::exchange(batch_, 0), std::exchange(changed_, false)};
    ShowChanges();
    return aside;
}

void ControlWindow::ShowChanges() noexcept {
    const std::vector<RECT> rects = std::exchange(pending_, {});
    const bool refresh = std::exchange(refreshPending_, false);
    if (surface_.window == nullptr || rects.empty()) return;
    std::vector<RECT> parts;
    try {
        parts = Union(rects);
        if (refresh) {
            // Refreshed: drawn onto the window now, all of it current, without
            // the round of WM_PAINT. Only what shows is drawn; what is hidden
            // now is painted when it shows.
            const handles::WindowDc dc(surface_.window);
            RECT visible{};
            if (dc.get() != nullptr && GetClipBox(dc.get(), &visible) != ERROR) {
                for (RECT part : parts) {
                    IntersectRect(&part, &part, &visible);
                    PaintArea(surface_.host, dc.get(), part);
                }
                return;
            }
        }
    } catch (...) {
        // Out of memory for the picture: WM_PAINT tries again.
        if (parts.empty()) parts.assign(1, RECT{0, 0, surface_.size.cx, surface_.size.cy});
    }
    for (const RECT& part : parts) InvalidateRect(surface_.window, &part, FALSE);
}

void ControlWindow::HookViews() {
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!surface_.host.CheckLoaded(k)) continue;
        PixelSquareView& view = surface_.host.View(k);
        view.onChanged = ViewHook{surface_.alive, this, false, std::move(view.onChanged)};
        view.onRefresh = ViewHook{surface_.alive, this, true, std::move(view.onRefresh)};
    }
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
        Paint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(surface_.window, &client);
        DrawImage(reinterpret_cast<HDC>(wParam), surface_.host.ComposeArea(0, 0, client.right, client.bottom), 0, 0,
                  client.right, client.bottom);
        return 0;
    }
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

void ControlWindow::Paint() {
    // The invalid region's rectangles, read before BeginPaint validates them:
    // two squares far apart repaint as two squares, not as the area between.
    std::vector<RECT> parts = InvalidRectangles(surface_.window);
    handles::PaintDc dc(surface_.window);
    const RECT& area = dc.Area();
    if (parts.empty()) parts.push_back(area);
    for (RECT part : parts) {
        IntersectRect(&part, &part, &area);
        // Each part is one picture, drawn at once: nothing flickers.
        PaintArea(surface_.host, dc.get(), part);
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
