// The board's animation as tables: each case is a run of changes, put-backs
// and frames, a frame written as text ("N@e5*50 R@0,1.5 -a5 | running": the
// sprites at a square's name or at x,y between squares, with their opacity in
// percent when not whole; "-" and the squares hidden; whether the timer must
// run). Every case runs twice, once across the clock's wrap, and every
// step's repaint is checked against what the frames before and after draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_model.hpp"
#include "interaction/animation.hpp"

namespace quelder::interaction {
namespace {

constexpr char kLetters[] = "prnbqkPRNBQK";  // the codes from 2 on: black in lower case, white in upper

std::size_t At(const char* name) { return static_cast<std::size_t>(('8' - name[1]) * 8 + (name[0] - 'a') + 1); }
std::string NameOf(std::size_t k) { return {static_cast<char>('a' + (k - 1) % 8), static_cast<char>('8' - (k - 1) / 8)}; }

// "Ke1 Rh1 pd7", every other square empty; "*P": a pawn on every square.
Pieces Position(const std::string& text) {
    const auto code = [](char letter) { return static_cast<std::int32_t>(std::string(kLetters).find(letter)) + Bpawn; };
    Pieces pieces;
    pieces.fill(text[0] == '*' ? code(text[1]) : std::int32_t{None});
    for (std::size_t k = 0; text[0] != '*' && k + 3 <= text.size(); k += 4) pieces[At(&text[k + 1])] = code(text[k]);
    return pieces;
}

std::string Number(double value) { return (std::ostringstream() << value).str(); }

// What a frame draws moving: its sprites, and its hidden squares as sprites
// of code 0.
std::vector<Sprite> Frame(const Animation& animation, std::uint32_t now) {
    std::vector<Sprite> drawn = animation.Sprites(now);
    for (std::size_t k = 1; k <= 64; ++k)
        if (animation.Hidden(now) >> (k - 1) & 1) drawn.push_back({0, {double((k - 1) % 8), double((k - 1) / 8)}, 1});
    return drawn;
}

std::string Describe(const Animation& animation, std::uint32_t now) {
    std::string text;
    for (const Sprite& s : Frame(animation, now)) {
        text += text.empty() ? "" : " ";
        text += s.piece == 0 ? std::string("-") : std::string(1, kLetters[s.piece - Bpawn]) + "@";
        const bool onSquare = s.at.x == std::floor(s.at.x) && s.at.y == std::floor(s.at.y);
        text += onSquare ? NameOf(static_cast<std::size_t>(s.at.y * 8 + s.at.x + 1)) : Number(s.at.x) + "," + Number(s.at.y);
        if (s.opacity != 1) text += "*" + std::to_string(std::lround(s.opacity * 100));
    }
    return (text.empty() ? "-" : text) + (animation.Running(now) ? " | running" : "");
}

// A step's repaint covers all that its frame draws otherwise than the frame
// before, and is no larger than all that the two frames draw moving: nothing
// else is repainted. Gives what is wrong.
std::string CheckRepaint(const std::vector<Box>& repaint, const std::vector<Sprite>& was, const std::vector<Sprite>& is) {
    std::string got;
    double area = 0;
    for (const Box& r : repaint) {
        got += " " + Number(r.left) + "," + Number(r.top) + "-" + Number(r.right) + "," + Number(r.bottom);
        area += (r.right - r.left) * (r.bottom - r.top);
    }
    const auto same = [](const Sprite& a, const Sprite& b) { return a.piece == b.piece && a.at == b.at && a.opacity == b.opacity; };
    for (const auto& [frame, other] : {std::pair{&was, &is}, std::pair{&is, &was}}) {
        for (const Sprite& s : *frame) {
            const auto covers = [&s](const Box& r) {
                return r.left <= s.at.x && r.top <= s.at.y && r.right >= s.at.x + 1 && r.bottom >= s.at.y + 1;
            };
            if (std::none_of(other->begin(), other->end(), [&](const Sprite& o) { return same(s, o); }) &&
                std::none_of(repaint.begin(), repaint.end(), covers))
                return Number(s.at.x) + "," + Number(s.at.y) + " not repainted; repainted:" + got;
        }
    }
    if (area > double(was.size() + is.size()) + 1e-9) return "repainted too much:" + got;
    return {};
}

struct Step {
    std::uint32_t at;             // milliseconds after the case's start
    char op;                      // 'c' a change, 'h' a put-back, 'l' a frame
    std::string arg;              // the position after; the square put back; the frame drawn ("": any)
    std::uint32_t duration = 0;
    const char* drop = "";        // a change: the move dropped, "e1g1"
    Spot from{};                  // a put-back: where the drag left it
};

struct Case {
    const char* name;
    const char* start;
    std::vector<Step> steps;
};

const std::vector<Case> kCases = {
    {"pieces of a code pair nearest first, ties to the lower square; the rest fade in and out",
     "Na1 Nd1 Rc1 Rh1 Bd4 pe5 Kh8",
     {{0, 'c', "Ra1 Nc1 Rd1 Nh1 Bc4 Be4 Kh8", 200},
      {0, 'l', "p@e5 B@d4 B@e4*0 R@h1 N@d1 R@c1 N@a1 -c4 -e4 -a1 -c1 -d1 -h1 | running"},
      {100, 'l', "p@e5*50 B@2.5,4 B@e4*50 R@3.5,7 N@2.5,7 R@2.5,7 N@3.5,7 -c4 -e4 -a1 -c1 -d1 -h1 | running"},
      {150, 'l', "p@e5*6 B@2.0625,4 B@e4*94 R@0.4375,7 N@2.0625,7 R@2.9375,7 N@6.5625,7 -c4 -e4 -a1 -c1 -d1 -h1 | running"},
      {200, 'l', "-"}}},
    {"a change while pieces move starts from where they are drawn; pieces it leaves go on; 0 ends all",
     "Ra8 pd6 Ne5 Bc1 Kh1",
     {{0, 'c', "Ra5 pe5 Bf4 Kh1", 200},
      {100, 'l', "N@e5*50 R@0,1.5 p@3.5,2.5 B@3.5,5.5 -a5 -e5 -f4 | running"},
      // Taken back: the knight fading there comes back from its opacity.
      {100, 'c', "Rh5 pd6 Ne5 Bf4 Kh1", 200},
      {100, 'l', "p@3.5,2.5 N@e5*50 R@0,1.5 B@3.5,5.5 -d6 -e5 -h5 -f4 | running"},
      {200, 'l', "p@3.25,2.25 N@e5*75 R@3.5,2.25 -d6 -e5 -h5 | running"},
      {250, 'c', "Rh5 pd6 Ne5 Bf4 Kh2", 0},
      {250, 'l', "-"}}},
    {"a dropped piece does not slide, promoted or not, and what it took goes; a refused drop slides home",
     "Ke1 Rh1 Qd1 pd7 Pe7",
     {{0, 'c', "Kg1 Rf1 Qd1 pd7 Pe7", 200, "e1g1"},
      {100, 'l', "R@g1 -f1 | running"},
      {100, 'c', "Kg1 Rf1 Qd7 Pe7", 200, "d1d7"},
      {100, 'l', "R@g1 -f1 | running"},
      {150, 'h', "d7", 200, "", {4.4, 3.4}},
      {250, 'l', "Q@3.7,2.2 -d7 | running"},
      {350, 'l', "-"},
      // A drop that is none of the change's moves is no drop.
      {400, 'c', "Kg1 Rf1 Qd8 Pe7", 200, "d7d6"},
      {500, 'l', "Q@3,0.5 -d8 | running"},
      {500, 'h', "d8", 0, "", {3, 0}},
      {500, 'l', "-"},
      {600, 'c', "Kg1 Rf1 Qd8 Qe8", 200, "e7e8"},
      {600, 'l', "-"}}},
    {"whole boards going and coming: never more than 64 sprites",
     "*P",
     {{0, 'c', "", 200}, {50, 'c', "*n", 200}, {100, 'l', ""}, {150, 'c', "*P", 1000}, {1150, 'l', "-"}}},
};

TEST(Animation, Cases) {
    // From a clock far from its wrap, and from one that wraps 100 ms in.
    for (const std::uint32_t origin : {1000u, 0xFFFFFF9Cu}) {
        for (const Case& c : kCases) {
            Animation animation(Position(c.start));
            std::uint32_t last = origin;
            for (std::size_t k = 0; k < c.steps.size(); ++k) {
                const Step& step = c.steps[k];
                const std::uint32_t now = origin + step.at;
                const std::string what = std::string(c.name) + ", step " + std::to_string(k) + " at " + std::to_string(now);
                const std::vector<Sprite> was = Frame(animation, last);
                std::vector<Box> repaint;
                if (step.op == 'c') {
                    const bool dropped = step.drop[0] != '\0';
                    const Drop drop{SquareId(dropped ? At(step.drop) : 0), SquareId(dropped ? At(step.drop + 2) : 0)};
                    repaint = animation.Change(Position(step.arg), now, step.duration, drop);
                } else if (step.op == 'h') {
                    repaint = animation.SlideHome(SquareId(At(step.arg.c_str())), step.from, now, step.duration);
                } else {
                    repaint = animation.Advance(now);
                    if (!step.arg.empty()) {
                        EXPECT_EQ(Describe(animation, now), step.arg) << what;
                    }
                }
                const std::vector<Sprite> is = Frame(animation, now);
                ASSERT_LE(animation.Sprites(now).size(), Animation::kMaxSprites) << what;
                EXPECT_EQ(CheckRepaint(repaint, was, is), "") << what;
                last = now;
            }
        }
    }
}

}  // namespace
}  // namespace quelder::interaction
