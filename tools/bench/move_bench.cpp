// Move: the area of the screen that one MovePiece repaints, counted from the
// invalid region of every WM_PAINT the control's window receives.
#include <cstdio>

#include "bench_support.hpp"
#include "host/pixel_host.hpp"

namespace quelder::bench {

void MoveBenchmark(const Options&, const Ocx& ocx) {
    constexpr int kBoard = 8 * kSquareSize;
    TopWindow top(kBoard + 40, kBoard + 40);
    Hosted board(top.get(), {0, 0, kBoard, kBoard}, ocx.Create());
    const HWND window = board.ControlWindow();
    Check(window != nullptr, "the hosted control has no window");
    CheckHr(board->NewGame(), "NewGame");
    Pump();
    PaintCounter counted(window);

    struct Move {
        const char* name;
        short fromCol, fromRow, toCol, toRow;
    };
    std::printf("move: screen area repainted by one MovePiece on a 296-pixel board (target <= %d pixels)\n",
                2 * kSquareSize * kSquareSize);
    for (Move m : {Move{"e2-e4, neighbours in a column", 5, 7, 5, 5}, Move{"g1-f3, a knight's move", 7, 8, 6, 6},
                   Move{"a8-h1, corner to corner", 1, 1, 8, 8}}) {
        counted.Reset();
        CheckHr(board->MovePiece(&m.fromCol, &m.fromRow, &m.toCol, &m.toRow), "MovePiece");
        UpdateWindow(window);
        Pump();
        std::printf("  %-32s %6lld pixels in %ld paint(s)\n", m.name, counted.area, counted.paints);
    }
}

}  // namespace quelder::bench
