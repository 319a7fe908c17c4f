#include "demo_moves.hpp"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>

namespace quelder::demo {

namespace {

constexpr long kNone = 1;
enum Kind { kPawn, kRook, kKnight, kBishop, kQueen, kKing };

using Squares = std::array<long, 64>;

bool Owns(bool white, long piece) { return white ? piece >= 8 && piece <= 13 : piece >= 2 && piece <= 7; }
int KindOf(long piece) { return static_cast<int>((piece - 2) % 6); }
long Code(int kind, bool white) { return kind + (white ? 8 : 2); }
long& At(Squares& squares, int square) { return squares[static_cast<std::size_t>(square)]; }
long At(const Squares& squares, int square) { return squares[static_cast<std::size_t>(square)]; }

// The square dc columns and dr rows away, or -1 off the board.
int Offset(int square, int dc, int dr) {
    const int col = square % 8 + dc, row = square / 8 + dr;
    return col >= 0 && col < 8 && row >= 0 && row < 8 ? row * 8 + col : -1;
}

// White's pawns go up the board, towards row 1.
int Forward(bool white) { return white ? -1 : 1; }

struct Step {
    int dc, dr;
};
constexpr Step kStraight[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr Step kDiagonal[] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr Step kKnightSteps[] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr Step kKingSteps[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

bool Attacked(const Squares& b, int square, bool byWhite) {
    // A pawn takes diagonally forward: the attacker stands a row behind.
    for (const int dc : {-1, 1})
        if (const int at = Offset(square, dc, -Forward(byWhite)); at >= 0 && At(b, at) == Code(kPawn, byWhite))
            return true;
    const auto leaper = [&](const auto& steps, int kind) {
        for (const Step s : steps)
            if (const int at = Offset(square, s.dc, s.dr); at >= 0 && At(b, at) == Code(kind, byWhite)) return true;
        return false;
    };
    // The first piece along each line, if it moves along such lines.
    const auto slider = [&](const auto& steps, int kind) {
        for (const Step s : steps) {
            int at = Offset(square, s.dc, s.dr);
            while (at >= 0 && At(b, at) == kNone) at = Offset(at, s.dc, s.dr);
            if (at >= 0 && (At(b, at) == Code(kind, byWhite) || At(b, at) == Code(kQueen, byWhite))) return true;
        }
        return false;
    };
    return leaper(kKnightSteps, kKnight) || leaper(kKingSteps, kKing) || slider(kStraight, kRook) ||
           slider(kDiagonal, kBishop);
}

int King(const Squares& b, bool white) {
    const auto it = std::find(b.begin(), b.end(), Code(kKing, white));
    return it == b.end() ? -1 : static_cast<int>(it - b.begin());
}

struct Move {
    int from, to;
    char promotion;
};

std::string Text(const Move& move) {
    std::string text = SquareName(move.from) + SquareName(move.to);
    if (move.promotion != '\0') text += move.promotion;
    return text;
}

// Every move of the side to move's pieces, whether or not it leaves its
// king attacked.
std::vector<Move> Candidates(const Game& game) {
    const bool white = game.whiteToMove;
    const Squares& b = game.squares;
    std::vector<Move> out;
    for (int from = 0; from < 64; ++from) {
        const long piece = At(b, from);
        if (!Owns(white, piece)) continue;
        const auto add = [&](int to) { out.push_back({from, to, '\0'}); };
        const auto open = [&](int to) { return to >= 0 && !Owns(white, At(b, to)); };
        const auto lines = [&](const auto& steps) {
            for (const Step s : steps)
                for (int to = Offset(from, s.dc, s.dr); open(to); to = Offset(to, s.dc, s.dr)) {
                    add(to);
                    if (At(b, to) != kNone) break;
                }
        };
        switch (KindOf(piece)) {
        case kPawn: {
            const auto pawnTo = [&](int to) {
                if (to / 8 != (white ? 0 : 7)) return add(to);
                for (const char form : {'q', 'r', 'b', 'n'}) out.push_back({from, to, form});
            };
            const int one = Offset(from, 0, Forward(white));
            if (one >= 0 && At(b, one) == kNone) {
                pawnTo(one);
                const int two = Offset(one, 0, Forward(white));
                if (from / 8 == (white ? 6 : 1) && At(b, two) == kNone) add(two);
            }
            for (const int dc : {-1, 1})
                if (const int to = Offset(from, dc, Forward(white));
                    to >= 0 && (Owns(!white, At(b, to)) || to == game.enPassant))
                    pawnTo(to);
            break;
        }
        case kKnight:
            for (const Step s : kKnightSteps)
                if (const int to = Offset(from, s.dc, s.dr); open(to)) add(to);
            break;
        case kKing: {
            for (const Step s : kKingSteps)
                if (const int to = Offset(from, s.dc, s.dr); open(to)) add(to);
            // Castling: the king out of check and the square it crosses not
            // attacked (where it lands is checked as for every move).
            const int home = white ? 60 : 4, side = white ? 0 : 2;
            if (from != home || Attacked(b, home, !white)) break;
            const long rook = Code(kRook, white);
            if (game.castling[side] && At(b, home + 1) == kNone && At(b, home + 2) == kNone &&
                At(b, home + 3) == rook && !Attacked(b, home + 1, !white))
                add(home + 2);
            if (game.castling[side + 1] && At(b, home - 1) == kNone && At(b, home - 2) == kNone &&
                At(b, home - 3) == kNone && At(b, home - 4) == rook && !Attacked(b, home - 1, !white))
                add(home - 2);
            break;
        }
        case kRook: lines(kStraight); break;
        case kBishop: lines(kDiagonal); break;
        case kQueen:
            lines(kStraight);
            lines(kDiagonal);
            break;
        }
    }
    return out;
}

SideEffects Apply(Game& game, const Move& move) {
    Squares& b = game.squares;
    const long piece = At(b, move.from);
    const bool white = game.whiteToMove;
    SideEffects effects;
    if (KindOf(piece) == kPawn && move.to == game.enPassant && At(b, move.to) == kNone) {
        effects.taken = Offset(move.to, 0, -Forward(white));
        At(b, effects.taken) = kNone;
    }
    if (KindOf(piece) == kKing && (move.to - move.from == 2 || move.from - move.to == 2)) {
        const bool kingSide = move.to > move.from;
        effects.rookFrom = kingSide ? move.from + 3 : move.from - 4;
        effects.rookTo = kingSide ? move.from + 1 : move.from - 1;
        At(b, effects.rookTo) = std::exchange(At(b, effects.rookFrom), kNone);
    }
    constexpr const char* kForms = "rnbq";  // in the order of the codes, after the pawn
    At(b, move.to) = move.promotion == '\0'
                         ? piece
                         : Code(static_cast<int>(std::string_view(kForms).find(move.promotion)) + 1, white);
    At(b, move.from) = kNone;
    const bool doubleStep = KindOf(piece) == kPawn && (move.to - move.from == 16 || move.from - move.to == 16);
    game.enPassant = doubleStep ? (move.from + move.to) / 2 : -1;
    // A king that moves loses both castlings; a rook that leaves its corner,
    // or is taken there, its own.
    if (KindOf(piece) == kKing) game.castling[white ? 0 : 2] = game.castling[white ? 1 : 3] = false;
    constexpr int kCorners[] = {63, 56, 7, 0};
    for (std::size_t k = 0; k < 4; ++k)
        if (move.from == kCorners[k] || move.to == kCorners[k]) game.castling[k] = false;
    game.whiteToMove = !white;
    return effects;
}

std::vector<Move> Legal(const Game& game) {
    std::vector<Move> moves = Candidates(game);
    std::erase_if(moves, [&](const Move& move) {
        Game next = game;
        Apply(next, move);
        const int king = King(next.squares, game.whiteToMove);
        return king >= 0 && Attacked(next.squares, king, !game.whiteToMove);
    });
    return moves;
}

}  // namespace

Game StartingGame() {
    Game game;
    game.squares.fill(kNone);
    constexpr std::array<int, 8> back{kRook, kKnight, kBishop, kQueen, kKing, kBishop, kKnight, kRook};
    for (std::size_t c = 0; c < 8; ++c) {
        game.squares[c] = Code(back[c], false);
        game.squares[8 + c] = Code(kPawn, false);
        game.squares[48 + c] = Code(kPawn, true);
        game.squares[56 + c] = Code(back[c], true);
    }
    game.castling = {true, true, true, true};
    return game;
}

std::string SquareName(int square) {
    return {static_cast<char>('a' + square % 8), static_cast<char>('8' - square / 8)};
}

std::vector<std::string> LegalMoves(const Game& game) {
    std::vector<std::string> texts;
    for (const Move& move : Legal(game)) texts.push_back(Text(move));
    return texts;
}

bool InCheck(const Game& game) {
    const int king = KingSquare(game);
    return king >= 0 && Attacked(game.squares, king, !game.whiteToMove);
}

int KingSquare(const Game& game) { return King(game.squares, game.whiteToMove); }

std::optional<SideEffects> Play(Game& game, std::string_view move) {
    for (const Move& legal : Legal(game))
        if (Text(legal) == move) return Apply(game, legal);
    return std::nullopt;
}

}  // namespace quelder::demo
