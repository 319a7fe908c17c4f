#include "control/surface_drawing.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "handles/win_handles.hpp"

namespace quelder::win32 {

namespace {

// Render composes at most this many pixels; a larger surface is sampled at
// no more than kMaxRenderEdge pixels a side.
constexpr long long kMaxRenderPixels = 4096LL * 4096LL;
constexpr double kMaxRenderEdge = 2048.0;
// The largest paint picture kept for the next paint (1024 x 1024).
constexpr std::size_t kMaxKeptPaintPixels = 1024 * 1024;

// A surface of width x height pixels shown in outWidth x outHeight pixels:
// each pixel shows the surface's pixel at its place.
Image SampleSurface(const PixelHostBase& host, int width, int height, int outWidth, int outHeight) {
    Image image(outWidth, outHeight, host.ButtonFace());
    const auto sourceX = [&](long long i) { return i * width / outWidth; };
    const auto sourceY = [&](long long j) { return j * height / outHeight; };
    for (std::int16_t k = 1; k <= kSquareCount; ++k) {
        if (!host.CheckLoaded(k)) continue;
        const PixelSquareView& view = host.View(k);
        if (!view.Visible()) continue;
        const ConstImagePart kept = view.KeptPart();
        const long long left = view.PixelLeft(), top = view.PixelTop();
        const long long right = left + view.PixelWidth(), bottom = top + view.PixelHeight();
        // The output pixels whose place lies in the view, give or take one.
        const long long i0 = std::max(0LL, left * outWidth / width - 1);
        const long long i1 = std::min<long long>(outWidth, right * outWidth / width + 1);
        const long long j0 = std::max(0LL, top * outHeight / height - 1);
        const long long j1 = std::min<long long>(outHeight, bottom * outHeight / height + 1);
        for (long long j = j0; j < j1; ++j) {
            const long long y = sourceY(j);
            if (y < top || y >= bottom) continue;
            for (long long i = i0; i < i1; ++i) {
                const long long x = sourceX(i);
                if (x < left || x >= right) continue;
                const int kx = static_cast<int>(x - left), ky = static_cast<int>(y - top);
                image.Set(static_cast<int>(i), static_cast<int>(j),
                          kept.Contains(kx, ky) ? kept.At(kx, ky) : view.Background());
            }
        }
    }
    return image;
}

BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Draws the area (left, top, width, height), which lies within image, at
// (x, y) of dc unstretched.
void DrawArea(HDC dc, const Image& image, int left, int top, int width, int height, int x, int y) {
    if (width <= 0 || height <= 0) return;
    // The image's rows from the area's first; the area is a column range of them.
    const BITMAPINFO info = TopDownInfo(image.Width(), height);
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), left, 0, 0,
                      static_cast<UINT>(height), image.Row(top), &info, DIB_RGB_COLORS);
}

// Draws image into the rectangle (x, y, width, height) of dc, stretched when
// the sizes differ.
void DrawImage(HDC dc, const Image& image, int x, int y, int width, int height) {
    if (image.Empty()) return;
    if (width == image.Width() && height == image.Height()) return DrawArea(dc, image, 0, 0, width, height, x, y);
    const BITMAPINFO info = TopDownInfo(image.Width(), image.Height());
    POINT oldOrigin{};
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    StretchDIBits(dc, x, y, width, height, 0, 0, image.Width(), image.Height(), image.Pixels().data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    if (oldMode != 0) SetStretchBltMode(dc, oldMode);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

// The rectangles of a window's invalid region (see RegionRectangles).
std::vector<RECT> InvalidRectangles(HWND window) {
    handles::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    if (!region || GetUpdateRgn(window, region.get(), FALSE) != COMPLEXREGION) return {};
    return RegionRectangles(region.get());
}

// The picture of a part of the surface being painted, kept between paints so
// that painting allocates nothing once it has painted its largest part.
// One per thread: controls of different apartments paint at the same time.
Image& PaintBuffer() {
    thread_local Image buffer;
    return buffer;
}

// Paints the area (left, top, width, height) of the surface onto dc, with
// the part of the floating picture over it.
void PaintArea(const WindowSurface& surface, HDC dc, const RECT& area) {
    const PixelHostBase& host = surface.host;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    const std::optional<FloatingPicture>& floating = surface.floating;
    RECT under{};
    const RECT floatRect = floating ? floating->Rect() : RECT{};
    const bool floats = floating && IntersectRect(&under, &floatRect, &area);
    const auto over = [&](const Sprite& sprite) {
        const RECT rect = sprite.Rect();
        return IntersectRect(&under, &rect, &area) != FALSE;
    };
    const bool moving = std::any_of(surface.sprites.begin(), surface.sprites.end(), over);
    const RECT noteRect = surface.note ? surface.note->Rect() : RECT{};
    const bool noted = surface.note && IntersectRect(&under, &noteRect, &area);
    if (!floats && !moving && !noted && host.SheetShows(area.left, area.top, width, height)) {
        // The kept images are the picture already.
        return DrawArea(dc, host.Sheet().Pixels(), area.left, area.top, width, height, area.left, area.top);
    }
    Image& buffer = PaintBuffer();
    host.ComposeArea(buffer, area.left, area.top, width, height);
    for (const Sprite& sprite : surface.sprites)
        if (over(sprite))
            DrawCovered(buffer, *sprite.picture, sprite.left - area.left, sprite.top - area.top, sprite.opacity);
    if (floats) DrawCovered(buffer, floating->picture, floating->left - area.left, floating->top - area.top);
    if (noted) DrawCovered(buffer, surface.note->picture, surface.note->left - area.left, surface.note->top - area.top);
    DrawImage(dc, buffer, area.left, area.top, width, height);
    // A huge window's picture is not kept.
    if (buffer.Pixels().capacity() > kMaxKeptPaintPixels) buffer = Image();
}

// Whether any of a window can show: it and its ancestors are visible, and
// some of it lies within every ancestor's client area. A board scrolled out
// of its form's view shows nothing; asking for its drawing context to learn
// that costs a round of the window manager, the dearer the more windows the
// process has.
bool MayShow(HWND window) {
    if (!IsWindowVisible(window)) return false;
    RECT showing{};
    GetWindowRect(window, &showing);
    const HWND desktop = GetDesktopWindow();
    for (HWND parent = GetAncestor(window, GA_PARENT); parent != nullptr && parent != desktop;
         parent = GetAncestor(parent, GA_PARENT)) {
        RECT client{};
        GetClientRect(parent, &client);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        if (!IntersectRect(&showing, &showing, &client)) return false;
    }
    return true;
}

// Paints the parts, each cut to within, onto dc.
void PaintParts(const WindowSurface& surface, HDC dc, const std::vector<RECT>& parts, const RECT& within) {
    for (RECT part : parts) {
        IntersectRect(&part, &part, &within);
        // Each part is one picture, drawn at once: nothing flickers.
        PaintArea(surface, dc, part);
    }
}

}  // namespace

void RenderSurface(const PixelHostBase& host, int width, int height, HDC dc, const RECT& bounds,
                   const std::vector<Sprite>& over) {
    const int outWidth = bounds.right - bounds.left, outHeight = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0 || outWidth == 0 || outHeight == 0) return;
    const Image& sheet = host.Sheet().Pixels();
    if (over.empty() && sheet.Width() == width && sheet.Height() == height && host.SheetShows(0, 0, width, height)) {
        // The kept images are the picture already.
        return DrawImage(dc, sheet, bounds.left, bounds.top, outWidth, outHeight);
    }
    Image image;
    if (static_cast<long long>(width) * height <= kMaxRenderPixels) {
        image = host.ComposeArea(0, 0, width, height);
        for (const Sprite& piece : over) DrawCovered(image, *piece.picture, piece.left, piece.top, piece.opacity);
    } else {
        // Too large to hold: sampled at the size it is drawn, within the limit.
        const double scale = std::min({1.0, kMaxRenderEdge / width, kMaxRenderEdge / height,
                                       static_cast<double>(std::abs(outWidth)) / width,
                                       static_cast<double>(std::abs(outHeight)) / height});
        image = SampleSurface(host, width, height, std::max(1, static_cast<int>(width * scale)),
                              std::max(1, static_cast<int>(height * scale)));
    }
    DrawImage(dc, image, bounds.left, bounds.top, outWidth, outHeight);
}

void PaintInvalid(const WindowSurface& surface) {
    // The invalid region's rectangles, read before BeginPaint validates them:
    // two squares far apart repaint as two squares, not as the area between.
    std::vector<RECT> parts = InvalidRectangles(surface.window);
    handles::PaintDc dc(surface.window);
    const RECT& area = dc.Area();
    if (parts.empty()) parts.push_back(area);
    PaintParts(surface, dc.get(), parts, area);
}

void PrintClient(const PixelHostBase& host, HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    DrawImage(dc, host.ComposeArea(0, 0, client.right, client.bottom), 0, 0, client.right, client.bottom);
}

bool PaintShowing(const WindowSurface& surface, const std::vector<RECT>& parts) {
    if (!MayShow(surface.window)) return true;
    const handles::WindowDc dc(surface.window);
    RECT visible{};
    if (dc.get() == nullptr || GetClipBox(dc.get(), &visible) == ERROR) return false;
    PaintParts(surface, dc.get(), parts, visible);
    return true;
}

std::vector<RECT> RegionRectangles(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER) || size > sizeof(RGNDATAHEADER) + kMostRectangles * sizeof(RECT)) return {};
    std::vector<std::uint8_t> bytes(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (GetRegionData(region, size, data) != size || data->rdh.iType != RDH_RECTANGLES ||
        data->rdh.nCount > kMostRectangles)
        return {};
    std::vector<RECT> rects(data->rdh.nCount);
    std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
    return rects;
}

}  // namespace quelder::win32
