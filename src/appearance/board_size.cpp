#include "appearance/board_size.hpp"

namespace quelder {

namespace {
// The edge of a square: the surface's inner height over 8, read afresh for
// every use and handed to the views in single precision.
float SquareEdge(const HostServices& host) { return static_cast<float>(double{host.ScaleHeight()} / 8); }
}  // namespace

void ChangeBoardSize(Board& board, std::int32_t Dimension) {
    HostServices& host = board.host;
    // The size is checked and the squares' memory had before anything
    // changes: a size the surface refuses, or whose squares cannot be kept
    // (7, out of memory), leaves the board as it was. The edge is the one
    // SquareEdge reads below, the surface's inner height being its size.
    const auto size = static_cast<float>(Dimension);
    host.PrepareLayout(size, static_cast<float>(double{size} / 8));
    host.SetHeight(size);
    host.SetWidth(size);

    for (std::int16_t i = 1; i <= 64; ++i) {
        SquareView& view = host.Check(i);
        view.SetHeight(SquareEdge(host));
        view.SetWidth(SquareEdge(host));
        const bool rowStart = i % 8 == 1;
        if (rowStart) {
            const float edge = SquareEdge(host);
            view.SetTop(static_cast<float>(double{edge} * (i / 8)));
            view.SetLeft(0);
        } else {
            // Chained from what the previous view reports, so that any
            // rounding a view applies carries along the row.
            const SquareView& previous = host.Check(static_cast<std::int16_t>(i - 1));
            view.SetTop(previous.Top());
            view.SetLeft(static_cast<float>(double{host.ScaleHeight()} / 8 + double{previous.Left()}));
        }
        view.Refresh();
    }
}

}  // namespace quelder
