#include "bench_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "drawing/bmp_codec.hpp"
#include "resources/resource_ids.h"
#include "support/process_counts.hpp"

namespace quelder::bench {

void Fail(const std::string& what) {
    std::printf("FAILED: %s\n", what.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void Check(bool condition, const std::string& what) {
    if (!condition) Fail(what);
}

void CheckHr(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) {
        char code[32];
        std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(hr));
        Fail(what + ": " + code);
    }
}

// ---- the library -------------------------------------------------------------------

namespace {
template <typename I>
ComPtr<I> CreateFrom(IClassFactory& factory) {
    ComPtr<I> control;
    CheckHr(factory.CreateInstance(nullptr, __uuidof(I), reinterpret_cast<void**>(control.GetAddressOf())),
            "CreateInstance");
    return control;
}
}  // namespace

Ocx::Ocx(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    Check(module_ != nullptr, "Quelder.ocx could not be loaded");
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    Check(get != nullptr, "Quelder.ocx exports no DllGetClassObject");
    CheckHr(get(CLSID_Quelder, IID_IClassFactory, reinterpret_cast<void**>(factory_.GetAddressOf())),
            "DllGetClassObject");
    CheckHr(get(CLSID_QuelderBoard, IID_IClassFactory, reinterpret_cast<void**>(boardFactory_.GetAddressOf())),
            "DllGetClassObject for the board class");
}

Ocx::~Ocx() {
    factory_.Reset();
    boardFactory_.Reset();
    if (module_) FreeLibrary(module_);
}

ComPtr<_Quelder> Ocx::Create() const { return CreateFrom<_Quelder>(*factory_.Get()); }

ComPtr<_QuelderBoard> Ocx::CreateBoard() const { return CreateFrom<_QuelderBoard>(*boardFactory_.Get()); }

std::vector<PictureRef> BoardImages(HMODULE ocx) {
    std::vector<PictureRef> images;
    for (int k = 1; k <= 14; ++k) {
        HRSRC found = FindResourceW(ocx, MAKEINTRESOURCEW(IDB_BOARD_BASE + k), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
        HGLOBAL loaded = found != nullptr ? LoadResource(ocx, found) : nullptr;
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        Check(data != nullptr, "a board image is missing from Quelder.ocx");
        const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data), SizeofResource(ocx, found));
        images.push_back(std::make_shared<PixelPicture>(DecodeDib(bytes)));
    }
    return images;
}

std::int32_t StartingPiece(int col, int row) {
    static constexpr std::int32_t back[2][8] = {
        {Brook, Bknight, Bbishop, BQueen, Bking, Bbishop, Bknight, Brook},
        {Wrook, Wknight, Wbishop, WQueen, Wking, Wbishop, Wknight, Wrook}};
    if (row == 1) return back[0][col - 1];
    if (row == 2) return Bpawn;
    if (row == 7) return Wpawn;
    if (row == 8) return back[1][col - 1];
    return None;
}

void ShowAt(HDC dc, const Image& image, int x, int y) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.Width();
    info.bmiHeader.biHeight = -image.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(image.Width()), static_cast<DWORD>(image.Height()), 0, 0, 0,
                      static_cast<UINT>(image.Height()), image.Pixels().data(), &info, DIB_RGB_COLORS);
}

void ShowOn(HWND window, const Image& surface) {
    const handles::WindowDc dc(window);
    ShowAt(dc.get(), surface, 0, 0);
    GdiFlush();
}

ComPtr<_Quelder> Published(const ComPtr<_QuelderBoard>& board) {
    ComPtr<_Quelder> published;
    CheckHr(board.As(&published), "QueryInterface(_Quelder) on the board class");
    return published;
}

void SetSize(_QuelderBoard& board, LONG size) { CheckHr(board.ChangeBoardSize(&size), "ChangeBoardSize"); }

void Repaint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
}

std::function<void()> AndUpdate(HWND window, std::function<void()> body) {
    return [window, body = std::move(body)] {
        body();
        UpdateWindow(window);
        GdiFlush();
    };
}

// ---- timing ------------------------------------------------------------------------

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

namespace {
double SecondsPerCall(int calls, const std::function<void()>& body) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) body();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count() / calls;
}
}  // namespace

double MedianSeconds(int repetitions, int calls, const std::function<void()>& body) {
    std::vector<double> seconds;
    body();  // warm up
    for (int r = 0; r < repetitions; ++r) seconds.push_back(SecondsPerCall(calls, body));
    return Median(std::move(seconds));
}


Comparison Compare(int repetitions, int calls, const std::function<void()>& measured,
                   const std::function<void()>& baseline, const Turns& turns) {
    const auto turn = [](const std::function<void()>& before) {
        if (before) before();
    };
    turn(turns.measured);
    measured();  // warm up
    turn(turns.baseline);
    baseline();
    std::vector<double> a, b, ratios;
    for (int r = 0; r < repetitions; ++r) {
        turn(turns.measured);
        a.push_back(SecondsPerCall(calls, measured));
        turn(turns.baseline);
        b.push_back(SecondsPerCall(calls, baseline));
        ratios.push_back(a.back() / b.back());
    }
    return {Median(a), Median(b), Median(ratios)};
}

// ---- windows and hosting ---------------------------------------------------------

namespace {
constexpr wchar_t kTopClass[] = L"QuelderBenchTop";
constexpr wchar_t kSiteClass[] = L"QuelderBenchSite";

void RegisterClasses() {
    static const bool done = [] {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        for (const wchar_t* name : {kTopClass, kSiteClass}) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &DefWindowProcW;
            wc.hInstance = module;
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        return true;
    }();
    (void)done;
}

using AttachControl = HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**);

AttachControl AtlAttach() {
    static const AttachControl attach = [] {
        const HMODULE atl = LoadLibraryW(L"atl.dll");  // stays loaded for the whole run
        return atl != nullptr ? reinterpret_cast<AttachControl>(
                                    reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxAttachControl")))
                              : nullptr;
    }();
    return attach;
}
}  // namespace

TopWindow::TopWindow(int width, int height) {
    RegisterClasses();
    window_.reset(CreateWindowExW(0, kTopClass, L"Quelder benchmark", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    Check(static_cast<bool>(window_), "no top-level window");
    Pump();
}

MemoryBitmap::MemoryBitmap(int width, int height) {
    handles::ScreenDc screen;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    memory_.reset(CreateCompatibleDC(screen.get()));
    Check(bitmap_ && memory_ && bits_ != nullptr, "no memory bitmap");
    selected_.emplace(memory_.get(), bitmap_.get());
}

Hosted::Hosted(HWND parent, const RECT& place, ComPtr<_Quelder> control, HostingTime* time)
    : control_(std::move(control)) {
    using Clock = std::chrono::steady_clock;
    RegisterClasses();
    const AttachControl attach = AtlAttach();
    Check(attach != nullptr, "atl.dll or its AtlAxAttachControl is missing");
    const auto start = Clock::now();
    site_.reset(CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr));
    Check(static_cast<bool>(site_), "no site window");
    const auto made = Clock::now();
    CheckHr(attach(control_.Get(), site_.get(), container_.GetAddressOf()), "AtlAxAttachControl");
    if (time != nullptr) {
        time->site += made - start;
        time->attach += Clock::now() - made;
    }
}

HWND Hosted::ControlWindow() const {
    ComPtr<IOleWindow> window;
    HWND handle = nullptr;
    if (SUCCEEDED(control_.As(&window))) window->GetWindow(&handle);
    return handle;
}

handles::UniqueWindow FloorWindow(HWND parent, const wchar_t* name, WNDPROC procedure, int width, int height,
                                  bool visible) {
    WNDCLASSW floorClass{};
    floorClass.lpfnWndProc = procedure;
    floorClass.hInstance = GetModuleHandleW(nullptr);
    floorClass.lpszClassName = name;
    RegisterClassW(&floorClass);
    handles::UniqueWindow window(CreateWindowExW(0, name, L"", WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0),
                                                 0, 0, width, height, parent, nullptr, floorClass.hInstance, nullptr));
    Check(static_cast<bool>(window), "no floor window");
    SetWindowPos(window.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return window;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// ---- what a board costs ------------------------------------------------------------

std::vector<RECT> UpdateRects(HWND window) {
    const handles::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    if (!region || GetUpdateRgn(window, region.get(), FALSE) <= NULLREGION) return {};
    std::vector<std::uint8_t> bytes(GetRegionData(region.get(), 0, nullptr));
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (bytes.empty() || GetRegionData(region.get(), static_cast<DWORD>(bytes.size()), data) != bytes.size()) return {};
    std::vector<RECT> rects(data->rdh.nCount);
    std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
    return rects;
}

long long Area(const std::vector<RECT>& rects) {
    long long area = 0;
    for (const RECT& r : rects) area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    return area;
}

namespace {
PaintCounter* counting = nullptr;
}  // namespace

LRESULT CALLBACK PaintCounter::Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        ++counting->paints;
        const std::vector<RECT> rects = UpdateRects(window);
        counting->area += Area(rects);
        counting->rects.insert(counting->rects.end(), rects.begin(), rects.end());
    }
    return CallWindowProcW(counting->original_, window, message, wParam, lParam);
}

PaintCounter::PaintCounter(HWND window) : window_(window) {
    Check(counting == nullptr, "two paint counters at once");
    counting = this;
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Count)));
}

PaintCounter::~PaintCounter() {
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    counting = nullptr;
}

double CommittedPerBoard(int count, const std::function<std::unique_ptr<Hosted>(int)>& make) {
    make(0).reset();
    Pump();
    const SIZE_T before = testing::CommittedBytes();
    std::vector<std::unique_ptr<Hosted>> boards;
    for (int i = 0; i < count; ++i) boards.push_back(make(i));
    Pump();
    const SIZE_T alive = testing::CommittedBytes();
    boards.clear();
    Pump();
    return (static_cast<double>(alive) - static_cast<double>(before)) / count;
}

HostedBoard::HostedBoard(HWND parent, const Ocx& ocx, int size, bool animated) : board_(ocx.CreateBoard()) {
    if (!animated) CheckHr(board_->put_AnimationTime(0), "AnimationTime");
    hosted_.emplace(parent, RECT{0, 0, size, size}, Published(board_));
    window_ = hosted_->ControlWindow();
    Check(window_ != nullptr, "the hosted board has no window");
    SetSize(*board_.Get(), size);
}

}  // namespace quelder::bench
