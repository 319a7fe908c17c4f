#include "control/piece_files.hpp"

#include <windows.h>
#include <objidl.h>
#include <wincodec.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "com/com_base.hpp"
#include "com/com_error.hpp"
#include "com/com_ptr.hpp"
#include "drawing/square_overlays.hpp"
#include "handles/win_handles.hpp"
#include "host/control_error.hpp"

namespace quelder::win32 {

using com::ComPtr;

namespace {

// In the order of the board images 2 to 13: the B set, then the W set.
constexpr std::array<const wchar_t*, 12> kPieceNames = {L"bP", L"bR", L"bN", L"bB", L"bQ", L"bK",
                                                        L"wP", L"wR", L"wN", L"wB", L"wQ", L"wK"};

using Bytes = std::vector<std::uint8_t>;

// The largest picture kept decoded from loading until the set is first drawn.
constexpr long long kKeptPixels = 512 * 512;

enum class Decoded { Ok, NotAPicture, TooLarge };

// Reads picture files' bytes through the system's imaging component. The
// decoder of a PNG or a BMP is made from its class, kept for the set, and
// the pixels converted by the factory's own converter: the general paths
// (CreateDecoderFromStream, WICConvertBitmapSource) look through every codec
// the system lists for each picture, many times slower where the registry is
// slow to read. Other files still go through them.
class PictureReader {
public:
    PictureReader() {
        const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IWICImagingFactory, reinterpret_cast<void**>(factory_.GetAddressOf()));
        if (hr == E_OUTOFMEMORY) Raise(error::kOutOfMemory);
        if (FAILED(hr)) Raise(error::kInvalidPropertyValue, "The system cannot read pictures");
    }

    // The picture in bytes with its colours mixed with black by its
    // coverage, as DrawCovered lays it.
    Decoded Decode(const Bytes& bytes, BoardPicture& out) {
        ComPtr<IWICStream> stream;
        if (FAILED(factory_->CreateStream(stream.GetAddressOf())) ||
            FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))))
            return Decoded::NotAPicture;
        ComPtr<IWICBitmapDecoder> decoder = DecoderFor(bytes, *stream.Get());
        ComPtr<IWICBitmapFrameDecode> frame;
        UINT width = 0, height = 0;
        if (!decoder || FAILED(decoder->GetFrame(0, frame.GetAddressOf())) ||
            FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0)
            return Decoded::NotAPicture;
        if (width > kMaxPieceFileSide || height > kMaxPieceFileSide) return Decoded::TooLarge;
        ComPtr<IWICBitmapSource> converted = Premultiplied(*frame.Get());
        if (!converted) return Decoded::NotAPicture;
        const UINT stride = width * 4;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height);
        if (FAILED(converted->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data())))
            return Decoded::NotAPicture;
        out.image = Image(static_cast<int>(width), static_cast<int>(height));
        out.coverage.assign(static_cast<std::size_t>(width) * height, 0);
        std::vector<Pixel>& colours = out.image.Pixels();
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const std::uint8_t* p = pixels.data() + i * 4;  // blue, green, red, alpha
            colours[i] = MakePixel(p[2], p[1], p[0]);
            out.coverage[i] = p[3];
        }
        return Decoded::Ok;
    }

private:
    // A decoder initialised on stream; none for bytes no decoder reads.
    ComPtr<IWICBitmapDecoder> DecoderFor(const Bytes& bytes, IWICStream& stream) {
        constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        const auto starts = [&](const std::uint8_t* signature, std::size_t size) {
            return bytes.size() >= size && std::equal(signature, signature + size, bytes.begin());
        };
        ComPtr<IClassFactory>* known = nullptr;
        CLSID clsid{};
        if (starts(kPng, sizeof kPng)) {
            known = &png_;
            clsid = CLSID_WICPngDecoder;
        } else if (constexpr std::uint8_t kBmp[] = {'B', 'M'}; starts(kBmp, sizeof kBmp)) {
            known = &bmp_;
            clsid = CLSID_WICBmpDecoder;
        }
        ComPtr<IWICBitmapDecoder> decoder;
        if (known != nullptr) {
            if (!*known)
                CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                 reinterpret_cast<void**>(known->GetAddressOf()));
            if (*known && SUCCEEDED((*known)->CreateInstance(nullptr, IID_IWICBitmapDecoder,
                                                             reinterpret_cast<void**>(decoder.GetAddressOf())))) {
                if (SUCCEEDED(decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand))) return decoder;
                return nullptr;
            }
        }
        LARGE_INTEGER start{};
        if (FAILED(stream.Seek(start, STREAM_SEEK_SET, nullptr)) ||
            FAILED(factory_->CreateDecoderFromStream(&stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                     decoder.GetAddressOf())))
            return nullptr;
        return decoder;
    }

    // The frame in premultiplied 32-bit pixels with coverage; none when it
    // cannot be converted.
    ComPtr<IWICBitmapSource> Premultiplied(IWICBitmapFrameDecode& frame) {
        ComPtr<IWICFormatConverter> converter;
        if (SUCCEEDED(factory_->CreateFormatConverter(converter.GetAddressOf())) &&
            SUCCEEDED(converter->Initialize(&frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                            0, WICBitmapPaletteTypeCustom)))
            return ComPtr<IWICBitmapSource>(converter.Get());
        ComPtr<IWICBitmapSource> converted;
        if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, &frame, converted.GetAddressOf())))
            return nullptr;
        return converted;
    }

    ComPtr<IWICImagingFactory> factory_;
    ComPtr<IClassFactory> png_, bmp_;
};

struct CloseFile {
    void operator()(HANDLE file) const { CloseHandle(file); }
};

// The bytes of the file at path; false when there is no such file.
bool ReadFileBytes(const std::wstring& path, Bytes& bytes) {
    const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND || why == ERROR_INVALID_NAME) return false;
        Raise(error::kInvalidPropertyValue, com::Narrow(path) + " cannot be read");
    }
    const handles::Unique<HANDLE, CloseFile> file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) Raise(error::kInvalidPropertyValue, com::Narrow(path) + " cannot be read");
    if (size.QuadPart > kMaxPieceFileBytes)
        Raise(error::kInvalidPropertyValue, com::Narrow(path) + " is too large for a piece");
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
        Raise(error::kInvalidPropertyValue, com::Narrow(path) + " cannot be read");
    return true;
}

class FilePieces final : public PieceSet {
public:
    // decoded: the files' pictures as read to check them, drawn from once.
    FilePieces(std::array<Bytes, 12> files, std::array<BoardPicture, 12> decoded)
        : files_(std::move(files)), decoded_(std::move(decoded)) {}

    std::vector<BoardPicture> Draw(int size) const noexcept override {
        try {
            // The pictures read when the set was loaded serve its first
            // drawing, and go; after that each size decodes the files again.
            std::array<BoardPicture, 12> decoded = std::move(decoded_);
            decoded_ = {};
            std::vector<BoardPicture> pieces;
            pieces.reserve(files_.size());
            std::optional<PictureReader> reader;
            for (std::size_t k = 0; k < files_.size(); ++k) {
                if (decoded[k].image.Empty()) {
                    if (!reader) reader.emplace();
                    if (reader->Decode(files_[k], decoded[k]) != Decoded::Ok) return {};
                }
                pieces.push_back(FitCoveredPicture(decoded[k], size));
                decoded[k] = {};
                if (pieces.back().image.Empty()) return {};
            }
            return pieces;
        } catch (...) {
            // Drawn from the built-in shapes instead.
            return {};
        }
    }

private:
    std::array<Bytes, 12> files_;
    mutable std::array<BoardPicture, 12> decoded_;
};

}  // namespace

std::shared_ptr<const PieceSet> ReadPieceSet(std::wstring_view folder) {
    try {
        std::wstring base(folder);
        if (base.find(L'\0') != std::wstring::npos) Raise(error::kFileNotFound);
        if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base.push_back(L'\\');
        PictureReader reader;
        std::array<Bytes, 12> files;
        std::array<BoardPicture, 12> decoded;
        for (std::size_t k = 0; k < kPieceNames.size(); ++k) {
            std::wstring path = base + kPieceNames[k] + L".png";
            if (!ReadFileBytes(path, files[k])) {
                const std::wstring bmp = base + kPieceNames[k] + L".bmp";
                if (!ReadFileBytes(bmp, files[k])) Raise(error::kFileNotFound, "File not found: " + com::Narrow(path));
                path = bmp;
            }
            // Read whole once: a file that cannot be drawn fails now, not
            // when the board is painted.
            switch (reader.Decode(files[k], decoded[k])) {
            case Decoded::Ok:
                // Kept for the first drawing when small, as a set's pictures
                // are: a large one would hold its pixels until the board is
                // drawn, which may be never.
                if (static_cast<long long>(decoded[k].image.Width()) * decoded[k].image.Height() > kKeptPixels)
                    decoded[k] = {};
                break;
            case Decoded::TooLarge:
                Raise(error::kInvalidPropertyValue, com::Narrow(path) + " is larger than 4,096 pixels a side");
            case Decoded::NotAPicture:
                Raise(error::kInvalidPropertyValue, com::Narrow(path) + " is not a picture that can be read");
            }
        }
        return std::make_shared<const FilePieces>(std::move(files), std::move(decoded));
    } catch (const std::bad_alloc&) {
        Raise(error::kOutOfMemory);
    }
}

}  // namespace quelder::win32
