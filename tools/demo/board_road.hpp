// The way the demo lets a user play on the board with the mouse: a click on a
// piece selects it, a click on another square moves the selected piece there
// (taking whatever stood there) and shows that move in place of the one
// before, a click on the selected square drops the selection. A piece dragged
// to another square (with the mouse or the keys) is moved there by the
// control; the demo shows that move the same way and drops the selection.
// The control knows no rules; neither does this.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quelder::demo {

struct Square {
    short col = 0, row = 0;
    friend bool operator==(const Square&, const Square&) = default;
};

// "col 5 row 7"
std::wstring Name(Square square);
// The PieceNum constant's name ("Wpawn"), or the number for a code outside 1..13.
std::wstring PieceName(long piece);

// The calls the road makes on the control; each returns the call's HRESULT.
class BoardCalls {
public:
    virtual HRESULT Piece(Square square, long& piece) = 0;
    virtual HRESULT SelectSquare(Square square) = 0;
    virtual HRESULT UnSelectSquare(Square square) = 0;
    virtual HRESULT MovePiece(Square from, Square to) = 0;
    // Shows the move just made (and no earlier one) on the board.
    virtual HRESULT ShowMove(Square from, Square to) = 0;
    // What a failed call reported (its error description), for the status line.
    virtual std::wstring ErrorText(HRESULT hr) = 0;

protected:
    ~BoardCalls() = default;
};

class MoveRoad {
public:
    // The user clicked square; returns what happened, for the status line.
    std::wstring Click(BoardCalls& board, Square square);
    // The user dropped the piece of from on to (PieceDropped): the control
    // moves it once the event returns, so this shows the move and drops the
    // selection, whichever square it was on; returns what happened.
    std::wstring Dropped(BoardCalls& board, Square from, Square to);
    // Unselects the selected square, if any (before the board is set up anew).
    void Drop(BoardCalls& board);
    std::optional<Square> Selected() const { return selected_; }

private:
    std::optional<Square> selected_;
};

}  // namespace quelder::demo
