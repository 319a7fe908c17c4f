// What the board draws while its pieces move. A change of position made by
// one call or one batch animates over a duration; the board's state is the
// new one at once, and this only says what is drawn, and when.
//
// A piece that left one square and appears on another slides there; one that
// appears with no partner fades in; one that goes with none fades out. Pieces
// of the same code pair nearest first. A change while pieces move starts from
// where they are drawn: a sliding piece from its place on the way, a fading
// one from its square at its opacity.
//
// The window drives it with a timer at the display's pace: each frame it
// repaints the boxes Advance gives, painting the squares without the Hidden
// pieces and the Sprites over them at the time it gave Advance (so that what
// is painted lies in what was repainted), and stops the timer once nothing
// is Running. A change or a put-back gives the boxes to repaint at once as well
// (the squares whose pieces changed are the window's to repaint).
//
// Places are in square units of the unflipped board: (0, 0) is the top-left
// corner of column 1 row 1, x grows with the column and y with the row, and a
// piece's box is one unit wide: the piece on square (col, row) is at
// (col - 1, row - 1). Times are milliseconds of the system's clock, which
// wraps: their differences are read as signed, which holds while the window
// advances a running animation at least once in 24 days.
//
// Portable: no Windows types, no drawing. At most 64 sprites, whatever the
// caller does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelder::interaction {

using SquareId = std::int16_t;

// The board's codes, element k the code on square k (1..64); element 0 is
// unused. Codes 1 and 14 show no piece.
using Pieces = std::array<std::int32_t, 65>;

// A place in square units.
struct Spot {
    double x = 0, y = 0;
    friend bool operator==(const Spot&, const Spot&) = default;
};

// A rectangle in square units; right and bottom lie outside it.
struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

// A piece drawn over the squares: its code, the top-left corner of its box,
// its opacity from 0 (not seen) to 1.
struct Sprite {
    std::int32_t piece = 0;
    Spot at{};
    double opacity = 1;
};

// The move the user dropped: its piece is on its square already (promoted or
// not) and does not slide; what it took there goes at once.
struct Drop {
    SquareId from = 0, to = 0;
};

class Animation {
public:
    static constexpr std::size_t kMaxSprites = 64;
    // Longer durations are cut to this.
    static constexpr std::uint32_t kLongest = 60'000;

    // The board shows `shown`, every piece still.
    explicit Animation(const Pieces& shown);

    // The board's pieces are now `next`: the pieces that changed animate over
    // `duration` from now (0: the board shows `next` at once and every
    // animation ends). Pieces whose squares keep them go on as they were. A
    // drop, when it is one of the change's moves, does not slide. Gives the
    // boxes to repaint besides the squares that changed: where the moving
    // pieces were drawn at the last frame and are drawn now, and the squares
    // whose still pieces they hide or show again.
    std::vector<Box> Change(const Pieces& next, std::uint32_t now, std::uint32_t duration, Drop drop = {});

    // The piece on square, whose drop was refused or cancelled, slides home
    // from `from`, where the drag left it (0 ms: it is home at once). Gives
    // the boxes to repaint.
    std::vector<Box> SlideHome(SquareId square, Spot from, std::uint32_t now, std::uint32_t duration);

    // The frame at now: the boxes to repaint, each moving piece's box at the
    // last frame and at now (the whole square when it arrives), merged where
    // that adds no area. The animations over by now end here.
    std::vector<Box> Advance(std::uint32_t now);

    // Something still moves or fades at now: the timer must run.
    bool Running(std::uint32_t now) const;
    // The pieces to draw over the squares at now: those fading out first,
    // then those arriving, by their squares.
    std::vector<Sprite> Sprites(std::uint32_t now) const;
    // The squares whose pieces are not drawn still at now, because they are
    // on their way there: a bit for each (bit index - 1).
    std::uint64_t Hidden(std::uint32_t now) const;

private:
    // One piece's animation: from a place and opacity to another over a time,
    // eased in and out.
    struct Track {
        std::int32_t piece = 0;
        SquareId square = 0;  // the square it arrives on, its piece hidden until then; 0: it fades out
        Spot from{}, to{};
        double fromOpacity = 1, toOpacity = 1;
        std::uint32_t start = 0, duration = 0;
    };
    static double Progress(const Track& track, std::uint32_t now);
    static bool Over(const Track& track, std::uint32_t now);
    static Sprite Drawn(const Track& track, std::uint32_t now);

    // The tracks over by now end.
    void EndOver(std::uint32_t now);
    // Fading pieces beyond the room left go, the faintest first; then the
    // order of Sprites.
    void Settle(std::uint32_t now);
    // What to repaint after the tracks changed at now, `before` being those
    // of the last frame; now becomes the last frame.
    std::vector<Box> Repaint(const std::vector<Track>& before, std::uint32_t now);

    Pieces shown_;
    std::vector<Track> tracks_;  // never more than kMaxSprites
    std::uint32_t frame_ = 0;    // the time of the last frame
};

}  // namespace quelder::interaction
