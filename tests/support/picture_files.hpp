// Picture files read and written through the system's imaging component, as
// a user's programs make them: for the tests and the benchmark.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "com/com_ptr.hpp"
#include "drawing/pixels.hpp"

namespace quelder::testing {

// A picture file as the system's decoder reads it, in 32-bit pixels; empty
// when it cannot be read.
inline Image DecodedFile(const std::wstring& path) {
    com::ComPtr<IWICImagingFactory> factory;
    com::ComPtr<IWICBitmapDecoder> decoder;
    com::ComPtr<IWICBitmapFrameDecode> frame;
    com::ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.GetAddressOf())) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf())) ||
        FAILED(factory->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)))
        return Image();
    Image image(static_cast<int>(width), static_cast<int>(height));
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     reinterpret_cast<BYTE*>(image.Pixels().data()))))
        return Image();
    for (Pixel& p : image.Pixels()) p &= 0x00FFFFFF;
    return image;
}

// Writes a PNG of width x height through the system's encoder, each pixel
// given as 0xAARRGGBB, not premultiplied. False when it could not.
inline bool WritePng(const std::wstring& path, int width, int height, const std::function<std::uint32_t(int, int)>& pixel) {
    com::ComPtr<IWICImagingFactory> factory;
    com::ComPtr<IWICStream> stream;
    com::ComPtr<IWICBitmapEncoder> encoder;
    com::ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        FAILED(factory->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.GetAddressOf())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
        FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA))
        return false;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = pixel(x, y);
    return SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                        static_cast<UINT>(pixels.size() * 4), reinterpret_cast<BYTE*>(pixels.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The names of a piece set's files, W first.
inline const wchar_t* const kPieceFileNames[12] = {L"wP", L"wN", L"wB", L"wR", L"wQ", L"wK",
                                                   L"bP", L"bN", L"bB", L"bR", L"bQ", L"bK"};

// Writes a piece set into folder: twelve PNG files of size x size, each a
// disc in colourOf(k) (k indexing kPieceFileNames), opaque to 5/16 of size
// from the middle and fading out to 7/16. False when a file could not be
// written.
inline bool WritePieceSet(const std::wstring& folder, int size, const std::function<std::uint32_t(int)>& colourOf) {
    for (int k = 0; k < 12; ++k) {
        const std::uint32_t colour = colourOf(k) & 0xFFFFFFu;
        const auto disc = [&](int x, int y) -> std::uint32_t {
            const double dx = (x + 0.5) / size - 0.5, dy = (y + 0.5) / size - 0.5;
            const double d = std::sqrt(dx * dx + dy * dy) * 16;
            const int alpha = d <= 5 ? 255 : d >= 7 ? 0 : static_cast<int>((7 - d) / 2 * 255);
            return static_cast<std::uint32_t>(alpha) << 24 | colour;
        };
        if (!WritePng(folder + kPieceFileNames[k] + L".png", size, size, disc)) return false;
    }
    return true;
}

}  // namespace quelder::testing
