#include "appearance/board_picture.hpp"

namespace quelder {

PictureRef Picture(const Board& board, std::int32_t Piece) { return board.host.ImageList1().Picture(Piece); }

void SetPicture(Board& board, std::int32_t Piece, const PictureRef& New_Picture) {
    HostServices& host = board.host;
    if (!host.AmbientUserMode()) Raise(error::kSetNotSupportedReadOnly);

    ImageList& images = host.ImageList1();
    // Kept so that a refused insertion can put it back: otherwise every image
    // above Piece would stay one number lower. Fails for a number not held.
    const PictureRef old = images.Picture(Piece);
    images.Remove(Piece);
    try {
        images.Add(Piece, New_Picture);
    } catch (...) {
        try {
            images.Add(Piece, old);
        } catch (...) {
            // The caller hears of the insertion's failure, not of this one.
        }
        throw;
    }
    host.PropertyChanged("Picture");
}

}  // namespace quelder
