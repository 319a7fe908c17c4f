// Feeds arbitrary bytes to the reader of the saved properties' stream form.
//
// Whatever the bytes, the reader either loads them or fails with 380 and
// leaves the board as it was; no other error and no other exception. What it
// loads saves again to a form that loads to the same values, in no higher a
// version, and a form without a picture saves back byte for byte when its
// version was the lowest that holds what it holds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "appearance/bmp_picture_codec.hpp"
#include "appearance/saved_properties.hpp"
#include "fuzz_support.hpp"

using namespace quelder;
using quelder::fuzz::Expect;

namespace {

// Different from anything a stream form holds, so any change shows.
fuzz::SavedState Before() {
    static const PictureRef picture = fuzz::SolidPicture(3, 2, MakePixel(1, 2, 3));
    return {false, 12345, kTrue, picture};
}

// settings hears the board class's settings the form holds.
bool Loads(Board& board, std::span<const std::uint8_t> bytes, PictureCodec& codec, const char* what,
           BoardClassSettings& settings) {
    try {
        LoadFromStreamForm(board, bytes, codec, [&](const BoardClassSettings& heard) { settings = heard; });
        return true;
    } catch (const ControlError& e) {
        Expect(e.Number() == error::kInvalidPropertyValue,
               std::string(what) + ": error " + std::to_string(e.Number()) + " \"" + e.Description() + "\", not 380");
        return false;
    }
}

void CheckSize(std::span<const std::uint8_t> bytes, bool loaded) {
    try {
        const std::size_t size = StreamFormSize(bytes);
        Expect(size >= kStreamFormHeaderSize && size <= kStreamFormMaxSize,
               "StreamFormSize gave " + std::to_string(size));
        if (loaded) Expect(size == bytes.size(), "StreamFormSize gave " + std::to_string(size) + " for a form of " +
                                                     std::to_string(bytes.size()) + " bytes that loaded");
    } catch (const ControlError& e) {
        Expect(e.Number() == error::kInvalidPropertyValue,
               "StreamFormSize: error " + std::to_string(e.Number()) + ", not 380");
        Expect(!loaded, "StreamFormSize refused the header of a form that loaded");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    MemoryHost& host = fuzz::SharedHost();
    testing::BmpPictureCodec codec;

    Board board(host);
    const fuzz::SavedState before = Before();
    fuzz::Apply(board, before);
    BoardClassSettings settings;
    const bool loaded = Loads(board, bytes, codec, "loading the input", settings);
    CheckSize(bytes, loaded);
    if (!loaded) {
        Expect(fuzz::SameObjects(fuzz::StateOf(board), before),
               "a refused form changed the board: " + fuzz::Describe(fuzz::StateOf(board)));
        return 0;
    }

    // What loaded saves again, and that loads to the same values.
    const fuzz::SavedState first = fuzz::StateOf(board);
    const std::vector<std::uint8_t> saved = SaveToStreamForm(board, codec, settings);
    Expect(StreamFormSizeMax(board, codec, settings) == saved.size(), "StreamFormSizeMax differs from the saved size");
    Expect(saved[4] <= bytes[4], "saved again in version " + std::to_string(saved[4]) + ", loaded from version " +
                                     std::to_string(bytes[4]));
    if (!first.picture && saved[4] == bytes[4])
        Expect(saved == std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
               "a form without a picture did not save back byte for byte");
    Board again(host);
    fuzz::Apply(again, before);
    BoardClassSettings reloaded;
    Expect(Loads(again, saved, codec, "loading the saved form", reloaded), "the saved form did not load");
    Expect(reloaded == settings, "saved and loaded again, the board class's settings differ");
    Expect(fuzz::SameContent(fuzz::StateOf(again), first),
           "saved and loaded again: " + fuzz::Describe(fuzz::StateOf(again)) + ", loaded first: " +
               fuzz::Describe(first));
    return 0;
}
