// Instances come and go without leaving anything behind: memory, windows, GDI
// objects and the library's count of live objects (DllCanUnloadNow).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <oleacc.h>
#include <olectl.h>
#include <psapi.h>

#include "control_test_support.hpp"
#include "crash_report.hpp"
#include "plain_site.hpp"
#include "quelder_event_sink.hpp"
#include "support/process_counts.hpp"
#include "support/solid_picture.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

// The process's windows, top-level and child, and among them the control's
// own windows.
struct Windows {
    long all = 0;
    long boards = 0;
};
Windows CountWindows() { return {WindowCount(), WindowCount(L"QuelderBoardWindow")}; }

// A sink that ignores the events: makes the control raise them all the way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class QuietSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, DIID___Quelder))
            return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return S_OK; }
};
#pragma GCC diagnostic pop

// Advises sink to the control's events for the rest of the control's life.
void AdviseEvents(const ComPtr<_Quelder>& board, QuietSink& sink) {
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> events;
    ASSERT_EQ(board.As(&points), S_OK);
    ASSERT_EQ(points->FindConnectionPoint(DIID___Quelder, events.GetAddressOf()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(events->Advise(&sink, &cookie), S_OK);
}

// One instance's life: made, used in every way that allocates without a
// container (pictures, a failure with its error info, IDispatch calls, a
// sink advised), released.
void Life(IClassFactory& factory, QuietSink& sink) {
    ComPtr<_Quelder> board;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID__Quelder, reinterpret_cast<void**>(board.GetAddressOf())), S_OK);
    ASSERT_EQ(board->NewGame(), S_OK);
    PieceNum pawn = Bpawn, rook = Wrook;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board->get_Picture(&rook, picture.GetAddressOf()), S_OK);
    ASSERT_EQ(board->putref_Picture(&pawn, picture.GetAddressOf()), S_OK);
    SHORT col = 9, row = 1;
    EXPECT_NE(board->SelectSquare(&col, &row), S_OK);
    Invocation call;
    Invoke(board.Get(), dispid::MovePiece, DISPATCH_METHOD, {I2(1), I2(2), I2(1), I2(4)}, call);
    EXPECT_EQ(call.hr, S_OK);
    Invocation failing;
    Invoke(board.Get(), dispid::Piece, DISPATCH_PROPERTYGET, {I2(0), I2(0)}, failing);
    EXPECT_EQ(failing.hr, DISP_E_EXCEPTION);

    ASSERT_NO_FATAL_FAILURE(AdviseEvents(board, sink));
}

// A life in a container: activated in place on the container's window,
// clicked (its events reach the sink), resized, and then closed or just let
// go (closeFirst).
void HostedLife(IClassFactory& factory, QuietSink& sink, HWND container, bool closeFirst) {
    PlainSite site;
    site.window = container;
    site.position = {5, 5, 301, 301};
    {
        ComPtr<IOleObject> object;
        ASSERT_EQ(factory.CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(object->SetClientSite(&site), S_OK);
        ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, container, &site.position), S_OK);
        ComPtr<_Quelder> board;
        ASSERT_EQ(object.As(&board), S_OK);
        ASSERT_EQ(board->NewGame(), S_OK);
        ASSERT_NO_FATAL_FAILURE(AdviseEvents(board, sink));
        ComPtr<IOleWindow> ole;
        ASSERT_EQ(object.As(&ole), S_OK);
        HWND window = nullptr;
        ASSERT_EQ(ole->GetWindow(&window), S_OK);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
        LONG size = 360;
        ASSERT_EQ(board->ChangeBoardSize(&size), S_OK);
        if (closeFirst) {
            ASSERT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
            ASSERT_EQ(object->SetClientSite(nullptr), S_OK);
        }
    }
    ASSERT_EQ(site.references, 0) << "the control outlived its references, or kept its site";
}

// Under full-system emulation (the 32-bit lane sets QUELDER_EMULATED) the
// soak runs a tenth of its lives; it says so.
bool Emulated() { return GetEnvironmentVariableW(L"QUELDER_EMULATED", nullptr, 0) > 0; }

// What a round of lives left: the heap in use and the committed memory,
// after its plain lives and after its lives in a container.
struct Reading {
    std::size_t heap;
    std::size_t committed;
};
Reading Read() { return {HeapBytesInUse(), static_cast<std::size_t>(CommittedBytes())}; }

// The median of what a part of each round added, per life: from the reading
// before that part to the one after it.
double MedianGrowthPerLife(const std::vector<Reading>& before, const std::vector<Reading>& after,
                           std::size_t Reading::*field, int lives) {
    std::vector<double> growth;
    for (std::size_t k = 0; k < after.size(); ++k)
        growth.push_back((static_cast<double>(after[k].*field) - static_cast<double>(before[k].*field)) / lives);
    std::sort(growth.begin(), growth.end());
    return growth.empty() ? 0.0 : growth[growth.size() / 2];
}

// Ten equal rounds, each of plain lives and lives in a container. A leak
// grows the heap by the same amount every round, so the median of the
// rounds shows it; what the heap or Wine take once (a table that doubles, a
// cache filled) moves one round and not the median. The heap in use is
// counted block by block, so a leak shows byte for byte; the committed
// memory, which the heap grows in steps of 64 KiB, catches buffers lost
// outside the heap.
TEST(Lifetime, TenThousandLivesLeaveNoWindowsGdiObjectsOrMemoryBehind) {
    const bool emulated = Emulated();
    constexpr int kRounds = 10;
    const int plainPerRound = emulated ? 90 : 900;
    const int hostedPerRound = emulated ? 10 : 100;
    if (emulated)
        std::printf("under emulation: %d lives instead of 10000\n", kRounds * (plainPerRound + hostedPerRound));
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    ComPtr<IClassFactory> factory = ocx.Factory();
    ASSERT_TRUE(factory);
    QuietSink sink;
    TopWindow top(20, 20, 420, 420);
    ASSERT_NE(top.get(), nullptr);
    // The first instances load what stays loaded (the type library, caches,
    // the window class); so may the first round.
    for (int i = 0; i < 20; ++i) {
        Life(*factory.Get(), sink);
        HostedLife(*factory.Get(), sink, top.get(), i % 2 == 0);
    }
    Pump(10);
    const long gdiBefore = GdiObjectCount();
    const Windows windowsBefore = CountWindows();

    std::vector<Reading> roundStart, afterPlain, afterHosted;
    const ULONGLONG start = GetTickCount64();
    for (int round = 0; round <= kRounds && !HasFatalFailure(); ++round) {
        if (round > 0) roundStart.push_back(Read());
        for (int i = 0; i < plainPerRound && !HasFatalFailure(); ++i) Life(*factory.Get(), sink);
        if (round > 0) afterPlain.push_back(Read());
        for (int i = 0; i < hostedPerRound && !HasFatalFailure(); ++i) {
            HostedLife(*factory.Get(), sink, top.get(), i % 2 == 0);
            if (i % 50 == 0) Pump(0);
        }
        Pump(10);
        if (round > 0) afterHosted.push_back(Read());
    }
    const ULONGLONG took = GetTickCount64() - start;
    ASSERT_FALSE(HasFatalFailure());

    const long gdiAfter = GdiObjectCount();
    const Windows windowsAfter = CountWindows();
    // The figures, for the record (the limits below are what the test holds).
    std::printf("%d rounds of %d lives and %d in a container, after one more to settle: %llu ms, %.2f ms a life\n",
                kRounds, plainPerRound, hostedPerRound, static_cast<unsigned long long>(took),
                static_cast<double>(took) / ((kRounds + 1) * (plainPerRound + hostedPerRound)));
    std::printf("heap in use, committed memory (KiB): at each round's start, after its plain lives, after the rest\n");
    for (std::size_t k = 0; k < afterHosted.size(); ++k)
        std::printf("  %2zu: %zu, %zu; %zu, %zu; %zu, %zu\n", k + 1, roundStart[k].heap / 1024,
                    roundStart[k].committed / 1024, afterPlain[k].heap / 1024, afterPlain[k].committed / 1024,
                    afterHosted[k].heap / 1024, afterHosted[k].committed / 1024);
    std::printf("GDI objects %ld, %ld; windows %ld, %ld (the control's %ld, %ld)\n", gdiBefore, gdiAfter,
                windowsBefore.all, windowsAfter.all, windowsBefore.boards, windowsAfter.boards);

    // A leak of 64 bytes a life moves its median by at least 64 (the heap's
    // block header comes on top).
    const struct {
        const char* what;
        const std::vector<Reading>& before;
        const std::vector<Reading>& after;
        std::size_t Reading::*field;
        int lives;
        double limit;
    } checks[] = {
        {"heap in use, plain lives", roundStart, afterPlain, &Reading::heap, plainPerRound, 16},
        {"heap in use, lives in a container", afterPlain, afterHosted, &Reading::heap, hostedPerRound, 16},
        {"committed memory, plain lives", roundStart, afterPlain, &Reading::committed, plainPerRound, 1024},
        {"committed memory, lives in a container", afterPlain, afterHosted, &Reading::committed, hostedPerRound,
         4096},
    };
    for (const auto& check : checks) {
        const double growth = MedianGrowthPerLife(check.before, check.after, check.field, check.lives);
        EXPECT_LT(growth, check.limit) << check.what << ": grew by a median of " << growth << " bytes a life";
    }
    EXPECT_GE(gdiBefore, 0) << "the GDI objects cannot be counted here";
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(windowsAfter.all, windowsBefore.all);
    EXPECT_EQ(windowsAfter.boards, 0);
    factory.Reset();
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
}

// A site that notes the thread of its last Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ThreadNotingSite : public PlainSite {
public:
    std::atomic<DWORD> releasedOn{0};
    STDMETHODIMP_(ULONG) Release() override {
        releasedOn = GetCurrentThreadId();
        return PlainSite::Release();
    }
};
#pragma GCC diagnostic pop

// The last reference let go of on another thread (a finalizer, a thread pool)
// while the control is active in place on this one, a press held on its
// window. The window cannot be destroyed from there: it is cut off from the
// control at once, answers what it is sent without it, and closes itself
// here at this thread's next messages. Then no window is left and the mouse
// is free, the container's site was let go of on its own thread, and the
// library, which the window's procedure needed until then, may unload.
TEST(Lifetime, TheLastReleaseOnAnotherThreadClosesTheWindowOnItsOwnThread) {
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    TopWindow top(20, 20, 420, 420);
    ASSERT_NE(top.get(), nullptr);
    Pump(10);
    const Windows before = CountWindows();
    ThreadNotingSite site;
    site.window = top.get();
    site.position = {5, 5, 301, 301};
    HWND window = nullptr;
    IOleObject* last = nullptr;
    {
        ComPtr<IOleObject> object;
        ComPtr<IClassFactory> factory = ocx.Factory();
        ASSERT_TRUE(factory);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(object->SetClientSite(&site), S_OK);
        ASSERT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, top.get(), &site.position), S_OK);
        ComPtr<_Quelder> board;
        ASSERT_EQ(object.As(&board), S_OK);
        ASSERT_EQ(board->NewGame(), S_OK);
        ComPtr<IOleWindow> ole;
        ASSERT_EQ(object.As(&ole), S_OK);
        ASSERT_EQ(ole->GetWindow(&window), S_OK);
        last = object.Detach();
    }
    Pump(10);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    ASSERT_EQ(GetCapture(), window) << "the press holds no capture";

    // This thread handles no message meanwhile, as one that waits for its finalizer.
    const auto released = std::make_shared<std::atomic<bool>>(false);
    std::thread releaser([last, released] {
        last->Release();
        *released = true;
    });
    const ULONGLONG until = GetTickCount64() + 10000;
    while (!*released && GetTickCount64() < until) Sleep(10);
    if (!*released) {
        releaser.detach();
        FAIL() << "the release on another thread waits for this thread's messages";
    }
    releaser.join();

    if (IsWindow(window)) {
        EXPECT_EQ(ocx.CanUnloadNow(), S_FALSE) << "the window's procedure may still run";
    }
    const UINT sent[] = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                         WM_RBUTTONDOWN, WM_RBUTTONUP, WM_TIMER, WM_CANCELMODE,
                         WM_ENABLE, WM_SIZE, WM_ERASEBKGND, WM_CAPTURECHANGED};
    for (const UINT message : sent)
        if (IsWindow(window)) SendMessageW(window, message, MK_LBUTTON, MAKELPARAM(60, 60));
    if (IsWindow(window)) {
        Drawn(296, 296,
              [&](HDC dc) { SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); });
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        PostMessageW(window, WM_TIMER, 1, 0);
        PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(70, 70));
    }
    PumpUntil([&] { return !IsWindow(window); }, 5000);
    EXPECT_FALSE(IsWindow(window)) << "the window " << window << " is still there after 5 s of messages";
    const Windows after = CountWindows();
    EXPECT_EQ(after.boards, 0);
    EXPECT_EQ(after.all, before.all);
    EXPECT_EQ(GetCapture(), nullptr) << "the mouse is still captured";
    EXPECT_EQ(site.references, 0) << "the site is still held";
    EXPECT_EQ(site.releasedOn.load(), GetCurrentThreadId()) << "the site was let go of on another thread";
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
}

// A Click handler that waits for a thread of the host's which deactivates the
// control and lets go of it there (a worker the host joins): neither waits
// for the other, since nothing of the control is locked while the host runs.
// The window then closes on its own thread and nothing is left.
TEST(Lifetime, AHandlerMayJoinAThreadThatDeactivatesAndReleasesTheControl) {
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    TopWindow top(20, 20, 420, 420);
    Pump(10);
    const Windows before = CountWindows();
    PlainSite site;
    site.window = top.get();
    site.position = {5, 5, 301, 301};
    RecordingSink sink;
    HWND window = nullptr;
    IOleObject* last = nullptr;
    {
        ComPtr<IOleObject> object;
        ASSERT_EQ(ocx.Factory()->CreateInstance(nullptr, IID_IOleObject,
                                                                  reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(object->SetClientSite(&site), S_OK);
        ASSERT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, top.get(), &site.position), S_OK);
        ComPtr<IOleWindow> ole;
        ASSERT_EQ(object.As(&ole), S_OK);
        ASSERT_EQ(ole->GetWindow(&window), S_OK);
        ASSERT_EQ(sink.Connect(object.Get()), S_OK);
        last = object.Detach();
    }
    bool joined = false;
    sink.onEvent = [&](const SquareEvent& e) {
        if (e.kind != SquareEventKind::Click || last == nullptr) return;
        const auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread worker([object = std::exchange(last, nullptr), done] {
            object->Close(OLECLOSE_NOSAVE);
            object->Release();
            *done = true;
        });
        // Joined as a host joins its worker: no messages meanwhile.
        const ULONGLONG until = GetTickCount64() + 5000;
        while (!*done && GetTickCount64() < until) Sleep(10);
        joined = *done;
        if (joined) {
            worker.join();
        } else {
            worker.detach();
        }
    };
    SendClick(window, SquareMiddle(3, 3));
    EXPECT_TRUE(joined) << "the worker waited 5 s for the handler that joins it";
    sink.Disconnect();
    PumpUntil([&] { return !IsWindow(window); }, 5000);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CountWindows().all, before.all);
    EXPECT_EQ(GetCapture(), nullptr) << "the mouse is still captured";
    EXPECT_EQ(site.references, 0) << "the site is still held";
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
}

// A screen reader that calls the board's accessible object while the board
// goes (from the container's site, let go of as the control takes itself
// apart): the object answers as a disconnected one, and the board is not
// brought back to answer.
TEST(Lifetime, TheAccessibleObjectIsCutOffAsTheBoardGoes) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
    struct ReadingSite : PlainSite {
        IAccessible* reader = nullptr;
        HRESULT heard = S_OK;
        STDMETHODIMP_(ULONG) Release() override {
            if (references == 1 && reader != nullptr) {
                VARIANT child{};
                V_VT(&child) = VT_I4;
                V_I4(&child) = 1;
                BSTR name = nullptr;
                heard = std::exchange(reader, nullptr)->get_accName(child, &name);
                SysFreeString(name);
            }
            return PlainSite::Release();
        }
    };
#pragma GCC diagnostic pop
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    TopWindow top(20, 20, 420, 420);
    ReadingSite site;
    site.position = {5, 5, 301, 301};
    ComPtr<IOleObject> object;
    ASSERT_EQ(ocx.Factory(CLSID_QuelderBoard)
                  ->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    const HWND window = ActivateInPlace(object.Get(), site, top.get());
    ASSERT_NE(window, nullptr);
    ComPtr<IAccessible> reader;
    ASSERT_EQ(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(reader.GetAddressOf())),
              S_OK);
    site.reader = reader.Get();
    object.Reset();
    Pump(10);
    EXPECT_EQ(site.reader, nullptr) << "the site was not let go of as the board went";
    EXPECT_EQ(site.heard, RPC_E_DISCONNECTED) << "read while the board went: " << std::hex << site.heard;
    long count = 0;
    EXPECT_EQ(reader->get_accChildCount(&count), RPC_E_DISCONNECTED);
    reader.Reset();
    EXPECT_EQ(site.references, 0);
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
}

TEST(Lifetime, CanUnloadNowCountsObjectsAndLocks) {
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory = ocx.Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(ocx.CanUnloadNow(), S_FALSE) << "a class factory is alive";
    ComPtr<_Quelder> board = ocx.Create();
    ASSERT_TRUE(board);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(ocx.CanUnloadNow(), S_FALSE) << "a control is alive and the server is locked";
    board.Reset();
    EXPECT_EQ(ocx.CanUnloadNow(), S_FALSE) << "the server is locked";
    factory = ocx.Factory();
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK);
}

TEST(Lifetime, AggregationIsRefused) {
    ComApartment com;
    Ocx ocx;
    ComPtr<IClassFactory> factory = ocx.Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> outer = ocx.Factory();
    void* made = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &made), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &made), E_NOINTERFACE);
    EXPECT_EQ(made, nullptr);
    factory.Reset();
    outer.Reset();
    EXPECT_EQ(ocx.CanUnloadNow(), S_OK) << "a refused creation left an object behind";
}

// A host that sets picture after picture, 300 of 96 x 96 pixels over the 14
// numbers, and keeps only the last of each number: a board of either class
// lets go of each picture it no longer has (with its bitmap and its pixels,
// and the board class's drawing of it at the squares' size), so the process
// holds what 14 pictures take, and keeps the last ones. NewGame first: every
// number is on a square, so the board class draws each picture as it is set.
TEST(Lifetime, PicturesReplacedAreLetGoOf) {
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    constexpr int kPictures = 300, kEdge = 96;
    const struct {
        const char* name;
        const CLSID* clsid;
    } classes[] = {{"Quelder", &CLSID_Quelder}, {"QuelderBoard", &CLSID_QuelderBoard}};
    for (const auto& kind : classes) {
        ComPtr<_Quelder> board = ocx.Create<_Quelder>(*kind.clsid);
        ASSERT_TRUE(board) << kind.name;
        ASSERT_EQ(board->NewGame(), S_OK) << kind.name;
        std::array<ComPtr<IPictureDisp>, 14> last;
        auto set = [&](int k) {
            PieceNum number = static_cast<PieceNum>(k % 14 + 1);
            ComPtr<IPictureDisp>& picture = last[static_cast<std::size_t>(number - 1)];
            picture = SolidPicture(kEdge, RGB(40 + k % 200, 90, 160));
            ASSERT_TRUE(picture) << "picture " << k;
            ASSERT_EQ(board->putref_Picture(&number, picture.GetAddressOf()), S_OK) << kind.name << ", picture " << k;
        };
        // The first round takes what the first pictures take once.
        for (int k = 0; k < 14 && !HasFatalFailure(); ++k) set(k);
        const long gdiBefore = GdiObjectCount();
        const std::size_t committedBefore = CommittedBytes();
        for (int k = 14; k < 14 + kPictures && !HasFatalFailure(); ++k) set(k);
        ASSERT_FALSE(HasFatalFailure());
        const long gdiAfter = GdiObjectCount();
        const double grown = (static_cast<double>(CommittedBytes()) - static_cast<double>(committedBefore)) / 1048576;
        EXPECT_LE(gdiAfter, gdiBefore) << kind.name << ": GDI objects " << gdiBefore << " -> " << gdiAfter << " over "
                                       << kPictures << " pictures";
        EXPECT_LT(grown, 4.0) << kind.name << ": committed memory grew by " << grown << " MiB over " << kPictures
                              << " pictures of " << kEdge * kEdge * 4 / 1024 << " KiB";
        for (int n = 1; n <= 14; ++n) {
            PieceNum number = static_cast<PieceNum>(n);
            ComPtr<IPictureDisp> now;
            ASSERT_EQ(board->get_Picture(&number, now.GetAddressOf()), S_OK) << kind.name;
            EXPECT_EQ(now.Get(), last[static_cast<std::size_t>(n - 1)].Get())
                << kind.name << ": picture " << n << " is not the last one set";
        }
    }
}

TEST(Lifetime, PicturesHandedOutOutliveTheControlAndTakeTheirBitmapsAlong) {
    ComApartment com;
    Ocx ocx;
    ComPtr<_Quelder> board = ocx.Create();
    ASSERT_TRUE(board);
    PieceNum king = Bking;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board->get_Picture(&king, picture.GetAddressOf()), S_OK);
    ComPtr<IPicture> drawable;
    ASSERT_EQ(picture.As(&drawable), S_OK);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(drawable->get_Handle(&handle), S_OK);
    const auto bitmap = reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(handle));
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));

    board.Reset();
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP)) << "the picture lost its bitmap with the control";
    SHORT type = 0;
    EXPECT_EQ(drawable->get_Type(&type), S_OK);
    drawable.Reset();
    picture.Reset();
    EXPECT_EQ(GetObjectType(bitmap), 0u) << "the bitmap outlived its picture";
}

}  // namespace
}  // namespace quelder::testing
