#include "board_road.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace quelder::demo {

namespace {

constexpr long kNone = 1;

std::wstring Failed(BoardCalls& board, const wchar_t* call, HRESULT hr) {
    return std::wstring(call) + L" failed: " + board.ErrorText(hr);
}

// "Wpawn moved from col 5 row 7 to col 5 row 5", or "... takes Bpawn at ...".
std::wstring MoveText(long moving, Square from, long target, Square to) {
    if (target == kNone) return PieceName(moving) + L" moved from " + Name(from) + L" to " + Name(to);
    return PieceName(moving) + L" from " + Name(from) + L" takes " + PieceName(target) + L" at " + Name(to);
}

// The game's squares are indexes from 0, row by row.
int IndexOf(Square square) { return (square.row - 1) * 8 + (square.col - 1); }
Square SquareAt(int index) { return {static_cast<short>(index % 8 + 1), static_cast<short>(index / 8 + 1)}; }

std::wstring Widen(const std::string& text) { return {text.begin(), text.end()}; }
std::wstring ChessName(Square square) { return Widen(SquareName(IndexOf(square))); }

// The letter of a promotion's form by the piece chosen; none for None.
std::wstring FormLetter(long piece) {
    switch (piece) {
    case 6: case 12: return L"q";
    case 3: case 9: return L"r";
    case 5: case 11: return L"b";
    case 4: case 10: return L"n";
    default: return {};
    }
}

std::wstring Side(const Game& game) { return game.whiteToMove ? L"White" : L"Black"; }

// What the side to move faces: "", "; check", "; checkmate", "; stalemate".
std::wstring Outlook(const Game& game) {
    const bool check = InCheck(game);
    if (LegalMoves(game).empty()) return check ? L"; checkmate" : L"; stalemate";
    return check ? L"; check" : L"";
}

}  // namespace

std::wstring Name(Square square) { return L"col " + std::to_wstring(square.col) + L" row " + std::to_wstring(square.row); }

std::wstring PieceName(long piece) {
    static constexpr std::array<const wchar_t*, 13> names{
        L"None",  L"Bpawn", L"Brook", L"Bknight", L"Bbishop", L"BQueen", L"Bking",
        L"Wpawn", L"Wrook", L"Wknight", L"Wbishop", L"WQueen", L"Wking"};
    if (piece >= 1 && piece <= 13) return names[static_cast<std::size_t>(piece - 1)];
    return L"piece " + std::to_wstring(piece);
}

std::wstring MoveRoad::StartGame(BoardCalls& board, const Game& game) {
    Drop(board);
    game_ = game;
    HRESULT hr = board.PutText(BoardText::LastMove, L"");
    if (SUCCEEDED(hr)) hr = ShowGame(board);
    if (FAILED(hr)) return Failed(board, L"Setting up the game", hr);
    return L"New game, " + Side(game) + L" to move: drag a piece, click it and then its square, or type a move"
           L" (e2e4) and Enter.";
}

std::wstring MoveRoad::FreePlay(BoardCalls& board) {
    Drop(board);
    game_.reset();
    HRESULT hr = board.PutText(BoardText::LegalMoves, L"");
    if (SUCCEEDED(hr)) hr = board.PutText(BoardText::LastMove, L"");
    if (SUCCEEDED(hr)) hr = board.PutText(BoardText::CheckSquare, L"");
    if (FAILED(hr)) return Failed(board, L"Taking the rules away", hr);
    return L"The board is empty: no rules until New game.";
}

HRESULT MoveRoad::ShowGame(BoardCalls& board) {
    std::wstring list;
    for (const std::string& move : LegalMoves(*game_)) list += (list.empty() ? L"" : L" ") + Widen(move);
    // With no move left the list is empty, which lets any move through: the
    // drops of a game that is over are refused in Dropped.
    HRESULT hr = board.PutText(BoardText::LegalMoves, list);
    if (SUCCEEDED(hr))
        hr = board.PutText(BoardText::CheckSquare,
                           InCheck(*game_) ? Widen(SquareName(KingSquare(*game_))) : std::wstring());
    return hr;
}

std::wstring MoveRoad::Click(BoardCalls& board, Square square) {
    if (game_) return GameClick(board, square);
    if (selected_ == square) {
        const HRESULT hr = board.UnSelectSquare(square);
        if (FAILED(hr)) return Failed(board, L"UnSelectSquare", hr);
        selected_.reset();
        return L"Selection dropped at " + Name(square);
    }
    long target = kNone;
    HRESULT hr = board.Piece(square, target);
    if (FAILED(hr)) return Failed(board, L"Piece", hr);
    if (!selected_) {
        if (target == kNone) return L"Nothing to pick up at " + Name(square);
        hr = board.SelectSquare(square);
        if (FAILED(hr)) return Failed(board, L"SelectSquare", hr);
        selected_ = square;
        return PieceName(target) + L" at " + Name(square) + L" selected";
    }
    const Square from = *selected_;
    long moving = kNone;
    hr = board.Piece(from, moving);
    if (FAILED(hr)) return Failed(board, L"Piece", hr);
    hr = board.MovePiece(from, square);
    if (FAILED(hr)) return Failed(board, L"MovePiece", hr);
    // The piece has gone: the source square loses its selection whatever
    // happens next.
    selected_.reset();
    hr = board.UnSelectSquare(from);
    if (FAILED(hr)) return Failed(board, L"UnSelectSquare", hr);
    hr = board.PutText(BoardText::LastMove, ChessName(from) + ChessName(square));
    if (FAILED(hr)) return Failed(board, L"Showing the move", hr);
    return MoveText(moving, from, target, square);
}

// The board picks the piece up (or makes the move) itself: the line tells
// where the clicked piece may go.
std::wstring MoveRoad::GameClick(BoardCalls& board, Square square) {
    const std::vector<std::string> moves = LegalMoves(*game_);
    if (moves.empty())
        return (InCheck(*game_) ? L"Checkmate" : L"Stalemate") + std::wstring(L": New game starts another.");
    long piece = kNone;
    const HRESULT hr = board.Piece(square, piece);
    if (FAILED(hr)) return Failed(board, L"Piece", hr);
    const std::string from = SquareName(IndexOf(square));
    std::vector<std::string> targets;
    for (const std::string& move : moves)
        if (move.starts_with(from) && (move.size() == 4 || move.back() == 'q')) targets.push_back(move.substr(2, 2));
    std::sort(targets.begin(), targets.end());
    if (!targets.empty()) {
        std::wstring text = PieceName(piece) + L" on " + Widen(from) + L" may go to";
        for (const std::string& target : targets) text += L" " + Widen(target);
        return text;
    }
    if (piece != kNone && (piece >= 8) == game_->whiteToMove)
        return PieceName(piece) + L" on " + Widen(from) + L" cannot move";
    return Side(*game_) + L" to move" + Outlook(*game_);
}

std::wstring MoveRoad::Dropped(BoardCalls& board, Square from, Square to, bool& cancel) {
    long moving = kNone, target = kNone;
    HRESULT hr = board.Piece(from, moving);
    if (SUCCEEDED(hr)) hr = board.Piece(to, target);
    if (FAILED(hr)) {
        // A game cannot follow a move it does not know.
        cancel = game_.has_value();
        return Failed(board, L"Piece", hr);
    }
    Drop(board);
    if (game_) return GameDrop(board, {from, moving}, {to, target}, cancel);
    hr = board.PutText(BoardText::LastMove, ChessName(from) + ChessName(to));
    if (FAILED(hr)) return Failed(board, L"Showing the move", hr);
    return MoveText(moving, from, target, to);
}

std::wstring MoveRoad::GameDrop(BoardCalls& board, Placed from, Placed to, bool& cancel) {
    long chosen = kNone;
    HRESULT hr = board.PromotionPiece(chosen);
    if (FAILED(hr)) {
        cancel = true;
        return Failed(board, L"PromotionPiece", hr);
    }
    const std::wstring squares = ChessName(from.square) + ChessName(to.square), move = squares + FormLetter(chosen);
    Game next = *game_;
    const std::optional<SideEffects> effects = Play(next, std::string(move.begin(), move.end()));
    if (!effects) {
        cancel = true;
        if (LegalMoves(*game_).empty()) return L"The game is over" + Outlook(*game_) + L": New game starts another.";
        return move + L" is not a move " + Side(*game_) + L" can make here";
    }
    // The board moves the dropped piece, promoted if it is, once the event
    // returns; the rest of the move is the demo's to make.
    std::wstring text = move + L": " + MoveText(from.piece, from.square, to.piece, to.square);
    if (effects->rookFrom >= 0) {
        hr = board.MovePiece(SquareAt(effects->rookFrom), SquareAt(effects->rookTo));
        text += L", castling";
    } else if (effects->taken >= 0) {
        hr = board.PutPiece(SquareAt(effects->taken), kNone);
        text += L", taking the pawn on " + Name(SquareAt(effects->taken)) + L" en passant";
    } else if (chosen != kNone) {
        text += L", becoming " + PieceName(chosen);
    }
    if (FAILED(hr)) {
        cancel = true;
        return Failed(board, L"Completing the move", hr);
    }
    game_ = next;
    hr = board.PutText(BoardText::LastMove, squares);
    if (SUCCEEDED(hr)) hr = ShowGame(board);
    if (FAILED(hr)) return Failed(board, L"Showing the move", hr);
    return text + Outlook(*game_);
}

void MoveRoad::Drop(BoardCalls& board) {
    if (!selected_) return;
    board.UnSelectSquare(*selected_);
    selected_.reset();
}

}  // namespace quelder::demo
