#include "board/construction.hpp"

namespace quelder {

void UserControl_Initialize(Board& board) {
    HostServices& host = board.host;
    ImageList& images = host.ImageList1();
    host.SetWidth(8 * 37);
    host.SetHeight(8 * 37);

    board.m_Pieces[1] = None;
    std::int16_t c = kLightSquare;
    host.Check(1).SetPicture(images.Picture(c));

    auto toggle = [&c] { c = (c == kDarkSquare) ? kLightSquare : kDarkSquare; };
    for (std::int16_t i = 2; i <= 64; ++i) {
        board.m_Pieces[static_cast<std::size_t>(i)] = None;
        toggle();
        host.LoadCheck(i);
        SquareView& view = host.Check(i);
        view.SetVisible(true);
        const bool rowStart = i % 8 == 1;
        view.SetTop(rowStart ? static_cast<float>((i / 8) * 37) : host.Check(static_cast<std::int16_t>(i - 1)).Top());
        if (rowStart) {
            view.SetLeft(0);
            toggle();  // a row starts with the colour the row above ended on
        } else {
            view.SetLeft(host.Check(static_cast<std::int16_t>(i - 1)).Left() + 37);
        }
        view.SetPicture(images.Picture(c));
    }
}

// Element 1 belongs to the surface and goes with it. A control whose
// construction stopped part-way has only some of 2..64; those are removed.
void UserControl_Terminate(Board& board) {
    for (std::int16_t i = 2; i <= 64; ++i) {
        if (board.host.CheckLoaded(i)) board.host.UnloadCheck(i);
    }
}

}  // namespace quelder
