// A control built on the in-memory host, as every native test starts from.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "board/board_model.hpp"
#include "board/construction.hpp"
#include "drawing/bmp_codec.hpp"
#include "support/memory_host.hpp"

namespace quelder::testing {

// The 14 board images, read once.
inline const std::vector<PictureRef>& BoardImages() {
    static const std::vector<PictureRef> images = LoadBoardImages(QUELDER_RESOURCE_DIR);
    return images;
}

inline const Image& BoardImage(int number) {
    return static_cast<const PixelPicture&>(*BoardImages().at(static_cast<std::size_t>(number - 1))).Pixels();
}

// The kept image a square would show if painted plainly: background, then the
// piece transparently (nothing for 0, 1 or 14).
inline Image ExpectedSquare(std::int16_t col, std::int16_t row, std::int32_t code) {
    Image square = BoardImage(SquareColour(col, row));
    if (code > 1 && code < 14) DrawTransparent(square, BoardImage(code), 0, 0);
    return square;
}

struct Control {
    Control() : host(BoardImages()), board(host) { UserControl_Initialize(board); }
    MemoryHost host;
    Board board;

    PixelSquareView& View(std::int16_t col, std::int16_t row) { return host.View(SquareIndex(col, row)); }
    Image Kept(std::int16_t col, std::int16_t row) { return View(col, row).Kept(); }
    int Refreshes(std::int16_t col, std::int16_t row) const { return host.Refreshes(SquareIndex(col, row)); }
    std::int32_t Code(std::int16_t col, std::int16_t row) const {
        return board.m_Pieces[static_cast<std::size_t>(SquareIndex(col, row))];
    }
    // Everything that a refused call must leave alone.
    struct Snapshot {
        std::array<std::int32_t, 65> pieces;
        std::array<VBool, 65> selected;
        std::int16_t piece;
        std::vector<Image> kept;
        std::vector<int> refreshes;
        std::size_t changes;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    Snapshot Take() const {
        Snapshot s{board.m_Pieces, board.m_Selected, board.m_Piece, {}, {}, host.changed.size()};
        for (std::int16_t k = 1; k <= 64; ++k) {
            s.kept.push_back(host.View(k).Kept());
            s.refreshes.push_back(host.Refreshes(k));
        }
        return s;
    }
};

// Runs call, which must fail with number and description.
inline void ExpectError(const std::function<void()>& call, std::int32_t number, const std::string& description,
                        const std::string& what) {
    try {
        call();
        ADD_FAILURE() << what << ": no error, expected " << number;
    } catch (const ControlError& e) {
        EXPECT_EQ(e.Number(), number) << what << ": \"" << e.Description() << "\"";
        EXPECT_EQ(e.Description(), description) << what << ": error " << e.Number();
    }
}

// Writes the composed surface as a .bmp under the build's artifact folder, for
// a person to look at.
inline std::string SaveArtifact(const Image& image, const std::string& name) {
    std::filesystem::create_directories(QUELDER_ARTIFACT_DIR);
    const std::string path = std::string(QUELDER_ARTIFACT_DIR) + "/" + name + ".bmp";
    const auto bytes = EncodeBmp(image);
    WriteFileBytes(path.c_str(), bytes);
    return path;
}

}  // namespace quelder::testing
