// Shared by the tests of the control's window: the message loop, pictures of
// a window or a DC, a top-level window, and real mouse input through
// SendInput.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include "host/host_services.hpp"
#include "drawing/pixels.hpp"
#include "handles/win_handles.hpp"
#include "support/message_loop.hpp"
#include "support/process_counts.hpp"

namespace quelder {
inline void PrintTo(const SquareEvent& e, std::ostream* os) {
    static const char* const names[] = {"?", "Click", "DblClick", "MouseDown", "MouseMove", "MouseUp"};
    *os << names[static_cast<int>(e.kind)] << "(" << e.col << ", " << e.row;
    if (e.kind >= SquareEventKind::MouseDown)
        *os << ", button " << e.button << ", shift " << e.shift << ", " << e.x << ", " << e.y;
    *os << ")";
}
}  // namespace quelder

namespace quelder::testing {

// ---- pictures ----------------------------------------------------------------------

// The pixels of a DC, copied through a 32-bit DIB section.
inline Image CopyDc(HDC source, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    handles::UniqueBitmap bitmap(CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    handles::UniqueMemoryDc memory(CreateCompatibleDC(source));
    Image image(width, height);
    if (!bitmap || !memory) return image;
    {
        handles::Selection selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, source, 0, 0, SRCCOPY);
        GdiFlush();
    }
    const auto* p = static_cast<const Pixel*>(bits);
    for (auto& pixel : image.Pixels()) pixel = *p++ & 0xFFFFFFu;
    return image;
}

// What a window shows on the screen now.
inline Image Shot(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    handles::WindowDc dc(window);
    return CopyDc(dc.get(), client.right, client.bottom);
}

// What draw paints into a width x height bitmap that starts black.
inline Image Drawn(int width, int height, const std::function<void(HDC)>& draw) {
    handles::ScreenDc screen;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    handles::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    handles::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    handles::Selection selected(memory.get(), bitmap.get());
    draw(memory.get());
    GdiFlush();
    return CopyDc(memory.get(), width, height);
}

inline Image Crop(const Image& image, int x, int y, int width, int height) {
    Image part(width, height);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) part.Set(i, j, image.At(x + i, y + j));
    return part;
}

inline ::testing::AssertionResult SameImage(const Image& actual, const Image& expected) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
        return ::testing::AssertionFailure() << "size " << actual.Width() << " x " << actual.Height() << ", expected "
                                             << expected.Width() << " x " << expected.Height();
    for (int y = 0; y < actual.Height(); ++y)
        for (int x = 0; x < actual.Width(); ++x)
            if (actual.At(x, y) != expected.At(x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << actual.At(x, y) << ", expected " << expected.At(x, y);
    return ::testing::AssertionSuccess();
}

inline Pixel ButtonFace() {
    const COLORREF c = GetSysColor(COLOR_BTNFACE);
    return MakePixel(GetRValue(c), GetGValue(c), GetBValue(c));
}

inline SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

// ---- resources ---------------------------------------------------------------------

// GdiObjectCount: support/process_counts.hpp

// ---- a top-level window for the container --------------------------------------

// A visible top-level window at (left, top) of the screen, in the foreground.
// The pointer is put in a corner of the screen the window does not cover
// first: a window made under the pointer, wherever an earlier test left it,
// hears of it as a move that the test did not make.
class TopWindow {
public:
    TopWindow(int left, int top, int width, int height) {
        const int right = GetSystemMetrics(SM_CXSCREEN) - 1, bottom = GetSystemMetrics(SM_CYSCREEN) - 1;
        const RECT area{left, top, left + width, top + height};
        for (const POINT corner : {POINT{right, bottom}, POINT{0, bottom}, POINT{right, 0}, POINT{0, 0}}) {
            if (PtInRect(&area, corner)) continue;
            SetCursorPos(corner.x, corner.y);
            break;
        }
        const HINSTANCE module = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.hInstance = module;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
        wc.lpszClassName = L"QuelderTestTopWindow";
        RegisterClassW(&wc);
        window_.reset(CreateWindowExW(0, wc.lpszClassName, L"Quelder test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                      left, top, width, height, nullptr, nullptr, module, nullptr));
        if (window_) SetForegroundWindow(window_.get());
    }
    HWND get() const { return window_.get(); }
    void reset() { window_.reset(); }

private:
    handles::UniqueWindow window_;
};

// ---- real mouse input ----------------------------------------------------------------

// The pointer and buttons, driven through SetCursorPos and SendInput over a
// window's client area.
class Mouse {
public:
    explicit Mouse(HWND window = nullptr) : window_(window) {}
    void SetWindow(HWND window) { window_ = window; }

    // The pointer to (x, y) of the window's client area.
    void MoveTo(int x, int y) {
        POINT at{x, y};
        ClientToScreen(window_, &at);
        SetCursorPos(at.x, at.y);
        Pump(20);
    }
    static void Send(DWORD flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof in);
        Pump(20);
    }
    // A press that is not the second half of a double click: waits out the
    // double-click time after a press nearby.
    void Press(int x, int y, DWORD flags = MOUSEEVENTF_LEFTDOWN) {
        if (std::abs(x - lastX_) < 16 && std::abs(y - lastY_) < 16) {
            const ULONGLONG ready = lastPress_ + GetDoubleClickTime() + 50;
            while (GetTickCount64() < ready) Pump(20);
        }
        MoveTo(x, y);
        Send(flags);
        lastX_ = x, lastY_ = y, lastPress_ = GetTickCount64();
    }
    void Click(int x, int y) {
        Press(x, y);
        Send(MOUSEEVENTF_LEFTUP);
    }

private:
    HWND window_;
    int lastX_ = -100, lastY_ = -100;
    ULONGLONG lastPress_ = 0;
};

// A key pressed (down) or let go through SendInput.
inline void SendKey(WORD key, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    Pump(20);
}

// Twips from pixels at the screen's dots per inch.
inline float TwipsX(int pixels) {
    handles::ScreenDc screen;
    return static_cast<float>(pixels) * 1440.0f / static_cast<float>(GetDeviceCaps(screen.get(), LOGPIXELSX));
}
inline float TwipsY(int pixels) {
    handles::ScreenDc screen;
    return static_cast<float>(pixels) * 1440.0f / static_cast<float>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

}  // namespace quelder::testing
