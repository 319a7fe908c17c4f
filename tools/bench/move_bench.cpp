// Move: the area of the screen that one MovePiece repaints, counted from the
// invalid region of every WM_PAINT the control's window receives.
#include <cstdio>

#include "bench_support.hpp"
#include "host/pixel_host.hpp"
#include "support/update_region.hpp"

namespace quelder::bench {

namespace {

struct PaintCount {
    WNDPROC original = nullptr;
    long paints = 0;
    long long area = 0;  // pixels, summed over the rectangles of the invalid regions
};
PaintCount counted;

LRESULT CALLBACK Counting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        ++counted.paints;
        counted.area += testing::InvalidArea(window);
    }
    return CallWindowProcW(counted.original, window, message, wParam, lParam);
}

}  // namespace

void MoveBenchmark(const Options&, const Ocx& ocx) {
    constexpr int kBoard = 8 * kSquareSize;
    TopWindow top(kBoard + 40, kBoard + 40);
    Hosted board(top.get(), {0, 0, kBoard, kBoard}, ocx.Create());
    const HWND window = board.ControlWindow();
    Check(window != nullptr, "the hosted control has no window");
    CheckHr(board->NewGame(), "NewGame");
    Pump();
    counted.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Counting)));

    struct Move {
        const char* name;
        short fromCol, fromRow, toCol, toRow;
    };
    std::printf("move: screen area repainted by one MovePiece on a 296-pixel board (target <= %d pixels)\n",
                2 * kSquareSize * kSquareSize);
    for (Move m : {Move{"e2-e4, neighbours in a column", 5, 7, 5, 5}, Move{"g1-f3, a knight's move", 7, 8, 6, 6},
                   Move{"a8-h1, corner to corner", 1, 1, 8, 8}}) {
        counted.paints = 0;
        counted.area = 0;
        CheckHr(board->MovePiece(&m.fromCol, &m.fromRow, &m.toCol, &m.toRow), "MovePiece");
        UpdateWindow(window);
        Pump();
        std::printf("  %-32s %6lld pixels in %ld paint(s)\n", m.name, counted.area, counted.paints);
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counted.original));
}

}  // namespace quelder::bench
