// The demo's mouse road against a board that records the calls it gets.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "board_road.hpp"

namespace quelder::demo {
namespace {

class RecordingBoard final : public BoardCalls {
public:
    std::map<std::pair<short, short>, long> pieces;  // absent: None
    std::vector<std::wstring> calls;
    HRESULT failMove = S_OK;

    HRESULT Piece(Square s, long& piece) override {
        auto it = pieces.find({s.col, s.row});
        piece = it == pieces.end() ? 1 : it->second;
        return S_OK;
    }
    HRESULT SelectSquare(Square s) override { return Record(L"SelectSquare " + Name(s)); }
    HRESULT UnSelectSquare(Square s) override { return Record(L"UnSelectSquare " + Name(s)); }
    HRESULT MovePiece(Square from, Square to) override {
        if (FAILED(failMove)) return failMove;
        pieces[{to.col, to.row}] = Piece(from);
        pieces.erase({from.col, from.row});
        return Record(L"MovePiece " + Name(from) + L" to " + Name(to));
    }
    HRESULT ShowMove(Square from, Square to) override { return Record(L"ShowMove " + Name(from) + L" to " + Name(to)); }
    std::wstring ErrorText(HRESULT) override { return L"Invalid column or row"; }

private:
    long Piece(Square s) {
        long p = 1;
        Piece(s, p);
        return p;
    }
    HRESULT Record(std::wstring call) {
        calls.push_back(std::move(call));
        return S_OK;
    }
};

struct Case {
    const char* name;
    std::vector<Square> clicks;
    std::vector<std::wstring> calls;
    std::wstring lastMessage;
    bool selectedAtEnd;
};

TEST(MoveRoad, ClicksBecomeTheHostsCalls) {
    const std::vector<Case> cases{
        {"empty square with nothing selected", {{3, 4}}, {}, L"Nothing to pick up at col 3 row 4", false},
        {"a piece is picked up", {{5, 7}}, {L"SelectSquare col 5 row 7"}, L"Wpawn at col 5 row 7 selected", true},
        {"the selected square again drops it",
         {{5, 7}, {5, 7}},
         {L"SelectSquare col 5 row 7", L"UnSelectSquare col 5 row 7"},
         L"Selection dropped at col 5 row 7",
         false},
        {"a move to an empty square",
         {{5, 7}, {5, 5}},
         {L"SelectSquare col 5 row 7", L"MovePiece col 5 row 7 to col 5 row 5", L"UnSelectSquare col 5 row 7",
          L"ShowMove col 5 row 7 to col 5 row 5"},
         L"Wpawn moved from col 5 row 7 to col 5 row 5",
         false},
        {"a capture",
         {{5, 7}, {4, 2}},
         {L"SelectSquare col 5 row 7", L"MovePiece col 5 row 7 to col 4 row 2", L"UnSelectSquare col 5 row 7",
          L"ShowMove col 5 row 7 to col 4 row 2"},
         L"Wpawn from col 5 row 7 takes Bpawn at col 4 row 2",
         false},
        {"the moved piece can be picked up again",
         {{5, 7}, {5, 5}, {5, 5}},
         {L"SelectSquare col 5 row 7", L"MovePiece col 5 row 7 to col 5 row 5", L"UnSelectSquare col 5 row 7",
          L"ShowMove col 5 row 7 to col 5 row 5", L"SelectSquare col 5 row 5"},
         L"Wpawn at col 5 row 5 selected",
         true},
    };
    for (const auto& c : cases) {
        RecordingBoard board;
        board.pieces = {{{5, 7}, 8}, {{4, 2}, 2}};
        MoveRoad road;
        std::wstring message;
        for (const auto& square : c.clicks) message = road.Click(board, square);
        EXPECT_EQ(board.calls, c.calls) << c.name;
        EXPECT_EQ(message, c.lastMessage) << c.name;
        EXPECT_EQ(road.Selected().has_value(), c.selectedAtEnd) << c.name;
    }
}

// A dropped piece is the control's to move: the road only shows the move and
// lets go of the selection, wherever it was.
TEST(MoveRoad, DropsAreShownAndEndTheSelection) {
    struct DropCase {
        const char* name;
        std::vector<Square> clicks;
        Square from, to;
        std::vector<std::wstring> calls;
        std::wstring message;
    };
    const std::vector<DropCase> cases{
        {"nothing selected", {}, {5, 7}, {5, 5}, {L"ShowMove col 5 row 7 to col 5 row 5"},
         L"Wpawn moved from col 5 row 7 to col 5 row 5"},
        {"another piece selected, a capture",
         {{4, 2}},
         {5, 7},
         {4, 2},
         {L"SelectSquare col 4 row 2", L"UnSelectSquare col 4 row 2", L"ShowMove col 5 row 7 to col 4 row 2"},
         L"Wpawn from col 5 row 7 takes Bpawn at col 4 row 2"},
        {"the selected piece dragged",
         {{5, 7}},
         {5, 7},
         {5, 6},
         {L"SelectSquare col 5 row 7", L"UnSelectSquare col 5 row 7", L"ShowMove col 5 row 7 to col 5 row 6"},
         L"Wpawn moved from col 5 row 7 to col 5 row 6"},
    };
    for (const auto& c : cases) {
        RecordingBoard board;
        board.pieces = {{{5, 7}, 8}, {{4, 2}, 2}};
        MoveRoad road;
        for (const auto& square : c.clicks) road.Click(board, square);
        const std::wstring message = road.Dropped(board, c.from, c.to);
        EXPECT_EQ(board.calls, c.calls) << c.name;
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_FALSE(road.Selected().has_value()) << c.name << ": " << Name(road.Selected().value_or(Square{}));
    }
}

TEST(MoveRoad, AFailedMoveKeepsTheSelection) {
    RecordingBoard board;
    board.pieces = {{{5, 7}, 8}};
    board.failMove = static_cast<HRESULT>(0x80040001);
    MoveRoad road;
    road.Click(board, {5, 7});
    const std::wstring message = road.Click(board, {5, 9});
    EXPECT_EQ(message, L"MovePiece failed: Invalid column or row");
    EXPECT_EQ(board.calls.back(), L"SelectSquare col 5 row 7") << "a failed move is not shown";
    ASSERT_TRUE(road.Selected().has_value());
    EXPECT_EQ(*road.Selected(), (Square{5, 7}));
}

TEST(MoveRoad, DropUnselectsBeforeTheBoardIsSetUpAgain) {
    RecordingBoard board;
    board.pieces = {{{5, 7}, 8}};
    MoveRoad road;
    road.Drop(board);
    EXPECT_TRUE(board.calls.empty()) << "Drop without a selection made " << board.calls.size() << " calls";
    road.Click(board, {5, 7});
    road.Drop(board);
    EXPECT_EQ(board.calls.back(), L"UnSelectSquare col 5 row 7");
    EXPECT_FALSE(road.Selected().has_value());
}

TEST(PieceName, NamesEveryCodeAndShowsOthersAsNumbers) {
    EXPECT_EQ(PieceName(1), L"None");
    EXPECT_EQ(PieceName(7), L"Bking");
    EXPECT_EQ(PieceName(12), L"WQueen");
    EXPECT_EQ(PieceName(14), L"piece 14");
}

}  // namespace
}  // namespace quelder::demo
