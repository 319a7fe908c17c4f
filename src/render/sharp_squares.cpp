#include "render/sharp_squares.hpp"

#include <algorithm>
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
// The built-in pictures are kept at two sizes (a board resized back and forth
// draws none again), hosts' pictures at one: the squares have one size.
constexpr std::size_t kShapeSizes = 2;

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

// Whether an arrow may cover any pixel of the view: the box around its ends,
// widened by its head.
bool Overlaps(const Arrow& arrow, const PixelSquareView& v) {
    const double reach = 2 * arrow.width;
    return std::min(arrow.fromX, arrow.toX) - reach < v.PixelLeft() + v.PixelWidth() &&
           std::max(arrow.fromX, arrow.toX) + reach > v.PixelLeft() &&
           std::min(arrow.fromY, arrow.toY) - reach < v.PixelTop() + v.PixelHeight() &&
           std::max(arrow.fromY, arrow.toY) + reach > v.PixelTop();
}

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
    // A lifted piece is drawn where the pointer is, not on its square.
    d.code = index == look.lifted ? None : board.m_Pieces[static_cast<std::size_t>(index)];
    d.selected = board.m_Selected[static_cast<std::size_t>(index)];
    d.mark = look.marks[static_cast<std::size_t>(index)];
    d.labels = LabelsOf(look, square);
    d.focused = look.focusShown && index == look.focus;
    d.background = PictureOf(SquareColour(square.col, square.row));
    d.piece = PictureOf(d.code);
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const BoardArrow& a : look.arrows) {
        if (!Overlaps(ArrowOf(host_, a), v)) continue;
        hash = Mix(hash, static_cast<std::uint64_t>(SquareIndex(a.from.col, a.from.row)) << 8 |
                             static_cast<std::uint64_t>(SquareIndex(a.to.col, a.to.row)));
        hash = Mix(hash, a.colour);
    }
    d.arrows = hash;
    return d;
}

void SharpSquares::Settle(const Board& board, const BoardLook& look,
                          const std::function<void(PixelSquareView&)>& changed) {
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
    const std::int16_t background = SquareColour(square.col, square.row);

    Fill(image, view.Background());
    DrawCovered(image, Art(background, w, h), 0, 0);
    if (d.mark) Tint(image, *d.mark, kMarkAlpha);
    if (d.selected != kFalse)
        DrawSelectedCovered(image, Art(d.code, w, h), 0, 0, host_.Images().Highlight());
    else if (d.code != None)
        DrawCovered(image, Art(d.code, w, h), 0, 0);

    const int labelHeight = std::max(5, h / 5), inset = std::max(1, h / 16);
    const Pixel ink = background == kLightSquare ? kLabelOnLight : kLabelOnDark;
    if (d.labels.rank != '\0') DrawLabel(image, d.labels.rank, inset, inset, labelHeight, ink);
    if (d.labels.file != '\0')
        DrawLabel(image, d.labels.file, w - inset - LabelWidth(labelHeight), h - inset - labelHeight, labelHeight,
                  ink);
    for (const BoardArrow& a : look.arrows) {
        const Arrow arrow = ArrowOf(host_, a);
        if (Overlaps(arrow, view)) DrawArrowPart(image, view.PixelLeft(), view.PixelTop(), arrow);
    }
    if (d.focused) DrawFrame(image, std::max(2, std::min(w, h) / 16), kFocusFrame);
}

const BoardPicture& SharpSquares::Art(std::int32_t number, int width, int height) {
    if (number < 1 || number > host_.Images().Count()) return none_;
    const PictureRef picture = host_.Images().Picture(number);
    const bool builtIn = static_cast<std::size_t>(number) <= builtIn_.size() &&
                         picture == builtIn_[static_cast<std::size_t>(number - 1)].lock();
    if (builtIn && width == height && width <= kMaxBoardArtSize && number <= kBoardPictureCount) {
        auto found = shapes_.find(width);
        if (found == shapes_.end()) {
            if (shapes_.size() >= kShapeSizes) shapes_.clear();
            found = shapes_.emplace(width, SharedShapes(width)).first;
        }
        return (*found->second)[static_cast<std::size_t>(number - 1)];
    }
    if (fittedSize_ != std::make_pair(width, height)) {
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

void SharpSquares::ForgetPicturesNotSet() {
    const PixelImageList& images = host_.Images();
    std::erase_if(fitted_, [&](const auto& entry) {
        for (int n = 1; n <= images.Count(); ++n)
            if (images.Picture(n) == entry.second.picture) return false;
        return true;
    });
}

}  // namespace quelder
