#include "appearance/board_picture.hpp"
#include "appearance/board_size.hpp"
#include "position/new_game.hpp"
#include "support/board_fixture.hpp"

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <utility>

namespace quelder {
namespace {

using testing::ExpectError;

PictureRef Solid(int w, int h, Pixel p) { return std::make_shared<PixelPicture>(Image(w, h, p)); }

// The size of an image and the first pixel where it differs from another.
std::string Difference(const Image& got, const Image& expected) {
    std::ostringstream out;
    out << got.Width() << " x " << got.Height() << std::hex;
    for (int y = 0; y < std::min(got.Height(), expected.Height()); ++y)
        for (int x = 0; x < std::min(got.Width(), expected.Width()); ++x)
            if (got.At(x, y) != expected.At(x, y)) {
                out << ", " << got.At(x, y) << " instead of " << expected.At(x, y) << std::dec << " at (" << x
                    << ", " << y << ")";
                return out.str();
            }
    return out.str();
}

const Pixel kRed = MakePixel(200, 0, 0);
const Pixel kBack = MakePixel(240, 240, 240);

TEST(PixelSquareView, PictureSitsTopLeftOverTheBackgroundAsFarAsTheViewShowsIt) {
    PixelSquareView view(kBack);
    view.SetWidth(50);
    view.SetHeight(50);
    view.SetPicture(Solid(37, 37, kRed));
    EXPECT_EQ(view.Kept().Width(), 50);
    EXPECT_EQ(view.Kept().At(36, 36), kRed);
    EXPECT_EQ(view.Kept().At(37, 10), kBack) << "margin right of the picture";
    EXPECT_EQ(view.Kept().At(10, 49), kBack) << "margin below the picture";

    // Shrinking lets go of what the view no longer shows; grown again, it
    // shows its background there until the next picture.
    view.SetWidth(20);
    view.SetHeight(20);
    view.SetWidth(40);
    view.SetHeight(40);
    EXPECT_EQ(view.Kept().Width(), 40);
    EXPECT_EQ(view.Kept().Height(), 40);
    EXPECT_EQ(view.Kept().At(19, 19), kRed) << "what stayed in view";
    EXPECT_EQ(view.Kept().At(20, 5), kBack) << "what was out of view";
    EXPECT_EQ(view.Kept().At(36, 36), kBack) << "what was out of view";

    view.SetPicture(Solid(60, 45, kRed));
    EXPECT_EQ(view.Kept().Width(), 40) << "a larger picture is kept as far as the view shows it";
    EXPECT_EQ(view.Kept().At(39, 39), kRed);
    view.SetPicture(nullptr);
    EXPECT_EQ(view.Kept().At(0, 0), kBack) << "no picture: plain background";
}

TEST(PixelSquareView, RoundsFractionalPlacesToPixels) {
    PixelSquareView view(kBack);
    view.SetLeft(37.5f);
    view.SetTop(262.5f);
    view.SetWidth(37.5f);
    EXPECT_EQ(view.Left(), 37.5f) << "kept as handed over";
    EXPECT_EQ(view.PixelLeft(), 38);
    EXPECT_EQ(view.PixelTop(), 263);
    EXPECT_EQ(view.PixelWidth(), 38);
}

TEST(PixelImageList, DrawsTransparentAndSelectedOnlyWhereTheImageIsNotBlack) {
    Image piece(3, 1, kMaskColour);
    piece.Set(1, 0, kRed);
    PixelImageList list({std::make_shared<PixelPicture>(piece)}, MakePixel(0, 0, 255));
    PixelSquareView view(kBack);
    view.SetPicture(Solid(3, 1, MakePixel(100, 100, 100)));

    list.Draw(1, view.hDC(), 0, 0, DrawStyle::Transparent);
    EXPECT_EQ(view.Kept().At(0, 0), MakePixel(100, 100, 100)) << "mask pixel left alone";
    EXPECT_EQ(view.Kept().At(1, 0), kRed);

    list.Draw(1, view.hDC(), 0, 0, DrawStyle::Selected);
    const Pixel tinted = view.Kept().At(1, 0);
    EXPECT_EQ(view.Kept().At(2, 0), MakePixel(100, 100, 100)) << "mask pixel left alone when selected";
    EXPECT_GT(BlueOf(tinted), 100) << std::hex << tinted;
    EXPECT_LT(RedOf(tinted), 200) << std::hex << tinted;
}

TEST(PixelImageList, RemoveAndAddKeepTheNumbersAndRefuseMissingImages) {
    const PictureRef a = Solid(1, 1, 1), b = Solid(1, 1, 2), c = Solid(1, 1, 3), d = Solid(1, 1, 4);
    PixelImageList list({a, b, c}, 0);
    list.Remove(2);
    list.Add(2, d);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Picture(1), a);
    EXPECT_EQ(list.Picture(2), d);
    EXPECT_EQ(list.Picture(3), c);

    PixelSquareView view(kBack);
    for (std::int32_t bad : {0, 4, -1, 2147483647}) {
        const std::string what = "image " + std::to_string(bad);
        ExpectError([&] { list.Picture(bad); }, 35600, "Index out of bounds", what);
        ExpectError([&] { list.Draw(bad, view.hDC(), 0, 0, DrawStyle::Transparent); }, 35600, "Index out of bounds", what);
        ExpectError([&] { list.Remove(bad); }, 35600, "Index out of bounds", what);
    }
    ExpectError([&] { list.Add(5, a); }, 35600, "Index out of bounds", "add beyond the end");
    EXPECT_EQ(list.Count(), 3);
}

TEST(KeptSheet, CellsFollowTheLargestImageAndKeepEveryCellsPixels) {
    KeptSheet sheet(3, 2, kBack);
    const auto colour = [](int cell) { return MakePixel(0, 0, static_cast<std::uint8_t>(cell + 1)); };
    for (int cell = 0; cell < 6; ++cell) {
        sheet.Use(cell, 4, 4);
        Fill(sheet.Cell(cell), colour(cell));
    }
    struct Step {
        const char* what;
        int cell, width, height;
        int cellWidth, cellHeight;
    };
    for (const Step step : {Step{"one image grows", 4, 6, 5, 6, 5}, Step{"another grows less", 1, 5, 5, 6, 5},
                            Step{"the largest shrinks", 4, 4, 4, 5, 5}, Step{"all are small again", 1, 4, 4, 4, 4},
                            Step{"a cell is freed", 0, 0, 0, 4, 4}}) {
        sheet.Use(step.cell, step.width, step.height);
        EXPECT_EQ(sheet.CellWidth(), step.cellWidth) << step.what;
        EXPECT_EQ(sheet.CellHeight(), step.cellHeight) << step.what;
        EXPECT_EQ(sheet.Pixels().Width(), 3 * step.cellWidth) << step.what;
        for (int cell = 1; cell < 6; ++cell)
            EXPECT_EQ(std::as_const(sheet).Cell(cell).At(3, 3), colour(cell)) << step.what << ": cell " << cell;
    }
    EXPECT_TRUE(std::as_const(sheet).Cell(0).Empty());
}

TEST(PixelSquareView, ViewsSharingASheetKeepToTheirOwnCells) {
    MemoryHost host(testing::BoardImages());
    host.LoadCheck(2);
    host.LoadCheck(9);
    host.View(1).SetPicture(Solid(37, 37, kRed));
    const Image two = host.View(2).Kept(), nine = host.View(9).Kept();
    // A picture larger than the view leaves the cells as they are; a larger
    // view makes every cell grow.
    host.View(1).SetPicture(Solid(60, 50, MakePixel(0, 200, 0)));
    EXPECT_EQ(host.Sheet().CellWidth(), 37);
    host.View(2).SetWidth(45);
    EXPECT_EQ(host.Sheet().CellWidth(), 45);
    EXPECT_EQ(host.View(2).Kept().Width(), 45);
    EXPECT_EQ(host.View(2).Kept().At(44, 0), kButtonFace) << "the new column is background";
    EXPECT_EQ(ToImage(host.View(2).KeptPart().Part(0, 0, 37, 37)), two) << "view 2 kept its image";
    EXPECT_EQ(host.View(9).Kept(), nine) << "view 9 kept its image";
    EXPECT_EQ(host.View(1).Kept().At(36, 36), MakePixel(0, 200, 0));
    host.View(1).SetPicture(Solid(3000, 10, kRed));
    EXPECT_EQ(host.View(1).Kept().Width(), 37) << "a huge picture is kept as far as the view shows it";
    EXPECT_EQ(host.View(1).Kept().At(36, 9), kRed);
    EXPECT_EQ(host.View(1).Kept().At(36, 10), kButtonFace);
}

// When the sheet is the picture of an area, it must be exactly what composing
// that area gives.
TEST(PixelHostBase, TheSheetShowsTheBoardOnlyWhileEveryViewIsAtItsCell) {
    struct Case {
        const char* what;
        std::function<void(testing::Control&)> change;
        bool shows;
    };
    const Case cases[] = {
        {"the board as made", [](testing::Control&) {}, true},
        {"a new game", [](testing::Control& c) { NewGame(c.board); }, true},
        {"a larger board", [](testing::Control& c) { ChangeBoardSize(c.board, 400); }, true},
        // The kept images shrink with their views.
        {"a smaller board", [](testing::Control& c) { ChangeBoardSize(c.board, 200); }, true},
        {"a larger board and back",
         [](testing::Control& c) {
             ChangeBoardSize(c.board, 400);
             ChangeBoardSize(c.board, 296);
         },
         true},
        // Squares of no pixels and grown again: background until painted.
        {"a board of no size and back",
         [](testing::Control& c) {
             ChangeBoardSize(c.board, 0);
             ChangeBoardSize(c.board, 296);
         },
         true},
        {"a larger board and back, then a new game",
         [](testing::Control& c) {
             ChangeBoardSize(c.board, 400);
             ChangeBoardSize(c.board, 296);
             NewGame(c.board);
         },
         true},
        {"a board of fractional squares", [](testing::Control& c) { ChangeBoardSize(c.board, 300); }, false},
        // Seen from the other side, each view sits at the opposite square's cell.
        {"a flipped board", [](testing::Control& c) { c.host.Orient(true); }, false},
        {"a flipped board turned back",
         [](testing::Control& c) {
             c.host.Orient(true);
             c.host.Orient(false);
         },
         true},
        {"a flipped board laid out afresh, unflipped",
         [](testing::Control& c) {
             c.host.Orient(true);
             ChangeBoardSize(c.board, 296);
             c.host.LaidOut(false);
         },
         true},
        {"a flipped board laid out afresh, flipped",
         [](testing::Control& c) {
             c.host.Orient(true);
             ChangeBoardSize(c.board, 400);
             c.host.LaidOut(true);
         },
         false},
        {"a hidden square", [](testing::Control& c) { c.host.View(10).SetVisible(false); }, false},
        {"a moved square", [](testing::Control& c) { c.host.View(10).SetLeft(40); }, false},
        {"an unloaded square", [](testing::Control& c) { c.host.UnloadCheck(64); }, false},
    };
    for (const Case& c : cases) {
        testing::Control control;
        c.change(control);
        const int edge = control.host.Sheet().CellWidth();
        const ConstImagePart sheet(control.host.Sheet().Pixels());
        struct Area {
            int left, top, width, height;
        };
        for (const Area a : {Area{0, 0, 8 * edge, 8 * edge}, Area{edge, 2 * edge, edge, edge}, Area{5, 7, 100, 3}}) {
            const bool shows = control.host.SheetShows(a.left, a.top, a.width, a.height);
            EXPECT_EQ(shows, c.shows) << c.what << ", area at (" << a.left << ", " << a.top << ")";
            if (shows) {
                EXPECT_EQ(ToImage(sheet.Part(a.left, a.top, a.width, a.height)),
                          control.host.ComposeArea(a.left, a.top, a.width, a.height))
                    << c.what << ", area at (" << a.left << ", " << a.top << ")";
            }
        }
        for (const Area a : {Area{0, 0, 8 * edge + 1, 8 * edge}, Area{-1, 0, 5, 5}, Area{0, 0, 0, 5}})
            EXPECT_FALSE(control.host.SheetShows(a.left, a.top, a.width, a.height))
                << c.what << ": area beyond the squares at (" << a.left << ", " << a.top << ") " << a.width;
    }
}

// A board keeps its own area of pixels whatever its pictures and size: a
// picture larger than the squares is kept as far as each square shows it
// (its top-left part), and the sheet grows and shrinks with the board.
TEST(PixelHostBase, TheSheetTakesTheBoardsAreaWhateverItsPicturesAndSize) {
    testing::Control c;
    Image large(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            large.Set(x, y, MakePixel(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                      static_cast<std::uint8_t>(1 + (x >> 8) * 4 + (y >> 8))));
    SetPicture(c.board, kLightSquare, std::make_shared<PixelPicture>(large));
    struct Step {
        const char* what;
        std::function<void()> change;
        int size;
        int shown;  // the edge of the picture's top-left part an empty light square shows
    };
    const Step steps[] = {
        {"a new game with the picture", [&] { NewGame(c.board); }, 296, 37},
        // Grown, the squares show their background beyond what they kept.
        {"a board of 2,000 pixels", [&] { ChangeBoardSize(c.board, 2000); }, 2000, 37},
        {"a new game on it", [&] { NewGame(c.board); }, 2000, 250},
        {"back to 296 pixels", [&] { ChangeBoardSize(c.board, 296); }, 296, 37},
    };
    for (const Step& step : steps) {
        step.change();
        const Image& sheet = c.host.Sheet().Pixels();
        EXPECT_EQ(sheet.Width(), step.size) << step.what;
        EXPECT_EQ(sheet.Height(), step.size) << step.what;
        EXPECT_TRUE(c.host.SheetShows(0, 0, step.size, step.size))
            << step.what << ": cells of " << c.host.Sheet().CellWidth() << " x " << c.host.Sheet().CellHeight();
        const int edge = step.size / 8;
        Image expected(edge, edge, kButtonFace);
        expected.Copy(ConstImagePart(large).Part(0, 0, step.shown, step.shown), 0, 0);
        for (std::int16_t row = 3; row <= 6; ++row)
            for (std::int16_t col = 1; col <= 8; ++col) {
                if (SquareColour(col, row) != kLightSquare) continue;
                const Image kept = c.Kept(col, row);
                EXPECT_TRUE(kept == expected)
                    << step.what << ", square (" << col << ", " << row << "): " << Difference(kept, expected);
            }
    }
}

TEST(PixelHostBase, CheckArrayLoadsCopiesAndRefusesWhatDoesNotExist) {
    MemoryHost host(testing::BoardImages());
    host.View(1).SetLeft(5);
    host.LoadCheck(2);
    EXPECT_FALSE(host.View(2).Visible()) << "a loaded element starts hidden";
    EXPECT_EQ(host.View(2).Left(), 5.0f) << "a copy of element 1";
    ExpectError([&] { host.LoadCheck(2); }, 360, "Object already loaded", "load twice");
    ExpectError([&] { host.Check(3); }, 340, "Control array element doesn't exist", "Check(3)");
    ExpectError([&] { host.UnloadCheck(1); }, 362, "Can't unload controls created at design time", "unload 1");
    host.UnloadCheck(2);
    EXPECT_FALSE(host.CheckLoaded(2));
}

TEST(MemoryHost, RefusesSizesAWindowCannotTake) {
    MemoryHost host(testing::BoardImages());
    for (float bad : {-1.0f, 32768.0f, 1.0e9f}) {
        ExpectError([&] { host.SetHeight(bad); }, 380, "Invalid property value", std::to_string(bad));
    }
    EXPECT_NO_THROW(host.SetHeight(0));
    EXPECT_NO_THROW(host.SetHeight(32767));
}

}  // namespace
}  // namespace quelder

namespace quelder {
namespace {

// 64 cells of 4,096 x 4,096 pixels would be 4 GiB: the view keeps the
// image it has and shows its background beyond it.
TEST(PixelSquareView, AHugeViewKeepsWhatTheSheetAllowsAndShowsBackgroundBeyondIt) {
    MemoryHost host(testing::BoardImages());
    PixelSquareView& view = host.View(1);
    view.SetPicture(host.Images().Picture(2));
    view.SetWidth(4096);
    view.SetHeight(4096);
    EXPECT_EQ(view.PixelHeight(), 4096) << "the view takes its size all the same";
    const std::uint64_t bytes = host.Sheet().Pixels().Pixels().size() * sizeof(Pixel);
    EXPECT_LE(bytes, kMaxSheetBytes) << "a sheet of " << host.Sheet().CellWidth() << " x "
                                     << host.Sheet().CellHeight() << " cells";
    EXPECT_EQ(view.Kept().At(36, 36), testing::BoardImage(2).At(36, 36)) << std::hex << view.Kept().At(36, 36);
    const Image corner = host.ComposeArea(4000, 4000, 10, 10);
    EXPECT_EQ(corner.At(5, 5), kButtonFace) << std::hex << corner.At(5, 5);
    const Image origin = host.ComposeArea(0, 0, 37, 37);
    EXPECT_EQ(origin, host.PixelHostBase::Compose(37, 37)) << "an area at the origin equals the composed surface";
}

}  // namespace
}  // namespace quelder
