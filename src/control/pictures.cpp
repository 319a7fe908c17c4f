#include "control/pictures.hpp"

#include <cstring>
#include <new>
#include <optional>

#include "com/com_error.hpp"
#include "handles/win_handles.hpp"

namespace quelder::win32 {

namespace {

using handles::ScreenDc;
using handles::Selection;
using handles::UniqueBitmap;
using handles::UniqueMemoryDc;

// The largest picture drawn into pixels, in either direction.
constexpr int kMaxPixels = 4096;

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The pixels of a bitmap, or nothing when GDI cannot hand them out.
std::optional<Image> BitmapPixels(HBITMAP bitmap) {
    BITMAP header{};
    if (GetObjectW(bitmap, sizeof header, &header) != sizeof header) return std::nullopt;
    if (header.bmWidth <= 0 || header.bmHeight <= 0) return Image();
    if (header.bmWidth > kMaxPixels || header.bmHeight > kMaxPixels) Raise(error::kInvalidPicture);
    Image image(header.bmWidth, header.bmHeight);
    BITMAPINFO info = TopDown32(header.bmWidth, header.bmHeight);
    ScreenDc screen;
    if (GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(header.bmHeight), image.Pixels().data(), &info,
                  DIB_RGB_COLORS) != header.bmHeight)
        return std::nullopt;
    for (Pixel& p : image.Pixels()) p &= 0x00FFFFFF;
    return image;
}

// A picture of any kind drawn by itself at its own size onto black (the mask
// colour, so what it leaves out stays transparent on the board).
Image DrawnPixels(IPicture& picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    if (FAILED(picture.get_Width(&width)) || FAILED(picture.get_Height(&height))) Raise(error::kInvalidPicture);
    ScreenDc screen;
    const int w = MulDiv(width, GetDeviceCaps(screen.get(), LOGPIXELSX), 2540);
    const int h = MulDiv(height, GetDeviceCaps(screen.get(), LOGPIXELSY), 2540);
    if (w <= 0 || h <= 0) return Image();
    if (w > kMaxPixels || h > kMaxPixels) Raise(error::kInvalidPicture);

    BITMAPINFO info = TopDown32(w, h);
    void* bits = nullptr;
    UniqueBitmap target(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    if (!target || bits == nullptr || !dc) throw std::bad_alloc();
    {
        Selection selected(dc.get(), target.get());
        if (!selected.ok() ||
            FAILED(picture.Render(dc.get(), 0, 0, w, h, 0, height, width, -height, nullptr)))
            Raise(error::kInvalidPicture);
        GdiFlush();
    }
    Image image(w, h);
    std::memcpy(image.Pixels().data(), bits, image.Pixels().size() * sizeof(Pixel));
    for (Pixel& p : image.Pixels()) p &= 0x00FFFFFF;
    return image;
}

com::ComPtr<IPictureDisp> NewPicture(PICTDESC& description) {
    com::ComPtr<IPictureDisp> picture;
    const HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                                reinterpret_cast<void**>(picture.GetAddressOf()));
    if (FAILED(hr)) throw com::HresultError(hr);
    return picture;
}

}  // namespace

Image RenderPicture(IPicture& picture) {
    SHORT type = PICTYPE_UNINITIALIZED;
    if (FAILED(picture.get_Type(&type))) Raise(error::kInvalidPicture);
    if (type == PICTYPE_NONE || type == PICTYPE_UNINITIALIZED) return Image();
    if (type == PICTYPE_BITMAP) {
        OLE_HANDLE handle = 0;
        if (SUCCEEDED(picture.get_Handle(&handle)) && handle != 0) {
            auto pixels = BitmapPixels(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
            if (pixels) return std::move(*pixels);
        }
    }
    return DrawnPixels(picture);
}

com::ComPtr<IPictureDisp> CreatePicture(const Image& image) {
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    if (image.Empty()) {
        description.picType = PICTYPE_NONE;
        return NewPicture(description);
    }
    // 24 bits a pixel: the picture saves itself as a plain bitmap, which
    // every picture loader reads back (Wine's saves a 32-bit one with a
    // compression it cannot read itself).
    BITMAPINFO info = TopDown32(image.Width(), image.Height());
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    ScreenDc screen;
    UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) throw std::bad_alloc();
    const std::size_t stride = (static_cast<std::size_t>(image.Width()) * 3 + 3) & ~std::size_t{3};
    auto* row = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < image.Height(); ++y, row += stride) {
        for (int x = 0; x < image.Width(); ++x) {
            const Pixel p = image.At(x, y);
            row[x * 3] = BlueOf(p);
            row[x * 3 + 1] = GreenOf(p);
            row[x * 3 + 2] = RedOf(p);
        }
    }
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap.get();
    auto picture = NewPicture(description);
    bitmap.release();  // the picture object owns it now
    return picture;
}

ComPicture::ComPicture(std::shared_ptr<const Image> pixels) : pixels_(std::move(pixels)) {}

ComPicture::ComPicture(com::ComPtr<IPictureDisp> picture) : picture_(std::move(picture)) {}

const Image* ComPicture::HeldPixels() const {
    if (!pixels_) {
        com::ComPtr<IPicture> picture;
        if (!picture_ || FAILED(picture_.As(&picture)) || !picture) Raise(error::kInvalidPicture);
        pixels_ = std::make_shared<const Image>(RenderPicture(*picture.Get()));
    }
    return pixels_.get();
}

Image ComPicture::Render() const { return *HeldPixels(); }

com::ComPtr<IPictureDisp> ComPicture::Dispatch() const {
    if (!picture_) picture_ = CreatePicture(pixels_ ? *pixels_ : Image());
    return picture_;
}

PictureRef EmptyPicture() { return std::make_shared<ComPicture>(CreatePicture(Image())); }

com::ComPtr<IPictureDisp> ToPictureDisp(const PictureRef& ref) {
    if (!ref) return nullptr;
    if (const auto* own = dynamic_cast<const ComPicture*>(ref.get())) return own->Dispatch();
    // A picture made elsewhere: a new object showing it.
    return CreatePicture(ref->Render());
}

PictureRef FromPictureDisp(IPictureDisp* picture) {
    if (picture == nullptr) return nullptr;
    com::ComPtr<IPicture> drawable;
    if (FAILED(picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(drawable.GetAddressOf()))) || !drawable)
        Raise(error::kInvalidPicture);
    return std::make_shared<ComPicture>(com::ComPtr<IPictureDisp>(picture));
}

}  // namespace quelder::win32
