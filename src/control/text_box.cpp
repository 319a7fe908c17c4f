#include "control/text_box.hpp"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "handles/win_handles.hpp"

namespace quelder::win32 {

BoardPicture TextBox(std::wstring_view text, int height) {
    height = std::clamp(height, 8, 200);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) font = metrics.lfMessageFont;
    font.lfHeight = -height * 7 / 10;
    font.lfWeight = FW_BOLD;
    font.lfQuality = ANTIALIASED_QUALITY;
    const handles::Unique<HFONT, handles::DeleteGdiObject> made(CreateFontIndirectW(&font));
    const handles::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!made || !dc) return {};
    const handles::Selection chosen(dc.get(), made.get());
    SIZE extent{};
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 64));
    GetTextExtentPoint32W(dc.get(), text.data(), length, &extent);
    const int width = std::max<int>(extent.cx, height) + height / 2, tall = height;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -tall;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const handles::UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return {};
    const handles::Selection drawn(dc.get(), bitmap.get());
    RECT box{0, 0, width, tall};
    const handles::UniqueBrush face(CreateSolidBrush(RGB(250, 248, 235)));
    const handles::UniqueBrush frame(CreateSolidBrush(RGB(20, 90, 220)));
    FillRect(dc.get(), &box, face.get());
    FrameRect(dc.get(), &box, frame.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), RGB(20, 20, 20));
    DrawTextW(dc.get(), text.data(), length, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();

    BoardPicture picture;
    picture.image = Image(width, tall);
    for (int y = 0; y < tall; ++y) {
        const auto* row = static_cast<const std::uint32_t*>(bits) + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            picture.image.Set(x, y, MakePixel(static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                              static_cast<std::uint8_t>(p)));
        }
    }
    picture.coverage.assign(static_cast<std::size_t>(width) * tall, 255);
    return picture;
}

}  // namespace quelder::win32
