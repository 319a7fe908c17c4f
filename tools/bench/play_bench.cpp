// Play on an 800-pixel board of the board class: an animation frame with the
// 32 pieces of the starting position sliding to their mirror squares (its
// WM_TIMER and the WM_PAINT after it), against a bare window that repaints
// the same rectangles from a picture made once; the frames' pace; no timer
// and no repaint once nothing moves; what a lift's destinations repaint; and
// the time a LegalMoves let takes for each of the 20 opening moves.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "handles/win_handles.hpp"

namespace quelder::bench {

namespace {

constexpr int kBoard = 800, kEdge = kBoard / 8;
constexpr UINT_PTR kFrameTimer = 1;  // the control's timer while pieces move
constexpr LONG kAnimation = 2000;    // milliseconds
const wchar_t kStart[] = L"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
const wchar_t kMirror[] = L"RNBQKBNR/PPPPPPPP/8/8/8/8/pppppppp/rnbqkbnr";
const wchar_t kOpening[] =
    L"a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1a3 b1c3 g1f3 g1h3";

using Clock = std::chrono::steady_clock;
double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }


// What the window's messages showed while this thread's messages were handled.
struct Frames {
    std::vector<double> costs;                   // us, a WM_TIMER's dispatch to the end of the WM_PAINT after it
    std::vector<double> timerParts, paintParts;  // us, the two dispatches of those frames
    std::vector<std::vector<RECT>> repainted;    // each of those frames' invalid region before its paint
    std::vector<Clock::time_point> ticks;        // when each WM_TIMER was dispatched
    long timers = 0, drawnInTimer = 0;           // the last: frames that left nothing to a WM_PAINT
};

// Handles this thread's messages until `until`, timing the frames of window.
void PumpFrames(HWND window, Clock::time_point until, Frames& frames) {
    Clock::time_point timer{};  // when the frame began,
    bool waiting = false;       // its WM_PAINT not come yet
    Clock::duration aside{};    // the frame's time spent reading its invalid region
    for (;;) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
            continue;
        }
        const bool tick = msg.hwnd == window && msg.message == WM_TIMER && msg.wParam == kFrameTimer;
        const bool paint = msg.hwnd == window && msg.message == WM_PAINT;
        std::vector<RECT> rects;
        if (paint) {
            const auto read = Clock::now();
            rects = UpdateRects(window);
            aside += Clock::now() - read;
        }
        const auto start = Clock::now();
        if (tick) {
            ++frames.timers;
            frames.ticks.push_back(start);
            timer = start;
            waiting = true;
            aside = {};
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        const auto end = Clock::now();
        if (tick) frames.timerParts.push_back(Us(end - start));
        if (paint) {
            if (waiting) {
                frames.costs.push_back(Us(end - timer - aside));
                frames.paintParts.push_back(Us(end - start));
                frames.repainted.push_back(std::move(rects));
            }
            waiting = false;
        } else if (tick && !GetUpdateRect(window, nullptr, FALSE)) {
            ++frames.drawnInTimer;
            waiting = false;
        }
    }
}

// The floor's window: each WM_PAINT copies the rectangles of a frame from a
// picture made once (a DIB section in a memory DC).
struct FloorPaint {
    HDC picture = nullptr;
    const std::vector<RECT>* rects = nullptr;
};
FloorPaint floorPaint;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    const handles::PaintDc dc(window);
    if (floorPaint.rects != nullptr)
        for (const RECT& r : *floorPaint.rects)
            BitBlt(dc.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, floorPaint.picture, r.left, r.top,
                   SRCCOPY);
    return 0;
}

LPARAM At(POINT point) { return MAKELPARAM(point.x, point.y); }

// The squares wholly within rects (of one region), by name: files a
// to h are columns 1 to 8, ranks 1 to 8 rows 8 to 1.
std::string SquaresIn(const std::vector<RECT>& rects) {
    std::string names;
    for (int row = 1; row <= 8; ++row)
        for (int col = 1; col <= 8; ++col) {
            const RECT square{(col - 1) * kEdge, (row - 1) * kEdge, col * kEdge, row * kEdge};
            long long covered = 0;
            for (const RECT& r : rects)
                if (RECT both; IntersectRect(&both, &r, &square)) covered += Area({both});
            if (covered == kEdge * kEdge)
                names += std::string(names.empty() ? "" : " ") + static_cast<char>('a' + col - 1) +
                         static_cast<char>('0' + 9 - row);
        }
    return names;
}

}  // namespace

void PlayBenchmark(const Options& options, const Ocx& ocx) {
    std::printf("board class: play on an %d-pixel board (squares of %d pixels)\n", kBoard, kEdge);
    TopWindow top(kBoard + 40, kBoard + 40);
    const HostedBoard board(top.get(), ocx, kBoard, true);
    const HWND window = board.Window();
    const BstrText start(kStart), mirror(kMirror), opening(kOpening);
    CheckHr(board->put_Position(start.value), "Position let");
    UpdateWindow(window);
    Pump();
    CheckHr(board->put_AnimationTime(kAnimation), "AnimationTime let");

    // The floor: a bare window of the board's size and place, shown above the
    // board in its turns, and its picture.
    const MemoryBitmap memory(kBoard, kBoard);
    std::uint32_t* pixels = memory.Pixels();
    for (int y = 0; y < kBoard; ++y)
        for (int x = 0; x < kBoard; ++x)
            pixels[y * kBoard + x] = ((x / kEdge + y / kEdge) % 2 != 0) ? 0x769656u : 0xeeeed2u;
    floorPaint.picture = memory.dc();
    const handles::UniqueWindow floorWindow =
        FloorWindow(top.get(), L"QuelderPlayFloor", &FloorProc, kBoard, kBoard, false);

    // 1 and 2. Animations from the starting position to its mirror and back,
    // each followed by 500 ms with nothing moving; after each, the floor
    // repaints the rectangles of its frames in turn.
    const int animations = options.quick ? 2 : 6;
    constexpr auto kIdle = std::chrono::milliseconds(500);
    Frames frames, idle;
    std::vector<double> floorCosts, ratios, intervals;
    std::vector<long> perAnimation;
    long idlePaints = 0;
    for (int a = 0; a < animations; ++a) {
        Frames one;
        const auto let = Clock::now();
        CheckHr(board->put_Position(a % 2 == 0 ? mirror.value : start.value), "Position let");
        PumpFrames(window, let + std::chrono::milliseconds(kAnimation + 100), one);
        {
            PaintCounter counted(window);
            PumpFrames(window, Clock::now() + kIdle, idle);
            idlePaints += counted.paints;
        }
        Check(!one.costs.empty(), "no animation frame was painted (is the system's client-area animation off?)");
        SetWindowPos(floorWindow.get(), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        UpdateWindow(floorWindow.get());
        Pump();
        for (std::size_t k = 0; k < one.costs.size(); ++k) {
            floorPaint.rects = &one.repainted[k];
            std::vector<double> replays;
            for (int r = 0; r < 3; ++r) {
                const auto begin = Clock::now();
                for (const RECT& rect : one.repainted[k]) InvalidateRect(floorWindow.get(), &rect, FALSE);
                UpdateWindow(floorWindow.get());
                replays.push_back(Us(Clock::now() - begin));
            }
            floorCosts.push_back(Median(replays));
            ratios.push_back(one.costs[k] / floorCosts.back());
        }
        floorPaint.rects = nullptr;
        ShowWindow(floorWindow.get(), SW_HIDE);
        UpdateWindow(window);
        Pump();
        for (std::size_t k = 1; k < one.ticks.size(); ++k)
            intervals.push_back(std::chrono::duration<double, std::milli>(one.ticks[k] - one.ticks[k - 1]).count());
        perAnimation.push_back(one.timers);
        for (std::vector<double> Frames::*part : {&Frames::costs, &Frames::timerParts, &Frames::paintParts})
            (frames.*part).insert((frames.*part).end(), (one.*part).begin(), (one.*part).end());
        frames.repainted.insert(frames.repainted.end(), one.repainted.begin(), one.repainted.end());
        frames.drawnInTimer += one.drawnInTimer;
    }
    std::vector<double> areas, parts;
    for (const auto& rects : frames.repainted) {
        areas.push_back(static_cast<double>(Area(rects)));
        parts.push_back(static_cast<double>(rects.size()));
    }
    const double interval = Median(intervals);
    std::string counts;
    for (const long n : perAnimation) counts += (counts.empty() ? "" : " ") + std::to_string(n);
    std::printf("  %-54s %8.1f us   (its WM_TIMER %.1f us, its WM_PAINT %.1f us)\n",
                "an animation frame, 32 pieces sliding", Median(frames.costs), Median(frames.timerParts),
                Median(frames.paintParts));
    std::printf("  %-54s %8.1f us   ratio %.2f (target <= 2.00)\n", "floor: a bare window's WM_PAINT of its rectangles",
                Median(floorCosts), Median(ratios));
    std::printf("  %-54s %8.0f px   (%.1f squares in %.0f rectangles; %zu frames timed)\n",
                "area repainted a frame (median)", Median(areas), Median(areas) / (kEdge * kEdge), Median(parts),
                frames.costs.size());
    std::printf("  %-54s %8s      (%ld ms at one every %.1f ms: %.0f; %ld drawn within their WM_TIMER)\n",
                ("frames an animation of " + std::to_string(kAnimation) + " ms").c_str(), counts.c_str(), kAnimation,
                interval, kAnimation / interval, frames.drawnInTimer);
    std::printf("  %-54s %8.1f ms   (longest %.1f ms; the timer asks for 15 ms)\n", "interval between frames (median)",
                interval, *std::max_element(intervals.begin(), intervals.end()));
    std::printf("  %-54s %4ld / %ld      (target 0 / 0; over %d x %lld ms)\n",
                "WM_TIMER / WM_PAINT once nothing moves", idle.timers, idlePaints, animations,
                static_cast<long long>(kIdle.count()));
    Check(idle.timers == 0 && idlePaints == 0, "the board's window got " + std::to_string(idle.timers) +
                                                   " WM_TIMER and " + std::to_string(idlePaints) +
                                                   " WM_PAINT messages while nothing moved");

    // 3. A click on the knight on b1 (column 2, row 8) with the opening moves
    // set picks it up in place and shows a3 and c3; a second click puts it
    // back.
    CheckHr(board->put_AnimationTime(0), "AnimationTime let");
    CheckHr(board->NewGame(), "NewGame");
    CheckHr(board->put_AnimationTime(200), "AnimationTime let");
    CheckHr(board->put_LegalMoves(opening.value), "LegalMoves let");
    CheckHr(board->put_DragPieces(VARIANT_TRUE), "DragPieces let");
    UpdateWindow(window);
    Pump();
    const POINT knight{kEdge + kEdge / 2, 7 * kEdge + kEdge / 2};
    {
        PaintCounter counted(window);
        struct Click {
            const char* what;
            const char* expected;
        };
        const Click clicks[] = {{"a click on the knight on b1: paints, squares", "b1 a3 c3, and a1 the focus left"},
                                {"a second click putting it back", "b1 a3 c3"}};
        for (const Click& click : clicks) {
            counted.Reset();
            SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(knight));
            SendMessageW(window, WM_LBUTTONUP, 0, At(knight));
            Frames after;
            PumpFrames(window, Clock::now() + std::chrono::milliseconds(300), after);
            std::printf("  %-54s %4ld, %.2f  (%s; expected: 1 paint of %s)\n", click.what, counted.paints,
                        static_cast<double>(counted.area) / (kEdge * kEdge), SquaresIn(counted.rects).c_str(),
                        click.expected);
        }
    }

    // 4. LegalMoves let with the 20 opening moves, against a Position let of
    // the position the board shows (its text read, nothing changed).
    const int calls = options.quick ? 20 : 100;
    const Comparison lets = Compare(
        options.repetitions, calls, [&] { CheckHr(board->put_LegalMoves(opening.value), "LegalMoves let"); },
        [&] { CheckHr(board->put_Position(start.value), "Position let"); });
    std::printf("  %-54s %8.1f us   (%.2f us a move; target < 50 us a move)\n", "LegalMoves let, the 20 opening moves",
                lets.measured * 1e6, lets.measured * 1e6 / 20);
    std::printf("  %-54s %8.1f us   ratio %.2f\n", "floor: Position let of the position shown", lets.baseline * 1e6,
                lets.ratio);
}

}  // namespace quelder::bench
