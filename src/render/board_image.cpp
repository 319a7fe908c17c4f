#include "render/board_image.hpp"

#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "appearance/board_size.hpp"

namespace quelder {

namespace {

// A surface of no window's: the views and their kept images, and the size
// ChangeBoardSize gives it. It raises no events and saves nothing.
class OffscreenHost final : public PixelHostBase {
public:
    using PixelHostBase::PixelHostBase;

    void SetWidth(float) override {}
    void SetHeight(float value) override { height_ = value; }
    float ScaleHeight() const override { return height_; }
    void PrepareLayout(float, float edge) override { ReserveSquares(edge); }
    bool Enabled() const override { return true; }
    void SetEnabled(bool) override {}
    bool AmbientUserMode() const override { return true; }
    void PropertyChanged(std::string_view) override {}
    void RaiseEvent(const SquareEvent&) override {}
    PictureRef LoadPicture() override { return nullptr; }

private:
    float height_ = 0;
};

std::vector<PictureRef> PicturesOf(PixelHostBase& host) {
    std::vector<PictureRef> pictures;
    for (int n = 1; n <= host.Images().Count(); ++n) pictures.push_back(host.Images().Picture(n));
    return pictures;
}

Image Draw(PixelHostBase& like, const SharpSquares& model, const Board& board, const BoardLook& look, int size) {
    OffscreenHost host(PicturesOf(like), like.ButtonFace(), like.Images().Highlight());
    for (std::int16_t k = 2; k <= kSquareCount; ++k) host.LoadCheck(k);
    // The layout is the board's own at that size: the picture at the
    // board's size is what the board shows.
    Board layout(host);
    ChangeBoardSize(layout, size);
    for (std::int16_t k = 1; k <= kSquareCount; ++k) host.View(k).SetVisible(true);
    host.LaidOut(look.flipped);
    SharpSquares squares(host, model);
    squares.Settle(board, look, [](PixelSquareView&) {});
    return host.Compose(size, size);
}

}  // namespace

Image DrawBoardImage(PixelHostBase& host, const SharpSquares& squares, const Board& board, const BoardLook& look,
                     int size) {
    if (size < kMinBoardImage || size > kMaxBoardImage) Raise(error::kInvalidPropertyValue);
    try {
        return Draw(host, squares, board, look, size);
    } catch (const std::bad_alloc&) {
        Raise(error::kOutOfMemory);
    }
}

}  // namespace quelder
