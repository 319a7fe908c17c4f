// The way the demo lets a user play on the board, in two modes.
//
// A game (after New game): the demo plays its own game (demo_moves.hpp) and
// gives the board the moves of the side to move (LegalMoves), so the board
// itself shows where a piece may go, refuses other drops, moves a piece
// clicked and then clicked to, opens its chooser for a promotion, and takes
// typed moves. Every move comes as PieceDropped: the demo plays it in its
// game, makes what the board does not (the rook of a castling, the pawn taken
// en passant), and shows it (LastMove, CheckSquare and the next moves). A
// click only tells where the clicked piece may go.
//
// No rules (after Clear): a click on a piece selects it, a click on another
// square moves the selected piece there (taking whatever stood there), a
// click on the selected square drops the selection; a piece dragged (with
// the mouse or the keys) is moved by the control. Either way the move shows
// as the last move.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "demo_moves.hpp"

namespace quelder::demo {

struct Square {
    short col = 0, row = 0;
    friend bool operator==(const Square&, const Square&) = default;
};

// "col 5 row 7"
std::wstring Name(Square square);
// The PieceNum constant's name ("Wpawn"), or the number for a code outside 1..13.
std::wstring PieceName(long piece);

// The board class's text properties that the road sets.
enum class BoardText { LegalMoves, LastMove, CheckSquare };

// The calls the road makes on the control; each returns the call's HRESULT.
class BoardCalls {
public:
    virtual HRESULT Piece(Square square, long& piece) = 0;
    virtual HRESULT PutPiece(Square square, long piece) = 0;
    virtual HRESULT SelectSquare(Square square) = 0;
    virtual HRESULT UnSelectSquare(Square square) = 0;
    virtual HRESULT MovePiece(Square from, Square to) = 0;
    virtual HRESULT PutText(BoardText which, const std::wstring& text) = 0;
    // The form chosen for the promotion being dropped, None otherwise.
    virtual HRESULT PromotionPiece(long& piece) = 0;
    // What a failed call reported (its error description), for the status line.
    virtual std::wstring ErrorText(HRESULT hr) = 0;

protected:
    ~BoardCalls() = default;
};

class MoveRoad {
public:
    // A game from game's position, the starting one by default, which the
    // board has just been given; returns what the line under the board says.
    std::wstring StartGame(BoardCalls& board, const Game& game = StartingGame());
    // No rules (the board has just been cleared).
    std::wstring FreePlay(BoardCalls& board);
    // The user clicked square; returns what happened, for the status line.
    std::wstring Click(BoardCalls& board, Square square);
    // The user dropped the piece of from on to (PieceDropped): the control
    // moves it once the event returns, unless cancel is set. Drops the
    // selection, whichever square it was on; returns what happened.
    std::wstring Dropped(BoardCalls& board, Square from, Square to, bool& cancel);
    // Unselects the selected square, if any (before the board is set up anew).
    void Drop(BoardCalls& board);
    std::optional<Square> Selected() const { return selected_; }
    // The game being played; none without rules.
    const std::optional<Game>& Playing() const { return game_; }

private:
    // Gives the board the game's moves and its check.
    HRESULT ShowGame(BoardCalls& board);
    std::wstring GameClick(BoardCalls& board, Square square);
    struct Placed {
        Square square;
        long piece;
    };
    std::wstring GameDrop(BoardCalls& board, Placed from, Placed to, bool& cancel);

    std::optional<Square> selected_;
    std::optional<Game> game_;
};

}  // namespace quelder::demo
