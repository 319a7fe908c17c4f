// Saving and loading the control's four properties as a container does, and
// the board class's squares' colours:
// through a property bag of the test's own (IPersistPropertyBag) and through a
// stream (IPersistStreamInit); malformed bags and streams.
#include <gtest/gtest.h>

#include <olectl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/counted_object.hpp"
#include "control_test_support.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);           // 6
constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);       // 13
constexpr HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A017C);  // 380

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A property bag that keeps the VARIANTs it is given, in the order written.
class TestBag : public CountedObject<IPropertyBag, IID_IPropertyBag> {
public:
    TestBag() = default;
    TestBag(const TestBag&) = delete;
    TestBag& operator=(const TestBag&) = delete;
    ~TestBag() {
        for (auto& [name, value] : values_) VariantClear(&value);
    }

    std::vector<std::wstring> written;

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        const auto found = values_.find(name);
        if (found == values_.end()) return E_INVALIDARG;
        if (V_VT(value) == VT_EMPTY) return VariantCopy(value, &found->second);
        return VariantChangeType(value, &found->second, 0, V_VT(value));
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        written.emplace_back(name);
        VARIANT& slot = values_[name];
        VariantClear(&slot);
        return VariantCopy(&slot, value);
    }

    // Puts a value (the bag takes its own copy).
    void Put(const wchar_t* name, VARIANT value) {
        Write(name, &value);
        VariantClear(&value);
        written.clear();
    }
    const VARIANT* Find(const wchar_t* name) const {
        const auto found = values_.find(name);
        return found == values_.end() ? nullptr : &found->second;
    }

private:
    std::map<std::wstring, VARIANT> values_;
};

#pragma GCC diagnostic pop

VARIANT Text(const wchar_t* text) {
    VARIANT r{};
    V_VT(&r) = VT_BSTR;
    V_BSTR(&r) = SysAllocString(text);
    return r;
}
VARIANT Object(IUnknown* object) {
    VARIANT r{};
    V_VT(&r) = VT_UNKNOWN;
    V_UNKNOWN(&r) = object;
    if (object != nullptr) object->AddRef();
    return r;
}

// The four values a control saved into a bag.
struct Saved {
    VARTYPE enabledType = VT_EMPTY, pieceType = VT_EMPTY, isSelectedType = VT_EMPTY, pictureType = VT_EMPTY;
    bool enabled = false;
    SHORT piece = 0;
    bool isSelected = false;
    IUnknown* picture = nullptr;  // as the bag holds it
};
Saved SavedIn(const TestBag& bag) {
    Saved s;
    if (const VARIANT* v = bag.Find(L"Enabled")) s.enabledType = V_VT(v), s.enabled = V_BOOL(v) != VARIANT_FALSE;
    if (const VARIANT* v = bag.Find(L"Piece")) s.pieceType = V_VT(v), s.piece = V_I2(v);
    if (const VARIANT* v = bag.Find(L"IsSelected"))
        s.isSelectedType = V_VT(v), s.isSelected = V_BOOL(v) != VARIANT_FALSE;
    if (const VARIANT* v = bag.Find(L"Picture")) s.pictureType = V_VT(v), s.picture = V_UNKNOWN(v);
    return s;
}

SHORT PictureType(IUnknown* object) {
    ComPtr<IPicture> picture;
    SHORT type = -2;
    if (object != nullptr && SUCCEEDED(object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.GetAddressOf()))))
        picture->get_Type(&type);
    return type;
}

// A picture object drawn at 37 x 37 pixels.
Image PicturePixels(IUnknown* object) {
    ComPtr<IPicture> picture;
    if (object == nullptr || FAILED(object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.GetAddressOf()))))
        return Image();
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    return Drawn(37, 37, [&](HDC dc) { picture->Render(dc, 0, 0, 37, 37, 0, height, width, -height, nullptr); });
}

std::vector<std::uint8_t> StreamBytes(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}
// The control's persistence interface I.
template <typename I>
ComPtr<I> Persist(IUnknown* control) {
    ComPtr<I> persist;
    EXPECT_EQ(control->QueryInterface(__uuidof(I), reinterpret_cast<void**>(persist.GetAddressOf())), S_OK);
    return persist;
}

ComPtr<IStream> StreamOf(const std::vector<std::uint8_t>& bytes) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

class PersistenceTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_EQ(board_.As(&bag_), S_OK);
        ASSERT_EQ(board_.As(&stream_), S_OK);
    }
    void TearDown() override {
        bag_.Reset();
        stream_.Reset();
        ControlTest::TearDown();
    }

    // A picture object of the board's own: the red rook.
    ComPtr<IPictureDisp> Rook() {
        ::PieceNum number = ::Brook;
        ComPtr<IPictureDisp> picture;
        EXPECT_EQ(board_->get_Picture(&number, picture.GetAddressOf()), S_OK);
        return picture;
    }
    // A bag with four values unlike a new control's.
    void FillBag(TestBag& bag) {
        bag.Put(L"Enabled", Bool(false));
        bag.Put(L"Piece", I2(7));
        bag.Put(L"IsSelected", Bool(true));
        bag.Put(L"Picture", Object(Rook().Get()));
    }
    // The control's state as a save shows it: its four saved values and Enabled.
    struct State {
        std::vector<std::uint8_t> stream;
        VARIANT_BOOL enabled;
        bool operator==(const State&) const = default;
        // Enabled, the stream's length and its bytes up to the picture's.
        friend void PrintTo(const State& state, std::ostream* os) {
            *os << "Enabled " << state.enabled << ", " << state.stream.size() << " bytes:" << std::hex;
            for (std::size_t k = 0; k < state.stream.size() && k < 15; ++k) *os << ' ' << int{state.stream[k]};
            *os << std::dec;
        }
    };
    State StateOf(IUnknown* control) {
        ComPtr<IPersistStreamInit> persist;
        ComPtr<_Quelder> board;
        control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(persist.GetAddressOf()));
        control->QueryInterface(IID__Quelder, reinterpret_cast<void**>(board.GetAddressOf()));
        State state{};
        ComPtr<IStream> stream = StreamOf({});
        EXPECT_EQ(persist->Save(stream.Get(), FALSE), S_OK);
        state.stream = StreamBytes(stream.Get());
        board->get_Enabled(&state.enabled);
        return state;
    }

    ComPtr<IPersistPropertyBag> bag_;
    ComPtr<IPersistStreamInit> stream_;
};

// ---- a property bag ------------------------------------------------------------------------

TEST_F(PersistenceTest, ANewControlSavesItsFourKeysInOrder) {
    ASSERT_EQ(bag_->InitNew(), S_OK);  // a container's InitNew after creation
    TestBag bag;
    ASSERT_EQ(bag_->Save(&bag, TRUE, TRUE), S_OK);
    EXPECT_EQ(bag.written, (std::vector<std::wstring>{L"Enabled", L"Piece", L"IsSelected", L"Picture"}));
    const Saved saved = SavedIn(bag);
    EXPECT_EQ(saved.enabledType, VT_BOOL);
    EXPECT_TRUE(saved.enabled);
    EXPECT_EQ(saved.pieceType, VT_I2);
    EXPECT_EQ(saved.piece, 0);
    EXPECT_EQ(saved.isSelectedType, VT_BOOL);
    EXPECT_FALSE(saved.isSelected);
    EXPECT_EQ(saved.pictureType, VT_DISPATCH);
    EXPECT_EQ(PictureType(saved.picture), PICTYPE_NONE) << "the empty picture object";
}

TEST_F(PersistenceTest, APropertyBagGivesBackTheFourValues) {
    TestBag loaded;
    FillBag(loaded);
    ASSERT_EQ(bag_->Load(&loaded, nullptr), S_OK);
    VARIANT_BOOL enabled = VARIANT_TRUE;
    ASSERT_EQ(board_->get_Enabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_FALSE);
    SHORT col = 1, row = 1;
    ::PieceNum piece = ::Bpawn;
    ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, ::None) << "loading puts nothing on the board";

    TestBag saved;
    ASSERT_EQ(bag_->Save(&saved, TRUE, TRUE), S_OK);
    const Saved values = SavedIn(saved);
    EXPECT_FALSE(values.enabled);
    EXPECT_EQ(values.piece, 7);
    EXPECT_TRUE(values.isSelected);
    EXPECT_EQ(values.picture, V_UNKNOWN(loaded.Find(L"Picture"))) << "the very picture object loaded";

    // Into a new control, and saved again.
    auto other = ocx_.Create();
    ASSERT_TRUE(other);
    ComPtr<IPersistPropertyBag> otherBag;
    ASSERT_EQ(other.As(&otherBag), S_OK);
    ASSERT_EQ(otherBag->Load(&saved, nullptr), S_OK);
    TestBag again;
    ASSERT_EQ(otherBag->Save(&again, TRUE, TRUE), S_OK);
    const Saved second = SavedIn(again);
    EXPECT_FALSE(second.enabled);
    EXPECT_EQ(second.piece, 7);
    EXPECT_TRUE(second.isSelected);
    EXPECT_EQ(second.picture, values.picture);
}

TEST_F(PersistenceTest, AnEmptyBagGivesTheDefaults) {
    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    TestBag empty;
    ASSERT_EQ(bag_->Load(&empty, nullptr), S_OK);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    ASSERT_EQ(board_->get_Enabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    TestBag saved;
    ASSERT_EQ(bag_->Save(&saved, TRUE, TRUE), S_OK);
    const Saved values = SavedIn(saved);
    EXPECT_EQ(values.piece, 0);
    EXPECT_FALSE(values.isSelected);
    EXPECT_EQ(values.pictureType, VT_DISPATCH);
    EXPECT_EQ(values.picture, nullptr) << "no object, unlike a new control's empty picture";
}

TEST_F(PersistenceTest, BagValuesAreReadAsTheirKeysTypes) {
    struct Case {
        const wchar_t* key;
        VARIANT value;
        bool enabled;
        SHORT piece;
    };
    VARIANT empty{};
    VARIANT null{};
    V_VT(&null) = VT_NULL;
    Case cases[] = {
        {L"Enabled", Text(L"False"), false, 0}, {L"Enabled", I4(0), false, 0},  {L"Enabled", Text(L"true"), true, 0},
        {L"Enabled", empty, true, 0},           {L"Piece", R8(5.5), true, 6},     {L"Piece", Text(L"12"), true, 12},
        {L"Piece", I4(-32768), true, -32768},   {L"Piece", Bool(true), true, -1}, {L"Picture", null, true, 0},
    };
    for (Case& c : cases) {
        TestBag bag;
        const VARTYPE type = V_VT(&c.value);
        bag.Put(c.key, c.value);
        // A control of its own for each bag: a control loads once only.
        auto control = ocx_.Create();
        ASSERT_TRUE(control);
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(control.As(&persist), S_OK);
        EXPECT_EQ(persist->Load(&bag, nullptr), S_OK) << "key " << Narrow(c.key) << ", type " << type;
        TestBag saved;
        ASSERT_EQ(persist->Save(&saved, TRUE, TRUE), S_OK);
        const Saved values = SavedIn(saved);
        EXPECT_EQ(values.enabled, c.enabled) << "key " << Narrow(c.key) << ", type " << type;
        EXPECT_EQ(values.piece, c.piece) << "key " << Narrow(c.key) << ", type " << type;
    }
}

TEST_F(PersistenceTest, AValueThatCannotBeReadFailsAtItsKey) {
    TestBag notAPicture;  // an object, but no picture
    struct Case {
        const wchar_t* key;
        VARIANT value;
        HRESULT error;
    };
    Case cases[] = {
        {L"Piece", Text(L"abc"), kTypeMismatch},  {L"Piece", I4(40000), kOverflow},
        {L"IsSelected", Text(L"maybe"), kTypeMismatch}, {L"Picture", Object(&notAPicture), kTypeMismatch},
        {L"Picture", I2(3), kTypeMismatch},
    };
    for (Case& c : cases) {
        TestBag bag;
        bag.Put(L"Enabled", Bool(false));
        const VARTYPE type = V_VT(&c.value);
        bag.Put(c.key, c.value);
        ASSERT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);
        EXPECT_EQ(bag_->Load(&bag, nullptr), c.error) << "key " << Narrow(c.key) << ", type " << type;
        VARIANT_BOOL enabled = VARIANT_TRUE;
        ASSERT_EQ(board_->get_Enabled(&enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_FALSE) << "\"Enabled\" comes first and stays loaded";
        // The keys from the failing one on are as no load and no InitNew
        // left them: no picture object, where a new control has the empty one.
        TestBag saved;
        ASSERT_EQ(bag_->Save(&saved, TRUE, TRUE), S_OK);
        const Saved values = SavedIn(saved);
        EXPECT_EQ(values.picture, nullptr) << "key " << Narrow(c.key) << ", type " << type << ": a picture of type "
                                           << PictureType(values.picture);
    }
    EXPECT_EQ(bag_->Load(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(notAPicture.references, 0);
    // Failed loads leave a control that may still be loaded.
    TestBag good;
    FillBag(good);
    EXPECT_EQ(bag_->Load(&good, nullptr), S_OK);
    TestBag saved;
    ASSERT_EQ(bag_->Save(&saved, TRUE, TRUE), S_OK);
    EXPECT_EQ(SavedIn(saved).piece, 7);
    EXPECT_EQ(SavedIn(saved).picture, V_UNKNOWN(good.Find(L"Picture")));
}

// A control starts either as a new one (InitNew) or from what was saved
// (Load), once: whichever start comes second, through either interface, is
// refused and changes nothing.
TEST_F(PersistenceTest, AControlStartsAsNewOrLoadedAndOnlyOnce) {
    TestBag filled;
    FillBag(filled);
    ASSERT_EQ(bag_->Load(&filled, nullptr), S_OK);
    const std::vector<std::uint8_t> savedStream = StateOf(board_.Get()).stream;
    struct Start {
        const char* name;
        std::function<HRESULT(IUnknown*)> start;
    };
    const Start starts[] = {
        {"the stream's InitNew", [](IUnknown* c) { return Persist<IPersistStreamInit>(c)->InitNew(); }},
        {"the bag's InitNew", [](IUnknown* c) { return Persist<IPersistPropertyBag>(c)->InitNew(); }},
        {"a stream Load",
         [&](IUnknown* c) { return Persist<IPersistStreamInit>(c)->Load(StreamOf(savedStream).Get()); }},
        {"a bag Load", [&](IUnknown* c) { return Persist<IPersistPropertyBag>(c)->Load(&filled, nullptr); }},
    };
    for (const Start& first : starts) {
        for (const Start& second : starts) {
            const std::string what = std::string(first.name) + ", then " + second.name;
            auto control = ocx_.Create();
            ASSERT_TRUE(control);
            ASSERT_EQ(first.start(control.Get()), S_OK) << what;
            const State before = StateOf(control.Get());
            const HRESULT hr = second.start(control.Get());
            EXPECT_EQ(hr, E_UNEXPECTED) << what << ": " << std::hex << hr;
            EXPECT_EQ(StateOf(control.Get()), before) << what << " changed the control";
        }
    }
}

// The board class saves its flat squares' colours and the options a designer
// sets (those off their defaults) after the four keys, and in a stream as the
// form's version 2 (colours alone) or 3; a board in wood with the default
// options saves what it always did, and saved data without them, a bag's or a
// stream's, reads as a new board. Each saved form loads into another board
// that gives back the same and saves the same again; a colour that is no OLE
// colour fails with 380.
TEST_F(PersistenceTest, TheBoardClassSavesItsSquaresAndOptionsAndReadsOldDataAsANewBoard) {
    constexpr LONG kWindow = static_cast<LONG>(0x80000005);
    struct Case {
        const char* what;
        std::function<void(_QuelderBoard&)> set;
        std::wstring state;  // colours and options as read back
        std::vector<std::wstring> keys;  // written after the four
        int version;
    };
    const Case cases[] = {
        {"a new board", [](_QuelderBoard&) {}, L"B5D9F0 6388B5 wood 0000 200 1", {}, 1},
        {"the light squares' colour", [](_QuelderBoard& b) { b.put_LightSquareColor(kWindow); },
         L"80000005 6388B5 flat 0000 200 1", {L"LightSquareColor", L"DarkSquareColor"}, 2},
        {"the dark squares' colour", [](_QuelderBoard& b) { b.put_DarkSquareColor(0x102030); },
         L"B5D9F0 102030 flat 0000 200 1", {L"LightSquareColor", L"DarkSquareColor"}, 2},
        {"both, then UseWood",
         [](_QuelderBoard& b) {
             b.put_LightSquareColor(0xFFFFFF);
             b.put_DarkSquareColor(0);
             b.UseWood();
         },
         L"B5D9F0 6388B5 wood 0000 200 1", {}, 1},
        {"every option a designer sets, in wood",
         [](_QuelderBoard& b) {
             b.put_Flipped(VARIANT_TRUE);
             b.put_ShowCoordinates(VARIANT_TRUE);
             b.put_DragPieces(VARIANT_TRUE);
             b.put_TypeMoves(VARIANT_TRUE);
             b.put_AnimationTime(0);
             b.put_UserAnnotations(VARIANT_FALSE);
         },
         L"B5D9F0 6388B5 wood 1111 0 0",
         {L"Flipped", L"ShowCoordinates", L"DragPieces", L"AnimationTime", L"UserAnnotations", L"TypeMoves"}, 3},
        {"flat squares and one option",
         [](_QuelderBoard& b) {
             b.put_DarkSquareColor(0x102030);
             b.put_AnimationTime(2000);
         },
         L"B5D9F0 102030 flat 0000 2000 1", {L"LightSquareColor", L"DarkSquareColor", L"AnimationTime"}, 3},
    };
    const auto state = [](_QuelderBoard& b) {
        LONG light = -1, dark = -1, time = -1;
        VARIANT_BOOL flags[5]{}, annotations{};
        b.get_LightSquareColor(&light);
        b.get_DarkSquareColor(&dark);
        b.get_Flipped(&flags[0]);
        b.get_ShowCoordinates(&flags[1]);
        b.get_DragPieces(&flags[2]);
        b.get_TypeMoves(&flags[3]);
        b.get_AnimationTime(&time);
        b.get_UserAnnotations(&annotations);
        TestBag saved;
        Persist<IPersistPropertyBag>(&b)->Save(&saved, FALSE, TRUE);
        wchar_t text[96];
        swprintf(text, 96, L"%lX %lX %ls %d%d%d%d %ld %d", static_cast<unsigned long>(light),
                 static_cast<unsigned long>(dark), saved.Find(L"DarkSquareColor") ? L"flat" : L"wood", !!flags[0],
                 !!flags[1], !!flags[2], !!flags[3], time, !!annotations);
        return std::wstring(text);
    };
    const auto written = [](const std::vector<std::wstring>& extra) {
        std::vector<std::wstring> keys{L"Enabled", L"Piece", L"IsSelected", L"Picture"};
        keys.insert(keys.end(), extra.begin(), extra.end());
        return keys;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto board = ocx_.CreateBoard();
        ASSERT_TRUE(board);
        ASSERT_EQ(Persist<IPersistStreamInit>(board.Get())->InitNew(), S_OK);
        c.set(*board.Get());
        // Each member the other cases call marks the board changed.
        EXPECT_EQ(Persist<IPersistStreamInit>(board.Get())->IsDirty(), &c == &cases[0] ? S_FALSE : S_OK);
        EXPECT_EQ(state(*board.Get()), c.state);
        TestBag bag;
        ASSERT_EQ(Persist<IPersistPropertyBag>(board.Get())->Save(&bag, TRUE, TRUE), S_OK);
        EXPECT_EQ(bag.written, written(c.keys)) << bag.written.size() << " keys";
        if (bag.Find(L"LightSquareColor") != nullptr) {
            EXPECT_EQ(V_VT(bag.Find(L"LightSquareColor")), VT_I4);
        }
        const std::vector<std::uint8_t> stream = StateOf(board.Get()).stream;
        EXPECT_EQ(stream[4], c.version) << "version " << int{stream[4]};

        auto fromBag = ocx_.CreateBoard();
        ASSERT_EQ(Persist<IPersistPropertyBag>(fromBag.Get())->Load(&bag, nullptr), S_OK);
        EXPECT_EQ(state(*fromBag.Get()), c.state) << "from the bag";
        TestBag again;
        ASSERT_EQ(Persist<IPersistPropertyBag>(fromBag.Get())->Save(&again, TRUE, TRUE), S_OK);
        EXPECT_EQ(again.written, written(c.keys)) << again.written.size() << " keys";

        auto fromStream = ocx_.CreateBoard();
        ASSERT_EQ(Persist<IPersistStreamInit>(fromStream.Get())->Load(StreamOf(stream).Get()), S_OK);
        EXPECT_EQ(state(*fromStream.Get()), c.state) << "from the stream";
        EXPECT_EQ(StateOf(fromStream.Get()).stream, stream) << "saved again";
    }

    // The published class's stream and bag (the four keys alone) read as wood.
    ASSERT_EQ(stream_->InitNew(), S_OK);
    const std::vector<std::uint8_t> old = StateOf(board_.Get()).stream;
    ASSERT_EQ(old[4], 1);
    auto fromOld = ocx_.CreateBoard();
    ASSERT_EQ(Persist<IPersistStreamInit>(fromOld.Get())->Load(StreamOf(old).Get()), S_OK);
    EXPECT_EQ(StateOf(fromOld.Get()).stream, old) << "saved as wood";
    TestBag oldBag;
    FillBag(oldBag);
    auto fromOldBag = ocx_.CreateBoard();
    ASSERT_EQ(Persist<IPersistPropertyBag>(fromOldBag.Get())->Load(&oldBag, nullptr), S_OK);
    TestBag woodBag;
    ASSERT_EQ(Persist<IPersistPropertyBag>(fromOldBag.Get())->Save(&woodBag, TRUE, TRUE), S_OK);
    EXPECT_EQ(woodBag.written, written({})) << woodBag.written.size() << " keys";

    // A colour that is none, or an AnimationTime out of its range, fails and
    // leaves a new board; either colour key alone is flat.
    for (const auto& [key, value] : {std::pair{L"LightSquareColor", 0x7FFFFFFF}, std::pair{L"AnimationTime", 2001}}) {
        TestBag bad;
        bad.Put(L"Flipped", Text(L"True"));
        bad.Put(key, I4(value));
        auto refused = ocx_.CreateBoard();
        EXPECT_EQ(Persist<IPersistPropertyBag>(refused.Get())->Load(&bad, nullptr), kInvalidPropertyValue) << key;
        EXPECT_EQ(state(*refused.Get()), cases[0].state) << key;
    }
    TestBag darkOnly;
    darkOnly.Put(L"DarkSquareColor", Text(L"255"));
    auto dark = ocx_.CreateBoard();
    ASSERT_EQ(Persist<IPersistPropertyBag>(dark.Get())->Load(&darkOnly, nullptr), S_OK);
    EXPECT_EQ(state(*dark.Get()), L"B5D9F0 FF flat 0000 200 1");
    EXPECT_EQ(StateOf(dark.Get()).stream[4], 2);
}

// ---- a stream ---------------------------------------------------------------------------

TEST_F(PersistenceTest, AStreamGivesBackTheFourValuesAndThePicturesPixels) {
    TestBag loaded;
    FillBag(loaded);
    ASSERT_EQ(bag_->Load(&loaded, nullptr), S_OK);
    ULARGE_INTEGER size{};
    ASSERT_EQ(stream_->GetSizeMax(&size), S_OK);
    ComPtr<IStream> stream = StreamOf({});
    ASSERT_EQ(stream_->Save(stream.Get(), TRUE), S_OK);
    std::vector<std::uint8_t> bytes = StreamBytes(stream.Get());
    EXPECT_EQ(size.QuadPart, bytes.size());

    // What follows the saved form in a container's stream is not read.
    const std::vector<std::uint8_t> saved = bytes;
    bytes.insert(bytes.end(), {'n', 'e', 'x', 't'});
    auto other = ocx_.Create();
    ASSERT_TRUE(other);
    ComPtr<IPersistStreamInit> otherStream;
    ASSERT_EQ(other.As(&otherStream), S_OK);
    ComPtr<IStream> input = StreamOf(bytes);
    ASSERT_EQ(otherStream->Load(input.Get()), S_OK);
    LARGE_INTEGER none{};
    ULARGE_INTEGER at{};
    input->Seek(none, STREAM_SEEK_CUR, &at);
    EXPECT_EQ(at.QuadPart, saved.size());

    ComPtr<IPersistPropertyBag> otherBag;
    ASSERT_EQ(other.As(&otherBag), S_OK);
    TestBag again;
    ASSERT_EQ(otherBag->Save(&again, TRUE, TRUE), S_OK);
    const Saved values = SavedIn(again);
    EXPECT_FALSE(values.enabled);
    EXPECT_EQ(values.piece, 7);
    EXPECT_TRUE(values.isSelected);
    EXPECT_EQ(PictureType(values.picture), PICTYPE_BITMAP);
    EXPECT_TRUE(SameImage(PicturePixels(values.picture), PicturePixels(Rook().Get())));
    EXPECT_EQ(StateOf(other.Get()).stream, saved) << "saved again, the same bytes";
}

TEST_F(PersistenceTest, ANewControlsEmptyPictureGoesThroughAStream) {
    ASSERT_EQ(stream_->InitNew(), S_OK);
    const State before = StateOf(board_.Get());
    auto other = ocx_.Create();
    ComPtr<IPersistStreamInit> otherStream;
    ASSERT_EQ(other.As(&otherStream), S_OK);
    ComPtr<IStream> input = StreamOf(before.stream);
    ASSERT_EQ(otherStream->Load(input.Get()), S_OK);
    EXPECT_EQ(StateOf(other.Get()), before);
}

TEST_F(PersistenceTest, ABrokenStreamFailsAndChangesNothing) {
    TestBag loaded;
    FillBag(loaded);
    ASSERT_EQ(bag_->Load(&loaded, nullptr), S_OK);
    const std::vector<std::uint8_t> good = StateOf(board_.Get()).stream;
    ASSERT_GT(good.size(), 20u);

    // Another control, with values of its own, is handed the broken streams.
    auto target = ocx_.Create();
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(target.As(&persist), S_OK);
    ASSERT_EQ(target->put_Enabled(VARIANT_TRUE), S_OK);
    const State before = StateOf(target.Get());
    const HRESULT dirtyBefore = persist->IsDirty();

    std::vector<std::vector<std::uint8_t>> broken;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{9}, std::size_t{10}, std::size_t{14},
                                     std::size_t{20}, good.size() - 1})
        broken.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    std::vector<std::uint8_t> huge = good;  // a body length far beyond any saved form
    huge[6] = huge[7] = huge[8] = 0xFF, huge[9] = 0x7F;
    broken.push_back(huge);
    std::vector<std::uint8_t> badPicture = good;  // the picture's own bytes garbled
    for (std::size_t k = 24; k < badPicture.size(); ++k) badPicture[k] = static_cast<std::uint8_t>(k * 7);
    broken.push_back(badPicture);
    std::vector<std::uint8_t> badVersion = good;
    badVersion[4] = 9;
    broken.push_back(badVersion);
    std::mt19937 random(1234);
    for (const std::size_t length : {5u, 10u, 64u, 1000u}) {
        std::vector<std::uint8_t> noise(length);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        broken.push_back(noise);
        noise.assign(good.begin(), good.begin() + 10);  // a good header, noise after it
        for (std::size_t k = 0; k < length; ++k) noise.push_back(static_cast<std::uint8_t>(random()));
        broken.push_back(noise);
    }
    for (const auto& bytes : broken) {
        ComPtr<IStream> input = StreamOf(bytes);
        const HRESULT hr = persist->Load(input.Get());
        EXPECT_TRUE(FAILED(hr)) << bytes.size() << " bytes: " << std::hex << hr;
        EXPECT_EQ(StateOf(target.Get()), before) << bytes.size() << " bytes changed the control";
        EXPECT_EQ(persist->IsDirty(), dirtyBefore);
    }
    ComPtr<IStream> truncated = StreamOf({good.begin(), good.begin() + 12});
    EXPECT_EQ(persist->Load(truncated.Get()), kInvalidPropertyValue);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

TEST_F(PersistenceTest, ChangesMakeTheControlDirtyUntilASaveClearsIt) {
    EXPECT_EQ(stream_->IsDirty(), S_FALSE);
    ASSERT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_OK);
    ComPtr<IStream> stream = StreamOf({});
    ASSERT_EQ(stream_->Save(stream.Get(), FALSE), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_OK) << "a save that keeps the dirt";
    ASSERT_EQ(stream_->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_FALSE);
    ASSERT_EQ(board_->NewGame(), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_FALSE) << "methods change no saved property";
    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    TestBag bag;
    ASSERT_EQ(bag_->Save(&bag, TRUE, FALSE), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_FALSE);
    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(stream_->InitNew(), S_OK);
    EXPECT_EQ(stream_->IsDirty(), S_FALSE);
}

}  // namespace
}  // namespace quelder::testing
