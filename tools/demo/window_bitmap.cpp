#include "window_bitmap.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "handles/win_handles.hpp"

namespace quelder::demo {

namespace {

class WindowDcOf {
public:
    explicit WindowDcOf(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
    ~WindowDcOf() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDcOf(const WindowDcOf&) = delete;
    WindowDcOf& operator=(const WindowDcOf&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace

bool SaveWindowBitmap(HWND window, const std::wstring& path) {
    RECT bounds{};
    if (!GetWindowRect(window, &bounds)) return false;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return false;

    WindowDcOf source(window);
    if (!source.get()) return false;
    handles::UniqueMemoryDc memory(CreateCompatibleDC(source.get()));
    if (!memory) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    handles::UniqueBitmap dib(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) return false;
    {
        handles::Selection selected(memory.get(), dib.get());
        if (!selected.ok() || !BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY)) return false;
    }
    GdiFlush();

    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    BITMAPINFOHEADER header = info.bmiHeader;
    header.biSizeImage = imageSize;

    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(imageSize));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace quelder::demo
