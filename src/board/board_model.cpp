#include "board/board_model.hpp"

namespace quelder {

std::string SquareName(std::int16_t col, std::int16_t row, std::int32_t code) {
    static constexpr const char* kPieces[] = {"pawn", "rook", "knight", "bishop", "queen", "king"};
    std::string name{static_cast<char>('a' + col - 1), static_cast<char>('0' + 9 - row)};
    if (code >= Bpawn && code <= Bking) return name + " black " + kPieces[code - Bpawn];
    if (code >= Wpawn && code <= Wking) return name + " white " + kPieces[code - Wpawn];
    return name + (code == kDarkSquare ? " dark square" : " empty");
}

void CheckSquare(std::int16_t col, std::int16_t row, std::int32_t number) {
    if (!IsValidSquare(col, row)) Raise(number, "Invalid column or row");
}

void SetSquareBackground(Board& board, std::int16_t col, std::int16_t row) {
    board.host.Check(SquareIndex(col, row)).SetPicture(board.host.ImageList1().Picture(SquareColour(col, row)));
}

void DrawOnSquare(Board& board, std::int16_t index, std::int32_t image, DrawStyle style) {
    DrawContext& dc = board.host.Check(index).hDC();
    board.host.ImageList1().Draw(image, dc, 0, 0, style);
}

void PaintSquare(Board& board, std::int16_t col, std::int16_t row) {
    SetSquareBackground(board, col, row);
    const std::int16_t index = SquareIndex(col, row);
    const std::int32_t code = board.m_Pieces[static_cast<std::size_t>(index)];
    if (!ShowsNoPiece(code)) DrawOnSquare(board, index, code, DrawStyle::Transparent);
}

}  // namespace quelder
