#include "board_road.hpp"

#include <array>

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

}  // namespace

std::wstring Name(Square square) { return L"col " + std::to_wstring(square.col) + L" row " + std::to_wstring(square.row); }

std::wstring PieceName(long piece) {
    static constexpr std::array<const wchar_t*, 13> names{
        L"None",  L"Bpawn", L"Brook", L"Bknight", L"Bbishop", L"BQueen", L"Bking",
        L"Wpawn", L"Wrook", L"Wknight", L"Wbishop", L"WQueen", L"Wking"};
    if (piece >= 1 && piece <= 13) return names[static_cast<std::size_t>(piece - 1)];
    return L"piece " + std::to_wstring(piece);
}

std::wstring MoveRoad::Click(BoardCalls& board, Square square) {
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
    hr = board.ShowMove(from, square);
    if (FAILED(hr)) return Failed(board, L"Showing the move", hr);
    return MoveText(moving, from, target, square);
}

std::wstring MoveRoad::Dropped(BoardCalls& board, Square from, Square to) {
    long moving = kNone, target = kNone;
    HRESULT hr = board.Piece(from, moving);
    if (SUCCEEDED(hr)) hr = board.Piece(to, target);
    if (FAILED(hr)) return Failed(board, L"Piece", hr);
    Drop(board);
    hr = board.ShowMove(from, to);
    if (FAILED(hr)) return Failed(board, L"Showing the move", hr);
    return MoveText(moving, from, target, to);
}

void MoveRoad::Drop(BoardCalls& board) {
    if (!selected_) return;
    board.UnSelectSquare(*selected_);
    selected_.reset();
}

}  // namespace quelder::demo
