// Writes the pictures the control embeds, drawn by drawing/board_art: the
// fourteen board images (two wood squares and the twelve pieces), the
// toolbox icon and the About emblem.
//
//   quelder_imagegen <outdir>                     writes the pictures into outdir
//   quelder_imagegen --preview <file.bmp> [size]  writes the starting position as
//                                                 one 24-bit picture, to look at,
//                                                 with squares of size pixels (37)
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "drawing/bmp_codec.hpp"
#include "drawing/board_art.hpp"
#include "drawing/pixels.hpp"

namespace quelder {
namespace {

// The palette holds the given colours first, then the others in the order
// they first appear, top-left to bottom-right.
IndexedImage ToIndexed(const Image& image, int bitsPerPixel, std::vector<Pixel> first) {
    IndexedImage out;
    out.width = image.Width();
    out.height = image.Height();
    out.bitsPerPixel = bitsPerPixel;
    out.palette = std::move(first);
    const std::size_t limit = std::size_t{1} << bitsPerPixel;
    for (Pixel p : image.Pixels()) {
        auto it = std::find(out.palette.begin(), out.palette.end(), p);
        if (it == out.palette.end()) {
            if (out.palette.size() == limit) throw BmpError("too many colours for the palette");
            out.palette.push_back(p);
            it = out.palette.end() - 1;
        }
        out.indices.push_back(static_cast<std::uint8_t>(it - out.palette.begin()));
    }
    return out;
}

Pixel Black() { return MakePixel(0, 0, 0); }

void Write(const std::string& dir, const std::string& name, const IndexedImage& image) {
    const std::string path = dir + "/" + name;
    WriteFileBytes(path.c_str(), EncodeBmp(image));
}

void WriteAll(const std::string& dir) {
    const std::vector<BoardPicture> board = DrawBoardPictures(kBoardArtSize);
    for (std::size_t i = 0; i < board.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "board_%02zu.bmp", i + 1);
        Write(dir, name, ToIndexed(board[i].image, 8, {Black()}));
    }
    Write(dir, "toolbox.bmp", ToIndexed(DrawToolboxPicture(), 4, {Black()}));
    Write(dir, "about.bmp", ToIndexed(DrawAboutPicture(), 8, {Black()}));
}

// The starting position, composed the way the control draws it: the square,
// then the piece over it. At 37 pixels the pictures go through the codec, as
// the embedded ones do.
void WritePreview(const std::string& path, int size) {
    std::vector<BoardPicture> board = DrawBoardPictures(size);
    if (size == kBoardArtSize)
        for (BoardPicture& picture : board) picture.image = DecodeBmp(EncodeBmp(ToIndexed(picture.image, 8, {Black()})));
    constexpr int kBackRow[] = {3, 4, 5, 6, 7, 5, 4, 3};  // red rook .. rook
    Image out(8 * size, 8 * size);
    for (int row = 1; row <= 8; ++row) {
        for (int col = 1; col <= 8; ++col) {
            const int x = (col - 1) * size, y = (row - 1) * size;
            out.Copy(board[(col + row) % 2 == 0 ? 0 : 13].image, x, y);
            int piece = 0;
            if (row == 1) piece = kBackRow[col - 1];
            if (row == 2) piece = 2;
            if (row == 7) piece = 8;
            if (row == 8) piece = kBackRow[col - 1] + 6;
            if (piece != 0) DrawCovered(out, board[static_cast<std::size_t>(piece - 1)], x, y);
        }
    }
    WriteFileBytes(path.c_str(), EncodeBmp(out));
}

}  // namespace
}  // namespace quelder

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if ((args.size() == 2 || args.size() == 3) && args[0] == "--preview") {
            quelder::WritePreview(args[1], args.size() == 3 ? std::stoi(args[2]) : quelder::kBoardArtSize);
        } else if (args.size() == 1 && args[0].rfind("--", 0) != 0) {
            quelder::WriteAll(args[0]);
        } else {
            std::fprintf(stderr,
                         "usage: quelder_imagegen <outdir>\n       quelder_imagegen --preview <file.bmp> [size]\n");
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quelder_imagegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
