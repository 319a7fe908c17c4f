// The in-memory host: the host services without any window, for the native
// tests and tools. It records what the logic asks of it (events, property
// changes, refreshes and pictures of each square view) and can compose the
// board into one image.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "host/pixel_host.hpp"

namespace quelder {

// The system colours the in-memory host uses (those of a default Windows scheme).
constexpr Pixel kButtonFace = MakePixel(240, 240, 240);
constexpr Pixel kHighlight = MakePixel(0, 120, 215);

// The 14 board images, read from board_01.bmp .. board_14.bmp in dir.
std::vector<PictureRef> LoadBoardImages(const std::string& dir);

class MemoryHost : public PixelHostBase {
public:
    explicit MemoryHost(std::vector<PictureRef> boardImages);

    void SetWidth(float value) override;
    void SetHeight(float value) override;
    float ScaleHeight() const override { return height_; }
    void PrepareLayout(float size, float edge) override;
    float Width() const { return width_; }
    float Height() const { return height_; }

    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool value) override { enabled_ = value; }
    bool AmbientUserMode() const override { return userMode_; }
    void SetUserMode(bool value) { userMode_ = value; }
    void PropertyChanged(std::string_view name) override { changed.emplace_back(name); }
    void RaiseEvent(const SquareEvent& event) override;
    PictureRef LoadPicture() override;

    void LoadCheck(std::int16_t index) override;
    void UnloadCheck(std::int16_t index) override;
    // The view of element index, as the logic sees it: its calls on the view
    // are counted on their way.
    SquareView& Check(std::int16_t index) override;
    // The logic's Refresh and SetPicture calls on element index since it was
    // loaded.
    int Refreshes(std::int16_t index) const { return heard_.at(static_cast<std::size_t>(index)).refreshes; }
    int Pictures(std::int16_t index) const { return heard_.at(static_cast<std::size_t>(index)).pictures; }

    // The whole surface as the user would see it.
    Image Compose() const;

    // What the logic did.
    std::vector<SquareEvent> events;
    std::vector<std::string> changed;         // PropertyChanged names, in order
    std::vector<std::int16_t> loads, unloads;  // Check elements, in order
    // The host's event handler, run inside RaiseEvent (after recording).
    std::function<void(const SquareEvent&)> onEvent;
    // Makes LoadCheck fail for this element (a construction that fails part-way).
    std::int16_t failLoadAt = 0;

    // User input on a square view, as the surface passes it on: handler (the
    // control's square handler) runs only while the surface is enabled.
    // Returns whether it ran.
    bool DeliverInput(const std::function<void()>& handler);

private:
    // A view as the logic sees it: the view itself, Refresh and SetPicture counted.
    class CountedView final : public SquareView {
    public:
        float Left() const override { return view->Left(); }
        float Top() const override { return view->Top(); }
        float Width() const override { return view->Width(); }
        float Height() const override { return view->Height(); }
        bool Visible() const override { return view->Visible(); }
        void SetLeft(float value) override { view->SetLeft(value); }
        void SetTop(float value) override { view->SetTop(value); }
        void SetWidth(float value) override { view->SetWidth(value); }
        void SetHeight(float value) override { view->SetHeight(value); }
        void SetVisible(bool value) override { view->SetVisible(value); }
        void SetPicture(const PictureRef& picture) override {
            ++pictures;
            view->SetPicture(picture);
        }
        DrawContext& hDC() override { return view->hDC(); }
        void Refresh() override {
            ++refreshes;
            view->Refresh();
        }

        PixelSquareView* view = nullptr;
        int refreshes = 0;
        int pictures = 0;
    };
    std::array<CountedView, kSquareCount + 1> heard_;
    float width_ = 0, height_ = 0;
    bool enabled_ = true;
    bool userMode_ = true;
};

}  // namespace quelder
