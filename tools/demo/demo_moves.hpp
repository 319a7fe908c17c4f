// The demo's own game: the position it plays on the board, the moves the side
// to move may make there, and what a move does to it. A plain move generator,
// no engine: each piece's moves, without those that leave the mover's king
// attacked; castling while king and rook have not moved and the king crosses
// no attacked square; en passant; a promotion in its four forms (e7e8q e7e8r
// e7e8b e7e8n). Moves and squares are written as the control reads them:
// files a to h are columns 1 to 8, ranks 1 to 8 rows 8 to 1.
//
// Portable: no Windows types.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelder::demo {

// Squares are indexes 0..63, (row - 1) * 8 + (col - 1): 0 is a8, 63 is h1.
// Pieces are the control's codes (PieceNum): 1 none, 2 to 7 the black pawn,
// rook, knight, bishop, queen and king, 8 to 13 the white ones.
struct Game {
    std::array<long, 64> squares{};
    bool whiteToMove = true;
    // Castling not lost yet: white king side, white queen side, black king
    // side, black queen side.
    std::array<bool, 4> castling{};
    int enPassant = -1;  // the square a pawn's double step just passed over
};

Game StartingGame();

// "e2", from a square index.
std::string SquareName(int square);

// The side to move's moves, by piece from a8 to h1.
std::vector<std::string> LegalMoves(const Game& game);
// The side to move's king is attacked.
bool InCheck(const Game& game);
// The side to move's king's square, -1 for none.
int KingSquare(const Game& game);

// What a move changes beyond its own two squares: the rook a castling moves,
// the pawn taken en passant; -1 for none.
struct SideEffects {
    int rookFrom = -1, rookTo = -1;
    int taken = -1;
    friend bool operator==(const SideEffects&, const SideEffects&) = default;
};
// Plays move when it is one of LegalMoves(game); nothing, and the game as it
// was, when it is not.
std::optional<SideEffects> Play(Game& game, std::string_view move);

}  // namespace quelder::demo
