#include <functional>
#include <random>

#include "appearance/persistence.hpp"
#include "appearance/saved_properties.hpp"
#include "bmp_picture_codec.hpp"
#include "board/enabled.hpp"
#include "support/board_fixture.hpp"

namespace quelder {
namespace {

using testing::BmpPictureCodec;
using testing::Control;
using Bytes = std::vector<std::uint8_t>;

Image Pattern(int width, int height) {
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.Set(x, y, MakePixel(static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 60), 200));
    return image;
}

// The saved members and the surface's Enabled.
struct Saved {
    bool enabled;
    std::int16_t piece;
    VBool isSelected;
    PictureRef picture;
};

Saved StateOf(const Control& c) { return {c.host.Enabled(), c.board.m_Piece, c.board.m_IsSelected, c.board.m_Picture}; }

void Apply(Control& c, const Saved& s) {
    c.host.SetEnabled(s.enabled);
    c.board.m_Piece = s.piece;
    c.board.m_IsSelected = s.isSelected;
    c.board.m_Picture = s.picture;
}

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

// A control whose saved members differ from everything the tests load.
struct Target {
    Target() {
        UserControl_InitProperties(c.board);
        c.board.m_Piece = 77;
        before = StateOf(c);
        snapshot = c.Take();
    }
    // Whether the load left everything as it was; a description otherwise.
    std::string Unchanged() const {
        const Saved now = StateOf(c);
        std::string out;
        if (now.enabled != before.enabled) out += " Enabled";
        if (now.piece != before.piece) out += " m_Piece=" + std::to_string(now.piece);
        if (now.isSelected != before.isSelected) out += " m_IsSelected";
        if (now.picture != before.picture) out += " m_Picture";
        if (!(c.Take() == snapshot)) out += " squares or notifications";
        return out;
    }
    Control c;
    Saved before;
    Control::Snapshot snapshot;
};

// Loads bytes into the target: "" when it loaded, else the error's number.
std::string Load(Target& t, const Bytes& bytes, BmpPictureCodec& codec,
                 const std::function<void(const BoardClassSettings&)>& settings = {}) {
    try {
        LoadFromStreamForm(t.c.board, bytes, codec, settings);
        return "";
    } catch (const ControlError& e) {
        return std::to_string(e.Number()) + " " + e.Description();
    }
}

const std::string kInvalid = "380 Invalid property value";

Bytes ValidStream(BmpPictureCodec& codec, const Image& image = Pattern(3, 2), const BoardClassSettings& settings = {}) {
    Control c;
    Apply(c, {false, -300, kTrue, std::make_shared<PixelPicture>(image)});
    return SaveToStreamForm(c.board, codec, settings);
}

// A form holds the board class's settings in the lowest version that can:
// version 1, which every earlier save wrote, is a board in wood with the
// default options; version 2 adds flat squares; version 3 any option. What
// the reader refuses leaves everything as it was.
TEST(StreamForm, RoundTripsTheFourValuesAndTheBoardClassSettings) {
    const SavedSquareColours flat = std::make_pair(0x00B5D9F0, std::int32_t{-2147483643});
    const auto options = [](const SavedSquareColours& colours) {
        BoardClassSettings s{colours, true, true, true, false, true, 2000};
        return s;
    };
    const auto only = [](auto member, auto value) {
        BoardClassSettings s;
        s.*member = value;
        return s;
    };
    struct Case { const char* what; Saved saved; BoardClassSettings settings; int version; };
    const Case cases[] = {
        {"defaults of a loaded instance", {true, 0, kFalse, nullptr}, {}, 1},
        {"the empty picture object", {true, 0, kFalse, std::make_shared<PixelPicture>(Image())}, {}, 1},
        {"a picture", {false, 13, kTrue, std::make_shared<PixelPicture>(Pattern(37, 37))}, {}, 1},
        {"extremes", {false, -32768, kTrue, std::make_shared<PixelPicture>(Pattern(1, 1))}, {}, 1},
        {"largest Piece", {true, 32767, kFalse, nullptr}, {}, 1},
        {"flat squares", {true, 0, kFalse, nullptr}, {flat}, 2},
        {"flat squares and a picture", {false, 5, kTrue, std::make_shared<PixelPicture>(Pattern(2, 3))},
         {std::make_pair(0, 0x00FFFFFF)}, 2},
        {"every option off its default, in wood", {true, 0, kFalse, nullptr}, options(std::nullopt), 3},
        {"every option and flat squares, with a picture",
         {false, 7, kTrue, std::make_shared<PixelPicture>(Pattern(4, 4))}, options(flat), 3},
        {"AnimationTime 0 alone", {true, 0, kFalse, nullptr}, only(&BoardClassSettings::animationTime, 0), 3},
        {"UserAnnotations off alone", {true, 0, kFalse, nullptr},
         only(&BoardClassSettings::userAnnotations, false), 3},
    };
    for (const Case& k : cases) {
        BmpPictureCodec codec;
        Control from;
        Apply(from, k.saved);
        const Bytes bytes = SaveToStreamForm(from.board, codec, k.settings);
        EXPECT_EQ(bytes[4], k.version) << k.what << ": version " << int{bytes[4]};
        EXPECT_EQ(StreamFormSize(bytes), bytes.size()) << k.what;
        EXPECT_EQ(StreamFormSizeMax(from.board, codec, k.settings), bytes.size()) << k.what;

        Target refused;
        EXPECT_EQ(Load(refused, bytes, codec, [](const BoardClassSettings&) { Raise(error::kInvalidPropertyValue); }),
                  kInvalid)
            << k.what;
        EXPECT_EQ(refused.Unchanged(), "") << k.what << ": settings refused";

        Target to;
        BoardClassSettings heard = options(std::make_pair(1, 1));
        ASSERT_EQ(Load(to, bytes, codec, [&](const BoardClassSettings& s) { heard = s; }), "")
            << k.what << ": " << Hex(bytes);
        EXPECT_TRUE(heard == k.settings) << k.what << ": heard " << (heard.colours ? heard.colours->first : -1)
                                         << ", " << (heard.colours ? heard.colours->second : -1) << ", flipped "
                                         << heard.flipped << ", AnimationTime " << heard.animationTime;
        const Saved got = StateOf(to.c);
        EXPECT_EQ(got.enabled, k.saved.enabled) << k.what;
        EXPECT_EQ(got.piece, k.saved.piece) << k.what;
        EXPECT_EQ(got.isSelected, k.saved.isSelected) << k.what;
        ASSERT_EQ(got.picture == nullptr, k.saved.picture == nullptr) << k.what;
        if (got.picture) {
            EXPECT_EQ(got.picture->Render(), k.saved.picture->Render()) << k.what;
        }
        EXPECT_TRUE(to.c.host.changed.empty()) << k.what << ": loading announced a change";
        EXPECT_EQ(SaveToStreamForm(to.c.board, codec, heard), bytes) << k.what << ": saved again differently";
    }
}

TEST(StreamForm, ANewInstanceSavesItsEmptyPictureObject) {
    BmpPictureCodec codec;
    Control c;
    UserControl_InitProperties(c.board);
    const Bytes bytes = SaveToStreamForm(c.board, codec);
    const Bytes expected{'Q', 'B', 'S', 'P', 1, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected) << Hex(bytes);
}

TEST(StreamForm, EveryTruncationFailsAndChangesNothing) {
    BmpPictureCodec codec;
    const Bytes valid = ValidStream(codec);
    for (std::size_t n = 0; n < valid.size(); ++n) {
        Target t;
        const Bytes prefix(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(Load(t, prefix, codec), kInvalid) << n << " of " << valid.size() << " bytes";
        EXPECT_EQ(t.Unchanged(), "") << n << " of " << valid.size() << " bytes";
    }
}

TEST(StreamForm, MalformedInputFailsAndChangesNothing) {
    BmpPictureCodec codec;
    const Bytes valid = ValidStream(codec);
    // Offsets: magic 0, version 4, body length 6, Enabled 10, Piece 11,
    // IsSelected 13, picture tag 14, picture length 15, picture bytes 19.
    auto with = [&](std::size_t offset, std::initializer_list<std::uint8_t> replacement) {
        Bytes bytes = valid;
        std::copy(replacement.begin(), replacement.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        return bytes;
    };
    auto appended = [&](std::initializer_list<std::uint8_t> extra, std::uint8_t bodyGrowth, std::uint8_t pictureGrowth) {
        Bytes bytes = valid;
        bytes.insert(bytes.end(), extra);
        bytes[6] = static_cast<std::uint8_t>(bytes[6] + bodyGrowth);
        bytes[15] = static_cast<std::uint8_t>(bytes[15] + pictureGrowth);
        return bytes;
    };
    Bytes noPicture(valid.begin(), valid.begin() + 15);
    noPicture[6] = 5;
    noPicture[14] = 0;
    ASSERT_EQ(StreamFormSize(noPicture), noPicture.size());
    Bytes tooBig(valid.begin(), valid.begin() + 15);
    const std::uint32_t picture = kMaxSavedPictureSize + 1, body = 5 + 4 + picture;
    for (int i = 0; i < 4; ++i) {
        tooBig[6 + i] = static_cast<std::uint8_t>(body >> (8 * i));
        tooBig.push_back(static_cast<std::uint8_t>(picture >> (8 * i)));
    }
    tooBig.resize(tooBig.size() + picture);
    // Version 3's settings end the form: flat, two colours, options, AnimationTime.
    const Bytes settings = ValidStream(codec, Pattern(3, 2), BoardClassSettings{std::nullopt, true});
    auto inSettings = [&](std::size_t fromEnd, std::initializer_list<std::uint8_t> replacement) {
        Bytes bytes = settings;
        std::size_t at = bytes.size() - fromEnd;
        for (const std::uint8_t b : replacement) bytes.at(at++) = b;
        return bytes;
    };

    struct Case { const char* what; Bytes bytes; };
    const Case cases[] = {
        {"empty", {}},
        {"another magic", with(0, {'Q', 'B', 'S', 'X'})},
        {"version 0", with(4, {0, 0})},
        {"version 2 without the squares' colours", with(4, {2, 0})},
        {"version 3 without the settings", with(4, {3, 0})},
        {"version 4", with(4, {4, 0})},
        {"squares neither wood nor flat", inSettings(14, {2})},
        {"wood with a colour", inSettings(13, {1})},
        {"an option bit past TypeMoves", inSettings(5, {0x21})},
        {"AnimationTime 2001", inSettings(4, {0xD1, 0x07, 0, 0})},
        {"AnimationTime -1", inSettings(4, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"version 256", with(4, {0, 1})},
        {"body one byte short", with(6, {static_cast<std::uint8_t>(valid[6] - 1)})},
        {"body one byte long", with(6, {static_cast<std::uint8_t>(valid[6] + 1)})},
        {"body 4 GiB", with(6, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"body shorter than its fixed part", with(6, {4, 0, 0, 0})},
        {"Enabled 2", with(10, {2})},
        {"IsSelected 255", with(13, {0xFF})},
        {"picture tag 2", with(14, {2})},
        {"picture length one short", with(15, {static_cast<std::uint8_t>(valid[15] - 1)})},
        {"picture length one long", with(15, {static_cast<std::uint8_t>(valid[15] + 1)})},
        {"picture length 4 GiB", with(15, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"picture bytes not a picture", with(19, {'X', 'Y'})},
        {"a byte after the stream", appended({0}, 0, 0)},
        {"a byte after the picture inside the body", appended({0}, 1, 0)},
        {"no picture but bytes after the tag", [&] { Bytes b = noPicture; b.push_back(0); b[6] = 6; return b; }()},
        {"a picture longer than the bound", tooBig},
    };
    for (const Case& k : cases) {
        Target t;
        EXPECT_EQ(Load(t, k.bytes, codec), kInvalid)
            << k.what << ": " << Hex(Bytes(k.bytes.begin(), k.bytes.begin() + std::min<std::ptrdiff_t>(24, std::ssize(k.bytes))));
        EXPECT_EQ(t.Unchanged(), "") << k.what;
    }
    // The one appended case that is well-formed: the picture codec reads
    // what it is given, and a .bmp with a spare byte at its end is a picture.
    Target t;
    EXPECT_EQ(Load(t, appended({0}, 1, 1), codec), "");
}

TEST(StreamForm, AHeaderThatIsNotOursHasNoSize) {
    BmpPictureCodec codec;
    const Bytes valid = ValidStream(codec);
    EXPECT_EQ(StreamFormSize(std::span(valid).first(kStreamFormHeaderSize)), valid.size());
    for (std::size_t n = 0; n < kStreamFormHeaderSize; ++n)
        testing::ExpectError([&] { StreamFormSize(std::span(valid).first(n)); }, error::kInvalidPropertyValue,
                             "Invalid property value", std::to_string(n) + " header bytes");
}

// Whatever a saved form holds, a load either succeeds or fails with 380.
TEST(StreamForm, MutatedStreamsLoadOrFailCleanly) {
    BmpPictureCodec codec;
    const Bytes valid = ValidStream(codec, Pattern(4, 3));
    std::mt19937 random(20240611);
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    int loaded = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        Bytes bytes = valid;
        const int mutations = 1 + static_cast<int>(below(4));
        for (int m = 0; m < mutations; ++m) {
            switch (below(5)) {
            case 0:  // a flipped bit
                if (!bytes.empty()) bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1u << below(8));
                break;
            case 1:  // a random byte
                if (!bytes.empty()) bytes[below(bytes.size())] = static_cast<std::uint8_t>(random());
                break;
            case 2:  // cut short
                bytes.resize(below(bytes.size() + 1));
                break;
            case 3:  // bytes inserted
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(below(bytes.size() + 1)),
                             1 + below(8), static_cast<std::uint8_t>(random()));
                break;
            default:  // a length field set to something else
                if (bytes.size() >= 19)
                    bytes[(random() % 2 ? 6 : 15) + below(4)] = static_cast<std::uint8_t>(random());
                break;
            }
        }
        Target t;
        const std::string result = Load(t, bytes, codec);
        if (result.empty()) {
            ++loaded;
            // What loaded saves again and loads back the same.
            const Bytes again = SaveToStreamForm(t.c.board, codec);
            Target u;
            EXPECT_EQ(Load(u, again, codec), "") << "round " << round << ": " << Hex(again);
        } else {
            ++refused;
            EXPECT_EQ(result, kInvalid) << "round " << round << ": " << Hex(bytes);
            EXPECT_EQ(t.Unchanged(), "") << "round " << round << ": " << Hex(bytes);
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
    std::printf("mutated streams: %d loaded, %d refused\n", loaded, refused);
}

}  // namespace
}  // namespace quelder
