#include "interaction/animation.hpp"

#include <algorithm>
#include <tuple>

#include "board/board_model.hpp"

namespace quelder::interaction {

namespace {

// Codes that show no piece count as one, so that a square going from one to
// the other is no change.
std::int32_t Shown(std::int32_t code) { return ShowsNoPiece(code) ? std::int32_t{None} : code; }
bool Empty(std::int32_t code) { return ShowsNoPiece(code); }

Spot SpotOf(SquareId square) { return {static_cast<double>((square - 1) % 8), static_cast<double>((square - 1) / 8)}; }

Box BoxAt(Spot at) { return {at.x, at.y, at.x + 1, at.y + 1}; }
double Area(const Box& b) { return (b.right - b.left) * (b.bottom - b.top); }
Box Bound(const Box& a, const Box& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Cubic ease-in-out: slow off the mark, fastest halfway, slow into place.
double Ease(double p) {
    if (p < 0.5) return 4 * p * p * p;
    const double q = 2 - 2 * p;
    return 1 - q * q * q / 2;
}

// Two boxes become their bounding box when it is no larger than both
// together: near places of one piece, and pieces side by side, repaint as
// one rectangle; pieces far apart stay apart.
void Merge(std::vector<Box>& boxes) {
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size();) {
                const Box both = Bound(boxes[i], boxes[j]);
                if (Area(both) <= Area(boxes[i]) + Area(boxes[j]) + 1e-9) {
                    boxes[i] = both;
                    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                } else {
                    ++j;
                }
            }
        }
    }
}

}  // namespace

Animation::Animation(const Pieces& shown) : shown_(shown) { tracks_.reserve(kMaxSprites); }

double Animation::Progress(const Track& track, std::uint32_t now) {
    // The clock wraps: the time since the start is the signed difference,
    // and a time before the start (a frame before the change) is no way yet.
    const auto elapsed = static_cast<std::int32_t>(now - track.start);
    if (elapsed <= 0) return 0;
    if (elapsed >= static_cast<std::int32_t>(track.duration)) return 1;
    return Ease(static_cast<double>(elapsed) / track.duration);
}

bool Animation::Over(const Track& track, std::uint32_t now) {
    return static_cast<std::int32_t>(now - track.start) >= static_cast<std::int32_t>(track.duration);
}

Sprite Animation::Drawn(const Track& track, std::uint32_t now) {
    const double p = Progress(track, now);
    return {track.piece,
            {track.from.x + (track.to.x - track.from.x) * p, track.from.y + (track.to.y - track.from.y) * p},
            track.fromOpacity + (track.toOpacity - track.fromOpacity) * p};
}

void Animation::EndOver(std::uint32_t now) {
    std::erase_if(tracks_, [now](const Track& t) { return Over(t, now); });
}

std::vector<Box> Animation::Change(const Pieces& next, std::uint32_t now, std::uint32_t duration, Drop drop) {
    const std::vector<Track> before = tracks_;
    EndOver(now);
    duration = std::min(duration, kLongest);
    if (duration == 0) {
        tracks_.clear();
        shown_ = next;
        return Repaint(before, now);
    }
    const auto changed = [&](int k) { return Shown(shown_[k]) != Shown(next[k]); };
    // The drop counts only as one of the change's moves: a piece left its
    // square, and a piece stands on the other now (the one dropped there, or
    // what it was promoted to).
    const auto onBoard = [](SquareId s) { return s >= 1 && s <= 64; };
    const bool dropped = onBoard(drop.from) && onBoard(drop.to) && drop.from != drop.to && !Empty(shown_[drop.from]) &&
                         changed(drop.from) && changed(drop.to) && !Empty(next[drop.to]);

    // What leaves, where and how it is drawn now, and what arrives.
    struct Leaver {
        std::int32_t piece;
        Spot at;
        double opacity;
        const Track* fading;  // a piece fading out already, which goes on if nothing takes it
    };
    std::vector<Leaver> leavers;
    std::vector<SquareId> arrivals;
    std::vector<Track> after;
    for (const Track& t : tracks_) {
        const Sprite drawn = Drawn(t, now);
        if (t.square == 0) leavers.push_back({t.piece, drawn.at, drawn.opacity, &t});
        else if (!changed(t.square)) after.push_back(t);  // its piece stays: it goes on
    }
    for (SquareId k = 1; k <= 64; ++k) {
        if (!changed(k)) continue;
        if (!Empty(next[k]) && !(dropped && k == drop.to)) arrivals.push_back(k);
        if (Empty(shown_[k]) || (dropped && (k == drop.from || k == drop.to))) continue;
        const auto moving = std::find_if(tracks_.begin(), tracks_.end(), [k](const Track& t) { return t.square == k; });
        if (moving != tracks_.end()) {
            const Sprite drawn = Drawn(*moving, now);
            leavers.push_back({shown_[k], drawn.at, drawn.opacity, nullptr});
        } else {
            leavers.push_back({shown_[k], SpotOf(k), 1, nullptr});
        }
    }

    // Pieces of one code pair nearest first. Ties go to the lower square
    // arrived on, then to the piece drawn first in reading order.
    struct Pair {
        double distance;
        SquareId to;
        double y, x;
        std::size_t leaver;
        std::size_t arrival;
    };
    std::vector<Pair> pairs;
    for (std::size_t i = 0; i < leavers.size(); ++i) {
        for (std::size_t j = 0; j < arrivals.size(); ++j) {
            if (leavers[i].piece != next[arrivals[j]]) continue;
            const Spot a = leavers[i].at, b = SpotOf(arrivals[j]);
            pairs.push_back({(a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y), arrivals[j], a.y, a.x, i, j});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return std::tie(a.distance, a.to, a.y, a.x, a.leaver) < std::tie(b.distance, b.to, b.y, b.x, b.leaver);
    });
    std::vector<bool> paired(leavers.size()), arrived(arrivals.size());
    for (const Pair& pair : pairs) {
        if (paired[pair.leaver] || arrived[pair.arrival]) continue;
        paired[pair.leaver] = arrived[pair.arrival] = true;
        const Leaver& l = leavers[pair.leaver];
        const Spot home = SpotOf(pair.to);
        // A piece drawn whole on its square already needs no animation.
        if (l.at == home && l.opacity >= 1) continue;
        after.push_back({l.piece, pair.to, l.at, home, l.opacity, 1, now, duration});
    }
    for (std::size_t j = 0; j < arrivals.size(); ++j) {
        if (arrived[j]) continue;
        const Spot home = SpotOf(arrivals[j]);
        after.push_back({next[arrivals[j]], arrivals[j], home, home, 0, 1, now, duration});
    }
    for (std::size_t i = 0; i < leavers.size(); ++i) {
        const Leaver& l = leavers[i];
        if (paired[i]) continue;
        if (l.fading != nullptr) after.push_back(*l.fading);
        else if (l.opacity > 0) after.push_back({l.piece, 0, l.at, l.at, l.opacity, 0, now, duration});
    }
    tracks_ = std::move(after);
    shown_ = next;
    Settle(now);
    return Repaint(before, now);
}

std::vector<Box> Animation::SlideHome(SquareId square, Spot from, std::uint32_t now, std::uint32_t duration) {
    const std::vector<Track> before = tracks_;
    EndOver(now);
    if (square < 1 || square > 64) return Repaint(before, now);
    std::erase_if(tracks_, [square](const Track& t) { return t.square == square; });
    duration = std::min(duration, kLongest);
    const Spot home = SpotOf(square);
    if (duration > 0 && !Empty(shown_[square]) && from != home) {
        tracks_.push_back({shown_[square], square, from, home, 1, 1, now, duration});
        Settle(now);
    }
    return Repaint(before, now);
}

void Animation::Settle(std::uint32_t now) {
    // Pieces arriving have a square each, 64 at most; fading pieces have the
    // room they leave, the faintest going first.
    auto arriving = std::stable_partition(tracks_.begin(), tracks_.end(), [](const Track& t) { return t.square == 0; });
    if (tracks_.size() > kMaxSprites) {
        std::stable_sort(tracks_.begin(), arriving, [now](const Track& a, const Track& b) {
            return Drawn(a, now).opacity > Drawn(b, now).opacity;
        });
        arriving = tracks_.erase(arriving - static_cast<std::ptrdiff_t>(tracks_.size() - kMaxSprites), arriving);
    }
    std::stable_sort(arriving, tracks_.end(), [](const Track& a, const Track& b) { return a.square < b.square; });
}

std::vector<Box> Animation::Repaint(const std::vector<Track>& before, std::uint32_t now) {
    const auto hides = [](const std::vector<Track>& tracks, SquareId square, std::uint32_t at) {
        return std::any_of(tracks.begin(), tracks.end(), [&](const Track& t) { return t.square == square && !Over(t, at); });
    };
    std::vector<Box> boxes;
    // Where the pieces were drawn at the last frame, and the squares whose
    // still pieces show again; where they are drawn now, and the squares
    // whose still pieces they hide.
    for (const Track& t : before) {
        if (Over(t, frame_)) continue;
        boxes.push_back(BoxAt(Drawn(t, frame_).at));
        if (t.square != 0 && !hides(tracks_, t.square, now)) boxes.push_back(BoxAt(SpotOf(t.square)));
    }
    for (const Track& t : tracks_) {
        boxes.push_back(BoxAt(Drawn(t, now).at));
        if (t.square != 0 && !hides(before, t.square, frame_)) boxes.push_back(BoxAt(SpotOf(t.square)));
    }
    Merge(boxes);
    frame_ = now;
    return boxes;
}

std::vector<Box> Animation::Advance(std::uint32_t now) {
    std::vector<Box> boxes;
    for (const Track& t : tracks_) {
        const Sprite was = Drawn(t, frame_), is = Drawn(t, now);
        // A piece drawn the same at both frames needs nothing.
        if (was.at == is.at && was.opacity == is.opacity && Over(t, frame_) == Over(t, now)) continue;
        boxes.push_back(BoxAt(was.at));
        boxes.push_back(BoxAt(is.at));
    }
    Merge(boxes);
    EndOver(now);
    frame_ = now;
    return boxes;
}

bool Animation::Running(std::uint32_t now) const {
    return std::any_of(tracks_.begin(), tracks_.end(), [now](const Track& t) { return !Over(t, now); });
}

std::vector<Sprite> Animation::Sprites(std::uint32_t now) const {
    std::vector<Sprite> sprites;
    for (const Track& t : tracks_)
        if (!Over(t, now)) sprites.push_back(Drawn(t, now));
    return sprites;
}

std::uint64_t Animation::Hidden(std::uint32_t now) const {
    std::uint64_t hidden = 0;
    for (const Track& t : tracks_)
        if (t.square != 0 && !Over(t, now)) hidden |= std::uint64_t{1} << (t.square - 1);
    return hidden;
}

}  // namespace quelder::interaction
