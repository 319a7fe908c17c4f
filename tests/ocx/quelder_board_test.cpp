// The board class as a host sees it on the screen: drawn at its squares' size,
// from the other side, with marks, arrows and coordinates, and painted only
// where a change shows; and its picture as a file, on the clipboard and as a
// picture object.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "control_test_support.hpp"
#include "drawing/bmp_codec.hpp"
#include "plain_site.hpp"
#include "support/message_loop.hpp"
#include "support/picture_files.hpp"
#include "support/update_region.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

Image SquareOf(const Image& board, int edge, int screenCol, int screenRow) {
    return Crop(board, (screenCol - 1) * edge, (screenRow - 1) * edge, edge, edge);
}

int Luma(Pixel p) { return (RedOf(p) * 3 + GreenOf(p) * 6 + BlueOf(p)) / 10; }

// The outline of a piece, as the pixels that differ from the empty square:
// the median length of the dark run that starts each row of the piece, and
// the piece's widest row.
struct Outline {
    int medianRun = 0;
    int width = 0;
};
Outline OutlineOf(const Image& piece, const Image& empty) {
    std::vector<int> runs;
    Outline outline;
    for (int y = 0; y < piece.Height(); ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < piece.Width(); ++x) {
            if (piece.At(x, y) == empty.At(x, y)) continue;
            if (first < 0) first = x;
            last = x;
        }
        if (first < 0) continue;
        outline.width = std::max(outline.width, last - first + 1);
        int run = 0;
        while (first + run < piece.Width() && Luma(piece.At(first + run, y)) < 100) ++run;
        if (run > 0) runs.push_back(run);
    }
    if (!runs.empty()) {
        std::nth_element(runs.begin(), runs.begin() + static_cast<long>(runs.size() / 2), runs.end());
        outline.medianRun = runs[runs.size() / 2];
    }
    return outline;
}

// A BSTR for the length of a statement.
using Text = BstrText;

VARIANT Pixels(LONG size) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = size;
    return v;
}

// The system as the control reads it, made to say that high contrast is on
// and to give colours of the test's own: Wine reports high contrast off
// whatever is set (SPI_SETHIGHCONTRAST fails there), so the control's own
// imports of SystemParametersInfoW and GetSysColor are pointed here for the
// scope of a FakeSystem, and back as it ends, whatever failed meanwhile.
struct SystemState {
    bool highContrast = false;
    COLORREF window = 0, face = 0, text = 0, highlight = 0;
};
SystemState fakeSystem;
using SpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
using ColourFunction = DWORD(WINAPI*)(int);
SpiFunction realSpi = nullptr;
ColourFunction realColour = nullptr;

BOOL WINAPI FakeSpi(UINT action, UINT param, PVOID data, UINT ini) {
    if (action != SPI_GETHIGHCONTRAST || !fakeSystem.highContrast || data == nullptr)
        return realSpi(action, param, data, ini);
    auto* contrast = static_cast<HIGHCONTRASTW*>(data);
    contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
}

DWORD WINAPI FakeColour(int index) {
    if (fakeSystem.highContrast) {
        if (index == COLOR_WINDOW) return fakeSystem.window;
        if (index == COLOR_BTNFACE) return fakeSystem.face;
        if (index == COLOR_WINDOWTEXT) return fakeSystem.text;
        if (index == COLOR_HIGHLIGHT) return fakeSystem.highlight;
    }
    return realColour(index);
}

// Points module's import of name from user32.dll at replacement; the old
// address, or 0 when module imports no such function.
ULONG_PTR ReplaceImport(HMODULE module, const char* name, ULONG_PTR replacement) {
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* from = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         from->Name != 0; ++from) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + from->Name), "user32.dll") != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + from->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + from->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* named = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(named->Name), name) != 0) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) return 0;
            const ULONG_PTR was = static_cast<ULONG_PTR>(slots->u1.Function);
            slots->u1.Function = static_cast<decltype(slots->u1.Function)>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return was;
        }
    }
    return 0;
}

class FakeSystem {
public:
    explicit FakeSystem(HMODULE module) : module_(module) {
        const ULONG_PTR spi = ReplaceImport(module_, "SystemParametersInfoW", reinterpret_cast<ULONG_PTR>(&FakeSpi));
        const ULONG_PTR colour = ReplaceImport(module_, "GetSysColor", reinterpret_cast<ULONG_PTR>(&FakeColour));
        realSpi = reinterpret_cast<SpiFunction>(spi);
        realColour = reinterpret_cast<ColourFunction>(colour);
    }
    ~FakeSystem() {
        fakeSystem = {};
        if (realSpi != nullptr) ReplaceImport(module_, "SystemParametersInfoW", reinterpret_cast<ULONG_PTR>(realSpi));
        if (realColour != nullptr) ReplaceImport(module_, "GetSysColor", reinterpret_cast<ULONG_PTR>(realColour));
    }
    FakeSystem(const FakeSystem&) = delete;
    FakeSystem& operator=(const FakeSystem&) = delete;
    bool Installed() const { return realSpi != nullptr && realColour != nullptr; }

private:
    HMODULE module_;
};

Pixel PixelOf(COLORREF colour) { return MakePixel(GetRValue(colour), GetGValue(colour), GetBValue(colour)); }

// The first pixel of each row of a square, from the left, that is not ground:
// how many there are and how many of them are colour, and the first that is not.
struct Edge {
    int rows = 0, matching = 0;
    Pixel other = 0;
};
Edge LeftEdgeOf(const Image& square, Pixel ground, Pixel colour) {
    Edge edge;
    for (int y = 0; y < square.Height(); ++y)
        for (int x = 0; x < square.Width(); ++x) {
            const Pixel p = square.At(x, y);
            if (p == ground) continue;
            ++edge.rows;
            if (p == colour)
                ++edge.matching;
            else if (edge.other == 0)
                edge.other = p;
            break;
        }
    return edge;
}

class BoardClassTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        board2_ = ocx_.CreateBoard();
        ASSERT_TRUE(board2_) << "the class factory made no board";
    }
    void TearDown() override {
        board2_.Reset();
        ControlTest::TearDown();
    }
    Image Draw(IUnknown* control, int size) { return DrawnControl(control, size, size); }
    HRESULT Size(LONG pixels) { return board2_->ChangeBoardSize(&pixels); }

    ComPtr<_QuelderBoard> board2_;
    // Released after the board, which may hold the site until it goes.
    TopWindow top_{30, 30, 400, 400};
    PlainSite site_;
};

TEST_F(BoardClassTest, DrawsItsPicturesAtTheSquaresSize) {
    // At 37 pixels a square the two classes look the same, selection included.
    // The board class answers for the published interface too.
    ComPtr<_Quelder> published;
    ASSERT_EQ(board2_.As(&published), S_OK);
    SHORT col = 3, row = 2;
    for (_Quelder* control : {board_.Get(), published.Get()}) {
        ASSERT_EQ(control->NewGame(), S_OK);
        ASSERT_EQ(control->SelectSquare(&col, &row), S_OK);
    }
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 296), Draw(board_.Get(), 296))) << "at 37 pixels";

    // At 100 pixels the pieces are drawn at that size: about 100/37 as wide,
    // with an outline about as thin as at 37 pixels, not stretched to three.
    const Image small = Draw(board2_.Get(), 296);
    ASSERT_EQ(Size(800), S_OK);
    const Image large = Draw(board2_.Get(), 800);
    ASSERT_EQ(board2_->Clear(), S_OK);
    const Image largeEmpty = Draw(board2_.Get(), 800);
    ASSERT_EQ(Size(296), S_OK);
    const Image smallEmpty = Draw(board2_.Get(), 296);
    for (int c : {1, 2, 5}) {
        const Outline at37 = OutlineOf(SquareOf(small, 37, c, 8), SquareOf(smallEmpty, 37, c, 8));
        const Outline at100 = OutlineOf(SquareOf(large, 100, c, 8), SquareOf(largeEmpty, 100, c, 8));
        const std::string what = "W piece in column " + std::to_string(c) + ": width " + std::to_string(at37.width) +
                                 " -> " + std::to_string(at100.width) + ", outline " +
                                 std::to_string(at37.medianRun) + " -> " + std::to_string(at100.medianRun);
        EXPECT_GE(at37.medianRun, 1) << what;
        EXPECT_LE(at100.medianRun, at37.medianRun + 1) << what;
        EXPECT_NEAR(at100.width, at37.width * 100.0 / 37, 4) << what;
    }

    // A picture the host sets is fitted to the square, as wide as the piece
    // drawn from its shapes: the W queen's picture set for the B pawn.
    ::PieceNum queen = ::WQueen, pawn = ::Bpawn;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board2_->get_Picture(&queen, picture.GetAddressOf()), S_OK);
    ASSERT_EQ(board2_->putref_Picture(&pawn, picture.GetAddressOf()), S_OK);
    ASSERT_EQ(board2_->NewGame(), S_OK);
    ASSERT_EQ(Size(800), S_OK);
    const Image hosts = Draw(board2_.Get(), 800);
    const Outline fitted = OutlineOf(SquareOf(hosts, 100, 1, 2), SquareOf(largeEmpty, 100, 1, 2));
    const Outline shaped = OutlineOf(SquareOf(hosts, 100, 4, 8), SquareOf(largeEmpty, 100, 4, 8));
    EXPECT_NEAR(fitted.width, shaped.width, 4) << "the host's queen " << fitted.width << ", the control's "
                                               << shaped.width;
}

TEST_F(BoardClassTest, FlippedMarkedAndLabelledAndBackAgain) {
    ASSERT_EQ(board2_->NewGame(), S_OK);
    ASSERT_EQ(Size(800), S_OK);
    const Image plain = Draw(board2_.Get(), 800);

    // From the other side, (1, 1) is at the bottom right; squares keep their
    // names. Square (8, 8) was there, of the same colour.
    ASSERT_EQ(board2_->put_Flipped(VARIANT_TRUE), S_OK);
    const Image flipped = Draw(board2_.Get(), 800);
    EXPECT_TRUE(SameImage(SquareOf(flipped, 100, 8, 8), SquareOf(plain, 100, 1, 1))) << "B rook of (1, 1)";
    EXPECT_TRUE(SameImage(SquareOf(flipped, 100, 4, 1), SquareOf(plain, 100, 5, 8))) << "W king of (5, 8)";
    SHORT col = 1, row = 1;
    ::PieceNum piece{};
    ASSERT_EQ(board2_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, ::Brook);
    ASSERT_EQ(Size(400), S_OK);
    ASSERT_EQ(Size(800), S_OK);
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 800), flipped)) << "resized while flipped";

    // Each change shows on its squares alone, and undoing it gives the
    // same pixels.
    std::vector<std::pair<int, int>> edges;  // the bottom row and the left column on the screen
    for (int k = 1; k <= 8; ++k) edges.insert(edges.end(), {{k, 8}, {1, k}});
    const struct {
        const char* name;
        std::function<HRESULT()> make, undo;
        std::vector<std::pair<int, int>> screenSquares;  // where it shows
    } changes[] = {
        {"a mark on (4, 4)", [&] { return board2_->MarkSquare(4, 4, RGB(255, 0, 0)); },
         [&] { return board2_->UnMarkSquare(4, 4); }, {{5, 5}}},
        {"marks cleared", [&] { return board2_->MarkSquare(2, 3, 0x80000005); },
         [&] { return board2_->ClearMarks(); }, {{7, 6}}},
        {"an arrow from (5, 7) to (5, 5)", [&] { return board2_->DrawArrow(5, 7, 5, 5, RGB(0, 0, 255)); },
         [&] { return board2_->ClearArrows(); }, {{4, 2}, {4, 3}, {4, 4}}},
        {"coordinates", [&] { return board2_->put_ShowCoordinates(VARIANT_TRUE); },
         [&] { return board2_->put_ShowCoordinates(VARIANT_FALSE); }, edges},
    };
    for (const auto& change : changes) {
        ASSERT_EQ(change.make(), S_OK) << change.name;
        const Image shown = Draw(board2_.Get(), 800);
        for (int r = 1; r <= 8; ++r)
            for (int c = 1; c <= 8; ++c) {
                const bool expected = std::count(change.screenSquares.begin(), change.screenSquares.end(),
                                                 std::make_pair(c, r)) > 0;
                EXPECT_EQ(!SameImage(SquareOf(shown, 100, c, r), SquareOf(flipped, 100, c, r)), expected)
                    << change.name << ": screen square " << c << ", " << r;
            }
        ASSERT_EQ(change.undo(), S_OK) << change.name;
        EXPECT_TRUE(SameImage(Draw(board2_.Get(), 800), flipped)) << change.name << " undone";
    }
    ASSERT_EQ(board2_->DrawArrow(5, 7, 5, 5, RGB(0, 0, 255)), S_OK);
    const Pixel middle = Draw(board2_.Get(), 800).At(350, 250);  // (5, 6) seen flipped
    EXPECT_GT(BlueOf(middle), RedOf(middle) + 40) << std::hex << middle;

    ASSERT_EQ(board2_->ClearArrows(), S_OK);
    ASSERT_EQ(board2_->put_Flipped(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 800), plain)) << "turned back";

    // Flat squares in the host's colours, and the wood again.
    ASSERT_EQ(board2_->put_LightSquareColor(RGB(255, 0, 0)), S_OK);
    ASSERT_EQ(board2_->put_DarkSquareColor(RGB(0, 0, 255)), S_OK);
    const Image flat = Draw(board2_.Get(), 800);
    EXPECT_EQ(flat.At(302, 302), MakePixel(255, 0, 0)) << std::hex << flat.At(302, 302) << ", a light square's corner";
    EXPECT_EQ(flat.At(402, 302), MakePixel(0, 0, 255)) << std::hex << flat.At(402, 302) << ", a dark square's corner";
    ASSERT_EQ(board2_->UseWood(), S_OK);
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 800), plain)) << "the wood again";
}

TEST_F(BoardClassTest, PaintsTheChangedSquaresOnceAndNothingDuringAnUpdate) {
    ASSERT_EQ(board2_->put_AnimationTime(0), S_OK);  // the changes' own repaints, no frames
    const HWND window = ActivateInPlace(board2_.Get(), site_, top_.get());
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(board2_->NewGame(), S_OK);
    const auto settle = [&] { PumpUntil([&] { return InvalidArea(window) == 0; }, 2000); };
    settle();

    ASSERT_EQ(board2_->put_Position(Text(L"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR").value), S_OK);
    EXPECT_EQ(InvalidArea(window), 2 * 37 * 37) << "Position let: two squares changed";
    settle();

    ASSERT_EQ(board2_->BeginUpdate(), S_OK);
    ASSERT_EQ(board2_->BeginUpdate(), S_OK);
    ASSERT_EQ(board2_->put_Position(Text(L"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR").value), S_OK);
    ASSERT_EQ(board2_->MarkSquare(1, 4, RGB(0, 255, 0)), S_OK);
    ASSERT_EQ(board2_->EndUpdate(), S_OK);
    Pump();
    EXPECT_EQ(InvalidArea(window), 0) << "inside the outer update";
    const Image held = Shot(window);
    ASSERT_EQ(board2_->EndUpdate(), S_OK);
    EXPECT_EQ(InvalidArea(window), 3 * 37 * 37) << "the pawn's two squares and the mark";
    settle();
    EXPECT_FALSE(SameImage(Shot(window), held));
    EXPECT_TRUE(SameImage(Shot(window), DrawnControl(board2_.Get(), 296, 296)));

    EXPECT_EQ(board2_->EndUpdate(), static_cast<HRESULT>(0x800A0005)) << "EndUpdate without BeginUpdate";
    EXPECT_EQ(TakeErrorInfo().description, L"EndUpdate without BeginUpdate");
    EXPECT_EQ(board2_->MarkSquare(9, 1, 0), static_cast<HRESULT>(0x80040001));
    EXPECT_EQ(InvalidArea(window), 0) << "a refused member paints nothing";
}

TEST_F(BoardClassTest, SavesCopiesAndHandsOutItsPictureAtTheSizeAsked) {
    ASSERT_EQ(board2_->NewGame(), S_OK);
    ASSERT_EQ(board2_->MarkSquare(4, 4, RGB(255, 0, 0)), S_OK);
    ASSERT_EQ(board2_->DrawArrow(5, 7, 5, 5, RGB(0, 0, 255)), S_OK);
    ASSERT_EQ(board2_->put_ShowCoordinates(VARIANT_TRUE), S_OK);
    SHORT col = 3, row = 2;
    ASSERT_EQ(board2_->SelectSquare(&col, &row), S_OK);
    // Saved at 400 pixels from a board of 296: drawn at 400, as the board
    // itself draws at that size.
    const Image board400 = [&] {
        EXPECT_EQ(Size(400), S_OK);
        Image drawn = Draw(board2_.Get(), 400);
        EXPECT_EQ(Size(296), S_OK);
        return drawn;
    }();
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"quelder_board_test.png";
    DeleteFileW(path.c_str());
    ASSERT_EQ(board2_->SaveImage(Text(path.c_str()).value, Pixels(400)), S_OK) << TakeErrorInfo().description;
    const Image saved = DecodedFile(path);
    DeleteFileW(path.c_str());
    ASSERT_EQ(saved.Width(), 400) << "height " << saved.Height();
    ASSERT_EQ(saved.Height(), 400);
    const struct {
        const char* what;
        int x, y;
    } samples[] = {
        {"the light square (1, 1)", 3, 25},      {"the dark square (2, 1)", 75, 3},
        {"the marked square (4, 4)", 175, 170},  {"the W king's middle (5, 8)", 225, 375},
        {"the B queen's middle (4, 1)", 175, 25}, {"the arrow over (5, 6)", 225, 275},
        {"the selected pawn (3, 2)", 125, 80},   {"the label of rank 8", 5, 362},
    };
    for (const auto& at : samples)
        EXPECT_EQ(saved.At(at.x, at.y), board400.At(at.x, at.y))
            << at.what << " at " << at.x << ", " << at.y << ": saved " << std::hex << saved.At(at.x, at.y)
            << ", drawn " << board400.At(at.x, at.y);
    int differing = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) differing += saved.At(x, y) != board400.At(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0) << "pixels unlike the board drawn at 400";
    // A piece stands on (5, 8): its square is unlike the empty (5, 4) of its colour.
    EXPECT_FALSE(SameImage(Crop(saved, 200, 350, 50, 50), Crop(saved, 200, 150, 50, 50))) << "no king on (5, 8)";

    // On the clipboard as a bitmap and as PNG.
    ASSERT_EQ(board2_->CopyImage(Pixels(200)), S_OK);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const UINT png = RegisterClipboardFormatW(L"PNG");
    const bool hasDib = IsClipboardFormatAvailable(CF_DIB) != FALSE, hasPng = IsClipboardFormatAvailable(png) != FALSE;
    LONG dibWidth = 0, dibHeight = 0;
    SIZE_T pngBytes = 0;
    if (HANDLE dib = GetClipboardData(CF_DIB)) {
        if (const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib))) {
            dibWidth = header->biWidth;
            dibHeight = header->biHeight;
            GlobalUnlock(dib);
        }
    }
    if (HANDLE data = GetClipboardData(png)) pngBytes = GlobalSize(data);
    CloseClipboard();
    EXPECT_TRUE(hasDib) << "no CF_DIB";
    EXPECT_TRUE(hasPng) << "no PNG";
    EXPECT_EQ(dibWidth, 200) << "height " << dibHeight;
    EXPECT_EQ(dibHeight, 200);
    EXPECT_GT(pngBytes, 100u);

    // As a picture object, a bitmap of the size asked.
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board2_->BoardPicture(Pixels(300), picture.GetAddressOf()), S_OK);
    ComPtr<IPicture> bitmap;
    ASSERT_EQ(picture.As(&bitmap), S_OK);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(bitmap->get_Handle(&handle), S_OK);
    BITMAP header{};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof header, &header),
              static_cast<int>(sizeof header));
    EXPECT_EQ(header.bmWidth, 300) << "height " << header.bmHeight;
    EXPECT_EQ(header.bmHeight, 300);
}

// Windows' high contrast on: the hosted board is drawn in the system's
// colours, whatever its own, the pieces ringed in the text colour, the
// selection and the marks in the highlight, on the screen, through
// IViewObject::Draw and in a saved picture alike; it follows a change of the
// colours, and off again it is drawn as before.
TEST_F(BoardClassTest, FollowsHighContrastAndTheSystemColours) {
    ASSERT_EQ(board2_->put_AnimationTime(0), S_OK);
    const HWND window = ActivateInPlace(board2_.Get(), site_, top_.get());
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(board2_->NewGame(), S_OK);
    ASSERT_EQ(board2_->put_LightSquareColor(RGB(255, 0, 0)), S_OK);
    SHORT col = 3, row = 2;
    ASSERT_EQ(board2_->SelectSquare(&col, &row), S_OK);
    ASSERT_EQ(board2_->MarkSquare(4, 4, RGB(0, 255, 0)), S_OK);
    const auto settle = [&] { PumpUntil([&] { return InvalidArea(window) == 0; }, 2000); };
    settle();
    const Image before = Draw(board2_.Get(), 296);

    FakeSystem system(ocx_.Module());
    ASSERT_TRUE(system.Installed()) << "Quelder.ocx imports no SystemParametersInfoW or GetSysColor";
    fakeSystem = {true, RGB(12, 34, 56), RGB(200, 60, 90), RGB(255, 255, 0), RGB(0, 200, 255)};
    SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    settle();
    const Image shown = Shot(window), drawn = Draw(board2_.Get(), 296);
    EXPECT_TRUE(SameImage(shown, drawn)) << "the screen and IViewObject::Draw";
    const Pixel ground = PixelOf(fakeSystem.window), face = PixelOf(fakeSystem.face),
                text = PixelOf(fakeSystem.text), highlight = PixelOf(fakeSystem.highlight);
    // Column and row on the screen, unflipped: (c + r) even is light.
    EXPECT_EQ(SquareOf(drawn, 37, 6, 4).At(1, 1), ground) << std::hex << SquareOf(drawn, 37, 6, 4).At(1, 1)
                                                          << ", an empty light square";
    EXPECT_EQ(SquareOf(drawn, 37, 5, 4).At(1, 1), face) << std::hex << SquareOf(drawn, 37, 5, 4).At(1, 1)
                                                       << ", an empty dark square";
    EXPECT_EQ(SquareOf(drawn, 37, 4, 4).At(1, 1), highlight) << std::hex << SquareOf(drawn, 37, 4, 4).At(1, 1)
                                                            << ", the marked square";
    const struct {
        const char* what;
        int col, row;
        Pixel ground, ring;
    } pieces[] = {
        {"W knight on light", 2, 8, ground, text}, {"W rook on dark", 1, 8, face, text},
        {"B rook on light", 1, 1, ground, text},   {"B knight on dark", 2, 1, face, text},
        {"the selected B pawn", 3, 2, face, highlight},
    };
    for (const auto& piece : pieces) {
        const Edge edge = LeftEdgeOf(SquareOf(drawn, 37, piece.col, piece.row), piece.ground, piece.ring);
        EXPECT_GT(edge.rows, 15) << piece.what;
        EXPECT_EQ(edge.matching, edge.rows) << piece.what << ": rows whose edge is not the ring's colour, first "
                                            << std::hex << edge.other;
    }
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"quelder_high_contrast.png";
    ASSERT_EQ(board2_->SaveImage(Text(path.c_str()).value, Pixels(296)), S_OK) << TakeErrorInfo().description;
    const Image saved = DecodedFile(path);
    DeleteFileW(path.c_str());
    EXPECT_EQ(SquareOf(saved, 37, 4, 4).At(1, 1), highlight) << std::hex << SquareOf(saved, 37, 4, 4).At(1, 1)
                                                            << ", the saved marked square";
    EXPECT_EQ(SquareOf(saved, 37, 5, 4).At(1, 1), face) << std::hex << SquareOf(saved, 37, 5, 4).At(1, 1);

    // The colours change: the window hears of it. With the buttons' colour
    // the windows', the dark squares take some of the text's, to alternate.
    fakeSystem.highlight = RGB(0, 160, 0);
    fakeSystem.face = fakeSystem.window;
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    settle();
    const Image recoloured = Shot(window);
    EXPECT_EQ(SquareOf(recoloured, 37, 4, 4).At(1, 1), MakePixel(0, 160, 0))
        << std::hex << SquareOf(recoloured, 37, 4, 4).At(1, 1) << ", the marked square in the new highlight";
    EXPECT_EQ(SquareOf(recoloured, 37, 6, 4).At(1, 1), ground) << std::hex << SquareOf(recoloured, 37, 6, 4).At(1, 1);
    const Pixel dark = SquareOf(recoloured, 37, 5, 4).At(1, 1);
    EXPECT_GT(Luma(dark), Luma(ground) + 40) << std::hex << dark << ", a dark square like a light one";

    // Off again: as before, its colour as set.
    fakeSystem.highContrast = false;
    SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    settle();
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 296), before)) << "high contrast off";
    EXPECT_TRUE(SameImage(Shot(window), before)) << "high contrast off, on the screen";
    LONG light = 0;
    ASSERT_EQ(board2_->get_LightSquareColor(&light), S_OK);
    EXPECT_EQ(light, RGB(255, 0, 0)) << std::hex << light;
}

// A set of twelve PNG pictures with transparency drawn in place of the
// built-in pieces at the squares' size, with no dark rim; a set that cannot
// be read in full changes nothing.
TEST_F(BoardClassTest, DrawsAPieceSetReadFromFilesOrKeepsTheOneItHas) {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"quelder_piece_set\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    // Discs: the W king white, each other piece a colour of its own.
    const auto colourOf = [](int k) -> std::uint32_t { return k == 5 ? 0xFFFFFFu : 0x204060u + static_cast<std::uint32_t>(k) * 0x0A0C0Eu; };
    const auto writeSet = [&] { ASSERT_TRUE(WritePieceSet(folder, 32, colourOf)); };
    writeSet();
    ASSERT_EQ(board2_->NewGame(), S_OK);
    const Image builtIn = Draw(board2_.Get(), 296);
    ASSERT_EQ(board2_->LoadPieceSet(Text(folder.c_str()).value), S_OK) << TakeErrorInfo().description;
    const Image loaded = Draw(board2_.Get(), 296);
    // (5, 8), the W king, and (5, 1), the B king, at 37-pixel squares; (5, 4)
    // is an empty square of the W king's colour.
    const Image king = SquareOf(loaded, 37, 5, 8), empty = SquareOf(loaded, 37, 5, 4);
    EXPECT_EQ(king.At(18, 18), 0xFFFFFFu) << std::hex << "the W king's middle: " << king.At(18, 18);
    EXPECT_EQ(SquareOf(loaded, 37, 4, 8).At(18, 18), colourOf(4)) << std::hex << "the W queen's middle";
    EXPECT_EQ(SquareOf(loaded, 37, 5, 1).At(18, 18), colourOf(11)) << std::hex << "the B king's middle";
    EXPECT_EQ(king.At(1, 1), empty.At(1, 1)) << std::hex << "the corner shows the wood: " << king.At(1, 1);
    int darker = 0;
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 37; ++x) {
            const Pixel p = king.At(x, y), under = empty.At(x, y);
            darker += RedOf(p) < RedOf(under) || GreenOf(p) < GreenOf(under) || BlueOf(p) < BlueOf(under) ? 1 : 0;
        }
    EXPECT_EQ(darker, 0) << "pixels of a white piece darker than the wood under it: a rim";

    // A piece with no .png is read from its .bmp, which covers its square.
    DeleteFileW((folder + L"wQ.png").c_str());
    Image solid(32, 32);
    for (Pixel& p : solid.Pixels()) p = 0x123456u;
    const std::vector<std::uint8_t> bmp = EncodeBmp(solid);
    const HANDLE bmpFile = CreateFileW((folder + L"wQ.bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD bmpWritten = 0;
    WriteFile(bmpFile, bmp.data(), static_cast<DWORD>(bmp.size()), &bmpWritten, nullptr);
    CloseHandle(bmpFile);
    ASSERT_EQ(board2_->LoadPieceSet(Text(folder.c_str()).value), S_OK) << TakeErrorInfo().description;
    const Image queen = SquareOf(Draw(board2_.Get(), 296), 37, 4, 8);
    EXPECT_EQ(queen.At(18, 18), 0x123456u) << std::hex << "the W queen's middle, from a .bmp: " << queen.At(18, 18);
    EXPECT_EQ(queen.At(1, 1), 0x123456u) << std::hex << "the W queen's corner, from a .bmp: " << queen.At(1, 1);
    DeleteFileW((folder + L"wQ.bmp").c_str());

    // Each fault leaves the board as it is, and names the file.
    struct Fault {
        const wchar_t* file;
        int width;  // 0: not a picture at all; -2: a PNG's signature, then nothing of one
        HRESULT error;
        const wchar_t* says;
    };
    const Fault faults[] = {
        {L"bQ.png", -1, static_cast<HRESULT>(0x800A0035), L"File not found: "},
        {L"wN.png", 0, static_cast<HRESULT>(0x800A017C), L" is not a picture that can be read"},
        {L"bB.png", -2, static_cast<HRESULT>(0x800A017C), L" is not a picture that can be read"},
        {L"wP.png", 4097, static_cast<HRESULT>(0x800A017C), L" is larger than 4,096 pixels a side"},
    };
    ASSERT_EQ(board2_->UseBuiltInPieces(), S_OK);
    EXPECT_TRUE(SameImage(Draw(board2_.Get(), 296), builtIn)) << "the built-in pieces again";
    for (const Fault& fault : faults) {
        writeSet();
        const std::wstring path = folder + fault.file;
        DeleteFileW(path.c_str());
        if (fault.width == 0 || fault.width == -2) {
            const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            const char* text = fault.width == 0 ? "not a picture" : "\x89PNG\r\n\x1a\nnot a picture";
            WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
            CloseHandle(file);
        } else if (fault.width > 0) {
            ASSERT_TRUE(WritePng(path, fault.width, 1, [](int, int) { return 0xFF000000u; }));
        }
        EXPECT_EQ(board2_->LoadPieceSet(Text(folder.c_str()).value), fault.error) << Narrow(fault.file);
        const std::wstring says = TakeErrorInfo().description;
        EXPECT_NE(says.find(fault.says), std::wstring::npos) << Narrow(says);
        EXPECT_NE(says.find(fault.file), std::wstring::npos) << Narrow(says);
        EXPECT_TRUE(SameImage(Draw(board2_.Get(), 296), builtIn)) << Narrow(fault.file) << " changed the board";
    }
    for (const wchar_t* name : kPieceFileNames) DeleteFileW((folder + name + L".png").c_str());
    RemoveDirectoryW(folder.c_str());
}

// Once a container runs untrusted scripts, the members that reach the user's
// files and clipboard are refused with 70, the same whether a path exists or
// not, and write nothing; the others stay usable.
TEST_F(BoardClassTest, UntrustedCallersReachNoFileNorTheClipboard) {
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(board2_.As(&safety), S_OK);
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              S_OK);
    wchar_t folder[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"quelder_untrusted.png";
    DeleteFileW(path.c_str());
    const HRESULT kDenied = static_cast<HRESULT>(0x800A0046);
    for (const std::wstring& target : {path, std::wstring(folder) + L"no such folder\\x.png"}) {
        EXPECT_EQ(board2_->SaveImage(Text(target.c_str()).value, Pixels(100)), kDenied) << Narrow(target);
        EXPECT_EQ(TakeErrorInfo().description, L"Permission denied");
        const std::wstring itsFolder = target.substr(0, target.find_last_of(L'\\'));
        EXPECT_EQ(board2_->LoadPieceSet(Text(itsFolder.c_str()).value), kDenied) << Narrow(itsFolder);
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a file was written";
    EXPECT_EQ(board2_->CopyImage(Pixels(100)), kDenied);
    EXPECT_EQ(board2_->NewGame(), S_OK) << "a harmless member";
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0), S_OK);
    EXPECT_EQ(board2_->SaveImage(Text(path.c_str()).value, Pixels(100)), S_OK) << "trusted again";
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace quelder::testing
