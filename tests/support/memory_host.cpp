#include "support/memory_host.hpp"

#include <cmath>
#include <cstdio>

#include "drawing/bmp_codec.hpp"

namespace quelder {

namespace {
// The largest size the surface takes, as a window would: 32767 pixels.
constexpr float kMaxSize = 32767.0f;

void CheckSize(float value) {
    if (!(value >= 0.0f && value <= kMaxSize)) Raise(error::kInvalidPropertyValue);
}
}  // namespace

std::vector<PictureRef> LoadBoardImages(const std::string& dir) {
    std::vector<PictureRef> pictures;
    for (int k = 1; k <= 14; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/board_%02d.bmp", k);
        const auto bytes = ReadFileBytes((dir + name).c_str());
        pictures.push_back(std::make_shared<PixelPicture>(DecodeBmp(bytes)));
    }
    return pictures;
}

MemoryHost::MemoryHost(std::vector<PictureRef> boardImages)
    : PixelHostBase(std::move(boardImages), kButtonFace, kHighlight) {}

void MemoryHost::SetWidth(float value) {
    CheckSize(value);
    width_ = value;
}

void MemoryHost::SetHeight(float value) {
    CheckSize(value);
    height_ = value;
}

void MemoryHost::PrepareLayout(float size, float edge) {
    CheckSize(size);
    ReserveSquares(edge);
}

void MemoryHost::RaiseEvent(const SquareEvent& event) {
    events.push_back(event);
    if (onEvent) onEvent(event);
}

bool MemoryHost::DeliverInput(const std::function<void()>& handler) {
    if (!enabled_) return false;
    handler();
    return true;
}

PictureRef MemoryHost::LoadPicture() { return std::make_shared<PixelPicture>(Image()); }

void MemoryHost::LoadCheck(std::int16_t index) {
    if (index == failLoadAt) Raise(7);
    PixelHostBase::LoadCheck(index);
    heard_[static_cast<std::size_t>(index)] = CountedView{};
    loads.push_back(index);
}

void MemoryHost::UnloadCheck(std::int16_t index) {
    PixelHostBase::UnloadCheck(index);
    unloads.push_back(index);
}

SquareView& MemoryHost::Check(std::int16_t index) {
    PixelSquareView& view = View(index);  // fails for an element that is not loaded
    CountedView& heard = heard_[static_cast<std::size_t>(index)];
    heard.view = &view;
    return heard;
}

Image MemoryHost::Compose() const {
    return PixelHostBase::Compose(static_cast<int>(std::lround(width_)), static_cast<int>(std::lround(height_)));
}

}  // namespace quelder
