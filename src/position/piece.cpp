#include "position/piece.hpp"

#include <limits>

namespace quelder {

std::int32_t Piece(const Board& board, std::int16_t col, std::int16_t row) {
    CheckSquare(col, row, error::kInvalidSquareRead);
    return board.m_Pieces[static_cast<std::size_t>(SquareIndex(col, row))];
}

void LetPiece(Board& board, std::int16_t col, std::int16_t row, std::int32_t New_Piece) {
    CheckSquare(col, row);
    HostServices& host = board.host;
    if (!host.AmbientUserMode()) Raise(error::kSetNotSupportedAtRuntime);
    if (New_Piece < std::numeric_limits<std::int16_t>::min() || New_Piece > std::numeric_limits<std::int16_t>::max())
        Raise(error::kOverflow);
    const auto code = static_cast<std::int16_t>(New_Piece);
    // A code without an image would be stored and announced, and only then
    // fail when it is drawn. Refuse it while nothing has changed yet. Code 1 is
    // never drawn, but the list always holds it.
    if (code < 1 || code > host.ImageList1().Count()) Raise(error::kIndexOutOfBounds);

    // The saved "Piece" is the last code written, set before the change is
    // announced. The handlers of the announcement may write Piece again or load
    // the saved properties: the square gets the code checked here, not what
    // they left in m_Piece.
    board.m_Piece = code;
    host.PropertyChanged("Piece");
    const std::int16_t index = SquareIndex(col, row);
    auto& stored = board.m_Pieces[static_cast<std::size_t>(index)];
    SetSquareBackground(board, col, row);
    if (code == None) {
        // The background alone is what the square shows; no refresh.
        stored = None;
        return;
    }
    // Code 14 is drawn like a piece here.
    stored = code;
    DrawOnSquare(board, index, code, DrawStyle::Transparent);
    host.Check(index).Refresh();
}

}  // namespace quelder
