#include "board/enabled.hpp"

namespace quelder {

// The board keeps no Enabled state: it is the surface's, and the surface is
// what withholds user input from the squares while it is false.
VBool Enabled(const Board& board) { return board.host.Enabled() ? kTrue : kFalse; }

void LetEnabled(Board& board, VBool New_Enabled) {
    // Any non-zero Boolean is true, whatever a host passes.
    board.host.SetEnabled(New_Enabled != kFalse);
    board.host.PropertyChanged("Enabled");
}

}  // namespace quelder
