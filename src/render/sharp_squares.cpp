#include "render/sharp_squares.hpp"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "drawing/square_overlays.hpp"

namespace quelder {

namespace {

// How much of the colour a mark or an arrow shows: the square or the
// pieces under it stay readable.
constexpr int kMarkAlpha = 115;
constexpr int kArrowAlpha = 170;
// An arrow's shaft is this share of a square's edge wide.
constexpr double kArrowWidth = 0.18;
// Labels: a fifth of the edge high, in the colour of the other squares.
constexpr Pixel kLabelOnLight = MakePixel(120, 72, 40);
// The keyboard focus frame: blue, seen on both woods and on the marks.
constexpr Pixel kFocusFrame = MakePixel(20, 90, 220);
constexpr Pixel kLabelOnDark = MakePixel(240, 217, 181);
// The destinations of a lifted piece: a dot a third of the edge across on an
// empty square, a ring along the edge around a piece; dark and half seen, so
// that they read on both woods.
constexpr Pixel kDestination = MakePixel(20, 60, 30);
constexpr int kDestinationAlpha = 110;
constexpr double kDotRadius = 0.16;
constexpr double kDestinationRing = 0.08;
// The last move's squares: a yellow-green tint, unlike the marks' colours.
constexpr Pixel kLastMove = MakePixel(160, 205, 40);
constexpr int kLastMoveAlpha = 110;
// The square of a piece a click picked up: a green of its own, stronger.
constexpr Pixel kPicked = MakePixel(20, 140, 70);
constexpr int kPickedAlpha = 130;
// The check: a red glow under the king, strongest at the centre.
constexpr Pixel kCheckGlow = MakePixel(235, 25, 25);
constexpr int kCheckAlpha = 230;
// The user's circles: a ring a tenth of the edge wide just inside the square,
// as translucent as the arrows.
constexpr double kCircleOuter = 0.47;
constexpr double kCircleStroke = 0.1;
// While the chooser is open: the other squares darkened, and a light tile
// with rounded corners under each piece offered.
constexpr int kDimAlpha = 140;
constexpr Pixel kChooserTile = MakePixel(246, 244, 238);
constexpr double kChooserRounding = 0.18;
// The built-in pictures are kept at two sizes (a board resized back and forth
// draws none again), hosts' pictures at one: the squares have one size.
constexpr std::size_t kShapeSizes = 2;
// On flat squares a colour that differs from the square's by less than this
// in brightness (0 to 255) gives way to black or white, whichever differs more.
constexpr int kLeastContrast = 60;
// In high contrast a piece is ringed a pixel wide for every 24 of the square's
// edge (one at least), a selected one twice as wide in the highlight. Of the
// ringed pictures at most this many are kept (the twelve pieces in two
// colours, and the host's, fit many times over); beyond, they are let go of.
constexpr int kRingShare = 24;
constexpr std::size_t kOutlinesKept = 4 * 16;

int RingOf(int width, int height) { return std::max(1, std::min(width, height) / kRingShare); }

// Whether a code is drawn as a piece: the pieces and pictures a host set for
// them, not the squares' own pictures.
bool IsPiece(std::int32_t code) { return code >= 2 && code <= 13; }

int Brightness(Pixel p) { return (299 * RedOf(p) + 587 * GreenOf(p) + 114 * BlueOf(p)) / 1000; }

// colour, or black or white where it would hardly show on the square.
Pixel Readable(Pixel colour, Pixel square) {
    const int on = Brightness(square);
    if (std::abs(Brightness(colour) - on) >= kLeastContrast) return colour;
    return on >= 128 ? MakePixel(0, 0, 0) : MakePixel(255, 255, 255);
}

// The dark squares in high contrast: the buttons' colour, or where it hardly
// differs from the windows' (as in most high-contrast themes) that colour
// with a share of the text's, so that the squares still alternate.
constexpr int kDarkSquareInk = 80;
Pixel DarkSquareOf(const SystemColours& colours) {
    if (std::abs(Brightness(colours.face) - Brightness(colours.window)) >= kLeastContrast / 2) return colours.face;
    Image square(1, 1, colours.face);
    Tint(square, colours.text, kDarkSquareInk);
    return square.At(0, 0);
}

// The square's flat colour, and the other squares'; none on the wood.
std::optional<std::pair<Pixel, Pixel>> FlatOf(const BoardLook& look, Square square) {
    if (!look.flat) return std::nullopt;
    const bool light = SquareColour(square.col, square.row) == kLightSquare;
    return light ? *look.flat : std::make_pair(look.flat->second, look.flat->first);
}

struct Centre {
    double x, y;
};

Centre CentreOf(const PixelHostBase& host, Square square) {
    const PixelSquareView& v = host.View(SquareIndex(square.col, square.row));
    return {v.PixelLeft() + v.PixelWidth() / 2.0, v.PixelTop() + v.PixelHeight() / 2.0};
}

Arrow ArrowOf(const PixelHostBase& host, const BoardArrow& a) {
    const Centre from = CentreOf(host, a.from), to = CentreOf(host, a.to);
    const double edge = host.View(1).PixelWidth();
    return {from.x, from.y, to.x, to.y, std::max(1.0, edge * kArrowWidth), a.colour, kArrowAlpha};
}

// The colour of a brush of the user's shapes.
Pixel BrushColour(Brush brush) {
    switch (brush) {
    case Brush::Green: return MakePixel(20, 150, 50);
    case Brush::Red: return MakePixel(215, 35, 35);
    case Brush::Blue: return MakePixel(30, 95, 225);
    case Brush::Yellow: return MakePixel(235, 185, 10);
    }
    return MakePixel(20, 150, 50);
}

bool IsCircle(const UserShape& s) { return s.from == s.to; }
// A shape naming a square off the board is left out: there is no view to
// place it by.
bool OnBoard(const UserShape& s) { return IsValidSquare(s.from.col, s.from.row) && IsValidSquare(s.to.col, s.to.row); }

// Whether an arrow may cover any pixel of the view: the box around its ends,
// widened by its head.
bool Overlaps(const Arrow& arrow, const PixelSquareView& v) {
    const double reach = 2 * arrow.width;
    return std::min(arrow.fromX, arrow.toX) - reach < v.PixelLeft() + v.PixelWidth() &&
           std::max(arrow.fromX, arrow.toX) + reach > v.PixelLeft() &&
           std::min(arrow.fromY, arrow.toY) - reach < v.PixelTop() + v.PixelHeight() &&
           std::max(arrow.fromY, arrow.toY) + reach > v.PixelTop();
}

constexpr std::uint64_t kHashStart = 0xCBF29CE484222325ULL;
std::uint64_t Mix(std::uint64_t hash, std::uint64_t value) {
    return (hash ^ value) * 0x100000001B3ULL;  // FNV-1a, a value at a time
}

// The built-in pictures at a square size, drawn once and shared, never
// changed, by every board of the process at that size while any holds them.
// Boards are drawn on any thread; the drawing itself takes no lock, and of
// two drawings of one size at once the first kept serves both.
std::shared_ptr<const std::vector<BoardPicture>> SharedShapes(int size) {
    using Shapes = std::shared_ptr<const std::vector<BoardPicture>>;
    static std::mutex lock;
    static std::map<int, std::weak_ptr<const std::vector<BoardPicture>>> sizes;
    {
        const std::lock_guard hold(lock);
        if (const auto found = sizes.find(size); found != sizes.end())
            if (Shapes shapes = found->second.lock()) return shapes;
    }
    Shapes drawn = std::make_shared<const std::vector<BoardPicture>>(DrawBoardPictures(size));
    const std::lock_guard hold(lock);
    std::erase_if(sizes, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<const std::vector<BoardPicture>>& kept = sizes[size];
    if (Shapes first = kept.lock()) return first;
    kept = drawn;
    return drawn;
}

}  // namespace

SharpSquares::SharpSquares(PixelHostBase& host) : host_(host) {
    for (int n = 1; n <= host.Images().Count(); ++n) builtIn_.push_back(host.Images().Picture(n));
}

PictureRef SharpSquares::PictureOf(std::int32_t number) const {
    if (number < 1 || number > host_.Images().Count()) return nullptr;
    return host_.Images().Picture(number);
}

SharpSquares::Drawn SharpSquares::Wanted(const Board& board, const BoardLook& look, std::int16_t index) const {
    const PixelSquareView& v = host_.View(index);
    const Square square = SquareOf(index);
    Drawn d;
    d.valid = true;
    d.left = v.PixelLeft();
    d.top = v.PixelTop();
    d.width = v.PixelWidth();
    d.height = v.PixelHeight();
    // A lifted piece is drawn where the pointer is, not on its square; one
    // on its way there, where the animation has it.
    const bool away = index == look.lifted || ((look.hidden >> (index - 1)) & 1) != 0;
    d.code = away ? None : board.m_Pieces[static_cast<std::size_t>(index)];
    d.selected = board.m_Selected[static_cast<std::size_t>(index)];
    d.mark = look.marks[static_cast<std::size_t>(index)];
    d.labels = LabelsOf(look, square);
    d.focused = look.focusShown && index == look.focus;
    // Labels take the other squares' colour, or the system's text colour.
    const auto flat = FlatOf(look, square);
    if (look.system) {
        d.system = look.system;
        const bool light = SquareColour(square.col, square.row) == kLightSquare;
        d.flat = light ? look.system->window : DarkSquareOf(*look.system);
        if (d.labels != SquareLabels{}) d.ink = look.system->text;
    } else if (flat) {
        d.flat = flat->first;
        if (d.labels != SquareLabels{}) d.ink = Readable(flat->second, flat->first);
    } else {
        d.background = PictureOf(SquareColour(square.col, square.row));
        if (d.labels != SquareLabels{})
            d.ink = SquareColour(square.col, square.row) == kLightSquare ? kLabelOnLight : kLabelOnDark;
    }
    d.piece = PictureOf(d.code);
    const auto mixArrow = [&](std::uint64_t hash, const BoardArrow& a) {
        if (!Overlaps(ArrowOf(host_, a), v)) return hash;
        hash = Mix(hash, static_cast<std::uint64_t>(SquareIndex(a.from.col, a.from.row)) << 8 |
                             static_cast<std::uint64_t>(SquareIndex(a.to.col, a.to.row)));
        return Mix(hash, a.colour);
    };
    d.arrows = kHashStart;
    for (const BoardArrow& a : look.arrows) d.arrows = mixArrow(d.arrows, a);

    d.destination = (look.destinations >> (index - 1) & 1) != 0;
    d.lastMove = index == look.lastFrom || index == look.lastTo;
    d.picked = index == look.picked;
    d.check = index == look.check;
    // The circles are drawn under the pieces and the arrows over them, so
    // only the order among the circles and among the arrows shows. A circle
    // mixes in its brush alone (0..3), an arrow its squares (257 on) first.
    d.shapes = kHashStart;
    for (const UserShape& s : look.shapes)
        if (OnBoard(s) && IsCircle(s) && s.from == square)
            d.shapes = Mix(d.shapes, static_cast<std::uint64_t>(s.brush));
    for (const UserShape& s : look.shapes)
        if (OnBoard(s) && !IsCircle(s)) d.shapes = mixArrow(d.shapes, {s.from, s.to, BrushColour(s.brush)});

    d.dimmed = !look.chooser.empty();
    for (std::size_t k = 0; k < look.chooser.size(); ++k) {
        if (look.chooser[k].square != index) continue;
        d.offered = look.chooser[k].piece;
        d.offerFocused = std::cmp_equal(k, look.chooserFocus);
        d.offeredPiece = PictureOf(look.chooser[k].piece);
        break;
    }
    return d;
}

void SharpSquares::Settle(const Board& board, const BoardLook& look,
                          const std::function<void(PixelSquareView&)>& changed) {
    ring_ = look.system ? std::optional<Pixel>(look.system->text) : std::nullopt;
    for (std::int16_t index = 1; index <= kSquareCount; ++index) {
        if (!host_.CheckLoaded(index)) continue;
        const Drawn wanted = Wanted(board, look, index);
        auto& drawn = drawn_[static_cast<std::size_t>(index)];
        if (drawn == wanted) continue;
        Draw(look, index, wanted);
        drawn = wanted;
        changed(host_.View(index));
    }
}

void SharpSquares::Draw(const BoardLook& look, std::int16_t index, const Drawn& d) {
    PixelSquareView& view = host_.View(index);
    const ImagePart image = static_cast<PixelDrawContext&>(view.hDC()).Target();
    if (image.Empty()) return;
    const Square square = SquareOf(index);
    const int w = image.Width(), h = image.Height();

    const double edge = static_cast<double>(std::min(w, h)), centreX = w / 2.0, centreY = h / 2.0;
    const bool empty = ShowsNoPiece(d.code);

    // The destinations and the focus frame keep their colours on the wood;
    // in high contrast what marks a square is in the highlight, whole.
    const std::optional<SystemColours>& system = d.system;
    const Pixel destination = system ? system->highlight : d.flat ? Readable(kDestination, *d.flat) : kDestination;
    const int destinationAlpha = system ? 255 : kDestinationAlpha;
    const Pixel focusFrame = system ? system->highlight : d.flat ? Readable(kFocusFrame, *d.flat) : kFocusFrame;
    if (system) {
        Fill(image, d.mark ? system->highlight : *d.flat);
    } else if (d.flat) {
        Fill(image, *d.flat);
    } else {
        Fill(image, view.Background());
        DrawCovered(image, Art(SquareColour(square.col, square.row), w, h), 0, 0);
    }
    if (d.lastMove) Tint(image, system ? system->highlight : kLastMove, kLastMoveAlpha);
    if (d.picked) Tint(image, system ? system->highlight : kPicked, kPickedAlpha);
    if (d.mark && !system) Tint(image, *d.mark, kMarkAlpha);
    if (d.check) DrawGlow(image, kCheckGlow, kCheckAlpha);
    for (const UserShape& s : look.shapes)
        if (OnBoard(s) && IsCircle(s) && s.from == square)
            DrawRing(image, centreX, centreY, edge * kCircleOuter, edge * (kCircleOuter - kCircleStroke),
                     BrushColour(s.brush), kArrowAlpha);
    if (d.destination && !empty)
        DrawRing(image, centreX, centreY, edge / 2, edge * (0.5 - kDestinationRing), destination, destinationAlpha);
    if (system && IsPiece(d.code)) {
        // Ringed in the text colour, or more widely in the highlight when selected.
        const bool selected = d.selected != kFalse;
        DrawCovered(image,
                    Outlined(d.code, w, h, selected ? system->highlight : system->text,
                             RingOf(w, h) * (selected ? 2 : 1)),
                    0, 0);
    } else if (d.selected != kFalse)
        DrawSelectedCovered(image, Art(d.code, w, h), 0, 0, host_.Images().Highlight());
    else if (d.code != None)
        DrawCovered(image, Art(d.code, w, h), 0, 0);
    if (d.destination && empty)
        DrawRing(image, centreX, centreY, edge * kDotRadius, 0, destination, destinationAlpha);

    const int labelHeight = std::max(5, h / 5), inset = std::max(1, h / 16);
    const Pixel ink = d.ink;
    if (d.labels.rank != '\0') DrawLabel(image, d.labels.rank, inset, inset, labelHeight, ink);
    if (d.labels.file != '\0')
        DrawLabel(image, d.labels.file, w - inset - LabelWidth(labelHeight), h - inset - labelHeight, labelHeight,
                  ink);
    for (const BoardArrow& a : look.arrows) {
        const Arrow arrow = ArrowOf(host_, a);
        if (Overlaps(arrow, view)) DrawArrowPart(image, view.PixelLeft(), view.PixelTop(), arrow);
    }
    for (const UserShape& s : look.shapes) {
        if (!OnBoard(s) || IsCircle(s)) continue;
        const Arrow arrow = ArrowOf(host_, {s.from, s.to, BrushColour(s.brush)});
        if (Overlaps(arrow, view)) DrawArrowPart(image, view.PixelLeft(), view.PixelTop(), arrow);
    }
    const int frame = std::max(2, std::min(w, h) / 16);
    if (d.focused) DrawFrame(image, frame, focusFrame);
    if (d.dimmed) Tint(image, MakePixel(0, 0, 0), kDimAlpha);
    if (d.offered) {
        FillRounded(image, edge * kChooserRounding, system ? system->window : kChooserTile);
        if (!ShowsNoPiece(*d.offered)) DrawCovered(image, PieceArt(*d.offered, w, h), 0, 0);
        if (d.offerFocused) DrawFrame(image, frame, system ? system->highlight : kFocusFrame);
    }
}

const BoardPicture& SharpSquares::Art(std::int32_t number, int width, int height) {
    if (number < 1 || number > host_.Images().Count()) return none_;
    const PictureRef picture = host_.Images().Picture(number);
    const bool builtIn = static_cast<std::size_t>(number) <= builtIn_.size() &&
                         picture == builtIn_[static_cast<std::size_t>(number - 1)].lock();
    if (builtIn && width == height && width <= kMaxBoardArtSize && number <= kBoardPictureCount) {
        if (pieces_ && number >= 2 && number <= 13) {
            if (piecesSize_ != width) {
                ++artLetGo_;
                piecesArt_.clear();  // the old size goes before the new is drawn
                piecesArt_ = pieces_->Draw(width);
                piecesSize_ = width;
            }
            if (piecesArt_.size() == 12) return piecesArt_[static_cast<std::size_t>(number - 2)];
        }
        auto found = shapes_.find(width);
        if (found == shapes_.end()) {
            if (shapes_.size() >= kShapeSizes) {
                ++artLetGo_;
                shapes_.clear();
            }
            found = shapes_.emplace(width, SharedShapes(width)).first;
        }
        return (*found->second)[static_cast<std::size_t>(number - 1)];
    }
    if (fittedSize_ != std::make_pair(width, height)) {
        ++artLetGo_;
        fitted_.clear();
        fittedSize_ = {width, height};
    }
    auto found = fitted_.find(picture.get());
    if (found == fitted_.end()) {
        ForgetPicturesNotSet();
        found = fitted_.emplace(picture.get(), Fitted{picture, FitPicture(host_.Images().Pixels(number), width, height)})
                    .first;
    }
    return found->second.art;
}

const BoardPicture& SharpSquares::PieceArt(std::int32_t number, int width, int height) {
    if (!ring_ || !IsPiece(number)) return Art(number, width, height);
    return Outlined(number, width, height, *ring_, RingOf(width, height));
}

const BoardPicture& SharpSquares::Outlined(std::int32_t number, int width, int height, Pixel colour, int radius) {
    const BoardPicture& art = Art(number, width, height);
    if (outlinesLetGo_ != artLetGo_ || outlinesSize_ != std::make_pair(width, height) ||
        outlines_.size() >= kOutlinesKept) {
        outlines_.clear();
        outlinesLetGo_ = artLetGo_;
        outlinesSize_ = {width, height};
    }
    const OutlineKey key{&art, colour, radius};
    auto found = outlines_.find(key);
    if (found == outlines_.end()) found = outlines_.emplace(key, OutlinedPicture(art, radius, colour)).first;
    return found->second;
}

void SharpSquares::UsePieces(std::shared_ptr<const PieceSet> pieces) {
    ++artLetGo_;
    pieces_ = std::move(pieces);
    piecesArt_.clear();
    piecesSize_ = 0;
    for (Drawn& d : drawn_) d.valid = false;
}

void SharpSquares::ForgetPicturesNotSet() {
    const PixelImageList& images = host_.Images();
    const auto gone = std::erase_if(fitted_, [&](const auto& entry) {
        for (int n = 1; n <= images.Count(); ++n)
            if (images.Picture(n) == entry.second.picture) return false;
        return true;
    });
    if (gone > 0) ++artLetGo_;
}

}  // namespace quelder
