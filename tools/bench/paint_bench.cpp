// Paint: NewGame followed by the full repaint of a hosted control, against the
// floor of the same picture: the 64 square images and 32 pieces drawn with
// the image list straight into one 296 x 296 memory bitmap.
#include <cstdio>

#include "bench_support.hpp"
#include "board/board_model.hpp"
#include "host/pixel_host.hpp"
#include "support/update_region.hpp"

namespace quelder::bench {

namespace {

constexpr int kBoard = 8 * kSquareSize;

// The floor: one memory bitmap, the board drawn into it image by image.
void DrawFloor(PixelImageList& images, Image& surface) {
    ImageDrawContext dc(surface);
    for (int row = 1; row <= 8; ++row)
        for (int col = 1; col <= 8; ++col) {
            const int x = (col - 1) * kSquareSize, y = (row - 1) * kSquareSize;
            images.Draw(SquareColour(static_cast<std::int16_t>(col), static_cast<std::int16_t>(row)), dc, x, y,
                        DrawStyle::Transparent);
            if (const std::int32_t piece = StartingPiece(col, row); piece != None)
                images.Draw(piece, dc, x, y, DrawStyle::Transparent);
        }
}

}  // namespace

void PaintBenchmark(const Options& options, const Ocx& ocx) {
    const int calls = options.quick ? 20 : 100;
    TopWindow top(kBoard + 40, kBoard + 40);
    Hosted board(top.get(), {0, 0, kBoard, kBoard}, ocx.Create());
    const HWND window = board.ControlWindow();
    Check(window != nullptr, "the hosted control has no window");
    Pump();

    ComPtr<_Quelder> unhosted = ocx.Create();
    const double logicOnly = MedianSeconds(options.repetitions, calls, [&] { CheckHr(unhosted->NewGame(), "NewGame"); });
    const double repaintOnly = MedianSeconds(options.repetitions, calls, [&] { Repaint(window); });

    PixelImageList images(BoardImages(ocx.Module()), MakePixel(0, 120, 215));
    Image surface(kBoard, kBoard);
    auto floorInMemory = [&] { DrawFloor(images, surface); };
    auto floorShown = [&] {
        DrawFloor(images, surface);
        ShowOn(window, surface);
    };
    // NewGame shows the board before it returns: nothing is left for a later
    // WM_PAINT, which checkAllShown confirms after each timing.
    auto newGame = [&] {
        CheckHr(board->NewGame(), "NewGame");
        GdiFlush();
    };
    auto checkAllShown = [&] {
        Check(testing::InvalidArea(window) == 0, "NewGame left part of the board to a later WM_PAINT");
    };

    const Comparison floor = Compare(options.repetitions, calls, newGame, floorInMemory);
    checkAllShown();
    const Comparison shown = Compare(options.repetitions, calls, newGame, floorShown);
    checkAllShown();
    const Comparison updated = Compare(options.repetitions, calls, AndUpdate(window, newGame), floorInMemory);
    const Comparison updatedShown =
        Compare(options.repetitions, calls, AndUpdate(window, newGame), AndUpdate(window, floorShown));

    std::printf("paint: NewGame with its full repaint of a hosted 296-pixel board\n");
    std::printf("  control                     %8.1f us\n", floor.measured * 1e6);
    std::printf("  (NewGame without a window   %8.1f us)\n", logicOnly * 1e6);
    std::printf("  (a repaint through WM_PAINT %8.1f us)\n", repaintOnly * 1e6);
    std::printf("  floor, into memory          %8.1f us   ratio %.2f (target <= 1.50)\n", floor.baseline * 1e6,
                floor.ratio);
    std::printf("  floor, into memory + shown  %8.1f us   ratio %.2f\n", shown.baseline * 1e6, shown.ratio);
    std::printf("  each followed by UpdateWindow (Wine sends the new pixels to the X server there):\n");
    std::printf("  control                     %8.1f us\n", updated.measured * 1e6);
    std::printf("  floor, into memory          %8.1f us   ratio %.2f\n", updated.baseline * 1e6, updated.ratio);
    std::printf("  floor, into memory + shown  %8.1f us   ratio %.2f\n", updatedShown.baseline * 1e6,
                updatedShown.ratio);
}

}  // namespace quelder::bench
