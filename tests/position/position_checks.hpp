// Checks shared by the position tests: what a call changed, a square cut out
// of the composed surface, and the look of a selection highlight.
#pragma once

#include <algorithm>
#include <string>

#include "support/board_fixture.hpp"

namespace quelder::testing {

// What differs between two snapshots, in words; empty when nothing does.
inline std::string Changes(const Control::Snapshot& before, const Control::Snapshot& after) {
    std::string out;
    auto note = [&out](const std::string& s) { out += (out.empty() ? "" : "; ") + s; };
    for (std::size_t k = 1; k <= 64; ++k) {
        const std::string sq = "square " + std::to_string(k);
        if (before.pieces[k] != after.pieces[k])
            note(sq + " code " + std::to_string(before.pieces[k]) + " -> " + std::to_string(after.pieces[k]));
        if (before.selected[k] != after.selected[k])
            note(sq + " flag " + std::to_string(before.selected[k]) + " -> " + std::to_string(after.selected[k]));
        if (before.kept[k - 1] != after.kept[k - 1]) note(sq + " repainted");
        if (before.refreshes[k - 1] != after.refreshes[k - 1])
            note(sq + " refreshes " + std::to_string(before.refreshes[k - 1]) + " -> " +
                 std::to_string(after.refreshes[k - 1]));
    }
    if (before.piece != after.piece)
        note("m_Piece " + std::to_string(before.piece) + " -> " + std::to_string(after.piece));
    if (before.changes != after.changes)
        note("notifications " + std::to_string(before.changes) + " -> " + std::to_string(after.changes));
    return out;
}

// The 37 x 37 pixels that the composed surface shows for a square.
inline Image SquareOnSurface(const Image& surface, std::int16_t col, std::int16_t row) {
    Image square(kSquareSize, kSquareSize);
    square.Copy(surface, -(col - 1) * kSquareSize, -(row - 1) * kSquareSize);
    return square;
}

// The kept image and the composed surface both show exactly the square
// painted plainly with code.
inline void ExpectShows(Control& c, const Image& surface, std::int16_t col, std::int16_t row, std::int32_t code,
                        const std::string& what) {
    const Image expected = ExpectedSquare(col, row, code);
    const std::string where = what + " (" + std::to_string(col) + ", " + std::to_string(row) + ") code " +
                              std::to_string(code);
    EXPECT_EQ(c.Kept(col, row), expected) << where << ": kept image";
    Image onScreen(kSquareSize, kSquareSize, c.View(col, row).Background());
    onScreen.Copy(expected, 0, 0);
    EXPECT_EQ(SquareOnSurface(surface, col, row), onScreen)
        << where << ": composed surface";
}

// kept is plain with image drawn over it in the selected style: where image
// is black, kept equals plain; elsewhere every channel has moved from the
// image's pixel toward the highlight colour.
inline void ExpectHighlighted(const Image& kept, const Image& plain, const Image& image, const std::string& what) {
    ASSERT_EQ(kept.Width(), plain.Width()) << what;
    ASSERT_EQ(kept.Height(), plain.Height()) << what;
    auto between = [](std::uint8_t v, std::uint8_t a, std::uint8_t b) { return v >= std::min(a, b) && v <= std::max(a, b); };
    int tinted = 0;
    for (int y = 0; y < kept.Height(); ++y)
        for (int x = 0; x < kept.Width(); ++x) {
            const Pixel k = kept.At(x, y);
            const Pixel p = image.Contains(x, y) ? image.At(x, y) : kMaskColour;
            if (p == kMaskColour) {
                ASSERT_EQ(k, plain.At(x, y)) << what << ": pixel (" << x << ", " << y << ") outside the image changed";
                continue;
            }
            ASSERT_TRUE(between(RedOf(k), RedOf(p), RedOf(kHighlight)) &&
                        between(GreenOf(k), GreenOf(p), GreenOf(kHighlight)) &&
                        between(BlueOf(k), BlueOf(p), BlueOf(kHighlight)) && k != p)
                << what << ": pixel (" << x << ", " << y << ") is " << std::hex << k << ", image " << p
                << ", not tinted toward " << kHighlight;
            ++tinted;
        }
    EXPECT_GT(tinted, 100) << what << ": tinted pixels";
}

}  // namespace quelder::testing
