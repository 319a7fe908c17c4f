// The board class's squares: each drawn into its view's kept image at the
// view's own size, from the board's state and its look, rather than from the
// 37-pixel images the published class draws. The built-in pictures are drawn
// from their shapes at that size; pictures a host set are fitted to it
// smoothly. Both are kept per size, so that a board drawn again at a size it
// had costs no drawing of pictures; the built-in ones are drawn once for all
// the boards of the process at a size, and of the host's pictures only those
// set now are kept, so that a host setting picture after picture does not
// fill the memory.
//
// What each square shows is remembered, and a square is drawn again only
// when something it shows changed, or when the published code drew on its
// view (Touched).
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "appearance/board_look.hpp"
#include "board/board_model.hpp"
#include "drawing/board_art.hpp"
#include "host/pixel_host.hpp"

namespace quelder {

// Pieces drawn from other pictures than the built-in shapes (a set read from
// files): the twelve, in the order of the board images 2 to 13, each drawn
// for a square of size pixels. An empty list when they cannot be drawn at
// that size; the built-in pieces stand in for them.
class PieceSet {
public:
    virtual ~PieceSet() = default;
    virtual std::vector<BoardPicture> Draw(int size) const noexcept = 0;
};

class SharpSquares {
public:
    // The host's board images as it starts are the built-in ones: pictures
    // still the same objects are drawn from their shapes.
    explicit SharpSquares(PixelHostBase& host);
    // Squares on another host that draw as model's do: the pictures built-in
    // to model are built-in here too.
    SharpSquares(PixelHostBase& host, const SharpSquares& model)
        : host_(host), builtIn_(model.builtIn_), pieces_(model.pieces_) {}
    SharpSquares(const SharpSquares&) = delete;
    SharpSquares& operator=(const SharpSquares&) = delete;

    // The view of a square was drawn on by other code: it is drawn again.
    void Touched(std::int16_t index) { drawn_[static_cast<std::size_t>(index)].valid = false; }
    // Draws every square whose look changed; changed hears of each view drawn.
    void Settle(const Board& board, const BoardLook& look, const std::function<void(PixelSquareView&)>& changed);

    // The pictures drawn for a square of width x height: the host's picture
    // of number, from the shapes when it is the built-in one.
    const BoardPicture& Art(std::int32_t number, int width, int height);
    // A piece as the squares show it: its Art, ringed in the text colour
    // while the look last settled has the system's colours.
    const BoardPicture& PieceArt(std::int32_t number, int width, int height);

    // The pieces drawn in place of the built-in ones (none: the built-in
    // ones); a picture the host set still stands on top of either. Every
    // square is drawn again.
    void UsePieces(std::shared_ptr<const PieceSet> pieces);
    const std::shared_ptr<const PieceSet>& Pieces() const { return pieces_; }

private:
    struct Drawn {
        bool valid = false;
        int left = 0, top = 0, width = 0, height = 0;
        std::int32_t code = 0;
        VBool selected = kFalse;
        std::optional<Pixel> mark;
        // The square's flat colour; none: the wood.
        std::optional<Pixel> flat;
        SquareLabels labels;
        // The system's colours in high contrast.
        std::optional<SystemColours> system;
        // The labels' colour; 0 when the square has none.
        Pixel ink = 0;
        std::uint64_t arrows = 0;
        bool focused = false;
        // A destination of the lifted piece, a square of the last move, the
        // square in check, and the user's circles on the square and arrows
        // across it.
        bool destination = false;
        bool lastMove = false;
        bool picked = false;
        bool check = false;
        std::uint64_t shapes = 0;
        // While the promotion chooser is open every square is dimmed; a
        // square it offers a piece on shows that piece on a tile, framed
        // when it has the chooser's focus.
        bool dimmed = false;
        std::optional<std::int32_t> offered;
        bool offerFocused = false;
        // Held while the square shows them: no other picture can take their
        // place in memory and pass for them.
        PictureRef background;
        PictureRef piece;
        PictureRef offeredPiece;
        friend bool operator==(const Drawn&, const Drawn&) = default;
    };
    Drawn Wanted(const Board& board, const BoardLook& look, std::int16_t index) const;
    void Draw(const BoardLook& look, std::int16_t index, const Drawn& wanted);
    PictureRef PictureOf(std::int32_t number) const;
    // The art of number ringed radius pixels wide in colour.
    const BoardPicture& Outlined(std::int32_t number, int width, int height, Pixel colour, int radius);
    // Lets go of the pictures fitted for pictures no longer set.
    void ForgetPicturesNotSet();

    PixelHostBase& host_;
    // Not held: a built-in picture the host replaced goes.
    std::vector<std::weak_ptr<const PictureObject>> builtIn_;
    std::array<Drawn, 65> drawn_{};
    // The built-in pictures by square size, at most two sizes, emptied when
    // full (each shared with the process's other boards of that size); and
    // the pictures set now fitted to one size.
    std::map<int, std::shared_ptr<const std::vector<BoardPicture>>> shapes_;
    struct Fitted {
        PictureRef picture;  // keeps the key's object, and so its address, alive
        BoardPicture art;
    };
    std::map<const void*, Fitted> fitted_;
    std::pair<int, int> fittedSize_{0, 0};
    // The set in use, and its pieces at one size: the one drawn last.
    std::shared_ptr<const PieceSet> pieces_;
    int piecesSize_ = 0;
    std::vector<BoardPicture> piecesArt_;
    BoardPicture none_;
    // The pieces ringed for high contrast, by the art ringed, at one size and
    // a few colours: the art's addresses stand for it while no art kept above
    // is let go of (artLetGo_ counts those times).
    struct OutlineKey {
        const BoardPicture* art;
        Pixel colour;
        int radius;
        friend auto operator<=>(const OutlineKey&, const OutlineKey&) = default;
    };
    std::map<OutlineKey, BoardPicture> outlines_;
    std::pair<int, int> outlinesSize_{0, 0};
    std::uint64_t artLetGo_ = 0, outlinesLetGo_ = 0;
    // The text colour pieces are ringed in now; none: they are not.
    std::optional<Pixel> ring_;
};

}  // namespace quelder
