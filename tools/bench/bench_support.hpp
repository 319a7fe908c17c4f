// What the benchmark's measurements share: Quelder.ocx loaded into the
// process, medians of timed repetitions, hosting a control in a window
// through the system's container (atl.dll's AtlAxAttachControl, which needs no
// registration), and the board images as the control holds them.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com/com_ptr.hpp"
#include "host/host_services.hpp"
#include "control/quelder_idl.hpp"
#include "handles/win_handles.hpp"
#include "support/win_test_support.hpp"

namespace quelder::bench {

using com::ComPtr;

struct Options {
    bool quick = false;
    int repetitions = 15;  // timed repetitions; the median is reported
};

// Fails the run with a message.
[[noreturn]] void Fail(const std::string& what);
void Check(bool condition, const std::string& what);
void CheckHr(HRESULT hr, const std::string& what);

class Ocx {
public:
    explicit Ocx(const std::wstring& path);
    ~Ocx();
    Ocx(const Ocx&) = delete;
    Ocx& operator=(const Ocx&) = delete;
    HMODULE Module() const { return module_; }
    // A new control of the published class, and of the board class.
    ComPtr<_Quelder> Create() const;
    ComPtr<_QuelderBoard> CreateBoard() const;

private:
    HMODULE module_ = nullptr;
    ComPtr<IClassFactory> factory_, boardFactory_;
};

// The 14 board images from the module's bitmap resources, decoded as the
// control decodes them.
std::vector<PictureRef> BoardImages(HMODULE ocx);

// The image number of the piece on a square of the starting position (None
// on an empty one).
std::int32_t StartingPiece(int col, int row);

// Shows a memory bitmap on a window: the transfer the control's own paint
// ends with.
void ShowOn(HWND window, const Image& surface);
// Draws image unstretched with its top-left corner at (x, y) of dc.
void ShowAt(HDC dc, const Image& image, int x, int y);

// A board-class control's published interface, as the container hosts it,
// and its ChangeBoardSize.
ComPtr<_Quelder> Published(const ComPtr<_QuelderBoard>& board);
void SetSize(_QuelderBoard& board, LONG size);

// The whole of a window invalidated and repainted through WM_PAINT now.
void Repaint(HWND window);
// body followed by UpdateWindow: nothing is left to paint, but Wine sends the
// window's new pixels to the X server there.
std::function<void()> AndUpdate(HWND window, std::function<void()> body);

// The median of values (not empty).
double Median(std::vector<double> values);

// Seconds per call of body, the median over repetitions of timed runs of
// `calls` calls each.
double MedianSeconds(int repetitions, int calls, const std::function<void()>& body);

// Two bodies timed in turn, repetition by repetition, so that both see the
// same moment of the machine: the median seconds per call of each and the
// median of their ratios (measured / baseline).
struct Comparison {
    double measured = 0, baseline = 0, ratio = 0;
};
// What each side needs before each of its timed runs (its window shown, the
// other's hidden), done untimed; none by default.
struct Turns {
    std::function<void()> measured, baseline;
};
Comparison Compare(int repetitions, int calls, const std::function<void()>& measured,
                   const std::function<void()>& baseline, const Turns& turns = {});

// A text for a member that takes a BSTR, made once, outside the timings.
using testing::BstrText;

// A floor's picture: width x height 32-bit pixels, top-down, in a DIB
// section selected into a memory DC of its own.
class MemoryBitmap {
public:
    MemoryBitmap(int width, int height);
    HDC dc() const { return memory_.get(); }
    std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(bits_); }

private:
    void* bits_ = nullptr;
    handles::UniqueBitmap bitmap_;
    handles::UniqueMemoryDc memory_;
    std::optional<handles::Selection> selected_;
};

// A visible top-level window at (0, 0) with room for children.
class TopWindow {
public:
    TopWindow(int width, int height);
    HWND get() const { return window_.get(); }

private:
    handles::UniqueWindow window_;
};

// Where hosting a board spends its time: the container's site window, and
// attaching the control to it (client site, in-place activation, its window).
struct HostingTime {
    std::chrono::steady_clock::duration site{}, attach{};
};

// A control in place in a child window of parent, through atl.dll's
// container. Destroying the child window lets go of the control.
class Hosted {
public:
    // Adds the time of each step to time when it is given.
    Hosted(HWND parent, const RECT& place, ComPtr<_Quelder> control, HostingTime* time = nullptr);
    _Quelder* operator->() const { return control_.Get(); }
    _Quelder* get() const { return control_.Get(); }
    // The control's own window (IOleWindow::GetWindow).
    HWND ControlWindow() const;
    HWND Site() const { return site_.get(); }

private:
    handles::UniqueWindow site_;
    ComPtr<_Quelder> control_;
    ComPtr<IUnknown> container_;
};

// A board-class control hosted at the top-left of parent, size pixels
// square, with its window; its animation off unless animated.
class HostedBoard {
public:
    HostedBoard(HWND parent, const Ocx& ocx, int size, bool animated = false);
    _QuelderBoard* operator->() const { return board_.Get(); }
    _QuelderBoard* Get() const { return board_.Get(); }
    template <typename Pointer>
    HRESULT As(Pointer* other) const {
        return board_.As(other);
    }
    HWND Window() const { return window_; }

private:
    ComPtr<_QuelderBoard> board_;
    std::optional<Hosted> hosted_;
    HWND window_ = nullptr;
};

// A floor's window: a child of parent at (0, 0), width x height, of a window
// class of its own (name) whose messages go to procedure; shown when
// visible, above its siblings.
handles::UniqueWindow FloorWindow(HWND parent, const wchar_t* name, WNDPROC procedure, int width, int height,
                                  bool visible);

// Handles the messages waiting for this thread.
void Pump();

// The rectangles of a window's invalid region, and their area in pixels.
std::vector<RECT> UpdateRects(HWND window);
long long Area(const std::vector<RECT>& rects);

// While it lives, counts the WM_PAINT messages a window receives and the
// area of the invalid region each repaints (one counter at a time).
class PaintCounter {
public:
    explicit PaintCounter(HWND window);
    ~PaintCounter();
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    void Reset() { paints = 0, area = 0, rects.clear(); }

    long paints = 0;
    long long area = 0;       // pixels, summed over the rectangles of the invalid regions
    std::vector<RECT> rects;  // those rectangles

private:
    static LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC original_;
};

// The committed memory, in bytes, that each of `count` hosted boards holds
// while they are all alive at once: make(i) makes the i-th (one is made and
// let go of first, for what stays loaded).
double CommittedPerBoard(int count, const std::function<std::unique_ptr<Hosted>(int)>& make);

// The benchmarks; each prints its own figures.
void PaintBenchmark(const Options& options, const Ocx& ocx);
void DispatchBenchmark(const Options& options, const Ocx& ocx);
void MoveBenchmark(const Options& options, const Ocx& ocx);
void InstancesBenchmark(const Options& options, const Ocx& ocx);
void BoardMemoryBenchmark(const Options& options, const Ocx& ocx);
void LookBenchmark(const Options& options, const Ocx& ocx);
void BoardClassBenchmark(const Options& options, const Ocx& ocx);
void DragBenchmark(const Options& options, const Ocx& ocx);
void PlayBenchmark(const Options& options, const Ocx& ocx);

}  // namespace quelder::bench
