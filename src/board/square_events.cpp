#include "board/square_events.hpp"

#include <cmath>

namespace quelder {

namespace {

// The square of a view's element number, worked out as the handlers always
// have: the row from the real quotient rounded down, the column from the
// remainder, and the last column of a row (remainder 0) moved back to it.
Square SquareOfElement(std::int16_t Index) {
    auto row = static_cast<std::int16_t>(std::floor(Index / 8.0) + 1);
    auto col = static_cast<std::int16_t>(Index % 8);
    if (col == 0) {
        col = 8;
        row = static_cast<std::int16_t>(row - 1);
    }
    return {col, row};
}

void RaiseClick(Board& board, SquareEventKind kind, std::int16_t Index) {
    const Square square = SquareOfElement(Index);
    SquareEvent event;
    event.kind = kind;
    event.col = square.col;
    event.row = square.row;
    board.host.RaiseEvent(event);
}

// Button, Shift, X and Y go on as the view reported them: X and Y stay in the
// view's own units (twips), relative to the view's top-left corner.
void RaiseMouse(Board& board, SquareEventKind kind, std::int16_t Index, std::int16_t Button, std::int16_t Shift,
                float X, float Y) {
    const Square square = SquareOfElement(Index);
    const SquareEvent event{kind, square.col, square.row, Button, Shift, X, Y};
    board.host.RaiseEvent(event);
}

}  // namespace

void Check_Click(Board& board, std::int16_t Index) { RaiseClick(board, SquareEventKind::Click, Index); }

void Check_DblClick(Board& board, std::int16_t Index) { RaiseClick(board, SquareEventKind::DblClick, Index); }

void Check_MouseDown(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y) {
    RaiseMouse(board, SquareEventKind::MouseDown, Index, Button, Shift, X, Y);
}

void Check_MouseMove(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y) {
    RaiseMouse(board, SquareEventKind::MouseMove, Index, Button, Shift, X, Y);
}

void Check_MouseUp(Board& board, std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y) {
    RaiseMouse(board, SquareEventKind::MouseUp, Index, Button, Shift, X, Y);
}

}  // namespace quelder
