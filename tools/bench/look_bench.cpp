// The board class's look from files and as files, on an 800-pixel board
// (100-pixel squares): a set of twelve 128-pixel PNG pieces loaded and the
// board repainted with them, against the budget of 50 ms; and the board
// saved as an 800-pixel PNG, against the time the system's encoder alone
// takes to write the same number of pixels to the same place.
#include <windows.h>
#include <oleauto.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "support/picture_files.hpp"

namespace quelder::bench {

namespace {

constexpr int kBoard = 800;

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    Check(GetTempPathW(MAX_PATH, temp) != 0, "GetTempPath");
    return temp;
}

// What SaveImage hands the encoder, written by the encoder alone: an 800 x
// 800 24-bit picture to path, with the file made and closed.
void EncodeAlone(const std::wstring& path, const std::vector<BYTE>& pixels) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    CheckHr(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                             reinterpret_cast<void**>(factory.GetAddressOf())),
            "WIC factory");
    CheckHr(factory->CreateStream(stream.GetAddressOf()), "CreateStream");
    CheckHr(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), "InitializeFromFilename");
    CheckHr(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.GetAddressOf()), "CreateEncoder");
    CheckHr(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "Initialize");
    CheckHr(encoder->CreateNewFrame(frame.GetAddressOf(), options.GetAddressOf()), "CreateNewFrame");
    CheckHr(frame->Initialize(options.Get()), "frame Initialize");
    CheckHr(frame->SetSize(kBoard, kBoard), "SetSize");
    CheckHr(frame->SetPixelFormat(&format), "SetPixelFormat");
    CheckHr(frame->WritePixels(kBoard, kBoard * 3, static_cast<UINT>(pixels.size()), const_cast<BYTE*>(pixels.data())),
            "WritePixels");
    CheckHr(frame->Commit(), "frame Commit");
    CheckHr(encoder->Commit(), "Commit");
}

}  // namespace

void LookBenchmark(const Options& options, const Ocx& ocx) {
    const int calls = options.quick ? 2 : 5;
    std::printf("board class: pieces from files and the board as a file, on an %d-pixel board\n", kBoard);
    TopWindow top(kBoard + 40, kBoard + 40);
    const HostedBoard board(top.get(), ocx, kBoard);
    const HWND window = board.Window();
    CheckHr(board->NewGame(), "NewGame");
    Repaint(window);
    Pump();

    // 1. Twelve 128-pixel pieces loaded and drawn: LoadPieceSet and the
    // repaint it asks for, each run from the built-in set.
    const std::wstring folder = TempFolder() + L"quelder_bench_pieces\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    Check(testing::WritePieceSet(folder, 128, [](int k) { return 0x303030u + static_cast<std::uint32_t>(k) * 0x0C0A08u; }),
          "the piece files could not be written");
    const BstrText where(folder.c_str());
    std::vector<double> loads, reads;
    for (int r = 0; r < options.repetitions; ++r) {
        CheckHr(board->UseBuiltInPieces(), "UseBuiltInPieces");
        Repaint(window);
        Pump();
        double read = 0;
        loads.push_back(MedianSeconds(1, 1, [&] {
            const auto start = std::chrono::steady_clock::now();
            CheckHr(board->LoadPieceSet(where.value), "LoadPieceSet");
            read = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            Repaint(window);
        }));
        reads.push_back(read);
    }
    // The same repaint after the built-in set is taken back, for scale.
    std::vector<double> builtIn;
    for (int r = 0; r < options.repetitions; ++r) {
        CheckHr(board->LoadPieceSet(where.value), "LoadPieceSet");
        Repaint(window);
        Pump();
        builtIn.push_back(MedianSeconds(1, 1, [&] {
            CheckHr(board->UseBuiltInPieces(), "UseBuiltInPieces");
            Repaint(window);
        }));
    }
    const double load = Median(loads);
    std::printf("  %-54s %8.2f ms   %.2f of the budget of 50 ms\n", "a 128-pixel PNG set loaded and drawn (100-px squares)",
                load * 1e3, load / 0.050);
    std::printf("  %-54s %8.2f ms\n", "of which LoadPieceSet (the files read, squares drawn)", Median(reads) * 1e3);
    std::printf("  %-54s %8.2f ms\n", "the built-in set taken back and drawn", Median(builtIn) * 1e3);
    for (const wchar_t* name : testing::kPieceFileNames) DeleteFileW((folder + name + L".png").c_str());
    RemoveDirectoryW(folder.c_str());

    // 2. SaveImage at 800 pixels against the encoder alone writing a picture
    // of that size to the same path.
    const std::wstring path = TempFolder() + L"quelder_bench_board.png";
    const BstrText file(path.c_str());
    VARIANT size;
    VariantInit(&size);
    V_VT(&size) = VT_I4;
    V_I4(&size) = kBoard;
    // The encoder's pixels are the board's own, as BoardPicture gives them,
    // so that both compress the same picture.
    ComPtr<IPictureDisp> picture;
    CheckHr(board->BoardPicture(size, picture.GetAddressOf()), "BoardPicture");
    ComPtr<IPicture> bitmap;
    CheckHr(picture.As(&bitmap), "IPicture");
    OLE_HANDLE handle = 0;
    CheckHr(bitmap->get_Handle(&handle), "get_Handle");
    std::vector<BYTE> pixels(static_cast<std::size_t>(kBoard) * kBoard * 3);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kBoard, -kBoard, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), 0, kBoard,
                               pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    Check(rows == kBoard, "the board's picture could not be read");
    const Comparison save = Compare(options.repetitions, calls,
                                    [&] { CheckHr(board->SaveImage(file.value, size), "SaveImage"); },
                                    [&] { EncodeAlone(path, pixels); });
    DeleteFileW(path.c_str());
    const double own = save.measured - save.baseline;
    std::printf("  %-54s %8.2f ms\n", "SaveImage, an 800-pixel PNG", save.measured * 1e3);
    std::printf("  %-54s %8.2f ms\n", "the encoder alone writing 800 x 800 pixels there", save.baseline * 1e3);
    std::printf("  %-54s %8.2f ms   %.2f of the budget of 50 ms\n", "SaveImage's own time (the difference)", own * 1e3,
                own / 0.050);
}

}  // namespace quelder::bench
