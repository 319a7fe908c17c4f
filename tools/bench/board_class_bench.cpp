// The board class, drawn at its squares' own size: the full repaint of an
// 800-pixel board against the floor of its 64 squares copied from images
// made once, and through WM_PAINT against a bare window that repaints the
// same picture from a memory DC; the set of pictures drawn for a size the board has not had; the
// area a Position let repaints and its time against 64 Piece lets; and the
// memory of a board at 800 pixels.
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "board/board_model.hpp"
#include "handles/win_handles.hpp"
#include "drawing/board_art.hpp"

namespace quelder::bench {

namespace {

constexpr int kBoard = 800, kEdge = kBoard / 8;
const wchar_t kStart[] = L"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

void LetPosition(_QuelderBoard& board, const wchar_t* text) {
    const BstrText position(text);
    CheckHr(board.put_Position(position.value), "Position let");
}

// The floor's squares, made once: each cell of the starting position drawn
// from the pictures at 100 pixels, square and piece.
std::vector<Image> StartingCells() {
    const std::vector<BoardPicture> pictures = DrawBoardPictures(kEdge);
    std::vector<Image> cells;
    for (int row = 1; row <= 8; ++row)
        for (int col = 1; col <= 8; ++col) {
            Image& cell = cells.emplace_back(kEdge, kEdge);
            const auto square = SquareColour(static_cast<std::int16_t>(col), static_cast<std::int16_t>(row));
            DrawCovered(cell, pictures[static_cast<std::size_t>(square - 1)], 0, 0);
            if (const std::int32_t piece = StartingPiece(col, row); piece != None)
                DrawCovered(cell, pictures[static_cast<std::size_t>(piece - 1)], 0, 0);
        }
    return cells;
}

// The honest floor of a repaint: a bare window whose WM_PAINT copies its
// invalid part from a picture made once, selected into a memory DC.
HDC floorPicture = nullptr;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    const handles::PaintDc dc(window);
    const RECT& area = dc.Area();
    BitBlt(dc.get(), area.left, area.top, area.right - area.left, area.bottom - area.top, floorPicture, area.left,
           area.top, SRCCOPY);
    return 0;
}

}  // namespace

void BoardClassBenchmark(const Options& options, const Ocx& ocx) {
    const int calls = options.quick ? 5 : 20;
    std::printf("board class: an %d-pixel board drawn at its squares' own size (%d pixels)\n", kBoard, kEdge);
    // The screen may be smaller than the board: the control and the floor are
    // shown on the same window, clipped alike.
    TopWindow top(kBoard + 40, kBoard + 40);
    // The figures here are of the changes themselves; the animation's frames
    // are the play benchmark's.
    const HostedBoard board(top.get(), ocx, kBoard);
    const HWND window = board.Window();
    CheckHr(board->NewGame(), "NewGame");
    Pump();

    // 1. The full repaint, against the floor of the same cells copied into
    // one bitmap: drawn into a memory bitmap (IViewObject::Draw, as a
    // container prints or takes a picture of it), and through WM_PAINT onto
    // its window, against the floor also shown there.
    const std::vector<Image> cells = StartingCells();
    Image surface(kBoard, kBoard);
    auto copyCells = [&] {
        for (std::size_t k = 0; k < cells.size(); ++k)
            surface.Copy(cells[k], static_cast<int>(k % 8) * kEdge, static_cast<int>(k / 8) * kEdge);
    };
    ComPtr<IViewObject> view;
    CheckHr(board.As(&view), "QueryInterface(IViewObject)");
    const MemoryBitmap memory(kBoard, kBoard);
    const RECTL bounds{0, 0, kBoard, kBoard};
    auto draw = [&] {
        CheckHr(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory.dc(), &bounds, nullptr, nullptr, 0),
                "IViewObject::Draw");
        GdiFlush();
    };
    const Comparison inMemory = Compare(options.repetitions, calls, draw, copyCells);
    auto floor = [&] {
        copyCells();
        ShowOn(window, surface);
    };
    auto repaint = [&] { Repaint(window); };
    // Wine sends the window's new pixels to the X server within the repaint,
    // the floor's later (at an UpdateWindow or the message loop): timed also
    // with one after each.
    const Comparison paint = Compare(options.repetitions, calls, repaint, floor);
    const Comparison updated =
        Compare(options.repetitions, calls, AndUpdate(window, repaint), AndUpdate(window, floor));
    // The honest floor: a bare window of the board's size and place, shown
    // above the board in its turns and hidden in the board's, that repaints
    // through WM_PAINT from the squares' picture in a memory DC.
    copyCells();
    std::memcpy(memory.Pixels(), surface.Pixels().data(), surface.Pixels().size() * sizeof(Pixel));
    floorPicture = memory.dc();
    const handles::UniqueWindow floorWindow =
        FloorWindow(top.get(), L"QuelderPaintFloor", &FloorProc, kBoard, kBoard, false);
    const Turns turns{[&] {
                          ShowWindow(floorWindow.get(), SW_HIDE);
                          UpdateWindow(window);
                          Pump();
                      },
                      [&] {
                          SetWindowPos(floorWindow.get(), HWND_TOP, 0, 0, 0, 0,
                                       SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
                          UpdateWindow(floorWindow.get());
                          Pump();
                      }};
    auto floorRepaint = [&] { Repaint(floorWindow.get()); };
    const Comparison bare = Compare(options.repetitions, calls, repaint, floorRepaint, turns);
    const Comparison bareUpdated = Compare(options.repetitions, calls, AndUpdate(window, repaint),
                                           AndUpdate(floorWindow.get(), floorRepaint), turns);
    turns.measured();
    std::printf("  %-54s %8.1f us\n", "full repaint into a memory bitmap (IViewObject::Draw)", inMemory.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f (target <= 1.50)\n", "floor: its 64 squares copied into a bitmap",
                inMemory.baseline * 1e6, inMemory.ratio);
    std::printf("  %-54s %8.1f us\n", "full repaint through WM_PAINT", paint.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f\n", "floor: its 64 squares copied into a bitmap, shown",
                paint.baseline * 1e6, paint.ratio);
    std::printf("  %-54s %8.1f us\n", "full repaint through WM_PAINT (timed with the next)", bare.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f (target <= 1.50)\n", "floor: a bare window's WM_PAINT, from a memory DC",
                bare.baseline * 1e6, bare.ratio);
    {
        // The window's part is Wine's: the first class, its squares as large
        // and its pictures not drawn anew, repaints in the same time.
        const ComPtr<_Quelder> first = ocx.Create();
        Hosted beside(top.get(), {0, 0, kBoard, kBoard}, first);
        LONG size = kBoard;
        CheckHr(first->ChangeBoardSize(&size), "ChangeBoardSize");
        CheckHr(first->NewGame(), "NewGame");
        Pump();
        const Comparison classes = Compare(options.repetitions, calls, repaint, [&] { Repaint(beside.ControlWindow()); });
        std::printf("  %-54s %8.1f us   ratio %.2f\n", "the first class at 800 pixels through WM_PAINT",
                    classes.baseline * 1e6, classes.ratio);
    }
    std::printf("  each followed by UpdateWindow (the new pixels sent to the X server):\n");
    std::printf("  %-54s %8.1f us\n", "full repaint through WM_PAINT", updated.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f\n", "floor, shown", updated.baseline * 1e6, updated.ratio);
    std::printf("  %-54s %8.1f us\n", "full repaint through WM_PAINT (timed with the next)", bareUpdated.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f (target <= 1.50)\n", "floor: the bare window's WM_PAINT",
                bareUpdated.baseline * 1e6, bareUpdated.ratio);

    // 2. The pictures for a new size: drawn alone, and through the control,
    // which keeps three sizes (four sizes in turn are each drawn again).
    const double pictures = MedianSeconds(options.repetitions, 1, [] { DrawBoardPictures(kEdge); });
    // Timed apart, as the four sizes in turn leave none kept: then two
    // sizes in turn, both kept after their first.
    static constexpr std::array<LONG, 4> kSizes = {808, 816, 824, 800};
    std::size_t next = 0;
    const double notKept = MedianSeconds(options.repetitions, 4, [&] { SetSize(*board.Get(), kSizes[next++ % 4]); });
    for (int k = 0; k < 2; ++k) SetSize(*board.Get(), kSizes[next++ % 2]);
    const double kept = MedianSeconds(options.repetitions, 4, [&] { SetSize(*board.Get(), kSizes[next++ % 2]); });
    std::printf("  %-54s %8.2f ms (target < 30 ms)\n", "the 14 pictures drawn at 100 pixels", pictures * 1e3);
    std::printf("  %-54s %8.2f ms\n", "ChangeBoardSize to a size not kept", notKept * 1e3);
    std::printf("  %-54s %8.2f ms   (the difference: %.2f ms)\n", "ChangeBoardSize to a kept size", kept * 1e3,
                (notKept - kept) * 1e3);
    SetSize(*board.Get(), kBoard);

    // 3. Position let on the starting position: what it repaints.
    struct From {
        const char* what;
        const wchar_t* position;
        int changed;  // squares
    };
    PaintCounter counted(window);
    const From froms[] = {{"from an empty board", L"8/8/8/8/8/8/8/8", 32},
                          {"from one move away (e2-e4 made)", L"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", 2}};
    for (const From& from : froms) {
        LetPosition(*board.Get(), from.position);
        UpdateWindow(window);
        Pump();
        counted.Reset();
        LetPosition(*board.Get(), kStart);
        UpdateWindow(window);
        Pump();
        const long long squares = counted.area / (kEdge * kEdge);
        std::printf("  Position let %-41s %ld paint%s, %lld squares (%d changed)\n", from.what, counted.paints,
                    counted.paints == 1 ? "" : "s", squares, from.changed);
        Check(counted.paints == 1 && counted.area <= static_cast<long long>(from.changed) * kEdge * kEdge,
              std::string("Position let ") + from.what + ": " + std::to_string(counted.paints) + " paints, " +
                  std::to_string(counted.area) + " pixels, for " + std::to_string(from.changed) + " squares");
    }

    // Its time against 64 Piece lets, each after Clear; the squares are drawn
    // in the lets, their paint is left out (the window is validated).
    auto byPosition = [&] {
        CheckHr(board->Clear(), "Clear");
        LetPosition(*board.Get(), kStart);
        ValidateRect(window, nullptr);
    };
    auto byPieces = [&] {
        CheckHr(board->Clear(), "Clear");
        for (short row = 1; row <= 8; ++row)
            for (short col = 1; col <= 8; ++col)
                CheckHr(board->put_Piece(&col, &row, static_cast<::PieceNum>(StartingPiece(col, row))), "Piece let");
        ValidateRect(window, nullptr);
    };
    const Comparison lets = Compare(options.repetitions, calls, byPosition, byPieces);
    std::printf("  %-54s %8.1f us\n", "Clear, then the starting position by one Position let", lets.measured * 1e6);
    std::printf("  %-54s %8.1f us   ratio %.2f\n", "Clear, then the starting position by 64 Piece lets",
                lets.baseline * 1e6, lets.ratio);

    // 4. The committed memory of a board at 800 pixels, hosted and painted once.
    const int kBoards = options.quick ? 3 : 8;
    const double perBoard = CommittedPerBoard(kBoards, [&](int i) {
        const ComPtr<_QuelderBoard> made = ocx.CreateBoard();
        auto one =
            std::make_unique<Hosted>(top.get(), RECT{i * 4, i * 4, i * 4 + kBoard, i * 4 + kBoard}, Published(made));
        SetSize(*made.Get(), kBoard);
        CheckHr(made->NewGame(), "NewGame");
        UpdateWindow(one->ControlWindow());
        Pump();
        return one;
    });
    const std::string label = "committed memory a board, " + std::to_string(kBoards) + " alive at once";
    std::printf("  %-54s %8.2f MB (target < 4 MB; its area at 4 bytes a pixel: %.2f MB)\n", label.c_str(),
                perBoard / (1024.0 * 1024.0), 4.0 * kBoard * kBoard / (1024.0 * 1024.0));
}

}  // namespace quelder::bench
