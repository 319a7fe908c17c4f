// Instances: what each live hosted board costs (its windows, its GDI objects,
// its memory, the time to create and host it), with 1,000 boards alive at
// once in one process, and everything given back when they go. Then the
// memory of a board by its size and class, and with a large picture of its own.
#include <olectl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <memory>
#include <vector>

#include "bench_support.hpp"
#include "host/pixel_host.hpp"
#include "support/process_counts.hpp"
#include "support/solid_picture.hpp"

namespace quelder::bench {

namespace {

// What the process holds, as the system tells it.
struct Counts {
    long controlWindows = 0;  // the windows of the control's window class
    long processWindows = 0;
    long processGdi = 0;
    SIZE_T committed = 0;
};

Counts Take() {
    Counts c;
    c.controlWindows = testing::WindowCount(L"QuelderBoardWindow");
    c.processWindows = testing::WindowCount();
    c.processGdi = testing::GdiObjectCount();
    c.committed = testing::CommittedBytes();
    return c;
}

void Print(const char* when, const Counts& c) {
    std::printf("  %-22s control windows %5ld; process: windows %5ld, GDI objects %5ld, committed %7zu KiB\n", when,
                c.controlWindows, c.processWindows, c.processGdi, static_cast<std::size_t>(c.committed / 1024));
}

}  // namespace

// The committed memory of one hosted board of each size, over a few boards
// alive at once: a board should cost about its own area (4 bytes a pixel)
// and its images, whatever its size or pictures.
void BoardMemoryBenchmark(const Options& options, const Ocx& ocx) {
    const int kBoards = options.quick ? 3 : 8;
    constexpr int kPictureEdge = 1024;
    const ComPtr<IPictureDisp> large = testing::SolidPicture(kPictureEdge, RGB(200, 180, 140));
    Check(static_cast<bool>(large), "no picture object for the large picture");
    struct Case {
        const char* what;
        int size;
        bool picture;     // the light square's picture replaced by the large one before NewGame
        bool boardClass;  // QuelderBoard, which draws its squares at their size
    };
    const Case cases[] = {{"296 pixels", 8 * kSquareSize, false, false},
                          {"800 pixels", 800, false, false},
                          {"2,000 pixels", 2000, false, false},
                          {"296 pixels, 1,024-pixel picture", 8 * kSquareSize, true, false},
                          {"QuelderBoard, 296 pixels", 8 * kSquareSize, false, true},
                          {"QuelderBoard, 800 pixels", 800, false, true}};
    std::printf("board memory: committed memory per hosted board, %d boards alive at once (each made, hosted, "
                "resized by ChangeBoardSize, NewGame)\n",
                kBoards);
    TopWindow top(1000, 700);
    for (const Case& c : cases) {
        auto make = [&](int i) {
            const int x = (i % 4) * 40, y = (i / 4) * 40;
            auto board = std::make_unique<Hosted>(top.get(), RECT{x, y, x + c.size, y + c.size},
                                                  c.boardClass ? Published(ocx.CreateBoard()) : ocx.Create());
            LONG dimension = c.size;
            CheckHr((*board)->ChangeBoardSize(&dimension), "ChangeBoardSize");
            if (c.picture) {
                ::PieceNum light = ::None;  // image 1, the light square
                IPictureDisp* picture = large.Get();
                CheckHr((*board)->putref_Picture(&light, &picture), "Set Picture");
            }
            CheckHr((*board)->NewGame(), "NewGame");
            Pump();
            return board;
        };
        const double perBoard = CommittedPerBoard(kBoards, make) / 1024.0;
        const double area = 4.0 * c.size * c.size / 1024.0;
        std::printf("  %-32s %10.1f KiB a board (its area at 4 bytes a pixel: %8.1f KiB)\n", c.what, perBoard,
                    area);
    }
    std::printf("  the 14 images: %d bytes; the 1,024-pixel picture: %d bytes\n", 14 * kSquareSize * kSquareSize * 4,
                kPictureEdge * kPictureEdge * 4);
}

void InstancesBenchmark(const Options& options, const Ocx& ocx) {
    // The quick run shows the same on fewer boards.
    const int kBoards = options.quick ? 250 : 1000;
    constexpr int kBoard = 8 * kSquareSize;
    TopWindow top(1000, 700);
    {
        // The first hosted board loads what stays loaded (atl.dll, caches).
        Hosted first(top.get(), {0, 0, kBoard, kBoard}, ocx.Create());
    }
    Pump();
    const Counts before = Take();

    std::vector<std::unique_ptr<Hosted>> boards;
    // What the boards' time is set against: bare windows made and shown, as
    // many as the boards, in rows below theirs. After each block of boards as
    // many of each kind are made, so that in the end as many of each are alive
    // at once and each block was made at the same moment of the machine as its
    // boards; a ratio is the median of the blocks'. They go before the counts
    // are taken.
    struct Baseline {
        const char* what;
        bool child;  // a second window inside the first, as a control's in its site
    };
    static constexpr Baseline kBaselines[] = {{"a bare child window", false},
                                              {"a bare window with a child window in it", true}};
    constexpr std::size_t kSides = 1 + std::size(kBaselines);
    struct Timing {
        double all = 0, first = 0, last = 0;
        double ratio = 0;  // the boards' time over this one's, the median over the blocks
    };
    using Timings = std::array<Timing, kSides>;  // the boards', then each baseline's
    // The boards' time by step, over the first round.
    struct Steps {
        std::chrono::steady_clock::duration create{}, newGame{};
        HostingTime hosting;
    } steps;
    // Hosts count boards and returns the seconds each took (and each baseline
    // window), the first and the last hundred apart.
    auto host = [&](int count, bool baselines) {
        using Clock = std::chrono::steady_clock;
        constexpr int kBlock = 50;
        boards.reserve(static_cast<std::size_t>(count));
        std::vector<handles::UniqueWindow> bare;
        bare.reserve(3 * static_cast<std::size_t>(count));
        std::array<Clock::duration, kSides> spent{}, first{}, last{}, block{};
        std::array<std::vector<double>, kSides> ratios;
        auto add = [&](std::size_t side, int i, Clock::duration took) {
            spent[side] += took;
            block[side] += took;
            if (i < 100) first[side] += took;
            if (i >= count - 100) last[side] += took;
        };
        const HINSTANCE module = GetModuleHandleW(nullptr);
        for (int i = 0; i < count; ++i) {
            // Side by side in rows of 40, as on a large scrolled form: most lie
            // beyond the window's visible part.
            const int x = (i % 40) * kBoard, y = (i / 40) * kBoard;
            const auto start = Clock::now();
            ComPtr<_Quelder> control = ocx.Create();
            const auto created = Clock::now();
            boards.push_back(std::make_unique<Hosted>(top.get(), RECT{x, y, x + kBoard, y + kBoard},
                                                      std::move(control), &steps.hosting));
            const auto hosted = Clock::now();
            CheckHr((*boards.back())->NewGame(), "NewGame");
            const auto end = Clock::now();
            steps.create += created - start;
            steps.newGame += end - hosted;
            add(0, i, end - start);
            if (!baselines || (i + 1) % kBlock != 0) continue;
            for (std::size_t side = 1; side < kSides; ++side)
                for (int k = i + 1 - kBlock; k <= i; ++k) {
                    const int bx = (k % 40) * kBoard, by = (k / 40 + (count + 39) / 40) * kBoard;
                    const auto made = Clock::now();
                    const HWND outer = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, bx,
                                                       by, kBoard, kBoard, top.get(), nullptr, module, nullptr);
                    bare.emplace_back(outer);
                    if (kBaselines[side - 1].child)
                        bare.emplace_back(CreateWindowExW(0, L"STATIC", L"",
                                                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                                          0, kBoard, kBoard, outer, nullptr, module, nullptr));
                    add(side, k, Clock::now() - made);
                }
            for (std::size_t side = 1; side < kSides; ++side)
                ratios[side].push_back(std::chrono::duration<double>(block[0]) / block[side]);
            block = {};
        }
        bare.clear();
        const auto seconds = [](Clock::duration d, int n) { return std::chrono::duration<double>(d).count() / n; };
        Timings timings;
        for (std::size_t side = 0; side < kSides; ++side) {
            timings[side] = {seconds(spent[side], count), seconds(first[side], 100), seconds(last[side], 100)};
            if (!ratios[side].empty()) timings[side].ratio = Median(std::move(ratios[side]));
        }
        Pump();
        return timings;
    };
    const Timings timing = host(kBoards, true);
    const Steps spent = steps;
    const Counts alive = Take();
    boards.clear();
    Pump();
    const Counts after = Take();
    // A second, smaller round: what the system keeps after the first stays
    // the same, it does not grow with every board.
    host(kBoards / 5, false);
    boards.clear();
    Pump();
    const Counts again = Take();

    std::printf("instances: %d boards hosted at once (each made, hosted in place by atl.dll's container, NewGame)\n",
                kBoards);
    Print("before", before);
    Print(options.quick ? "250 alive" : "1,000 alive", alive);
    Print("all released", after);
    const double n = kBoards;
    std::printf("  per board: control windows %.2f, process GDI objects %.2f, the container's included (target: 1 "
                "window, <= 8 GDI objects)\n",
                (alive.controlWindows - before.controlWindows) / n, (alive.processGdi - before.processGdi) / n);
    std::printf("             process windows %.2f (the container's site window included)\n",
                (alive.processWindows - before.processWindows) / n);
    std::printf("             image list: 0 GDI objects (32-bit pixels in memory), %d bytes for its 14 images\n",
                14 * kSquareSize * kSquareSize * 4);
    std::printf("             memory %.1f KiB committed\n",
                static_cast<double>(alive.committed - before.committed) / n / 1024.0);
    const Timing& made = timing[0];
    std::printf("  %-42s %6.2f ms (the first 100: %.2f ms, the last 100: %.2f ms)\n", "creation, hosting and NewGame",
                made.all * 1e3, made.first * 1e3, made.last * 1e3);
    for (std::size_t side = 1; side < kSides; ++side) {
        const Timing& t = timing[side];
        std::printf("  %-42s %6.2f ms (the first 100: %.2f ms, the last 100: %.2f ms)   ratio %.2f%s\n",
                    kBaselines[side - 1].what, t.all * 1e3, t.first * 1e3, t.last * 1e3, t.ratio,
                    side == 1 ? " (target <= 3.00)" : "");
    }
    const auto share = [&](std::chrono::steady_clock::duration d) {
        return std::chrono::duration<double>(d).count() / n * 1e3;
    };
    std::printf("  %-42s creation %.2f ms, the site window %.2f ms, attaching and activating %.2f ms, NewGame "
                "%.2f ms\n",
                "where a board's time goes", share(spent.create), share(spent.hosting.site),
                share(spent.hosting.attach), share(spent.newGame));
    Print("a fifth more, released", again);
    const bool back = after.controlWindows == before.controlWindows && after.processWindows == before.processWindows;
    std::printf("  control windows and process windows back at their start: %s\n", back ? "yes" : "NO");
    std::printf("  process GDI objects after the second round as after the first: %s\n",
                again.processGdi == after.processGdi ? "yes" : "NO");
    Check(alive.controlWindows - before.controlWindows == kBoards, "not every hosted board made its window");
    Check((alive.processGdi - before.processGdi) / n <= 8.0, "a board holds more than 8 GDI objects");
    Check(back, "windows were left behind");
    Check(again.processGdi <= after.processGdi && again.controlWindows == before.controlWindows,
          "GDI objects or windows grew with a second round of boards");
}

}  // namespace quelder::bench
