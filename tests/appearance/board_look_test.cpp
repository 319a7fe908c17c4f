// What the board class draws beyond the pieces, as the squares see it: the
// labels along the edges and the way the arrow keys move a focus square,
// each from both sides of the board; and the arrows and marks kept.
#include <gtest/gtest.h>

#include <string>

#include "appearance/board_look.hpp"

namespace quelder {
namespace {

std::string Text(Square s) { return "(" + std::to_string(s.col) + ", " + std::to_string(s.row) + ")"; }

TEST(BoardLook, LabelsAndFocusFollowTheSideTheBoardIsSeenFrom) {
    struct Case {
        bool flipped;
        Square square;
        SquareLabels labels;
        Square left, right, up, down, home, end;
    };
    const Case cases[] = {
        // Unflipped, row 8 is at the bottom and column 1 on the left.
        {false, {1, 8}, {'a', '1'}, {1, 8}, {2, 8}, {1, 7}, {1, 8}, {1, 8}, {8, 8}},
        {false, {5, 7}, {'\0', '\0'}, {4, 7}, {6, 7}, {5, 6}, {5, 8}, {1, 7}, {8, 7}},
        {false, {1, 1}, {'\0', '8'}, {1, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 1}, {8, 1}},
        // Flipped, (1, 1) is at the bottom right.
        {true, {1, 1}, {'a', '\0'}, {2, 1}, {1, 1}, {1, 2}, {1, 1}, {8, 1}, {1, 1}},
        {true, {8, 8}, {'\0', '1'}, {8, 8}, {7, 8}, {8, 8}, {8, 7}, {8, 8}, {1, 8}},
        {true, {8, 1}, {'h', '8'}, {8, 1}, {7, 1}, {8, 2}, {8, 1}, {8, 1}, {1, 1}},
    };
    for (const Case& c : cases) {
        BoardLook look;
        look.flipped = c.flipped;
        const std::string what = (c.flipped ? "flipped " : "") + Text(c.square);
        EXPECT_EQ(LabelsOf(look, c.square), SquareLabels{}) << what << ": labels without coordinates";
        look.coordinates = true;
        const SquareLabels labels = LabelsOf(look, c.square);
        EXPECT_EQ(labels, c.labels) << what << ": '" << labels.file << "' '" << labels.rank << "'";
        const struct {
            FocusKey key;
            Square to;
            const char* name;
        } moves[] = {{FocusKey::Left, c.left, "Left"},  {FocusKey::Right, c.right, "Right"},
                     {FocusKey::Up, c.up, "Up"},         {FocusKey::Down, c.down, "Down"},
                     {FocusKey::Home, c.home, "Home"},   {FocusKey::End, c.end, "End"}};
        for (const auto& m : moves) {
            const Square to = MoveFocus(look, c.square, m.key);
            EXPECT_EQ(to, m.to) << what << " " << m.name << " went to " << Text(to);
        }
    }
}

TEST(BoardLook, ArrowsBetweenTheSameSquaresAreReplacedAndBadSquaresChangeNothing) {
    BoardLook look;
    DrawArrow(look, {5, 7}, {5, 5}, 1);
    DrawArrow(look, {2, 8}, {3, 6}, 2);
    DrawArrow(look, {5, 7}, {5, 5}, 3);
    ASSERT_EQ(look.arrows.size(), 2u);
    EXPECT_EQ(look.arrows.back(), (BoardArrow{{5, 7}, {5, 5}, 3})) << "replaced and drawn last";
    EXPECT_THROW(DrawArrow(look, {5, 7}, {5, 9}, 4), ControlError);
    EXPECT_THROW(MarkSquare(look, 0, 1, 4), ControlError);
    EXPECT_EQ(look.arrows.size(), 2u);
    MarkSquare(look, 4, 4, 5);
    MarkSquare(look, 4, 4, 6);
    EXPECT_EQ(look.marks[SquareIndex(4, 4)], Pixel{6});
    UnMarkSquare(look, 4, 4);
    EXPECT_FALSE(look.marks[SquareIndex(4, 4)].has_value());
}

}  // namespace
}  // namespace quelder
