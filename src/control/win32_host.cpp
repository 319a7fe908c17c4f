#include "control/win32_host.hpp"

#include <cstdio>
#include <memory>
#include <mutex>
#include <span>

#include "drawing/bmp_codec.hpp"
#include "control/pictures.hpp"
#include "resources/resource_ids.h"

namespace quelder::win32 {

namespace {
// The largest size the surface takes, as a window would: 32767 pixels.
constexpr float kMaxSize = 32767.0f;

void CheckSize(float value) {
    if (!(value >= 0.0f && value <= kMaxSize)) Raise(error::kInvalidPropertyValue);
}

std::vector<Image> DecodeBoardImages(HINSTANCE module) {
    std::vector<Image> images;
    for (int k = 1; k <= 14; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "Resource with identifier '%d' not found", IDB_BOARD_BASE + k);
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDB_BOARD_BASE + k), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
        HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (data == nullptr) Raise(error::kResourceNotFound, name);
        const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data), SizeofResource(module, found));
        try {
            images.push_back(DecodeDib(bytes));
        } catch (const BmpError&) {
            Raise(error::kInvalidPicture);
        }
    }
    return images;
}

// The board images' pixels, decoded once and shared, never changed, by every
// board of the process while any holds them. Boards are made on any thread.
std::shared_ptr<const std::vector<Image>> SharedBoardPixels(HINSTANCE module) {
    static std::mutex lock;
    static HINSTANCE decodedFrom = nullptr;
    static std::weak_ptr<const std::vector<Image>> shared;
    const std::lock_guard hold(lock);
    std::shared_ptr<const std::vector<Image>> pixels = shared.lock();
    if (!pixels || decodedFrom != module) {
        pixels = std::make_shared<const std::vector<Image>>(DecodeBoardImages(module));
        shared = pixels;
        decodedFrom = module;
    }
    return pixels;
}
}  // namespace

std::vector<PictureRef> LoadBoardImages(HINSTANCE module) {
    const std::shared_ptr<const std::vector<Image>> pixels = SharedBoardPixels(module);
    std::vector<PictureRef> pictures;
    for (const Image& image : *pixels)
        pictures.push_back(std::make_shared<ComPicture>(std::shared_ptr<const Image>(pixels, &image)));
    return pictures;
}

Pixel SystemColour(int index) {
    const COLORREF colour = GetSysColor(index);
    return MakePixel(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

Win32Host::Win32Host(HostOwner& owner, HINSTANCE resources)
    : PixelHostBase(LoadBoardImages(resources), SystemColour(COLOR_BTNFACE), SystemColour(COLOR_HIGHLIGHT)),
      owner_(owner) {
    Hook(View(1));
}

void Win32Host::Hook(PixelSquareView& view) {
    view.onChanged = [this](PixelSquareView& v) { owner_.ViewChanged(v); };
    view.onRefresh = [this](PixelSquareView& v) { owner_.ViewRefreshed(v); };
}

void Win32Host::ViewCreated(PixelSquareView& view) { Hook(view); }

void Win32Host::SetWidth(float value) {
    CheckSize(value);
    width_ = value;
    owner_.SurfaceChanged();
}

void Win32Host::SetHeight(float value) {
    CheckSize(value);
    height_ = value;
    owner_.SurfaceChanged();
}

// Unlike SetHeight, tells the owner nothing: the surface has not changed.
void Win32Host::PrepareLayout(float size, float edge) {
    CheckSize(size);
    ReserveSquares(edge);
}

void Win32Host::SetEnabled(bool value) {
    enabled_ = value;
    owner_.SurfaceChanged();
}

PictureRef Win32Host::LoadPicture() { return EmptyPicture(); }

}  // namespace quelder::win32
