#include <array>
#include <functional>

#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::Changes;
using testing::Control;
using testing::ExpectError;

using Args = std::array<std::int16_t, 4>;

// Every member addressed by squares refuses a coordinate outside 1..8 in any
// position, before it changes anything.
TEST(BadSquare, EveryMemberRefusesEveryCoordinateAndChangesNothing) {
    struct Member {
        const char* name;
        int coordinates;
        std::int32_t number;
        std::function<void(Board&, const Args&)> call;
    };
    const Member members[] = {
        {"Piece", 2, -2147220454, [](Board& b, const Args& a) { Piece(b, a[0], a[1]); }},
        {"Piece =", 2, -2147221503, [](Board& b, const Args& a) { LetPiece(b, a[0], a[1], Wking); }},
        {"IsSelected", 2, -2147221503, [](Board& b, const Args& a) { IsSelected(b, a[0], a[1]); }},
        {"SelectSquare", 2, -2147221503, [](Board& b, const Args& a) { SelectSquare(b, a[0], a[1]); }},
        {"UnSelectSquare", 2, -2147221503, [](Board& b, const Args& a) { UnSelectSquare(b, a[0], a[1]); }},
        {"MovePiece", 4, -2147221503, [](Board& b, const Args& a) { MovePiece(b, a[0], a[1], a[2], a[3]); }},
    };
    Control c;
    NewGame(c.board);
    SelectSquare(c.board, 2, 7);
    SelectSquare(c.board, 4, 4);
    const Control::Snapshot before = c.Take();
    const Args good{2, 7, 4, 4};

    for (const Member& m : members) {
        for (std::int16_t bad : {0, 9, -1, -32768, 32767}) {
            std::vector<Args> calls;
            for (int p = 0; p < m.coordinates; ++p) {
                Args a = good;
                a[static_cast<std::size_t>(p)] = bad;
                calls.push_back(a);
            }
            calls.push_back({bad, bad, bad, bad});
            for (const Args& a : calls) {
                std::string what = std::string(m.name) + "(" + std::to_string(a[0]);
                for (int p = 1; p < m.coordinates; ++p) what += ", " + std::to_string(a[static_cast<std::size_t>(p)]);
                what += ")";
                ExpectError([&] { m.call(c.board, a); }, m.number, "Invalid column or row", what);
                EXPECT_EQ(Changes(before, c.Take()), "") << what;
            }
        }
    }
}

}  // namespace
}  // namespace quelder
