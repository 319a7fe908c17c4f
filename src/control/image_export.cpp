#include "control/image_export.hpp"

#include <objidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <new>
#include <string>

#include "com/com_error.hpp"
#include "com/com_ptr.hpp"
#include "handles/win_handles.hpp"
#include "render/board_image.hpp"

namespace quelder::win32 {

using com::ComPtr;

// ---- plain code -------------------------------------------------------------------

std::optional<ImageFormat> FormatOfPath(std::wstring_view path) {
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring_view::npos || path.find_first_of(L"\\/", dot) != std::wstring_view::npos)
        return std::nullopt;
    std::wstring extension(path.substr(dot + 1));
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (extension == L"png") return ImageFormat::Png;
    if (extension == L"bmp") return ImageFormat::Bmp;
    if (extension == L"jpg" || extension == L"jpeg") return ImageFormat::Jpeg;
    return std::nullopt;
}

namespace {

std::size_t Stride24(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

// A row of image as 24-bit pixels, blue first.
void Row24(const Image& image, int y, std::uint8_t* out) {
    const Pixel* in = image.Row(y);
    for (int x = 0; x < image.Width(); ++x, out += 3) {
        out[0] = BlueOf(in[x]);
        out[1] = GreenOf(in[x]);
        out[2] = RedOf(in[x]);
    }
}

}  // namespace

std::size_t PackedDibBytes(const Image& image) {
    return sizeof(BITMAPINFOHEADER) + Stride24(image.Width()) * static_cast<std::size_t>(image.Height());
}

void WritePackedDib(const Image& image, std::uint8_t* out) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = image.Width();
    header.biHeight = image.Height();  // bottom up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(Stride24(image.Width()) * static_cast<std::size_t>(image.Height()));
    std::memcpy(out, &header, sizeof header);
    out += sizeof header;
    const std::size_t stride = Stride24(image.Width());
    for (int y = image.Height() - 1; y >= 0; --y, out += stride) {
        Row24(image, y, out);
        std::fill(out + image.Width() * 3, out + stride, std::uint8_t{0});
    }
}

int PictureSize(const VARIANT& size, int fallback) {
    const VARIANT* value = &size;
    while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) value = V_VARIANTREF(value);
    if (V_VT(value) == VT_EMPTY || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND))
        return std::clamp(fallback, kMinBoardImage, kMaxBoardImage);
    VARIANT number;
    VariantInit(&number);
    const HRESULT hr = VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) Raise(error::kInvalidPropertyValue);
    if (FAILED(hr)) Raise(error::kTypeMismatch);
    const LONG pixels = V_I4(&number);
    if (pixels < kMinBoardImage || pixels > kMaxBoardImage) Raise(error::kInvalidPropertyValue);
    return static_cast<int>(pixels);
}

// ---- the system's ---------------------------------------------------------------------

namespace {

// Raises what a failed HRESULT of the encoding means: 7 for memory, else
// what the caller says.
void Check(HRESULT hr, std::int32_t otherwise) {
    if (SUCCEEDED(hr)) return;
    if (hr == E_OUTOFMEMORY) Raise(error::kOutOfMemory);
    Raise(otherwise);
}

GUID ContainerOf(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp: return GUID_ContainerFormatBmp;
    case ImageFormat::Jpeg: return GUID_ContainerFormatJpeg;
    case ImageFormat::Png: break;
    }
    return GUID_ContainerFormatPng;
}

// Encodes image into stream: 24-bit pixels, a band of rows at a time.
// failure: the error number of what is not memory.
void Encode(const Image& image, IStream& stream, ImageFormat format, std::int32_t failure) {
    ComPtr<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.GetAddressOf())),
          failure);
    ComPtr<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(ContainerOf(format), nullptr, encoder.GetAddressOf()), failure);
    Check(encoder->Initialize(&stream, WICBitmapEncoderNoCache), failure);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(frame.GetAddressOf(), options.GetAddressOf()), failure);
    Check(frame->Initialize(options.Get()), failure);
    Check(frame->SetSize(static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height())), failure);
    WICPixelFormatGUID pixels = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&pixels), failure);
    if (!IsEqualGUID(pixels, GUID_WICPixelFormat24bppBGR)) Raise(failure);
    const std::size_t stride = Stride24(image.Width());
    constexpr int kBand = 64;
    std::vector<std::uint8_t> band;
    try {
        band.resize(stride * kBand);
    } catch (const std::bad_alloc&) {
        Raise(error::kOutOfMemory);
    }
    for (int top = 0; top < image.Height(); top += kBand) {
        const int rows = std::min(kBand, image.Height() - top);
        for (int y = 0; y < rows; ++y) Row24(image, top + y, band.data() + stride * static_cast<std::size_t>(y));
        Check(frame->WritePixels(static_cast<UINT>(rows), static_cast<UINT>(stride),
                                 static_cast<UINT>(stride * static_cast<std::size_t>(rows)), band.data()),
              failure);
    }
    Check(frame->Commit(), failure);
    Check(encoder->Commit(), failure);
}

// A file that is deleted when it goes out of scope, unless kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

std::wstring FullPath(std::wstring_view path) {
    const std::wstring given(path);
    const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) Raise(error::kPathFileAccess);
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) Raise(error::kPathFileAccess);
    full.resize(written);
    return full;
}

}  // namespace

void SaveImageFile(const Image& image, std::wstring_view path, ImageFormat format) {
    if (path.empty() || path.find(L'\0') != std::wstring_view::npos) Raise(error::kPathFileAccess);
    const std::wstring full = FullPath(path);
    const std::size_t slash = full.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == full.size()) Raise(error::kPathFileAccess);
    // The new file beside the old, so that the rename stays on its volume.
    const std::wstring folder = full.substr(0, slash + 1);
    wchar_t name[MAX_PATH + 16] = {};
    if (folder.size() > MAX_PATH - 14 || GetTempFileNameW(folder.c_str(), L"qlb", 0, name) == 0)
        Raise(error::kPathFileAccess);
    TemporaryFile temporary(name);
    {
        ComPtr<IWICImagingFactory> factory;
        Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                               reinterpret_cast<void**>(factory.GetAddressOf())),
              error::kPathFileAccess);
        ComPtr<IWICStream> stream;
        Check(factory->CreateStream(stream.GetAddressOf()), error::kPathFileAccess);
        Check(stream->InitializeFromFilename(temporary.Path().c_str(), GENERIC_WRITE), error::kPathFileAccess);
        Encode(image, *stream.Get(), format, error::kPathFileAccess);
    }  // the file is closed
    if (!MoveFileExW(temporary.Path().c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING))
        Raise(error::kPathFileAccess);
    temporary.Keep();
}

namespace {

struct FreeGlobal {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};
using UniqueGlobal = handles::Unique<HGLOBAL, FreeGlobal>;

// Locked for the life of the scope.
class GlobalLock {
public:
    explicit GlobalLock(HGLOBAL memory) : memory_(memory), data_(::GlobalLock(memory)) {}
    ~GlobalLock() {
        if (data_ != nullptr) GlobalUnlock(memory_);
    }
    GlobalLock(const GlobalLock&) = delete;
    GlobalLock& operator=(const GlobalLock&) = delete;
    void* get() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

UniqueGlobal DibOf(const Image& image) {
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, PackedDibBytes(image)));
    if (!memory) Raise(error::kOutOfMemory);
    const GlobalLock locked(memory.get());
    if (locked.get() == nullptr) Raise(error::kOutOfMemory);
    WritePackedDib(image, static_cast<std::uint8_t*>(locked.get()));
    return memory;
}

UniqueGlobal PngOf(const Image& image) {
    // The memory outlives the stream, which does not free it.
    UniqueGlobal memory;
    ComPtr<IStream> stream;
    Check(CreateStreamOnHGlobal(nullptr, FALSE, stream.GetAddressOf()), error::kOutOfMemory);
    HGLOBAL held = nullptr;
    Check(GetHGlobalFromStream(stream.Get(), &held), error::kOutOfMemory);
    memory.reset(held);
    Encode(image, *stream.Get(), ImageFormat::Png, error::kOutOfMemory);
    // The stream grew the memory to the picture's size, and may have moved it
    // to another handle on the way.
    Check(GetHGlobalFromStream(stream.Get(), &held), error::kOutOfMemory);
    if (held != memory.get()) {
        memory.release();
        memory.reset(held);
    }
    return memory;
}

// The clipboard, open for the life of the scope. Another program may hold it
// a moment: it is tried a few times.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) {
        for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
            if (attempt > 0) Sleep(20);
            open_ = OpenClipboard(owner) != FALSE;
        }
    }
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool ok() const { return open_; }

private:
    bool open_ = false;
};

}  // namespace

void CopyImageToClipboard(const Image& image, HWND owner) {
    // Both made before the clipboard is taken: it is held a moment only.
    UniqueGlobal dib = DibOf(image);
    UniqueGlobal png = PngOf(image);
    const UINT pngFormat = RegisterClipboardFormatW(L"PNG");
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.ok() || !EmptyClipboard()) Raise(error::kCannotOpenClipboard);
    // The clipboard owns what it takes.
    if (SetClipboardData(CF_DIB, dib.get()) == nullptr) Raise(error::kCannotOpenClipboard);
    dib.release();
    if (pngFormat != 0 && SetClipboardData(pngFormat, png.get()) != nullptr) png.release();
}

}  // namespace quelder::win32
