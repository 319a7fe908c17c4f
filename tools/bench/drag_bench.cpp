// A piece dragged across an 800-pixel board of the board class: what each
// pointer move repaints, and its time against the floor of showing the
// piece's old and new rectangles.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_support.hpp"
#include "handles/win_handles.hpp"

namespace quelder::bench {

namespace {

constexpr int kBoard = 800, kEdge = kBoard / 8;

LPARAM At(POINT point) { return MAKELPARAM(point.x, point.y); }

// The floor's window: each WM_PAINT shows the piece's picture at the
// rectangles it left and took, as a window with the picture ready does.
struct FloorPaint {
    const Image* piece = nullptr;
    POINT from{}, to{};
};
FloorPaint floorPaint;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(window, &paint);
    ShowAt(dc, *floorPaint.piece, floorPaint.from.x, floorPaint.from.y);
    ShowAt(dc, *floorPaint.piece, floorPaint.to.x, floorPaint.to.y);
    EndPaint(window, &paint);
    return 0;
}

}  // namespace

void DragBenchmark(const Options& options, const Ocx& ocx) {
    const int calls = options.quick ? 10 : 40;
    std::printf("board class: a piece dragged across an %d-pixel board (squares of %d pixels)\n", kBoard, kEdge);
    TopWindow top(kBoard + 40, kBoard + 40);
    const HostedBoard board(top.get(), ocx, kBoard);  // a drop does not slide; nothing else moves either
    const HWND window = board.Window();
    CheckHr(board->NewGame(), "NewGame");
    CheckHr(board->put_DragPieces(VARIANT_TRUE), "DragPieces");
    UpdateWindow(window);
    Pump();

    // The pawn on e2 pressed at its middle and lifted; the pointer then
    // sweeps to and fro along the fourth rank in steps of 7 pixels.
    const POINT start{4 * kEdge + kEdge / 2, 6 * kEdge + kEdge / 2};
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(start));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At({start.x, start.y - 3 * kEdge}));
    UpdateWindow(window);
    Pump();
    int x = start.x, step = 7;
    const int y = start.y - 3 * kEdge;
    auto nextX = [&] {
        if (x + step > kBoard - kEdge || x + step < kEdge) step = -step;
        return x += step;
    };
    PaintCounter counted(window);
    auto move = [&] { SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At({nextX(), y})); };
    // The floor: a window of the same top-level window, above the board's
    // first rows, that repaints the piece's old and new rectangles through
    // WM_PAINT from a picture made once.
    const Image piece(kEdge, kEdge, MakePixel(200, 160, 120));
    const handles::UniqueWindow floorWindow =
        FloorWindow(top.get(), L"QuelderDragFloor", &FloorProc, kBoard, 2 * kEdge, true);
    UpdateWindow(floorWindow.get());
    floorPaint.piece = &piece;
    auto floor = [&] {
        const int from = x;
        const int to = nextX();
        floorPaint.from = {from - kEdge / 2, 10};
        floorPaint.to = {to - kEdge / 2, 10};
        const RECT old{floorPaint.from.x, 10, floorPaint.from.x + kEdge, 10 + kEdge};
        const RECT now{floorPaint.to.x, 10, floorPaint.to.x + kEdge, 10 + kEdge};
        InvalidateRect(floorWindow.get(), &old, FALSE);
        InvalidateRect(floorWindow.get(), &now, FALSE);
        UpdateWindow(floorWindow.get());
    };
    const Comparison moves = Compare(options.repetitions, calls, move, floor);
    counted.Reset();
    for (int k = 0; k < calls; ++k) move();
    const double perMove = static_cast<double>(counted.area) / calls;
    const double rectangles = 2.0 * kEdge * kEdge;
    SendMessageW(window, WM_LBUTTONUP, 0, At({x, y}));
    Pump();

    std::printf("  %-54s %8.1f us\n", "a pointer move during the drag, painted", moves.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f (target <= 3.00)\n", "floor: the old and new rectangles repainted",
                moves.baseline * 1e6, moves.ratio);
    std::printf("  %-54s %8.0f px   (the two rectangles: %.0f px; %ld paints for %d moves)\n",
                "area repainted a move", perMove, rectangles, counted.paints, calls);
    Check(perMove <= rectangles, "a pointer move repainted " + std::to_string(perMove) + " pixels, more than " +
                                     std::to_string(rectangles));
}

}  // namespace quelder::bench
