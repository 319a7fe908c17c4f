#include "position/placement.hpp"

#include <algorithm>
#include <functional>
#include <limits>

#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position_checks.hpp"

namespace quelder {
namespace {

using testing::Control;
using testing::ExpectError;

constexpr std::string_view kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

SquareCodes CodesOf(const Board& board) {
    SquareCodes codes{};
    std::copy(board.m_Pieces.begin() + 1, board.m_Pieces.end(), codes.begin());
    return codes;
}

TEST(Placement, NewGamesBoardIsTheStartingPosition) {
    Control c;
    NewGame(c.board);
    const SquareCodes board = CodesOf(c.board);
    EXPECT_EQ(FormatPlacement(board), kStart);
    EXPECT_EQ(ParsePlacement(kStart), board);
    EXPECT_EQ(ParsePlacement(std::string(kStart) + " w KQkq - 0 1"), board) << "a whole FEN record";
}

// Each text either reads as the codes that format back to the canonical text,
// with one square checked, or fails with 380 and the description.
TEST(Placement, ParseReadsPlacementsAndNamesEachFault) {
    struct Case {
        std::string text;
        std::string expected;  // canonical text when valid, else the description
        bool valid = false;
        std::int16_t col = 0, row = 0;
        std::int32_t code = 0;
    };
    const std::string start(kStart);
    const std::string empty = "8/8/8/8/8/8/8/8";
    const Case cases[] = {
        {start, start, true, 5, 1, Bking},
        {start + " w KQkq - 0 1", start, true, 4, 8, WQueen},
        {"K7/8/8/8/8/8/8/7k", "K7/8/8/8/8/8/8/7k", true, 1, 1, Wking},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq -",
         "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", true, 2, 3, Bknight},
        {empty + " " + std::string(kMaxPlacementText - empty.size() - 1, 'z'), empty, true, 4, 4, None},
        {empty + " " + std::string(kMaxPlacementText - empty.size(), 'z'), "placement text longer than 128 characters"},
        {std::string(1'000'000, '8'), "placement text longer than 128 characters"},
        {"", "no placement before the first space"},
        {" " + start, "no placement before the first space"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP", "8 ranks expected, found 7"},
        {start + "/8", "8 ranks expected, found 9"},
        {"8/8/ppppppppp/8/8/8/8/8", "rank 3 has 9 squares"},
        {"8/8/8/7/8/8/8/8", "rank 4 has 7 squares"},
        {"8/8/8/8/8/8/8/p", "rank 8 has 1 square"},
        {"8/8/8/8/8/8/8/P8", "rank 8 has 9 squares"},
        {"8//8/8/8/8/8/8", "rank 2 is empty"},
        {"8/x7/8/8/8/8/8/8", "unknown piece letter 'x' in rank 2"},
        {"ppppppppx/8/8/8/8/8/8/8", "unknown piece letter 'x' in rank 1"},
        {"8/8/8/8/8/8/8/8/", "8 ranks expected, found 9"},
        {"8/8/8/8/44/8/8/8", "two digits in a row in rank 5"},
        {"8/p0ppppppp/8/8/8/8/8/8", "digit 0 in rank 2, empty squares count 1 to 8"},
        {"8/8/9/8/8/8/8/8", "digit 9 in rank 3, empty squares count 1 to 8"},
        {"8/8/8/8/8/8/8/-7", "unexpected character '-' in rank 8"},
        {"8/8/8/8/8/8/8/8\tw", "unexpected byte 0x09 in rank 8"},
        {"8/8/8/8/8/8/8/7\xC3", "unexpected byte 0xC3 in rank 8"},
        {std::string("8/8/8/8/8/8/8/7\0", 16), "unexpected byte 0x00 in rank 8"},
    };
    for (const Case& k : cases) {
        const std::string what = "\"" + k.text.substr(0, 80) + "\"";
        if (!k.valid) {
            ExpectError([&] { ParsePlacement(k.text); }, error::kInvalidPropertyValue, k.expected, what);
            continue;
        }
        try {
            const SquareCodes codes = ParsePlacement(k.text);
            EXPECT_EQ(FormatPlacement(codes), k.expected) << what;
            EXPECT_EQ(codes[static_cast<std::size_t>(SquareIndex(k.col, k.row) - 1)], k.code)
                << what << " at (" << k.col << ", " << k.row << ")";
        } catch (const ControlError& e) {
            ADD_FAILURE() << what << ": error " << e.Number() << " \"" << e.Description() << "\"";
        }
    }
}

// Boards after play read back as the same codes; a code without a letter on
// any square fails, naming the first such square.
TEST(Placement, FormattedBoardsReadBackAndUnwritableCodesFail) {
    struct Case {
        const char* name;
        std::function<void(Board&)> play;
        std::string expected;  // the text, or the description when formatting fails
    };
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    const Case cases[] = {
        {"empty board", [](Board&) {}, "8/8/8/8/8/8/8/8"},
        {"pawns moved and a capture",
         [](Board& b) {
             NewGame(b);
             MovePiece(b, 5, 2, 5, 4);
             MovePiece(b, 4, 7, 4, 5);
             MovePiece(b, 5, 4, 4, 5);
         },
         "rnbqkbnr/pppp1ppp/8/8/3p4/8/PPP1PPPP/RNBQKBNR"},
        {"every code in turn",
         [](Board& b) {
             for (std::int16_t k = 1; k <= 64; ++k) b.m_Pieces[static_cast<std::size_t>(k)] = 1 + (k * 5) % 13;
         },
         "qBrPKbNp/kQnR1qBr/PKbNpkQn/R1qBrPKb/NpkQnR1q/BrPKbNpk/QnR1qBrP/KbNpkQnR"},
        {"the dark square's image at (6, 5)", [](Board& b) {
             NewGame(b);
             LetPiece(b, 6, 5, kDarkSquare);
         },
         "column 6, row 5 holds code 14, which has no FEN letter"},
        {"code 0 and 15", [](Board& b) {
             b.m_Pieces[9] = 0;
             b.m_Pieces[64] = 15;
         },
         "column 1, row 2 holds code 0, which has no FEN letter"},
        {"a code far out", [](Board& b) { b.m_Pieces[64] = kMin; },
         "column 8, row 8 holds code -2147483648, which has no FEN letter"},
    };
    for (const Case& k : cases) {
        Control c;
        k.play(c.board);
        const SquareCodes codes = CodesOf(c.board);
        if (k.expected.find(' ') != std::string::npos) {
            ExpectError([&] { FormatPlacement(codes); }, error::kInvalidPropertyValue, k.expected, k.name);
            continue;
        }
        const std::string text = FormatPlacement(codes);
        EXPECT_EQ(text, k.expected) << k.name;
        EXPECT_EQ(ParsePlacement(text), codes) << k.name << ": read back";
    }
}

}  // namespace
}  // namespace quelder
