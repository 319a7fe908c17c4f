#include "bench_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "drawing/bmp_codec.hpp"
#include "resources/resource_ids.h"

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

Ocx::Ocx(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    Check(module_ != nullptr, "Quelder.ocx could not be loaded");
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    Check(get != nullptr, "Quelder.ocx exports no DllGetClassObject");
    CheckHr(get(CLSID_Quelder, IID_IClassFactory, reinterpret_cast<void**>(factory_.GetAddressOf())),
            "DllGetClassObject");
}

Ocx::~Ocx() {
    factory_.Reset();
    if (module_) FreeLibrary(module_);
}

ComPtr<_Quelder> Ocx::Create() const {
    ComPtr<_Quelder> control;
    CheckHr(factory_->CreateInstance(nullptr, IID__Quelder, reinterpret_cast<void**>(control.GetAddressOf())),
            "CreateInstance");
    return control;
}

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

// ---- timing ------------------------------------------------------------------------

namespace {
double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}
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
                   const std::function<void()>& baseline) {
    measured();  // warm up
    baseline();
    std::vector<double> a, b, ratios;
    for (int r = 0; r < repetitions; ++r) {
        a.push_back(SecondsPerCall(calls, measured));
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

Hosted::Hosted(HWND parent, const RECT& place, ComPtr<_Quelder> control) : control_(std::move(control)) {
    RegisterClasses();
    const AttachControl attach = AtlAttach();
    Check(attach != nullptr, "atl.dll or its AtlAxAttachControl is missing");
    site_.reset(CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr));
    Check(static_cast<bool>(site_), "no site window");
    CheckHr(attach(control_.Get(), site_.get(), container_.GetAddressOf()), "AtlAxAttachControl");
}

HWND Hosted::ControlWindow() const {
    ComPtr<IOleWindow> window;
    HWND handle = nullptr;
    if (SUCCEEDED(control_.As(&window))) window->GetWindow(&handle);
    return handle;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace quelder::bench
