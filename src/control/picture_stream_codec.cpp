#include "control/picture_stream_codec.hpp"

#include <olectl.h>

#include <algorithm>
#include <limits>

#include "com/com_base.hpp"
#include "com/com_error.hpp"
#include "control/pictures.hpp"

namespace quelder::win32 {

namespace {

using com::ComPtr;

// Stream calls move at most this much at once.
constexpr std::size_t kChunk = std::size_t{1} << 20;

void Check(HRESULT hr) {
    if (FAILED(hr)) throw com::HresultError(hr);
}

ComPtr<IStream> MemoryStream() {
    ComPtr<IStream> stream;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()));
    return stream;
}

void Rewind(IStream& stream) {
    LARGE_INTEGER start{};
    Check(stream.Seek(start, STREAM_SEEK_SET, nullptr));
}

}  // namespace

void ReadExactly(IStream& stream, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const auto ask = static_cast<ULONG>(std::min(size - done, kChunk));
        ULONG got = 0;
        Check(stream.Read(data + done, ask, &got));
        if (got == 0 || got > ask) Raise(error::kInvalidPropertyValue);
        done += got;
    }
}

void WriteAll(IStream& stream, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto ask = static_cast<ULONG>(std::min(bytes.size() - done, kChunk));
        ULONG written = 0;
        Check(stream.Write(bytes.data() + done, ask, &written));
        if (written == 0 || written > ask) throw com::HresultError(STG_E_MEDIUMFULL);
        done += written;
    }
}

std::vector<std::uint8_t> StreamPictureCodec::Save(const PictureRef& picture) {
    const ComPtr<IPictureDisp> object = ToPictureDisp(picture);
    ComPtr<IPersistStream> persist;
    if (!object || FAILED(object.As(&persist))) Raise(error::kInvalidPicture);
    const ComPtr<IStream> stream = MemoryStream();
    if (FAILED(persist->Save(stream.Get(), TRUE))) Raise(error::kInvalidPicture);
    ULARGE_INTEGER end{};
    LARGE_INTEGER none{};
    Check(stream->Seek(none, STREAM_SEEK_CUR, &end));
    if (end.QuadPart > kMaxSavedPictureSize) Raise(error::kInvalidPropertyValue);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end.QuadPart));
    Rewind(*stream.Get());
    ReadExactly(*stream.Get(), bytes.data(), bytes.size());
    return bytes;
}

PictureRef StreamPictureCodec::Load(std::span<const std::uint8_t> bytes) {
    const ComPtr<IStream> stream = MemoryStream();
    WriteAll(*stream.Get(), bytes);
    Rewind(*stream.Get());
    ComPtr<IPersistStream> persist;
    Check(CoCreateInstance(CLSID_StdPicture, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStream,
                           reinterpret_cast<void**>(persist.GetAddressOf())));
    ComPtr<IPictureDisp> picture;
    if (FAILED(persist->Load(stream.Get())) || FAILED(persist.As(&picture)) || !picture) Raise(error::kInvalidPicture);
    return FromPictureDisp(picture.Get());
}

}  // namespace quelder::win32
