#include "position/move_text.hpp"

#include <string>

#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::ExpectError;

// Each list reads as the moves it names, formats back to its canonical text,
// or fails with 380 naming its first bad word.
TEST(MoveText, ListsReadAsEnginesWriteThemAndNameTheFirstBadWord) {
    struct Case {
        std::string text;
        std::string result;  // the canonical text when valid, else the description
        bool valid = true;
        CoordinateMove first{};
    };
    const Case cases[] = {
        {"", "", true},
        {"   ", "", true},
        // e2 is column 5, row 7; e4 column 5, row 5: ranks count up from row 8.
        {"e2e4", "e2e4", true, {{5, 7}, {5, 5}}},
        {" e2e4  g1f3 e7e8q ", "e2e4 g1f3 e7e8q", true, {{5, 7}, {5, 5}}},
        {"a8h1", "a8h1", true, {{1, 1}, {8, 8}}},
        {"h7h8n", "h7h8n", true, {{8, 2}, {8, 1}, 'n'}},
        {"e2e4 e9e4 zz", "'e9e4' is not a move", false},
        {"e2e2", "'e2e2' is not a move", false},
        {"E2E4", "'E2E4' is not a move", false},
        {"e7e8k", "'e7e8k' is not a move", false},
        {"e7e8qq", "'e7e8qq' is not a move", false},
        {"e2e4,g1f3", "'e2e4,g1f3' is not a move", false},
        {"e2\te4", "'e2\te4' is not a move", false},
        {std::string(kMaxMoveListText + 1, ' '), "The list of moves is too long", false},
    };
    for (const Case& c : cases) {
        if (!c.valid) {
            ExpectError([&] { ParseMoveList(c.text); }, error::kInvalidPropertyValue, c.result, "\"" + c.text + "\"");
            continue;
        }
        const auto moves = ParseMoveList(c.text);
        EXPECT_EQ(FormatMoveList(moves), c.result) << "\"" << c.text << "\"";
        if (!moves.empty()) {
            EXPECT_EQ(moves.front(), c.first) << "\"" << c.text << "\": " << MoveText(moves.front());
        }
    }
    EXPECT_EQ(SquareText({5, 8}), "e1");
    EXPECT_EQ(ParseSquareText("h8"), (Square{8, 1}));
    EXPECT_FALSE(ParseSquareText("i1").has_value());
}

}  // namespace
}  // namespace quelder
