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

// Element 1 belongs to the surface and goes with it. A control whose
// construction stopped part-way has only some of 2..64; those are removed.
void UserControl_Terminate(Board& board) {
    for (std::int16_t i = 2; i <= 64; ++i) {
        if (board.host.CheckLoaded(i)) board.host.UnloadCheck(i);
    }
}

}  // namespace quelder
