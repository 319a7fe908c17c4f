// A picture codec over pixel pictures, for the tests: a picture's saved bytes
// are a .bmp file, and the empty picture saves as no bytes at all.
#pragma once

#include <memory>

#include "appearance/saved_properties.hpp"
#include "drawing/bmp_codec.hpp"

namespace quelder::testing {

class BmpPictureCodec : public PictureCodec {
public:
    std::vector<std::uint8_t> Save(const PictureRef& picture) override {
        const Image image = picture->Render();
        if (image.Empty()) return {};
        return EncodeBmp(image);
    }
    PictureRef Load(std::span<const std::uint8_t> bytes) override {
        ++loads;
        if (bytes.empty()) return std::make_shared<PixelPicture>(Image());
        try {
            return std::make_shared<PixelPicture>(DecodeBmp(bytes));
        } catch (const BmpError&) {
            Raise(481);  // "Invalid picture"
        }
    }
    int loads = 0;
};

}  // namespace quelder::testing
