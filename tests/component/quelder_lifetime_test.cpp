// Instances come and go without leaving anything behind: memory, windows, GDI
// objects and the library's count of live objects (DllCanUnloadNow).
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>

#include <olectl.h>
#include <psapi.h>

#include "control_test_support.hpp"
#include "plain_site.hpp"
#include "window_test_support.hpp"

namespace quelder::testing {
namespace {

// The process's committed private memory (what GetProcessMemoryInfo reports
// under Wine too).
SIZE_T CommittedMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// The process's windows, top-level and child, and among them the control's
// own windows (class "QuelderBoardWindow").
struct Windows {
    long all = 0;
    long boards = 0;
};
Windows CountWindows() {
    struct Walk {
        static void Take(HWND window, Windows& count) {
            ++count.all;
            wchar_t name[64]{};
            GetClassNameW(window, name, 64);
            if (std::wcscmp(name, L"QuelderBoardWindow") == 0) ++count.boards;
        }
        static BOOL CALLBACK Child(HWND window, LPARAM data) {
            Take(window, *reinterpret_cast<Windows*>(data));
            return TRUE;
        }
        static BOOL CALLBACK Top(HWND window, LPARAM data) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            Take(window, *reinterpret_cast<Windows*>(data));
            EnumChildWindows(window, &Walk::Child, data);
            return TRUE;
        }
    };
    Windows count;
    EnumWindows(&Walk::Top, reinterpret_cast<LPARAM>(&count));
    return count;
}

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

// One instance's life: made, used in every way that allocates (pictures,
// events, a failure with its error info, IDispatch calls), released.
void Life(IClassFactory& factory, QuietSink& sink) {
    ComPtr<_Quelder> board;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID__Quelder, reinterpret_cast<void**>(board.GetAddressOf())), S_OK);
    ASSERT_EQ(board->NewGame(), S_OK);
    PieceNum pawn = Bpawn, rook = Wrook;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board->get_Picture(&rook, picture.GetAddressOf()), S_OK);
    ASSERT_EQ(board->putref_Picture(&pawn, picture.Get()), S_OK);
    SHORT col = 9, row = 1;
    EXPECT_NE(board->SelectSquare(&col, &row), S_OK);
    Invocation call;
    Invoke(board.Get(), dispid::MovePiece, DISPATCH_METHOD, {I2(1), I2(2), I2(1), I2(4)}, call);
    EXPECT_EQ(call.hr, S_OK);
    Invocation failing;
    Invoke(board.Get(), dispid::Piece, DISPATCH_PROPERTYGET, {I2(0), I2(0)}, failing);
    EXPECT_EQ(failing.hr, DISP_E_EXCEPTION);

    ASSERT_NO_FATAL_FAILURE(AdviseEvents(board, sink));
    ComPtr<IQuelderTestHook> hook;
    ASSERT_EQ(board.As(&hook), S_OK);
    ASSERT_EQ(hook->SquareMouseDown(12, 1, 0, 100.0f, 200.0f), S_OK);
    ASSERT_EQ(hook->SquareClick(12), S_OK);
}

// A life in a container: activated in place on the container's window,
// clicked, resized, and then closed or just let go (closeFirst).
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

TEST(Lifetime, TenThousandLivesLeaveNoWindowsGdiObjectsOrMemoryBehind) {
    constexpr int kLives = 10000;
    constexpr int kHosted = 1000;  // of those, the ones in a container
    ComApartment com;
    Ocx ocx;
    ASSERT_NE(ocx.Module(), nullptr);
    ComPtr<IClassFactory> factory = ocx.Factory();
    ASSERT_TRUE(factory);
    QuietSink sink;
    TopWindow top(20, 20, 420, 420);
    ASSERT_NE(top.get(), nullptr);
    // The first instances load what stays loaded (the type library, caches,
    // the window class).
    for (int i = 0; i < 20; ++i) {
        Life(*factory.Get(), sink);
        HostedLife(*factory.Get(), sink, top.get(), i % 2 == 0);
    }
    Pump(10);
    const SIZE_T memoryBefore = CommittedMemory();
    const long gdiBefore = GdiObjectCount();
    const Windows windowsBefore = CountWindows();

    const ULONGLONG start = GetTickCount64();
    for (int i = 0; i < kLives - kHosted && !HasFatalFailure(); ++i) Life(*factory.Get(), sink);
    const ULONGLONG plain = GetTickCount64() - start;
    for (int i = 0; i < kHosted && !HasFatalFailure(); ++i) {
        HostedLife(*factory.Get(), sink, top.get(), i % 2 == 0);
        if (i % 50 == 0) Pump(0);
    }
    const ULONGLONG hosted = GetTickCount64() - start - plain;
    Pump(10);

    const SIZE_T memoryAfter = CommittedMemory();
    const long gdiAfter = GdiObjectCount();
    const Windows windowsAfter = CountWindows();
    // The figures, for the record (the limits below are what the test holds).
    std::printf("%d lives: %llu ms, %.2f ms each; %d in a container: %llu ms, %.2f ms each\n", kLives - kHosted,
                static_cast<unsigned long long>(plain), static_cast<double>(plain) / (kLives - kHosted), kHosted,
                static_cast<unsigned long long>(hosted), static_cast<double>(hosted) / kHosted);
    std::printf("committed memory %zu KiB before, %zu KiB after; GDI objects %ld, %ld; windows %ld, %ld "
                "(the control's %ld, %ld)\n",
                static_cast<std::size_t>(memoryBefore / 1024), static_cast<std::size_t>(memoryAfter / 1024), gdiBefore,
                gdiAfter, windowsBefore.all, windowsAfter.all, windowsBefore.boards, windowsAfter.boards);
    // An instance holds about half a megabyte; a leak of a hundred bytes
    // each would show as a megabyte.
    EXPECT_LT(memoryAfter, memoryBefore + 1024 * 1024)
        << "committed memory grew from " << memoryBefore << " to " << memoryAfter << " bytes";
    EXPECT_GE(gdiBefore, 0) << "the GDI objects cannot be counted here";
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(windowsAfter.all, windowsBefore.all);
    EXPECT_EQ(windowsAfter.boards, 0);
    factory.Reset();
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
