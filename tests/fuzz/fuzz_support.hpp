// What both fuzz targets share: a board on the in-memory host without any
// image files, the saved members of a board in words, and the one way a fuzz
// target reports a broken expectation (it aborts, which libFuzzer records as a
// crash together with the input).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "board/board_model.hpp"
#include "support/memory_host.hpp"

namespace quelder::fuzz {

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

inline void Expect(bool condition, const std::string& what) {
    if (!condition) Fail(what);
}

// A small picture of its own colour, so that pictures tell apart by content.
inline PictureRef SolidPicture(int width, int height, Pixel colour) {
    return std::make_shared<PixelPicture>(Image(width, height, colour));
}

// The in-memory host with 14 plain board images: the loading and saving of
// properties never draws, so the real images are not needed.
inline MemoryHost& SharedHost() {
    static MemoryHost host = [] {
        std::vector<PictureRef> images;
        for (int k = 1; k <= 14; ++k) images.push_back(SolidPicture(kSquareSize, kSquareSize, MakePixel(10, 20, static_cast<std::uint8_t>(k))));
        return MemoryHost(std::move(images));
    }();
    return host;
}

// The surface's Enabled and the three saved members.
struct SavedState {
    bool enabled = true;
    std::int16_t piece = 0;
    VBool isSelected = kFalse;
    PictureRef picture;
};

inline SavedState StateOf(const Board& board) {
    return {board.host.Enabled(), board.m_Piece, board.m_IsSelected, board.m_Picture};
}

inline void Apply(Board& board, const SavedState& s) {
    board.host.SetEnabled(s.enabled);
    board.m_Piece = s.piece;
    board.m_IsSelected = s.isSelected;
    board.m_Picture = s.picture;
}

inline std::string Describe(const SavedState& s) {
    std::string picture = "no object";
    if (s.picture) {
        const Image image = s.picture->Render();
        picture = "picture " + std::to_string(image.Width()) + "x" + std::to_string(image.Height());
    }
    return "Enabled " + std::to_string(s.enabled) + ", m_Piece " + std::to_string(s.piece) + ", m_IsSelected " +
           std::to_string(s.isSelected) + ", " + picture;
}

// The same values; pictures by what they show.
inline bool SameContent(const SavedState& a, const SavedState& b) {
    if (a.enabled != b.enabled || a.piece != b.piece || a.isSelected != b.isSelected) return false;
    if (!a.picture || !b.picture) return !a.picture && !b.picture;
    return a.picture->Render() == b.picture->Render();
}

// The very same values, pictures by identity.
inline bool SameObjects(const SavedState& a, const SavedState& b) {
    return a.enabled == b.enabled && a.piece == b.piece && a.isSelected == b.isSelected && a.picture == b.picture;
}

}  // namespace quelder::fuzz
