// Thousands of random calls of every member of the control, with good and bad
// arguments, from a fixed seed, checked after each call against a plain model
// of what the calls should have done: the code and flag of every square, the
// top-left 37 x 37 pixels of every square's kept image wherever the model can
// tell them, refreshes, notifications, events, the image list and the saved
// members. A call that fails must fail with one of its member's own errors
// and leave everything exactly as it was.
//
// QUELDER_RANDOM_SEED in the environment replaces the fixed seed; every
// failure names the seed and the number of the call.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "appearance/board_picture.hpp"
#include "appearance/board_size.hpp"
#include "appearance/bmp_picture_codec.hpp"
#include "appearance/persistence.hpp"
#include "appearance/recording_bag.hpp"
#include "appearance/saved_properties.hpp"
#include "board/enabled.hpp"
#include "board/square_events.hpp"
#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSeed = 0x5eed2026;
constexpr int kCalls = 2000;
constexpr std::int32_t kNoError = 0;

constexpr std::array<std::int32_t, 65> kStart = [] {
    std::array<std::int32_t, 65> start{};
    const std::int32_t back[8] = {Brook, Bknight, Bbishop, BQueen, Bking, Bbishop, Bknight, Brook};
    for (int k = 1; k <= 64; ++k) start[static_cast<std::size_t>(k)] = None;
    for (int col = 1; col <= 8; ++col) {
        start[static_cast<std::size_t>(col)] = back[col - 1];
        start[static_cast<std::size_t>(8 + col)] = Bpawn;
        start[static_cast<std::size_t>(48 + col)] = Wpawn;
        start[static_cast<std::size_t>(56 + col)] = back[col - 1] + (Wpawn - Bpawn);
    }
    return start;
}();

std::size_t At(std::int16_t col, std::int16_t row) { return static_cast<std::size_t>(SquareIndex(col, row)); }

// What a square's kept image shows at its top-left corner: w x h pixels of
// image (w, h at most 37; smaller only where the kept image itself was
// smaller when the square's picture was set).
struct Look {
    Image image;
    int w = kSquareSize, h = kSquareSize;
};

// The plain model: what the calls should have done.
struct Model {
    std::array<std::int32_t, 65> pieces{};
    std::array<VBool, 65> selected{};
    std::array<int, 65> refreshes{};
    std::array<Look, 65> looks;
    std::vector<PictureRef> images;  // ImageList1, number k at k - 1
    bool enabled = true;
    bool userMode = true;
    std::int16_t piece = 0;
    VBool isSelected = kFalse;
    PictureRef picture;
    std::vector<std::string> changed;
    std::vector<SquareEvent> events;
};

// Everything a refused call must leave alone, beyond the fixture's snapshot.
struct FullState {
    Control::Snapshot squares;
    bool enabled;
    std::int16_t piece;
    VBool isSelected;
    PictureRef picture;
    std::vector<PictureRef> images;
    std::vector<std::array<float, 4>> geometry;
    float width, height;
    std::vector<std::string> changed;
    std::size_t events;
    friend bool operator==(const FullState&, const FullState&) = default;
};

std::string Hint(const FullState& a, const FullState& b) {
    std::string out;
    auto note = [&out](const std::string& s) { out += " " + s; };
    if (!(a.squares == b.squares)) note("squares (codes, flags, kept images, refreshes or notifications)");
    if (a.enabled != b.enabled) note("Enabled");
    if (a.piece != b.piece) note("m_Piece " + std::to_string(a.piece) + " -> " + std::to_string(b.piece));
    if (a.isSelected != b.isSelected) note("m_IsSelected");
    if (a.picture != b.picture) note("m_Picture");
    if (a.images != b.images) note("image list");
    if (a.geometry != b.geometry || a.width != b.width || a.height != b.height) note("geometry");
    if (a.changed != b.changed) note("PropertyChanged");
    if (a.events != b.events) note("events");
    return out;
}

// A value in a saved bag and what it converts to: a value or an error number.
struct Stored {
    PropertyValue value;
    std::int32_t booleanError;
    bool boolean;
    std::int32_t int16Error;
    std::int16_t int16;
};

class RandomCalls {
public:
    explicit RandomCalls(std::uint32_t seed) : seed_(seed), rng_(seed) {
        m_.images = testing::BoardImages();
        for (std::size_t k = 1; k <= 64; ++k) {
            m_.pieces[k] = None;
            const Square s = SquareOf(static_cast<std::int16_t>(k));
            m_.looks[k] = Look{Background(s.col, s.row)};
        }
        for (const Stored& s : Pool()) pool_.push_back(s);
        c_.host.onEvent = [this](const SquareEvent& e) { OnEvent(e); };
    }

    // Runs the calls; stops at the first call that broke an expectation.
    void Run(int calls) {
        ExpectModel("the new control");
        for (index_ = 1; index_ <= calls && !::testing::Test::HasFailure(); ++index_) {
            Step();
            ExpectModel(call_);
        }
    }

private:
    // ---- random arguments ---------------------------------------------------

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(int percent) { return Uniform(1, 100) <= percent; }
    template <class T, std::size_t N>
    T Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Uniform(0, static_cast<int>(N) - 1))];
    }

    // Mostly a square on the board; otherwise one just off it or far off it.
    std::int16_t Coordinate() {
        static const std::int16_t kBad[] = {0, 9, -1, 10, -8, std::numeric_limits<std::int16_t>::max(),
                                            std::numeric_limits<std::int16_t>::min()};
        return Chance(80) ? static_cast<std::int16_t>(Uniform(1, 8)) : Pick(kBad);
    }

    std::int32_t Code() {
        static const std::int32_t kOdd[] = {0, 15, -1, 16, 255, 32767, -32768, 32768, -32769,
                                            std::numeric_limits<std::int32_t>::max(),
                                            std::numeric_limits<std::int32_t>::min()};
        return Chance(85) ? Uniform(1, 14) : Pick(kOdd);
    }

    std::int32_t ImageNumber() {
        static const std::int32_t kBad[] = {0, 15, -1, std::numeric_limits<std::int32_t>::max(),
                                            std::numeric_limits<std::int32_t>::min()};
        return Chance(85) ? Uniform(1, 14) : Pick(kBad);
    }

    PictureRef NewPicture() {
        switch (Uniform(0, 5)) {
        case 0: return nullptr;                  // no object
        case 1: return c_.host.LoadPicture();    // the empty picture
        case 2: {                                // one of the board's own
            const auto& own = testing::BoardImages();
            return own[static_cast<std::size_t>(Uniform(0, 13))];
        }
        default: {  // a picture of its own, black border for the mask
            const int w = Pick({37, 37, 20, 45}), h = Pick({37, 37, 12, 40});
            Image image(w, h, kMaskColour);
            const auto colour = MakePixel(static_cast<std::uint8_t>(Uniform(1, 255)),
                                          static_cast<std::uint8_t>(Uniform(0, 255)), 99);
            for (int y = 2; y < h - 2; ++y)
                for (int x = 3; x < w - 3; ++x) image.Set(x, y, (x + y) % 5 ? colour : kMaskColour);
            return std::make_shared<PixelPicture>(image);
        }
        }
    }

    static std::vector<Stored> Pool() {
        const std::int32_t ok = kNoError, mismatch = error::kTypeMismatch, overflow = error::kOverflow;
        return {
            {PropertyValue{}, ok, false, ok, 0},
            {true, ok, true, ok, -1},
            {false, ok, false, ok, 0},
            {std::int16_t{5}, ok, true, ok, 5},
            {std::int16_t{0}, ok, false, ok, 0},
            {std::int16_t{-32768}, ok, true, ok, -32768},
            {std::int32_t{40000}, ok, true, overflow, 0},
            {std::int32_t{-32768}, ok, true, ok, -32768},
            {std::int32_t{0}, ok, false, ok, 0},
            {2.5, ok, true, ok, 2},
            {-0.5, ok, true, ok, 0},
            {32767.5, ok, true, overflow, 0},
            {1e10, ok, true, overflow, 0},
            {std::string("True"), ok, true, mismatch, 0},
            {std::string(" false "), ok, false, mismatch, 0},
            {std::string(" 12 "), ok, true, ok, 12},
            {std::string("-7.5"), ok, true, ok, -8},
            {std::string("abc"), mismatch, false, mismatch, 0},
            {std::string(""), mismatch, false, mismatch, 0},
            {std::string("1e400"), overflow, false, overflow, 0},
            {PictureRef{}, mismatch, false, mismatch, 0},
            {PictureRef{std::make_shared<PixelPicture>(Image(4, 3, MakePixel(1, 2, 3)))}, mismatch, false, mismatch, 0},
            {PictureRef{std::make_shared<PixelPicture>(Image())}, mismatch, false, mismatch, 0},
        };
    }

    // ---- the model's painting -------------------------------------------------

    Image Pixels(std::int32_t number) const { return m_.images[static_cast<std::size_t>(number - 1)]->Render(); }
    Pixel ViewBackground() { return c_.host.View(1).Background(); }

    Image Background(std::int16_t col, std::int16_t row) {
        Image square(kSquareSize, kSquareSize, ViewBackground());
        square.Copy(Pixels(SquareColour(col, row)), 0, 0);
        return square;
    }
    void PaintBackground(std::int16_t col, std::int16_t row) {
        m_.looks[At(col, row)] = Look{Background(col, row)};
        painted_.push_back(At(col, row));
    }
    void Draw(std::size_t k, std::int32_t code, DrawStyle style) {
        if (style == DrawStyle::Selected)
            DrawSelected(m_.looks[k].image, Pixels(code), 0, 0, kHighlight);
        else
            DrawTransparent(m_.looks[k].image, Pixels(code), 0, 0);
    }
    void PaintFromModel(std::int16_t col, std::int16_t row) {
        PaintBackground(col, row);
        const std::int32_t code = m_.pieces[At(col, row)];
        if (!ShowsNoPiece(code)) Draw(At(col, row), code, DrawStyle::Transparent);
    }

    // ---- one call -------------------------------------------------------------

    // Runs call, which must fail with expected (kNoError: succeed). On
    // success apply brings the model along; on failure nothing may change.
    void Expect(const std::string& what, std::int32_t expected, const std::function<void()>& call,
                const std::function<void()>& apply) {
        call_ = what;
        painted_.clear();
        const FullState before = State();
        std::int32_t error = kNoError;
        try {
            call();
        } catch (const ControlError& e) {
            error = e.Number();
        }
        if (error != expected) {
            ADD_FAILURE() << Where() << what << ": error " << error << ", expected " << expected;
            return;
        }
        if (error != kNoError) {
            const FullState after = State();
            EXPECT_TRUE(after == before) << Where() << what << " failed with " << error << " but changed:"
                                         << Hint(before, after);
            return;
        }
        apply();
        // A square's kept image may be smaller than 37 x 37 when it was set.
        for (std::size_t k : painted_) {
            const Image& kept = c_.host.View(static_cast<std::int16_t>(k)).Kept();
            m_.looks[k].w = std::min(kSquareSize, kept.Width());
            m_.looks[k].h = std::min(kSquareSize, kept.Height());
        }
    }

    std::string Where() const {
        return "seed " + std::to_string(seed_) + ", call " + std::to_string(index_) + ": ";
    }
    static std::string Sq(std::int16_t col, std::int16_t row) {
        return "(" + std::to_string(col) + ", " + std::to_string(row) + ")";
    }

    void Step() {
        switch (Uniform(0, 20)) {
        case 0: case 1: return CallPieceRead();
        case 2: case 3: case 4: return CallPieceWrite();
        case 5: return CallIsSelected();
        case 6: case 7: return CallSelectSquare();
        case 8: return CallUnSelectSquare();
        case 9: return Chance(50) ? CallNewGame() : CallClear();
        case 10: case 11: return CallMovePiece();
        case 12: return CallChangeBoardSize();
        case 13: return CallPicture();
        case 14: return CallEnabled();
        case 15: case 16: return CallSquareHandler();
        case 17: return CallWriteProperties();
        case 18: return CallReadProperties();
        case 19: return CallStreamForm();
        default: return CallUserMode();
        }
    }

    void CallPieceRead() {
        const std::int16_t col = Coordinate(), row = Coordinate();
        const bool good = IsValidSquare(col, row);
        std::int32_t read = 0;
        Expect("Piece" + Sq(col, row), good ? kNoError : error::kInvalidSquareRead,
               [&] { read = Piece(c_.board, col, row); }, [] {});
        if (good) {
            EXPECT_EQ(read, m_.pieces[At(col, row)]) << Where() << call_;
        }
    }

    void CallPieceWrite() {
        const std::int16_t col = Coordinate(), row = Coordinate();
        const std::int32_t code = Code();
        std::int32_t expected = kNoError;
        if (!IsValidSquare(col, row)) expected = error::kInvalidSquare;
        else if (!m_.userMode) expected = error::kSetNotSupportedAtRuntime;
        else if (code < -32768 || code > 32767) expected = error::kOverflow;
        else if (code < 1 || code > 14) expected = error::kIndexOutOfBounds;
        Expect("Piece" + Sq(col, row) + " = " + std::to_string(code), expected,
               [&] { LetPiece(c_.board, col, row, code); },
               [&] {
                   const std::size_t k = At(col, row);
                   m_.piece = static_cast<std::int16_t>(code);
                   m_.changed.push_back("Piece");
                   m_.pieces[k] = code;
                   PaintBackground(col, row);
                   if (code != None) {
                       Draw(k, code, DrawStyle::Transparent);  // 14 too
                       ++m_.refreshes[k];
                   }
               });
    }

    void CallIsSelected() {
        const std::int16_t col = Coordinate(), row = Coordinate();
        const bool good = IsValidSquare(col, row);
        VBool read = 1;
        Expect("IsSelected" + Sq(col, row), good ? kNoError : error::kInvalidSquare,
               [&] { read = IsSelected(c_.board, col, row); }, [] {});
        if (good) {
            EXPECT_EQ(read, m_.selected[At(col, row)]) << Where() << call_;
        }
    }

    void SelectInModel(std::int16_t col, std::int16_t row) {
        const std::size_t k = At(col, row);
        Draw(k, m_.pieces[k], DrawStyle::Selected);
        ++m_.refreshes[k];
        m_.selected[k] = kTrue;
    }

    void CallSelectSquare() {
        const std::int16_t col = Coordinate(), row = Coordinate();
        Expect("SelectSquare" + Sq(col, row), IsValidSquare(col, row) ? kNoError : error::kInvalidSquare,
               [&] { SelectSquare(c_.board, col, row); }, [&] { SelectInModel(col, row); });
    }

    void CallUnSelectSquare() {
        const std::int16_t col = Coordinate(), row = Coordinate();
        Expect("UnSelectSquare" + Sq(col, row), IsValidSquare(col, row) ? kNoError : error::kInvalidSquare,
               [&] { UnSelectSquare(c_.board, col, row); },
               [&] {
                   PaintFromModel(col, row);
                   ++m_.refreshes[At(col, row)];
                   m_.selected[At(col, row)] = kFalse;
               });
    }

    void CallNewGame() {
        Expect("NewGame", kNoError, [&] { NewGame(c_.board); },
               [&] {
                   m_.pieces = kStart;
                   for (std::int16_t k = 1; k <= 64; ++k) {
                       const Square s = SquareOf(k);
                       PaintFromModel(s.col, s.row);
                       ++m_.refreshes[static_cast<std::size_t>(k)];
                   }
               });
    }

    void CallClear() {
        Expect("Clear", kNoError, [&] { Clear(c_.board); },
               [&] {
                   for (std::int16_t k = 1; k <= 64; ++k) {
                       m_.pieces[static_cast<std::size_t>(k)] = None;
                       const Square s = SquareOf(k);
                       PaintBackground(s.col, s.row);
                   }
               });
    }

    void CallMovePiece() {
        const std::int16_t fc = Coordinate(), fr = Coordinate();
        const bool ontoItself = Chance(10);  // a square moved onto itself ends empty
        const std::int16_t tc = ontoItself ? fc : Coordinate(), tr = ontoItself ? fr : Coordinate();
        const bool good = IsValidSquare(fc, fr) && IsValidSquare(tc, tr);
        Expect("MovePiece" + Sq(fc, fr) + " -> " + Sq(tc, tr), good ? kNoError : error::kInvalidSquare,
               [&] { MovePiece(c_.board, fc, fr, tc, tr); },
               [&] {
                   const std::int32_t moved = m_.pieces[At(fc, fr)];
                   m_.pieces[At(tc, tr)] = moved;
                   m_.pieces[At(fc, fr)] = None;
                   PaintBackground(tc, tr);
                   if (!ShowsNoPiece(moved)) Draw(At(tc, tr), moved, DrawStyle::Transparent);
                   PaintBackground(fc, fr);
               });
    }

    void CallChangeBoardSize() {
        static const std::int32_t kSizes[] = {0, 1, 8, 100, 296, 300, 400, 555, 600, -1, -296, 32768,
                                              std::numeric_limits<std::int32_t>::max(),
                                              std::numeric_limits<std::int32_t>::min()};
        const std::int32_t size = Chance(50) ? Uniform(0, 600) : Pick(kSizes);
        const bool good = size >= 0 && size <= 32767;
        Expect("ChangeBoardSize " + std::to_string(size), good ? kNoError : error::kInvalidPropertyValue,
               [&] { ChangeBoardSize(c_.board, size); },
               [&] {
                   // Smaller squares let go of what they no longer show, for good.
                   const int pixels = static_cast<int>(std::lround(size / 8.0));
                   for (std::size_t k = 1; k <= 64; ++k) {
                       ++m_.refreshes[k];
                       m_.looks[k].w = std::min(m_.looks[k].w, pixels);
                       m_.looks[k].h = std::min(m_.looks[k].h, pixels);
                   }
               });
        if (!good || ::testing::Test::HasFailure()) return;
        // The grid: squares of size / 8, each row starting at the left edge.
        const float edge = static_cast<float>(size / 8.0);
        EXPECT_EQ(c_.host.Width(), static_cast<float>(size)) << Where() << call_;
        EXPECT_EQ(c_.host.Height(), static_cast<float>(size)) << Where() << call_;
        for (std::int16_t k = 1; k <= 64; ++k) {
            const Square s = SquareOf(k);
            const SquareView& v = c_.host.Check(k);
            const float tolerance = 1e-4f * static_cast<float>(size) + 1e-6f;
            EXPECT_EQ(v.Width(), edge) << Where() << call_ << ": view " << k;
            EXPECT_EQ(v.Height(), edge) << Where() << call_ << ": view " << k;
            EXPECT_NEAR(v.Left(), edge * static_cast<float>(s.col - 1), tolerance) << Where() << call_ << ": view " << k;
            EXPECT_NEAR(v.Top(), edge * static_cast<float>(s.row - 1), tolerance) << Where() << call_ << ": view " << k;
        }
    }

    void CallPicture() {
        const std::int32_t number = ImageNumber();
        const bool held = number >= 1 && number <= 14;
        if (Chance(40)) {
            PictureRef read;
            Expect("Picture(" + std::to_string(number) + ")", held ? kNoError : error::kIndexOutOfBounds,
                   [&] { read = Picture(c_.board, number); }, [] {});
            if (held) {
                EXPECT_EQ(read, m_.images[static_cast<std::size_t>(number - 1)]) << Where() << call_;
            }
            return;
        }
        const PictureRef picture = NewPicture();
        std::int32_t expected = kNoError;
        if (!m_.userMode) expected = error::kSetNotSupportedReadOnly;
        else if (!held) expected = error::kIndexOutOfBounds;
        else if (!picture) expected = error::kInvalidPropertyValue;
        Expect("Picture(" + std::to_string(number) + ") = " + testing::Describe(PropertyValue{picture}), expected,
               [&] { SetPicture(c_.board, number, picture); },
               [&] {
                   m_.images[static_cast<std::size_t>(number - 1)] = picture;
                   m_.changed.push_back("Picture");
               });
    }

    void CallEnabled() {
        static const VBool kValues[] = {kTrue, kFalse, 1, 5, -32768};
        if (Chance(30)) {
            VBool read = 1;
            Expect("Enabled", kNoError, [&] { read = Enabled(c_.board); }, [] {});
            EXPECT_EQ(read, m_.enabled ? kTrue : kFalse) << Where() << call_;
            return;
        }
        const VBool value = Pick(kValues);
        Expect("Enabled = " + std::to_string(value), kNoError, [&] { LetEnabled(c_.board, value); },
               [&] {
                   m_.enabled = value != kFalse;
                   m_.changed.push_back("Enabled");
               });
    }

    // The host's handler: now and then it calls back into the control.
    void OnEvent(const SquareEvent& e) {
        if (!selectInHandler_) return;
        SelectSquare(c_.board, e.col, e.row);
        SelectInModel(e.col, e.row);
    }

    void CallSquareHandler() {
        const auto index = static_cast<std::int16_t>(Uniform(1, 64));
        const auto kind = static_cast<SquareEventKind>(Uniform(1, 5));
        const auto button = static_cast<std::int16_t>(Uniform(0, 7));
        const auto shift = static_cast<std::int16_t>(Uniform(0, 7));
        const float x = static_cast<float>(Uniform(-100, 9000)) / 4, y = static_cast<float>(Uniform(-100, 9000)) / 4;
        selectInHandler_ = Chance(30);
        const Square s = SquareOf(index);
        SquareEvent expected{kind, s.col, s.row, 0, 0, 0, 0};
        if (kind != SquareEventKind::Click && kind != SquareEventKind::DblClick) {
            expected.button = button;
            expected.shift = shift;
            expected.x = x;
            expected.y = y;
        }
        bool delivered = false;
        Expect("input " + std::to_string(static_cast<int>(kind)) + " on view " + std::to_string(index) +
                   (selectInHandler_ ? ", the host selects the square" : ""),
               kNoError,
               [&] {
                   delivered = c_.host.DeliverInput([&] {
                       switch (kind) {
                       case SquareEventKind::Click: return Check_Click(c_.board, index);
                       case SquareEventKind::DblClick: return Check_DblClick(c_.board, index);
                       case SquareEventKind::MouseDown: return Check_MouseDown(c_.board, index, button, shift, x, y);
                       case SquareEventKind::MouseMove: return Check_MouseMove(c_.board, index, button, shift, x, y);
                       case SquareEventKind::MouseUp: return Check_MouseUp(c_.board, index, button, shift, x, y);
                       }
                   });
               },
               [&] {
                   // A handler that selected has brought the model along itself.
                   if (m_.enabled) m_.events.push_back(expected);
               });
        selectInHandler_ = false;
        EXPECT_EQ(delivered, m_.enabled) << Where() << call_;
    }

    void CallWriteProperties() {
        testing::RecordingBag bag;
        Expect("WriteProperties", kNoError, [&] { UserControl_WriteProperties(c_.board, bag); }, [] {});
        const std::vector<testing::RecordingBag::Access> expected{
            {"Enabled", m_.enabled, true},
            {"Piece", m_.piece, std::int16_t{0}},
            {"IsSelected", m_.isSelected != kFalse, false},
            {"Picture", m_.picture, PictureRef{}},
        };
        EXPECT_EQ(bag.writes, expected) << Where() << call_ << ": wrote " << testing::Describe(bag.writes);
    }

    void CallReadProperties() {
        if (Chance(15)) {
            Expect("InitProperties", kNoError, [&] { UserControl_InitProperties(c_.board); },
                   [&] {
                       m_.piece = 0;
                       m_.picture = c_.board.m_Picture;
                   });
            EXPECT_TRUE(m_.picture && m_.picture->Render().Empty()) << Where() << call_ << ": not the empty picture";
            return;
        }
        static const char* const kKeys[] = {"Enabled", "Piece", "IsSelected", "Picture"};
        testing::RecordingBag bag;
        std::array<const Stored*, 4> stored{};
        for (std::size_t k = 0; k < 4; ++k) {
            if (!Chance(80)) continue;
            stored[k] = &pool_[static_cast<std::size_t>(Uniform(0, static_cast<int>(pool_.size()) - 1))];
            // A picture under "Picture" most of the time, or it would rarely load.
            if (k == 3 && Chance(60)) stored[k] = &pool_[pool_.size() - 1 - static_cast<std::size_t>(Uniform(0, 2))];
            bag.stored[kKeys[k]] = stored[k]->value;
        }
        // Each step in order; a failing one ends the load and keeps the steps before.
        Model after = m_;
        std::int32_t expected = kNoError;
        [&] {
            const Stored* s = stored[0];
            if (s && s->booleanError) return void(expected = s->booleanError);
            after.enabled = s ? s->boolean : true;
            s = stored[1];
            if (s && s->int16Error) return void(expected = s->int16Error);
            after.piece = s ? s->int16 : 0;
            s = stored[2];
            if (s && s->booleanError) return void(expected = s->booleanError);
            after.isSelected = (s ? s->boolean : false) ? kTrue : kFalse;
            s = stored[3];
            if (s && !std::holds_alternative<PictureRef>(s->value)) return void(expected = error::kTypeMismatch);
            after.picture = s ? std::get<PictureRef>(s->value) : nullptr;
        }();
        std::string what = "ReadProperties from";
        for (std::size_t k = 0; k < 4; ++k)
            what += std::string(" ") + kKeys[k] + "=" + (stored[k] ? testing::Describe(stored[k]->value) : "(none)");
        if (expected == kNoError) {
            Expect(what, kNoError, [&] { UserControl_ReadProperties(c_.board, bag); }, [&] { m_ = after; });
            return;
        }
        // The steps before the failing one keep their effect: compare with the model, not the state before.
        call_ = what;
        std::int32_t error = kNoError;
        const Control::Snapshot squares = c_.Take();
        try {
            UserControl_ReadProperties(c_.board, bag);
        } catch (const ControlError& e) {
            error = e.Number();
        }
        EXPECT_EQ(error, expected) << Where() << what;
        Control::Snapshot now = c_.Take();
        now.piece = squares.piece;  // m_Piece is the model's to check
        EXPECT_TRUE(now == squares) << Where() << what << ": the squares changed";
        m_ = after;
    }

    // Saving to the stream form and loading what was saved, or a form broken
    // so that it cannot load.
    void CallStreamForm() {
        if (saved_.empty() || Chance(40)) {
            Bytes bytes;
            Expect("SaveToStreamForm", kNoError, [&] { bytes = SaveToStreamForm(c_.board, codec_); }, [] {});
            saved_.push_back({bytes, m_.enabled, m_.piece, m_.isSelected, m_.picture});
            if (saved_.size() > 8) saved_.erase(saved_.begin());
            return;
        }
        const SavedForm& form = saved_[static_cast<std::size_t>(Uniform(0, static_cast<int>(saved_.size()) - 1))];
        Bytes bytes = form.bytes;
        std::string broken;
        switch (Chance(50) ? Uniform(0, 4) : 5) {
        case 0: bytes.resize(static_cast<std::size_t>(Uniform(0, static_cast<int>(bytes.size()) - 1))); broken = "truncated"; break;
        case 1: bytes.push_back(static_cast<std::uint8_t>(Uniform(0, 255))); broken = "a byte added"; break;
        case 2: bytes[4] = static_cast<std::uint8_t>(Uniform(2, 255)); broken = "another version"; break;
        case 3: bytes[static_cast<std::size_t>(Pick({10, 13}))] = static_cast<std::uint8_t>(Uniform(2, 255)); broken = "a Boolean not 0 or 1"; break;
        case 4: bytes[static_cast<std::size_t>(Uniform(0, 3))] ^= 0x20; broken = "another mark"; break;
        default: break;
        }
        Expect("LoadFromStreamForm" + (broken.empty() ? std::string() : " (" + broken + ")"),
               broken.empty() ? kNoError : error::kInvalidPropertyValue,
               [&] { LoadFromStreamForm(c_.board, bytes, codec_); },
               [&] {
                   m_.enabled = form.enabled;
                   m_.piece = form.piece;
                   m_.isSelected = form.isSelected;
                   m_.picture = c_.board.m_Picture;  // a new object of the same content
                   const bool same = !form.picture ? !m_.picture
                                                   : m_.picture && m_.picture->Render() == form.picture->Render();
                   EXPECT_TRUE(same) << Where() << call_ << ": the picture did not load as it was saved";
               });
    }

    void CallUserMode() {
        m_.userMode = Chance(60);
        call_ = m_.userMode ? "the host runs" : "the host is designed";
        c_.host.SetUserMode(m_.userMode);
    }

    // ---- the checks after every call ------------------------------------------

    FullState State() {
        FullState s{c_.Take(), c_.host.Enabled(), c_.board.m_Piece, c_.board.m_IsSelected, c_.board.m_Picture,
                    {}, {}, c_.host.Width(), c_.host.Height(), c_.host.changed, c_.host.events.size()};
        ImageList& images = c_.host.ImageList1();
        for (std::int32_t k = 1; k <= images.Count(); ++k) s.images.push_back(images.Picture(k));
        for (std::int16_t k = 1; k <= 64; ++k) {
            const PixelSquareView& v = c_.host.View(k);
            s.geometry.push_back({v.Left(), v.Top(), v.Width(), v.Height()});
        }
        return s;
    }

    void ExpectModel(const std::string& after) {
        const std::string where = Where() + "after " + after;
        for (std::int16_t k = 1; k <= 64; ++k) {
            const auto i = static_cast<std::size_t>(k);
            const Square s = SquareOf(k);
            EXPECT_EQ(Piece(c_.board, s.col, s.row), m_.pieces[i]) << where << ": Piece" << Sq(s.col, s.row);
            EXPECT_EQ(IsSelected(c_.board, s.col, s.row), m_.selected[i]) << where << ": IsSelected" << Sq(s.col, s.row);
            const PixelSquareView& view = c_.host.View(k);
            EXPECT_EQ(c_.host.Refreshes(k), m_.refreshes[i]) << where << ": refreshes of view " << k;
            ExpectLook(view.Kept(), m_.looks[i], where + ": kept image of view " + std::to_string(k));
        }
        EXPECT_EQ(c_.host.Enabled(), m_.enabled) << where << ": Enabled";
        EXPECT_EQ(c_.board.m_Piece, m_.piece) << where << ": m_Piece";
        EXPECT_EQ(c_.board.m_IsSelected, m_.isSelected) << where << ": m_IsSelected";
        EXPECT_EQ(c_.board.m_Picture, m_.picture) << where << ": m_Picture";
        ASSERT_EQ(c_.host.Images().Count(), 14) << where << ": images in the list";
        for (std::int32_t k = 1; k <= 14; ++k)
            EXPECT_EQ(c_.host.Images().Picture(k), m_.images[static_cast<std::size_t>(k - 1)]) << where << ": image " << k;
        EXPECT_EQ(c_.host.changed, m_.changed) << where << ": PropertyChanged calls";
        EXPECT_EQ(c_.host.events, m_.events) << where << ": " << c_.host.events.size() << " events, "
                                             << m_.events.size() << " expected";
    }

    static void ExpectLook(const Image& kept, const Look& look, const std::string& what) {
        if (kept.Width() >= look.w && kept.Height() >= look.h) {
            bool same = true;
            for (int y = 0; y < look.h && same; ++y) {
                const Pixel* row = kept.Pixels().data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(kept.Width());
                const Pixel* want = look.image.Pixels().data() + static_cast<std::size_t>(y) * kSquareSize;
                same = std::equal(row, row + look.w, want);
            }
            if (same) return;
        }
        for (int y = 0; y < look.h; ++y)
            for (int x = 0; x < look.w; ++x) {
                if (kept.Contains(x, y) && kept.At(x, y) == look.image.At(x, y)) continue;
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is "
                              << (kept.Contains(x, y) ? std::to_string(kept.At(x, y)) : "outside") << ", expected "
                              << look.image.At(x, y);
                return;
            }
    }

    struct SavedForm {
        Bytes bytes;
        bool enabled;
        std::int16_t piece;
        VBool isSelected;
        PictureRef picture;
    };

    std::uint32_t seed_;
    std::mt19937 rng_;
    Control c_;
    Model m_;
    int index_ = 0;
    std::string call_;
    std::vector<std::size_t> painted_;
    std::vector<Stored> pool_;
    std::vector<SavedForm> saved_;
    testing::BmpPictureCodec codec_;
    bool selectInHandler_ = false;
};

std::uint32_t Seed() {
    const char* text = std::getenv("QUELDER_RANDOM_SEED");
    return text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0)) : kSeed;
}

TEST(RandomCalls, EveryCallDoesWhatAPlainModelSaysOrFailsChangingNothing) {
    const std::uint32_t seed = Seed();
    std::printf("random calls from seed %u\n", seed);
    RandomCalls(seed).Run(kCalls);
}

}  // namespace
}  // namespace quelder
