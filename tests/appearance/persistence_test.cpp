#include <cmath>
#include <limits>

#include "appearance/board_picture.hpp"
#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"
#include "board/enabled.hpp"
#include "position/piece.hpp"
#include "recording_bag.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::Control;
using testing::Describe;
using testing::ExpectError;
using testing::RecordingBag;
using Access = RecordingBag::Access;

PictureRef SomePicture() { return std::make_shared<PixelPicture>(Image(5, 4, MakePixel(9, 8, 7))); }

// The four reads of a load, with their defaults, in order.
const std::vector<Access> kReads{
    {"Enabled", {}, true},
    {"Piece", {}, std::int16_t{0}},
    {"IsSelected", {}, false},
    {"Picture", {}, PictureRef{}},
};

TEST(Persistence, ANewInstanceGetsAnEmptyPictureAndPiece0) {
    Control c;
    c.board.m_Piece = 12;
    c.board.m_IsSelected = kTrue;
    c.host.SetEnabled(false);
    UserControl_InitProperties(c.board);
    EXPECT_EQ(c.board.m_Piece, 0);
    ASSERT_NE(c.board.m_Picture, nullptr) << "a new instance has the empty picture object";
    EXPECT_TRUE(c.board.m_Picture->Render().Empty());
    EXPECT_EQ(c.board.m_IsSelected, kTrue) << "left as it was";
    EXPECT_FALSE(c.host.Enabled()) << "left as it was";
    EXPECT_TRUE(c.host.changed.empty());

    RecordingBag bag;
    UserControl_WriteProperties(c.board, bag);
    const std::vector<Access> expected{
        {"Enabled", false, true},
        {"Piece", std::int16_t{0}, std::int16_t{0}},
        {"IsSelected", true, false},
        {"Picture", c.board.m_Picture, PictureRef{}},
    };
    EXPECT_EQ(bag.writes, expected) << Describe(bag.writes);
}

TEST(Persistence, AnEmptyBagGivesTheDefaultsAndNoPictureObject) {
    Control c;
    UserControl_InitProperties(c.board);
    c.host.SetEnabled(false);
    RecordingBag bag;
    UserControl_ReadProperties(c.board, bag);
    EXPECT_EQ(bag.reads, kReads) << Describe(bag.reads);
    EXPECT_TRUE(c.host.Enabled());
    EXPECT_EQ(c.board.m_Piece, 0);
    EXPECT_EQ(c.board.m_IsSelected, kFalse);
    EXPECT_EQ(c.board.m_Picture, nullptr) << "unlike a new instance, whose picture is the empty object";
    EXPECT_TRUE(c.host.changed.empty()) << c.host.changed.size() << " notifications";
}

// Saving right after loading writes back what was loaded, converted to the
// keys' types.
TEST(Persistence, SavingAfterLoadingWritesBackTheLoadedValues) {
    const PictureRef picture = SomePicture();
    struct Case {
        const char* what;
        std::map<std::string, PropertyValue, std::less<>> stored;
        bool enabled;
        std::int16_t piece;
        bool isSelected;
        PictureRef picture;
    };
    const Case cases[] = {
        {"typed values", {{"Enabled", false}, {"Piece", std::int16_t{5}}, {"IsSelected", true}, {"Picture", picture}},
         false, 5, true, picture},
        {"extremes", {{"Enabled", true}, {"Piece", std::int16_t{-32768}}, {"IsSelected", false}, {"Picture", PictureRef{}}},
         true, -32768, false, nullptr},
        {"other types", {{"Enabled", std::int16_t{0}}, {"Piece", std::int32_t{32767}}, {"IsSelected", std::int32_t{-1}}},
         false, 32767, true, nullptr},
        {"numbers rounded half to even", {{"Enabled", 0.25}, {"Piece", 2.5}, {"IsSelected", 0.0}}, true, 2, false, nullptr},
        {"strings", {{"Enabled", std::string("False")}, {"Piece", std::string(" -12 ")}, {"IsSelected", std::string("tRUE")}},
         false, -12, true, nullptr},
        {"numbers in strings", {{"Enabled", std::string("-1")}, {"Piece", std::string("1.5e1")}, {"IsSelected", std::string("0")}},
         true, 15, false, nullptr},
        {"empty values", {{"Enabled", std::monostate{}}, {"Piece", std::monostate{}}, {"IsSelected", std::monostate{}}},
         false, 0, false, nullptr},
    };
    for (const Case& k : cases) {
        Control c;
        RecordingBag loaded(k.stored);
        UserControl_ReadProperties(c.board, loaded);
        EXPECT_EQ(loaded.reads, kReads) << k.what << ": " << Describe(loaded.reads);
        EXPECT_EQ(Enabled(c.board), k.enabled ? kTrue : kFalse) << k.what;

        RecordingBag saved;
        UserControl_WriteProperties(c.board, saved);
        const std::vector<Access> expected{
            {"Enabled", k.enabled, true},
            {"Piece", k.piece, std::int16_t{0}},
            {"IsSelected", k.isSelected, false},
            {"Picture", k.picture, PictureRef{}},
        };
        EXPECT_EQ(saved.writes, expected) << k.what << ": " << Describe(saved.writes);
        EXPECT_TRUE(c.host.changed.empty()) << k.what;
    }
}

TEST(Persistence, LoadingTouchesNeitherTheSquaresNorTheImageList) {
    Control c;
    LetPiece(c.board, 3, 3, Wknight);
    c.host.changed.clear();
    const Control::Snapshot before = c.Take();
    RecordingBag bag({{"Enabled", false}, {"Piece", std::int16_t{5}}, {"IsSelected", true}, {"Picture", SomePicture()}});
    UserControl_ReadProperties(c.board, bag);

    EXPECT_EQ(Enabled(c.board), kFalse) << "applied at once";
    EXPECT_TRUE(c.host.changed.empty()) << "but not announced";
    Control::Snapshot after = c.Take();
    EXPECT_EQ(after.piece, 5);
    after.piece = before.piece;
    EXPECT_TRUE(after == before) << "a square was changed, painted or refreshed";
    EXPECT_EQ(c.Code(3, 3), Wknight);
    for (std::int32_t k = 1; k <= 14; ++k)
        EXPECT_EQ(Picture(c.board, k), testing::BoardImages()[static_cast<std::size_t>(k - 1)]) << "image " << k;
    EXPECT_TRUE(c.host.events.empty());
}

// A value that cannot be converted ends the load; what was loaded before it stays.
TEST(Persistence, AValueThatDoesNotConvertFailsAndEarlierStepsStay) {
    using Stored = std::map<std::string, PropertyValue, std::less<>>;
    const Stored loadable{{"Enabled", false}, {"Piece", std::int16_t{3}}, {"IsSelected", true}};
    auto with = [&](const char* name, PropertyValue value) {
        Stored stored = loadable;
        stored[name] = std::move(value);
        return stored;
    };
    struct Case {
        const char* what;
        Stored stored;
        std::int32_t error;
        const char* text;
        int done;  // steps that took effect before the failing one
    };
    const Case cases[] = {
        {"Enabled a word", with("Enabled", std::string("yes")), error::kTypeMismatch, "Type mismatch", 0},
        {"Enabled an object", with("Enabled", SomePicture()), error::kTypeMismatch, "Type mismatch", 0},
        {"Piece a word", with("Piece", std::string("abc")), error::kTypeMismatch, "Type mismatch", 1},
        {"Piece an empty string", with("Piece", std::string()), error::kTypeMismatch, "Type mismatch", 1},
        {"Piece 32768", with("Piece", std::int32_t{32768}), error::kOverflow, "Overflow", 1},
        {"Piece 32767.5", with("Piece", 32767.5), error::kOverflow, "Overflow", 1},
        {"Piece \"-40000\"", with("Piece", std::string("-40000")), error::kOverflow, "Overflow", 1},
        {"IsSelected a word", with("IsSelected", std::string("maybe")), error::kTypeMismatch, "Type mismatch", 2},
        {"Picture a number", with("Picture", 1.0), error::kTypeMismatch, "Type mismatch", 3},
        {"Picture a string", with("Picture", std::string("board.bmp")), error::kTypeMismatch, "Type mismatch", 3},
        {"Picture an empty value", with("Picture", std::monostate{}), error::kTypeMismatch, "Type mismatch", 3},
    };
    for (const Case& k : cases) {
        Control c;
        UserControl_InitProperties(c.board);
        c.board.m_Piece = 9;
        const PictureRef picture = c.board.m_Picture;
        RecordingBag bag(k.stored);
        ExpectError([&] { UserControl_ReadProperties(c.board, bag); }, k.error, k.text, k.what);
        EXPECT_EQ(c.host.Enabled(), k.done < 1) << k.what << ": \"Enabled\"";
        EXPECT_EQ(c.board.m_Piece, k.done >= 2 ? 3 : 9) << k.what << ": \"Piece\"";
        EXPECT_EQ(c.board.m_IsSelected, k.done >= 3 ? kTrue : kFalse) << k.what << ": \"IsSelected\"";
        EXPECT_EQ(c.board.m_Picture, picture) << k.what << ": the picture was replaced";
        EXPECT_TRUE(c.host.changed.empty()) << k.what;
    }
}

TEST(PropertyConversion, Booleans) {
    struct Case { PropertyValue value; bool expected; };
    const Case cases[] = {
        {std::monostate{}, false}, {true, true}, {false, false},
        {std::int16_t{-1}, true}, {std::int16_t{0}, false}, {std::int16_t{2}, true},
        {std::int32_t{-2147483647 - 1}, true}, {0.0, false}, {-0.0, false}, {0.4, true},
        {std::string("True"), true}, {std::string("FALSE"), false}, {std::string("  true\t"), true},
        {std::string("0"), false}, {std::string("-1"), true}, {std::string(" 1e-400 "), false},
        {std::string(".5"), true}, {std::string("+0.0"), false},
    };
    for (const Case& k : cases) EXPECT_EQ(ToBoolean(k.value), k.expected) << Describe(k.value);

    for (const PropertyValue& bad : {PropertyValue{std::string("")}, PropertyValue{std::string("yes")},
                                     PropertyValue{std::string("1x")}, PropertyValue{std::string("inf")},
                                     PropertyValue{std::string("0x10")}, PropertyValue{std::string("1e")},
                                     PropertyValue{std::string("--1")}, PropertyValue{std::string(".")},
                                     PropertyValue{PictureRef{}}, PropertyValue{SomePicture()}})
        ExpectError([&] { ToBoolean(bad); }, error::kTypeMismatch, "Type mismatch", Describe(bad));
    ExpectError([&] { ToBoolean(std::string("1e400")); }, error::kOverflow, "Overflow", "\"1e400\"");
}

TEST(PropertyConversion, SixteenBitIntegers) {
    struct Case { PropertyValue value; std::int16_t expected; };
    const Case cases[] = {
        {std::monostate{}, 0}, {true, -1}, {false, 0}, {std::int16_t{-32768}, -32768},
        {std::int32_t{32767}, 32767}, {std::int32_t{-32768}, -32768},
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
        {32767.49, 32767}, {-32768.5, -32768}, {std::string("7"), 7}, {std::string(" +3.5 "), 4},
        {std::string("-32768"), -32768}, {std::string("1E2"), 100}, {std::string("0.000"), 0},
    };
    for (const Case& k : cases) EXPECT_EQ(ToInt16(k.value), k.expected) << Describe(k.value);

    const double inf = std::numeric_limits<double>::infinity();
    for (const PropertyValue& big : {PropertyValue{std::int32_t{32768}}, PropertyValue{std::int32_t{-32769}},
                                     PropertyValue{32767.5}, PropertyValue{-32768.6}, PropertyValue{1e300},
                                     PropertyValue{inf}, PropertyValue{-inf},
                                     PropertyValue{std::numeric_limits<double>::quiet_NaN()},
                                     PropertyValue{std::string("99999")}, PropertyValue{std::string("1e999")}})
        ExpectError([&] { ToInt16(big); }, error::kOverflow, "Overflow", Describe(big));
    for (const PropertyValue& bad : {PropertyValue{std::string("True")}, PropertyValue{std::string("five")},
                                     PropertyValue{std::string("")}, PropertyValue{std::string("nan")},
                                     PropertyValue{PictureRef{}}})
        ExpectError([&] { ToInt16(bad); }, error::kTypeMismatch, "Type mismatch", Describe(bad));
}

TEST(PropertyConversion, Pictures) {
    const PictureRef picture = SomePicture();
    EXPECT_EQ(ToPicture(picture), picture);
    EXPECT_EQ(ToPicture(PictureRef{}), nullptr);
    for (const PropertyValue& bad : {PropertyValue{}, PropertyValue{false}, PropertyValue{std::int16_t{0}},
                                     PropertyValue{std::int32_t{0}}, PropertyValue{0.0},
                                     PropertyValue{std::string("")}})
        ExpectError([&] { ToPicture(bad); }, error::kTypeMismatch, "Type mismatch", Describe(bad));
}

}  // namespace
}  // namespace quelder
