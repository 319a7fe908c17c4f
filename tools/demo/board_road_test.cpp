// The demo's road against a board that records the calls it gets, and the
// moves of its game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board_road.hpp"
#include "demo_moves.hpp"

namespace quelder::demo {
namespace {

class RecordingBoard final : public BoardCalls {
public:
    std::map<std::pair<short, short>, long> pieces;  // absent: None
    std::vector<std::wstring> calls;
    // The last text each property was given (the moves' not in calls).
    std::map<BoardText, std::wstring> texts;
    long promotion = 1;
    HRESULT failMove = S_OK;

    HRESULT Piece(Square s, long& piece) override {
        auto it = pieces.find({s.col, s.row});
        piece = it == pieces.end() ? 1 : it->second;
        return S_OK;
    }
    HRESULT PutPiece(Square s, long piece) override {
        if (piece == 1) {
            pieces.erase({s.col, s.row});
        } else {
            pieces[{s.col, s.row}] = piece;
        }
        return Record(L"PutPiece " + Name(s) + L" " + PieceName(piece));
    }
    HRESULT SelectSquare(Square s) override { return Record(L"SelectSquare " + Name(s)); }
    HRESULT UnSelectSquare(Square s) override { return Record(L"UnSelectSquare " + Name(s)); }
    HRESULT MovePiece(Square from, Square to) override {
        if (FAILED(failMove)) return failMove;
        pieces[{to.col, to.row}] = Piece(from);
        pieces.erase({from.col, from.row});
        return Record(L"MovePiece " + Name(from) + L" to " + Name(to));
    }
    HRESULT PutText(BoardText which, const std::wstring& text) override {
        texts[which] = text;
        if (which == BoardText::LegalMoves) return Record(L"LegalMoves");
        return Record((which == BoardText::LastMove ? L"LastMove " : L"CheckSquare ") + text);
    }
    HRESULT PromotionPiece(long& piece) override {
        piece = promotion;
        return S_OK;
    }
    std::wstring ErrorText(HRESULT) override { return L"Invalid column or row"; }

    // The board holding game's position.
    void Hold(const Game& game) {
        pieces.clear();
        for (int k = 0; k < 64; ++k)
            if (game.squares[static_cast<std::size_t>(k)] != 1)
                pieces[{static_cast<short>(k % 8 + 1), static_cast<short>(k / 8 + 1)}] =
                    game.squares[static_cast<std::size_t>(k)];
    }

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

// A position from the first four fields of FEN: placement, side to move,
// castling and the en passant square.
Game FromFen(const std::string& fen) {
    Game game;
    game.squares.fill(1);
    std::istringstream fields(fen);
    std::string placement, side, castling, passant;
    fields >> placement >> side >> castling >> passant;
    std::size_t square = 0;
    for (const char c : placement) {
        if (c == '/') continue;
        if (c >= '1' && c <= '8') {
            square += static_cast<std::size_t>(c - '0');
            continue;
        }
        const auto kind = static_cast<long>(std::string("prnbqk").find(static_cast<char>(std::tolower(c))));
        game.squares[square++] = kind + (std::isupper(static_cast<unsigned char>(c)) ? 8 : 2);
    }
    game.whiteToMove = side == "w";
    for (std::size_t k = 0; k < 4; ++k) game.castling[k] = castling.find("KQkq"[k]) != std::string::npos;
    if (passant != "-") game.enPassant = ('8' - passant[1]) * 8 + (passant[0] - 'a');
    return game;
}

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

bool Has(const std::vector<std::string>& moves, const std::string& move) {
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

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
          L"LastMove e2e4"},
         L"Wpawn moved from col 5 row 7 to col 5 row 5",
         false},
        {"a capture",
         {{5, 7}, {4, 2}},
         {L"SelectSquare col 5 row 7", L"MovePiece col 5 row 7 to col 4 row 2", L"UnSelectSquare col 5 row 7",
          L"LastMove e2d7"},
         L"Wpawn from col 5 row 7 takes Bpawn at col 4 row 2",
         false},
        {"the moved piece can be picked up again",
         {{5, 7}, {5, 5}, {5, 5}},
         {L"SelectSquare col 5 row 7", L"MovePiece col 5 row 7 to col 5 row 5", L"UnSelectSquare col 5 row 7",
          L"LastMove e2e4", L"SelectSquare col 5 row 5"},
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

// Without rules a dropped piece is the control's to move: the road only shows
// the move and lets go of the selection, wherever it was.
TEST(MoveRoad, DropsAreShownAndEndTheSelection) {
    struct DropCase {
        const char* name;
        std::vector<Square> clicks;
        Square from, to;
        std::vector<std::wstring> calls;
        std::wstring message;
    };
    const std::vector<DropCase> cases{
        {"nothing selected", {}, {5, 7}, {5, 5}, {L"LastMove e2e4"},
         L"Wpawn moved from col 5 row 7 to col 5 row 5"},
        {"another piece selected, a capture",
         {{4, 2}},
         {5, 7},
         {4, 2},
         {L"SelectSquare col 4 row 2", L"UnSelectSquare col 4 row 2", L"LastMove e2d7"},
         L"Wpawn from col 5 row 7 takes Bpawn at col 4 row 2"},
        {"the selected piece dragged",
         {{5, 7}},
         {5, 7},
         {5, 6},
         {L"SelectSquare col 5 row 7", L"UnSelectSquare col 5 row 7", L"LastMove e2e3"},
         L"Wpawn moved from col 5 row 7 to col 5 row 6"},
    };
    for (const auto& c : cases) {
        RecordingBoard board;
        board.pieces = {{{5, 7}, 8}, {{4, 2}, 2}};
        MoveRoad road;
        for (const auto& square : c.clicks) road.Click(board, square);
        bool cancel = false;
        const std::wstring message = road.Dropped(board, c.from, c.to, cancel);
        EXPECT_EQ(board.calls, c.calls) << c.name;
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_FALSE(cancel) << c.name << ": a drop without rules is cancelled";
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

// A game: the board gets the moves, the last move and the check; each drop is
// played in the demo's game, with what the board does not do itself.
TEST(MoveRoad, AGameFollowsTheDropsAndGivesTheBoardTheNextMoves) {
    struct GameCase {
        const char* name;
        const char* fen;
        Square from, to;
        long promotion;  // what PromotionPiece says
        std::vector<std::wstring> calls;
        std::wstring message;
        bool cancel;
        std::wstring check;
        const char* nextMoves;  // some of the moves the board is given next
        std::size_t moveCount;
    };
    const std::vector<GameCase> cases{
        {"a move", kStart, {5, 7}, {5, 5}, 1, {L"LastMove e2e4", L"LegalMoves", L"CheckSquare "},
         L"e2e4: Wpawn moved from col 5 row 7 to col 5 row 5", false, L"", "e7e5 g8f6", 20},
        {"a drop that is no move", kStart, {5, 7}, {5, 4}, 1, {}, L"e2e5 is not a move White can make here", true, L"",
         "e2e4", 20},
        {"castling moves the rook too", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {5, 8}, {7, 8}, 1,
         {L"MovePiece col 8 row 8 to col 6 row 8", L"LastMove e1g1", L"LegalMoves", L"CheckSquare "},
         L"e1g1: Wking moved from col 5 row 8 to col 7 row 8, castling", false, L"", "e8c8 e8d7", 23},
        {"en passant takes the pawn beside", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", {5, 4}, {4, 3}, 1,
         {L"PutPiece col 4 row 4 None", L"LastMove e5d6", L"LegalMoves", L"CheckSquare "},
         L"e5d6: Wpawn moved from col 5 row 4 to col 4 row 3, taking the pawn on col 4 row 4 en passant", false, L"",
         "e8d7 e8f8", 4},
        {"a promotion to the queen chosen, with check", "4k3/P7/8/8/8/8/8/4K3 w - -", {1, 2}, {1, 1}, 12,
         {L"LastMove a7a8", L"LegalMoves", L"CheckSquare e8"},
         L"a7a8q: Wpawn moved from col 1 row 2 to col 1 row 1, becoming WQueen; check", false, L"e8",
         "e8d7 e8e7 e8f7", 3},
        {"a promotion to a knight", "4k3/P7/8/8/8/8/8/4K3 w - -", {1, 2}, {1, 1}, 10,
         {L"LastMove a7a8", L"LegalMoves", L"CheckSquare "},
         L"a7a8n: Wpawn moved from col 1 row 2 to col 1 row 1, becoming Wknight", false, L"", "e8d8", 5},
        {"a mate", "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq -", {4, 1}, {8, 5}, 1,
         {L"LastMove d8h4", L"LegalMoves", L"CheckSquare e1"},
         L"d8h4: BQueen moved from col 4 row 1 to col 8 row 5; checkmate", false, L"e1", "", 0},
        {"no drop after the mate", "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", {5, 7}, {5, 5}, 1, {},
         L"The game is over; checkmate: New game starts another.", true, L"e1", "", 0},
    };
    for (const auto& c : cases) {
        const Game game = FromFen(c.fen);
        RecordingBoard board;
        board.Hold(game);
        MoveRoad road;
        road.StartGame(board, game);
        board.calls.clear();
        board.promotion = c.promotion;
        bool cancel = false;
        const std::wstring message = road.Dropped(board, c.from, c.to, cancel);
        EXPECT_EQ(board.calls, c.calls) << c.name;
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_EQ(cancel, c.cancel) << c.name;
        EXPECT_EQ(board.texts[BoardText::CheckSquare], c.check) << c.name;
        ASSERT_TRUE(road.Playing().has_value()) << c.name;
        const std::wstring given = board.texts[BoardText::LegalMoves];
        const std::vector<std::string> moves = Split(std::string(given.begin(), given.end()));
        EXPECT_EQ(moves, LegalMoves(*road.Playing())) << c.name << ": the board was given \"" << given.c_str() << "\"";
        EXPECT_EQ(moves.size(), c.moveCount) << c.name << ": " << given.c_str();
        for (const std::string& move : Split(c.nextMoves))
            EXPECT_TRUE(Has(moves, move)) << c.name << ": " << move << " missing from " << given.c_str();
        // The game took the move, or stayed as it was.
        if (!c.cancel) board.MovePiece(c.from, c.to);
        if (!c.cancel && c.promotion != 1) board.PutPiece(c.to, c.promotion);
        RecordingBoard position;
        position.Hold(*road.Playing());
        EXPECT_EQ(position.pieces, board.pieces) << c.name << ": the game and the board differ";
    }
}

// In a game a click only says where the clicked piece may go: the board
// lifts it and makes the move.
TEST(MoveRoad, AGameClickTellsWhereThePieceMayGo) {
    struct ClickCase {
        const char* fen;
        Square square;
        std::wstring message;
    };
    const std::vector<ClickCase> cases{
        {kStart, {5, 7}, L"Wpawn on e2 may go to e3 e4"},
        {kStart, {2, 8}, L"Wknight on b1 may go to a3 c3"},
        {kStart, {6, 8}, L"Wbishop on f1 cannot move"},
        {kStart, {5, 2}, L"White to move"},
        {"4k3/P7/8/8/8/8/8/4K3 w - -", {1, 2}, L"Wpawn on a7 may go to a8"},
        {"4k3/8/8/8/8/8/4r3/R3K2R w KQ -", {3, 3}, L"White to move; check"},
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", {5, 7}, L"Checkmate: New game starts another."},
        {"7k/5Q2/6K1/8/8/8/8/8 b - -", {8, 1}, L"Stalemate: New game starts another."},
    };
    for (const auto& c : cases) {
        RecordingBoard board;
        const Game game = FromFen(c.fen);
        board.Hold(game);
        MoveRoad road;
        road.StartGame(board, game);
        board.calls.clear();
        EXPECT_EQ(road.Click(board, c.square), c.message) << c.fen;
        EXPECT_TRUE(board.calls.empty()) << c.fen << ": the click made " << board.calls.size() << " calls";
        EXPECT_FALSE(road.Selected().has_value()) << c.fen;
    }
}

// New game gives the board the first moves and takes the last move and the
// check away; Clear takes the rules away, and clicks select again.
TEST(MoveRoad, NewGameAndClearSetTheRules) {
    RecordingBoard board;
    board.Hold(StartingGame());
    MoveRoad road;
    const std::wstring started = road.StartGame(board);
    EXPECT_EQ(board.calls, (std::vector<std::wstring>{L"LastMove ", L"LegalMoves", L"CheckSquare "}));
    EXPECT_EQ(started.rfind(L"New game, White to move", 0), 0u) << started.c_str();
    const std::wstring given = board.texts[BoardText::LegalMoves];
    EXPECT_EQ(Split(std::string(given.begin(), given.end())).size(), 20u) << given.c_str();
    board.calls.clear();
    road.FreePlay(board);
    EXPECT_EQ(board.calls, (std::vector<std::wstring>{L"LegalMoves", L"LastMove ", L"CheckSquare "}));
    EXPECT_EQ(board.texts[BoardText::LegalMoves], L"");
    EXPECT_FALSE(road.Playing().has_value());
    EXPECT_EQ(road.Click(board, {5, 7}), L"Wpawn at col 5 row 7 selected");
}

// Move counts to a depth (every line followed), known for these positions:
// castling, en passant, promotions and pins all count.
TEST(DemoMoves, CountsOfKnownPositions) {
    struct CountCase {
        const char* fen;
        int depth;
        long long nodes;
    };
    const std::vector<CountCase> cases{
        {kStart, 1, 20},
        {kStart, 3, 8902},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 1, 48},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 2, 2039},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 3, 2812},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 2, 264},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", 2, 1486},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", 2, 568},
    };
    const auto count = [](const auto& self, const Game& game, int depth) -> long long {
        const std::vector<std::string> moves = LegalMoves(game);
        if (depth == 1) return static_cast<long long>(moves.size());
        long long nodes = 0;
        for (const std::string& move : moves) {
            Game next = game;
            if (!Play(next, move)) ADD_FAILURE() << move << " listed but not played";
            nodes += self(self, next, depth - 1);
        }
        return nodes;
    };
    for (const auto& c : cases)
        EXPECT_EQ(count(count, FromFen(c.fen), c.depth), c.nodes) << c.fen << " to depth " << c.depth;
}

TEST(DemoMoves, MovesOfPositions) {
    struct PositionCase {
        const char* name;
        const char* fen;
        std::size_t count;
        const char* with;
        const char* without;
        bool check;
    };
    const std::vector<PositionCase> cases{
        {"the start", kStart, 20, "e2e4 g1f3 b1c3", "e1g1 e2e5 b1d2 e7e5", false},
        {"a promotion in four forms", "4k3/P7/8/8/8/8/8/4K3 w - -", 9, "a7a8q a7a8r a7a8b a7a8n", "a7a8", false},
        {"black promotes, taking too", "4k3/8/8/8/8/8/1p6/R3K3 b - -", 13, "b2b1q b2a1n", "b2c1q", false},
        {"en passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", 7, "e5d6 e5e6", "e5f6", false},
        {"en passant that would uncover the king", "8/8/8/K2pP2r/8/8/8/7k w - d6", 6, "e5e6", "e5d6", false},
        {"no castling across an attacked square", "4k3/8/8/8/8/8/5r2/R3K2R w KQ -", 22, "e1c1 e1f2", "e1g1 e1d2",
         false},
        {"no castling out of check", "4k3/8/8/8/8/8/4r3/R3K2R w KQ -", 3, "e1e2 e1d1 e1f1", "e1g1 e1c1", true},
        {"no castling past a piece", "4k3/8/8/8/8/8/8/RN2K2R w KQ -", 25, "e1g1 b1d2", "e1c1", false},
        {"no castling once the rook has moved", "4k3/8/8/8/8/8/8/R3K2R w Q -", 25, "e1c1", "e1g1", false},
        {"a pinned bishop", "4k3/4r3/8/8/8/8/4B3/4K3 w - -", 4, "e1d1 e1f2", "e2d3 e2f3", false},
        {"checkmate", "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", 0, "", "", true},
        {"stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - -", 0, "", "", false},
    };
    for (const auto& c : cases) {
        const Game game = FromFen(c.fen);
        const std::vector<std::string> moves = LegalMoves(game);
        const std::string listed = Joined(moves);
        EXPECT_EQ(moves.size(), c.count) << c.name << ": " << listed;
        for (const std::string& move : Split(c.with))
            EXPECT_TRUE(Has(moves, move)) << c.name << ": no " << move << " in " << listed;
        for (const std::string& move : Split(c.without))
            EXPECT_FALSE(Has(moves, move)) << c.name << ": " << move << " in " << listed;
        EXPECT_EQ(InCheck(game), c.check) << c.name;
    }
}

// What a move does to the game beyond its two squares.
TEST(DemoMoves, PlayMakesTheWholeMove) {
    struct PlayCase {
        const char* fen;
        const char* move;
        bool legal;
        SideEffects effects;
        const char* after;  // the game afterwards, as FEN
    };
    const std::vector<PlayCase> cases{
        {kStart, "e2e4", true, {}, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3"},
        {kStart, "e2e5", false, {}, kStart},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1", true, {63, 61, -1}, "r3k2r/8/8/8/8/8/8/R4RK1 b kq -"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8", true, {0, 3, -1}, "2kr3r/8/8/8/8/8/8/R3K2R w KQ -"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "a1a8", true, {}, "R3k2r/8/8/8/8/8/8/4K2R b Kk -"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", true, {-1, -1, 27}, "4k3/8/3P4/8/8/8/8/4K3 b - -"},
        {"4k3/P7/8/8/8/8/8/4K3 w - -", "a7a8n", true, {}, "N3k3/8/8/8/8/8/8/4K3 b - -"},
        {"4k3/8/8/8/8/8/1p6/R3K3 b Q -", "b2a1q", true, {}, "4k3/8/8/8/8/8/8/q3K3 w - -"},
    };
    for (const auto& c : cases) {
        Game game = FromFen(c.fen);
        const std::optional<SideEffects> effects = Play(game, c.move);
        ASSERT_EQ(effects.has_value(), c.legal) << c.fen << " " << c.move;
        if (effects) {
            EXPECT_EQ(*effects, c.effects) << c.fen << " " << c.move << ": rook " << effects->rookFrom << " to "
                                           << effects->rookTo << ", taken " << effects->taken;
        }
        const Game wanted = FromFen(c.after);
        EXPECT_EQ(game.squares, wanted.squares) << c.fen << " " << c.move;
        EXPECT_EQ(game.whiteToMove, wanted.whiteToMove) << c.fen << " " << c.move;
        EXPECT_EQ(game.castling, wanted.castling) << c.fen << " " << c.move;
        EXPECT_EQ(game.enPassant, wanted.enPassant) << c.fen << " " << c.move << ": " << game.enPassant;
    }
}

TEST(PieceName, NamesEveryCodeAndShowsOthersAsNumbers) {
    EXPECT_EQ(PieceName(1), L"None");
    EXPECT_EQ(PieceName(7), L"Bking");
    EXPECT_EQ(PieceName(12), L"WQueen");
    EXPECT_EQ(PieceName(14), L"piece 14");
}

}  // namespace
}  // namespace quelder::demo
