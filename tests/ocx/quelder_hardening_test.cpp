// Whatever a client sends, the control answers with an HRESULT and stays
// whole: null pointers on every member of every interface it offers, and
// IDispatch calls with broken parameter blocks, wrong counts, names and flags,
// and arguments of every VARIANT type.
#include <gtest/gtest.h>

#include <olectl.h>
#include <objsafe.h>
#include <psapi.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/counted_object.hpp"
#include "control_test_support.hpp"
#include "crash_report.hpp"
#include "plain_site.hpp"
#include "quelder_event_sink.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// An object that is no picture and has no value: what a confused client
// passes where a picture or a number belongs. It counts its references, so a
// test sees whether the control keeps any.
class StrangeObject : public CountedObject<IDispatch, IID_IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// A sink that says yes to every interface and hands back nothing.
class HollowSink : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

#pragma GCC diagnostic pop

class HardeningTest : public ControlTest {
protected:
    template <typename I>
    ComPtr<I> As() {
        ComPtr<I> result;
        EXPECT_EQ(board_.As(&result), S_OK);
        return result;
    }
    ComPtr<IConnectionPoint> EventPoint() {
        ComPtr<IConnectionPoint> point;
        As<IConnectionPointContainer>()->FindConnectionPoint(DIID___Quelder, point.GetAddressOf());
        return point;
    }
    // The piece on every square, or what failed.
    std::string Position() {
        std::string pieces;
        for (SHORT row = 1; row <= 8; ++row)
            for (SHORT col = 1; col <= 8; ++col) {
                SHORT c = col, r = row;
                PieceNum piece = None;
                const HRESULT hr = board_->get_Piece(&c, &r, &piece);
                if (FAILED(hr)) return "Piece(" + std::to_string(col) + ", " + std::to_string(row) + ") failed";
                pieces += static_cast<char>('a' + piece);
            }
        return pieces;
    }
};

// ---- null pointers ----------------------------------------------------------------------

// Outputs a row may be given besides the null one: a failed call leaves each
// as it was or cleared, never half-set.
struct Spare {
    static constexpr DWORD kMark = 0xDEADBEEF;
    DWORD supported = kMark, enabled = kMark;
    PieceNum piece = static_cast<PieceNum>(-77);
    VARIANT_BOOL selected = 77;
    DISPID ids[2] = {7, 7};
    ULONG fetched = kMark;
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(1);

    std::string HalfSet() const {
        std::string found;
        auto check = [&](const char* name, bool untouched) {
            if (!untouched) found += std::string(found.empty() ? "" : ", ") + name;
        };
        check("supported", supported == kMark || supported == 0);
        check("enabled", enabled == kMark || enabled == 0);
        check("piece", piece == -77 || piece == 0);
        check("selected", selected == 77 || selected == 0);
        check("ids", (ids[0] == 7 || ids[0] == DISPID_UNKNOWN) && (ids[1] == 7 || ids[1] == DISPID_UNKNOWN));
        check("fetched", fetched == kMark || fetched == 0);
        check("point", point == reinterpret_cast<IConnectionPoint*>(1) || point == nullptr);
        return found;
    }
};

TEST_F(HardeningTest, EveryMemberTakesNullPointersWithoutCrashing) {
    TopWindow top(40, 40, 400, 400);
    PlainSite site;
    site.window = top.get();
    const auto dispatch = As<IDispatch>();
    const auto classInfo = As<IProvideClassInfo2>();
    const auto container = As<IConnectionPointContainer>();
    const auto events = EventPoint();
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.GetAddressOf()), S_OK);
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(events->EnumConnections(connections.GetAddressOf()), S_OK);
    const auto safety = As<IObjectSafety>();
    const auto object = As<IOleObject>();
    const auto inPlace = As<IOleInPlaceObject>();
    const auto active = As<IOleInPlaceActiveObject>();
    const auto control = As<IOleControl>();
    const auto view = As<IViewObject2>();
    const auto stream = As<IPersistStreamInit>();
    const auto bag = As<IPersistPropertyBag>();
    const auto quick = As<IQuickActivate>();
    const auto factory = ocx_.Factory();
    ASSERT_TRUE(factory);

    Spare spare;
    SHORT col = 1, row = 1;
    LONG size = 200;
    PieceNum king = Wking;
    IPictureDisp* nothing = nullptr;
    RECT rect{0, 0, 296, 296};
    const RECTL bounds{0, 0, 296, 296};
    DWORD cookie = 0;
    CONNECTDATA two[2]{};
    IConnectionPoint* twoPoints[2]{};
    DISPPARAMS noArgs{};
    LPOLESTR names[2] = {const_cast<LPOLESTR>(L"Piece"), nullptr};
    QACONTAINER qaContainer{};
    qaContainer.cbSize = sizeof qaContainer;
    QACONTROL qaControl{};
    qaControl.cbSize = sizeof qaControl;
    handles::ScreenDc screen;

    struct Row {
        const char* member;
        std::function<HRESULT()> call;
        HRESULT expected;
    };
    const Row rows[] = {
        // IUnknown, on every object the control hands out
        {"control QueryInterface", [&] { return board_->QueryInterface(IID_IUnknown, nullptr); }, E_POINTER},
        {"connection point QueryInterface", [&] { return events->QueryInterface(IID_IUnknown, nullptr); }, E_POINTER},
        {"point enumerator QueryInterface", [&] { return points->QueryInterface(IID_IUnknown, nullptr); }, E_POINTER},
        {"connection enumerator QueryInterface", [&] { return connections->QueryInterface(IID_IUnknown, nullptr); },
         E_POINTER},
        {"class factory QueryInterface", [&] { return factory->QueryInterface(IID_IUnknown, nullptr); }, E_POINTER},

        // IDispatch
        {"GetTypeInfoCount", [&] { return dispatch->GetTypeInfoCount(nullptr); }, E_POINTER},
        {"GetTypeInfo", [&] { return dispatch->GetTypeInfo(0, 0, nullptr); }, E_POINTER},
        {"GetIDsOfNames(null names)", [&] { return dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, spare.ids); },
         E_POINTER},
        {"GetIDsOfNames(null ids)", [&] { return dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr); },
         E_POINTER},
        {"GetIDsOfNames(a null name)", [&] { return dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, spare.ids); },
         E_POINTER},
        {"Invoke(null DISPPARAMS)",
         [&] {
             return dispatch->Invoke(dispid::NewGame, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr);
         },
         E_POINTER},
        {"Invoke(null result, excepinfo and argErr)",
         [&] {
             return dispatch->Invoke(dispid::Clear, IID_NULL, 0, DISPATCH_METHOD, &noArgs, nullptr, nullptr, nullptr);
         },
         S_OK},

        // _Quelder
        {"get_Enabled", [&] { return board_->get_Enabled(nullptr); }, E_POINTER},
        {"get_IsSelected(col)", [&] { return board_->get_IsSelected(nullptr, &row, &spare.selected); }, E_POINTER},
        {"get_IsSelected(row)", [&] { return board_->get_IsSelected(&col, nullptr, &spare.selected); }, E_POINTER},
        {"get_IsSelected(result)", [&] { return board_->get_IsSelected(&col, &row, nullptr); }, E_POINTER},
        {"get_Piece(col)", [&] { return board_->get_Piece(nullptr, &row, &spare.piece); }, E_POINTER},
        {"get_Piece(row)", [&] { return board_->get_Piece(&col, nullptr, &spare.piece); }, E_POINTER},
        {"get_Piece(result)", [&] { return board_->get_Piece(&col, &row, nullptr); }, E_POINTER},
        {"put_Piece(col)", [&] { return board_->put_Piece(nullptr, &row, Bpawn); }, E_POINTER},
        {"put_Piece(row)", [&] { return board_->put_Piece(&col, nullptr, Bpawn); }, E_POINTER},
        {"get_Picture(Piece)",
         [&] {
             IPictureDisp* picture = reinterpret_cast<IPictureDisp*>(1);
             const HRESULT hr = board_->get_Picture(nullptr, &picture);
             return picture == nullptr || picture == reinterpret_cast<IPictureDisp*>(1) ? hr : E_UNEXPECTED;
         },
         E_POINTER},
        {"get_Picture(result)", [&] { return board_->get_Picture(&king, nullptr); }, E_POINTER},
        {"putref_Picture(Piece)", [&] { return board_->putref_Picture(nullptr, &nothing); }, E_POINTER},
        {"putref_Picture(New_Picture)", [&] { return board_->putref_Picture(&king, nullptr); }, E_POINTER},
        // Nothing for a picture is refused as the property's own error.
        {"putref_Picture(no picture)", [&] { return board_->putref_Picture(&king, &nothing); },
         static_cast<HRESULT>(0x800A017C)},
        {"ChangeBoardSize", [&] { return board_->ChangeBoardSize(nullptr); }, E_POINTER},
        {"SelectSquare(col)", [&] { return board_->SelectSquare(nullptr, &row); }, E_POINTER},
        {"SelectSquare(row)", [&] { return board_->SelectSquare(&col, nullptr); }, E_POINTER},
        {"UnSelectSquare(col)", [&] { return board_->UnSelectSquare(nullptr, &row); }, E_POINTER},
        {"UnSelectSquare(row)", [&] { return board_->UnSelectSquare(&col, nullptr); }, E_POINTER},
        {"MovePiece(FromCol)", [&] { return board_->MovePiece(nullptr, &row, &col, &row); }, E_POINTER},
        {"MovePiece(FromRow)", [&] { return board_->MovePiece(&col, nullptr, &col, &row); }, E_POINTER},
        {"MovePiece(ToCol)", [&] { return board_->MovePiece(&col, &row, nullptr, &row); }, E_POINTER},
        {"MovePiece(ToRow)", [&] { return board_->MovePiece(&col, &row, &col, nullptr); }, E_POINTER},

        // IProvideClassInfo2
        {"GetClassInfo", [&] { return classInfo->GetClassInfo(nullptr); }, E_POINTER},
        {"GetGUID", [&] { return classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr); }, E_POINTER},

        // IConnectionPointContainer, IConnectionPoint and the enumerators
        {"EnumConnectionPoints", [&] { return container->EnumConnectionPoints(nullptr); }, E_POINTER},
        {"FindConnectionPoint", [&] { return container->FindConnectionPoint(DIID___Quelder, nullptr); }, E_POINTER},
        {"GetConnectionInterface", [&] { return events->GetConnectionInterface(nullptr); }, E_POINTER},
        {"GetConnectionPointContainer", [&] { return events->GetConnectionPointContainer(nullptr); }, E_POINTER},
        {"Advise(sink)", [&] { return events->Advise(nullptr, &cookie); }, E_POINTER},
        {"Advise(cookie)",
         [&] {
             StrangeObject sink;
             const HRESULT hr = events->Advise(&sink, nullptr);
             return sink.references == 0 ? hr : E_UNEXPECTED;
         },
         E_POINTER},
        {"EnumConnections", [&] { return events->EnumConnections(nullptr); }, E_POINTER},
        {"points Next(1, null)", [&] { return points->Next(1, nullptr, &spare.fetched); }, E_POINTER},
        {"points Next(2, no count)", [&] { return points->Next(2, twoPoints, nullptr); }, E_POINTER},
        {"points Next(1, no count)",
         [&] {
             points->Reset();
             const HRESULT hr = points->Next(1, &spare.point, nullptr);
             if (spare.point != nullptr && spare.point != reinterpret_cast<IConnectionPoint*>(1))
                 std::exchange(spare.point, nullptr)->Release();
             return hr;
         },
         S_OK},
        {"points Clone", [&] { return points->Clone(nullptr); }, E_POINTER},
        {"connections Next(1, null)", [&] { return connections->Next(1, nullptr, &spare.fetched); }, E_POINTER},
        {"connections Next(2, no count)", [&] { return connections->Next(2, two, nullptr); }, E_POINTER},
        {"connections Clone", [&] { return connections->Clone(nullptr); }, E_POINTER},

        // IObjectSafety
        {"GetInterfaceSafetyOptions(supported)",
         [&] { return safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &spare.enabled); }, E_POINTER},
        {"GetInterfaceSafetyOptions(enabled)",
         [&] { return safety->GetInterfaceSafetyOptions(IID_IDispatch, &spare.supported, nullptr); }, E_POINTER},

        // IOleObject
        {"SetClientSite(nothing)", [&] { return object->SetClientSite(nullptr); }, S_OK},
        {"GetClientSite", [&] { return object->GetClientSite(nullptr); }, E_POINTER},
        {"SetHostNames", [&] { return object->SetHostNames(nullptr, nullptr); }, S_OK},
        {"SetMoniker", [&] { return object->SetMoniker(OLEWHICHMK_OBJFULL, nullptr); }, E_NOTIMPL},
        {"GetMoniker", [&] { return object->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJFULL, nullptr); },
         E_POINTER},
        {"InitFromData", [&] { return object->InitFromData(nullptr, TRUE, 0); }, E_NOTIMPL},
        {"GetClipboardData", [&] { return object->GetClipboardData(0, nullptr); }, E_NOTIMPL},
        {"DoVerb without any site", [&] { return object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, nullptr, nullptr); },
         E_UNEXPECTED},
        {"EnumVerbs", [&] { return object->EnumVerbs(nullptr); }, E_POINTER},
        {"GetUserClassID", [&] { return object->GetUserClassID(nullptr); }, E_POINTER},
        {"GetUserType", [&] { return object->GetUserType(USERCLASSTYPE_FULL, nullptr); }, E_POINTER},
        {"SetExtent", [&] { return object->SetExtent(DVASPECT_CONTENT, nullptr); }, E_INVALIDARG},
        {"GetExtent", [&] { return object->GetExtent(DVASPECT_CONTENT, nullptr); }, E_INVALIDARG},
        {"Advise(sink)", [&] { return object->Advise(nullptr, &cookie); }, E_INVALIDARG},
        {"Advise(connection)", [&] { return object->Advise(nullptr, nullptr); }, E_POINTER},
        {"EnumAdvise", [&] { return object->EnumAdvise(nullptr); }, E_POINTER},
        {"GetMiscStatus", [&] { return object->GetMiscStatus(DVASPECT_CONTENT, nullptr); }, E_POINTER},
        {"SetColorScheme", [&] { return object->SetColorScheme(nullptr); }, E_NOTIMPL},

        // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl
        {"GetWindow", [&] { return inPlace->GetWindow(nullptr); }, E_POINTER},
        {"SetObjectRects(position)", [&] { return inPlace->SetObjectRects(nullptr, &rect); }, E_INVALIDARG},
        {"SetObjectRects(clip)", [&] { return inPlace->SetObjectRects(&rect, nullptr); }, E_INVALIDARG},
        {"TranslateAccelerator", [&] { return active->TranslateAccelerator(nullptr); }, S_FALSE},
        {"ResizeBorder", [&] { return active->ResizeBorder(nullptr, nullptr, FALSE); }, S_OK},
        {"GetControlInfo", [&] { return control->GetControlInfo(nullptr); }, E_POINTER},
        {"OnMnemonic", [&] { return control->OnMnemonic(nullptr); }, S_OK},

        // IViewObject2
        {"Draw(no DC)",
         [&] { return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0); },
         E_INVALIDARG},
        {"Draw(no bounds)",
         [&] {
             return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, screen.get(), nullptr, nullptr, nullptr, 0);
         },
         E_INVALIDARG},
        {"Draw(no keep-going callback)",
         [&] {
             HRESULT hr = E_FAIL;
             Drawn(296, 296, [&](HDC dc) {
                 hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
             });
             return hr;
         },
         S_OK},
        {"GetColorSet", [&] { return view->GetColorSet(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr); },
         E_POINTER},
        {"Freeze", [&] { return view->Freeze(DVASPECT_CONTENT, -1, nullptr, nullptr); }, E_NOTIMPL},
        {"SetAdvise(no sink)", [&] { return view->SetAdvise(DVASPECT_CONTENT, 0, nullptr); }, S_OK},
        {"GetAdvise(nothing wanted)", [&] { return view->GetAdvise(nullptr, nullptr, nullptr); }, S_OK},
        {"view GetExtent", [&] { return view->GetExtent(DVASPECT_CONTENT, -1, nullptr, nullptr); }, E_INVALIDARG},

        // IPersist, IPersistStreamInit, IPersistPropertyBag
        {"GetClassID", [&] { return stream->GetClassID(nullptr); }, E_POINTER},
        {"stream Load", [&] { return stream->Load(nullptr); }, E_POINTER},
        {"stream Save", [&] { return stream->Save(nullptr, TRUE); }, E_POINTER},
        {"GetSizeMax", [&] { return stream->GetSizeMax(nullptr); }, E_POINTER},
        {"bag Load", [&] { return bag->Load(nullptr, nullptr); }, E_POINTER},
        {"bag Save", [&] { return bag->Save(nullptr, TRUE, TRUE); }, E_POINTER},

        // IQuickActivate
        {"QuickActivate(container)", [&] { return quick->QuickActivate(nullptr, &qaControl); }, E_POINTER},
        {"QuickActivate(control)", [&] { return quick->QuickActivate(&qaContainer, nullptr); }, E_POINTER},
        {"QuickActivate(a container without anything)", [&] { return quick->QuickActivate(&qaContainer, &qaControl); },
         S_OK},
        {"SetContentExtent", [&] { return quick->SetContentExtent(nullptr); }, E_INVALIDARG},
        {"GetContentExtent", [&] { return quick->GetContentExtent(nullptr); }, E_INVALIDARG},

        // the class factory and the library's entry point
        {"DllGetClassObject",
         [&] {
             auto* get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
                 reinterpret_cast<void*>(GetProcAddress(ocx_.Module(), "DllGetClassObject")));
             return get != nullptr ? get(CLSID_Quelder, IID_IClassFactory, nullptr) : E_FAIL;
         },
         E_POINTER},
        {"CreateInstance", [&] { return factory->CreateInstance(nullptr, IID__Quelder, nullptr); }, E_POINTER},
        {"LockServer", [&] { return factory->LockServer(TRUE) == S_OK ? factory->LockServer(FALSE) : E_FAIL; }, S_OK},

        // In a container: activation with only the site's own answers.
        {"DoVerb with a site and nothing else",
         [&] {
             HRESULT hr = object->SetClientSite(&site);
             if (SUCCEEDED(hr)) hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr);
             HWND window = nullptr;
             if (SUCCEEDED(hr) && (FAILED(inPlace->GetWindow(&window)) || GetParent(window) != top.get())) hr = E_FAIL;
             return hr;
         },
         S_OK},
        {"ChangeBoardSize in place", [&] { return board_->ChangeBoardSize(&size); }, S_OK},
        {"DoVerb(hide) without anything", [&] { return object->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, nullptr); },
         S_OK},
        {"Close", [&] { return object->Close(OLECLOSE_NOSAVE); }, S_OK},
        {"SetClientSite(nothing) after", [&] { return object->SetClientSite(nullptr); }, S_OK},
    };
    for (const Row& r : rows) {
        const HRESULT hr = r.call();
        EXPECT_EQ(hr, r.expected) << r.member << ": " << std::hex << hr;
        if (FAILED(hr)) {
            EXPECT_EQ(spare.HalfSet(), "") << r.member << " left these outputs half-set";
        }
        spare = Spare{};
        SetErrorInfo(0, nullptr);
    }
    EXPECT_EQ(cookie, 0u) << "a refused Advise handed out a cookie";
    EXPECT_EQ(site.references, 0) << "the control still holds the site";
    EXPECT_EQ(Position(), std::string(64, 'a' + None)) << "the board changed";
}

// A sink or picture that answers QueryInterface with S_OK and no pointer is
// refused like one that does not answer at all.
TEST_F(HardeningTest, ObjectsThatAnswerWithNothingAreRefused) {
    HollowSink hollow;
    DWORD cookie = 7;
    EXPECT_EQ(EventPoint()->Advise(&hollow, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    TopWindow top(40, 40, 400, 400);
    PlainSite site;
    const HWND window = ActivateInPlace(board_.Get(), site, top.get());
    ASSERT_NE(window, nullptr);
    SendClick(window, SquareMiddle(1, 1));  // its events, with the hollow sink refused
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetCapture(), nullptr) << "the click's press did not end";

    PieceNum king = Wking;
    IPictureDisp* notAPicture = reinterpret_cast<IPictureDisp*>(&hollow);
    const HRESULT hr = board_->putref_Picture(&king, &notAPicture);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A01E1)) << std::hex << hr;  // 481 "Invalid picture"
    SHORT col = 1, row = 1;
    EXPECT_EQ(board_->put_Piece(&col, &row, Wking), S_OK) << "drawing the king's picture";
    EXPECT_EQ(As<IOleObject>()->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(As<IOleObject>()->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 0);
}

// A container may place, size and draw the control anywhere and at any size:
// every call answers, the window follows within what a window can be, and
// the board still reads and draws.
TEST_F(HardeningTest, ExtremePlacementsExtentsAndDrawingsAreSurvived) {
    TopWindow top(40, 40, 400, 400);
    PlainSite site;
    site.window = top.get();
    const auto object = As<IOleObject>();
    const auto inPlace = As<IOleInPlaceObject>();
    const auto view = As<IViewObject2>();
    ASSERT_EQ(board_->NewGame(), S_OK);
    const std::string position = Position();
    ASSERT_EQ(object->SetClientSite(&site), S_OK);
    ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, top.get(), &site.position), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);

    constexpr LONG kMin = std::numeric_limits<LONG>::min(), kMax = std::numeric_limits<LONG>::max();
    const RECT places[] = {
        {0, 0, 0, 0},           {50, 50, 10, 10},        {-1000, -1000, 100, 100}, {0, 0, 40000, 40000},
        {kMin, kMin, kMax, kMax}, {kMax, kMax, kMin, kMin}, {kMax - 10, 0, kMax, 10},  {0, 0, 296, 296},
    };
    for (const RECT& place : places) {
        const std::string what = "placed at (" + std::to_string(place.left) + ", " + std::to_string(place.top) +
                                 ", " + std::to_string(place.right) + ", " + std::to_string(place.bottom) + ")";
        EXPECT_EQ(inPlace->SetObjectRects(&place, &place), S_OK) << what;
        const SIZE client = ClientSize(window);
        EXPECT_TRUE(client.cx >= 0 && client.cx <= 32767 && client.cy >= 0 && client.cy <= 32767)
            << what << ": a window of " << client.cx << " x " << client.cy;
        UpdateWindow(window);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
        SIZEL extent{};
        EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK) << what;
        EXPECT_GE(extent.cx, 0) << what;
        const RECTL bounds{0, 0, 64, 64};
        Drawn(64, 64, [&](HDC dc) {
            const HRESULT hr =
                view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
            EXPECT_EQ(hr, S_OK) << what << ": " << std::hex << hr;
        });
        LONG size = 300;
        EXPECT_EQ(board_->ChangeBoardSize(&size), S_OK) << what;
        EXPECT_EQ(Position(), position) << what;
    }

    SIZEL extents[] = {{0, 0}, {-5, -5}, {kMax, kMax}, {kMin, kMin}};
    for (SIZEL& extent : extents) {
        EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &extent), S_OK) << extent.cx;
    }
    const RECTL drawings[] = {{0, 0, 0, 0}, {64, 64, 0, 0}, {-5000, -5000, 5000, 5000}, {0, 0, 1, 100000},
                              {kMin / 2, kMin / 2, kMax / 2, kMax / 2}};
    for (const RECTL& bounds : drawings) {
        Drawn(64, 64, [&](HDC dc) {
            const HRESULT hr =
                view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
            EXPECT_TRUE(hr == S_OK || FAILED(hr)) << bounds.right << ": " << std::hex << hr;
        });
    }
    const LONG sizes[] = {0, 1, 4000, 296};
    for (LONG size : sizes) {
        LONG dimension = size;
        EXPECT_EQ(board_->ChangeBoardSize(&dimension), S_OK) << size;
        UpdateWindow(window);
        const SIZE client = ClientSize(window);
        EXPECT_EQ(client.cx, size) << size;
    }
    EXPECT_EQ(Position(), position);
    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
}

// A container that destroys its window under the active control: the
// control's window goes with it, and every later call still answers.
TEST_F(HardeningTest, TheContainersWindowMayGoFirst) {
    auto top = std::make_unique<TopWindow>(40, 40, 400, 400);
    PlainSite site;
    site.window = top->get();
    const auto object = As<IOleObject>();
    const auto inPlace = As<IOleInPlaceObject>();
    const auto view = As<IViewObject2>();
    ASSERT_EQ(object->SetClientSite(&site), S_OK);
    ASSERT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, top->get(), &site.position), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
    top.reset();
    EXPECT_FALSE(IsWindow(window));

    HWND none = reinterpret_cast<HWND>(1);
    EXPECT_EQ(inPlace->GetWindow(&none), E_FAIL);
    EXPECT_EQ(none, nullptr);
    LONG size = 400;
    EXPECT_EQ(board_->ChangeBoardSize(&size), S_OK);
    EXPECT_EQ(board_->NewGame(), S_OK);
    const RECT place{0, 0, 100, 100};
    EXPECT_EQ(inPlace->SetObjectRects(&place, &place), S_OK);
    const RECTL bounds{0, 0, 50, 50};
    Drawn(50, 50, [&](HDC dc) {
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    });
    EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(inPlace->UIDeactivate(), S_OK);
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    // Activated again on a window that is gone: refused.
    EXPECT_TRUE(FAILED(object->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, nullptr, nullptr)));
    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 0);
    SHORT col = 1, row = 8;
    PieceNum piece = None;
    EXPECT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, Wrook);
}

// Mouse messages at any point, with any buttons, in any order: at the ends
// of the coordinates' range, outside the window, on bare surface and on the
// squares, presses over presses and releases of buttons never pressed. Every
// event raised names a square of the board at a finite place; afterwards no
// press is left, and the window and the board are as they were.
TEST_F(HardeningTest, MouseMessagesAnywhereAreSurvived) {
    TopWindow top(40, 40, 400, 400);
    PlainSite site;
    ASSERT_EQ(board_->NewGame(), S_OK);
    const std::string position = Position();
    const HWND window = ActivateInPlace(board_.Get(), site, top.get());
    ASSERT_NE(window, nullptr);
    RecordingSink sink;
    ASSERT_EQ(sink.Connect(board_.Get()), S_OK);

    constexpr int kMin = std::numeric_limits<SHORT>::min(), kMax = std::numeric_limits<SHORT>::max();
    const POINT points[] = {{kMin, kMin}, {-1, -1}, {0, 0}, {18, 18}, {295, 295}, {296, 296},
                            {kMax, kMax}, {-1, 100}, {100, kMax}, {kMin, 0}};
    const UINT messages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE,  WM_RBUTTONDOWN,   WM_LBUTTONDBLCLK,
                             WM_MBUTTONUP,   WM_MBUTTONDOWN, WM_LBUTTONUP,     WM_MBUTTONDBLCLK,
                             WM_RBUTTONUP,   WM_MOUSEMOVE,   WM_RBUTTONDBLCLK, WM_MBUTTONUP};
    const WPARAM buttons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL;
    for (const POINT& at : points)
        for (const UINT message : messages) SendMessageW(window, message, buttons, MAKELPARAM(at.x, at.y));
    for (const UINT up : {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP}) SendMessageW(window, up, 0, MAKELPARAM(0, 0));

    std::vector<SquareEvent> odd;
    for (const SquareEvent& e : sink.events)
        if (e.col < 1 || e.col > 8 || e.row < 1 || e.row > 8 || !std::isfinite(e.x) || !std::isfinite(e.y))
            odd.push_back(e);
    EXPECT_EQ(odd, std::vector<SquareEvent>{}) << "of " << sink.events.size() << " events";
    EXPECT_GT(sink.events.size(), std::size(points)) << "the squares raised too few events";
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetCapture(), nullptr) << "a press is left";
    EXPECT_EQ(ClientSize(window).cx, 296);
    EXPECT_EQ(Position(), position);
    sink.Disconnect();
    EXPECT_EQ(As<IOleObject>()->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(As<IOleObject>()->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 0);
}

// ---- IDispatch ---------------------------------------------------------------------------

TEST_F(HardeningTest, BrokenParameterBlocksCountsNamesAndFlagsAreRefused) {
    VARIANT two[2] = {I2(1), I2(1)};
    DISPID putName = DISPID_PROPERTYPUT, wrongName = 7, firstName = 0;
    DISPID twoNames[2] = {0, 0};
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        DISPPARAMS params;
        HRESULT expected;
        UINT argErr;  // ~0u: not set
    };
    const Case cases[] = {
        {"no argument array", dispid::Piece, DISPATCH_PROPERTYGET, {nullptr, nullptr, 2, 0}, E_INVALIDARG, ~0u},
        {"more names than arguments", dispid::Piece, DISPATCH_PROPERTYGET, {two, &firstName, 1, 2}, E_INVALIDARG, ~0u},
        {"no name array", dispid::Piece, DISPATCH_PROPERTYGET, {two, nullptr, 2, 1}, E_INVALIDARG, ~0u},
        {"too few", dispid::Piece, DISPATCH_PROPERTYGET, {two, nullptr, 1, 0}, DISP_E_BADPARAMCOUNT, ~0u},
        {"too many", dispid::Clear, DISPATCH_METHOD, {two, nullptr, 2, 0}, DISP_E_BADPARAMCOUNT, ~0u},
        {"too many for a put", dispid::Enabled, DISPATCH_PROPERTYPUT, {two, &putName, 2, 1}, DISP_E_BADPARAMCOUNT, ~0u},
        {"a name the member lacks", dispid::Piece, DISPATCH_PROPERTYGET, {two, &wrongName, 2, 1}, DISP_E_PARAMNOTFOUND,
         0},
        {"the put name on a read", dispid::Piece, DISPATCH_PROPERTYGET, {two, &putName, 2, 1}, DISP_E_PARAMNOTFOUND, 0},
        {"one name twice", dispid::SelectSquare, DISPATCH_METHOD, {two, twoNames, 2, 2}, DISP_E_PARAMNOTFOUND, 1},
        {"a name taken by position", dispid::SelectSquare, DISPATCH_METHOD, {two, &firstName, 2, 1},
         DISP_E_PARAMNOTFOUND, 1},
        {"put on a method", dispid::NewGame, DISPATCH_PROPERTYPUT, {two, &putName, 1, 1}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"put by reference on a value", dispid::Piece, DISPATCH_PROPERTYPUTREF, {two, &putName, 2, 1},
         DISP_E_MEMBERNOTFOUND, ~0u},
        {"read of a method", dispid::Clear, DISPATCH_PROPERTYGET, {two, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"no flags", dispid::NewGame, 0, {two, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"unknown flags", dispid::NewGame, 0x100, {two, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"DISPID_VALUE", DISPID_VALUE, DISPATCH_METHOD, {two, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"DISPID_UNKNOWN", DISPID_UNKNOWN, DISPATCH_METHOD, {two, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"an event's id", 1, DISPATCH_METHOD, {two, nullptr, 2, 0}, DISP_E_MEMBERNOTFOUND, ~0u},
        {"the largest id", 0x7FFFFFFF, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {two, nullptr, 0, 0},
         DISP_E_MEMBERNOTFOUND, ~0u},
    };
    for (const Case& c : cases) {
        DISPPARAMS params = c.params;
        Invocation call;
        call.hr = board_->Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params, &call.result, &call.excep,
                                 &call.argErr);
        EXPECT_EQ(call.hr, c.expected) << c.what << ": " << std::hex << call.hr;
        if (c.argErr != ~0u) {
            EXPECT_EQ(call.argErr, c.argErr) << c.what;
        }
        EXPECT_EQ(V_VT(&call.result), VT_EMPTY) << c.what;
        SetErrorInfo(0, nullptr);
    }
    EXPECT_EQ(Position(), std::string(64, 'a' + None));
}

TEST_F(HardeningTest, GetIDsOfNamesTakesOnlyWhatItKnows) {
    LPOLESTR known[] = {const_cast<LPOLESTR>(L"MovePiece"), const_cast<LPOLESTR>(L"ToRow")};
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Castle")};
    LPOLESTR unknownParameter[] = {const_cast<LPOLESTR>(L"Piece"), const_cast<LPOLESTR>(L"Colour")};
    LPOLESTR empty[] = {const_cast<LPOLESTR>(L"")};
    const std::wstring longName(5000, L'Q');
    LPOLESTR huge[] = {const_cast<LPOLESTR>(longName.c_str())};
    DISPID ids[2] = {7, 7};

    EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, known, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], dispid::MovePiece);
    EXPECT_EQ(ids[1], 3) << "ToRow is the fourth parameter";
    EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, known, 0, 0, ids), S_OK) << "no names, nothing to do";
    EXPECT_EQ(board_->GetIDsOfNames(IID_IDispatch, known, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
    for (LPOLESTR* names : {unknown, empty, huge}) {
        ids[0] = 7;
        const HRESULT hr = board_->GetIDsOfNames(IID_NULL, names, 1, 0, ids);
        EXPECT_EQ(hr, DISP_E_UNKNOWNNAME) << std::hex << hr;
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    }
    ids[0] = ids[1] = 7;
    EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, unknownParameter, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

// One argument as a client might send it.
struct Argument {
    enum Kind { Number, Object, Bad, Either };
    const char* name;
    VARIANT value;
    // Number: converts to any number; Object: is an object reference (or
    // nothing); Bad: no parameter takes it; Either: the conversion decides.
    Kind kind;
};

// What the arguments of the sweep point at.
struct Storage {
    SHORT i2 = 3;
    VARIANT inner = I2(3);
    VARIANT nullRef{};
    VARIANT refToRef{};
    VARIANT refToNullRef{};
    BSTR nullBstr = nullptr;
    IDispatch* nullDispatch = nullptr;
    SAFEARRAY* nullArray = nullptr;
    StrangeObject strange;
    std::vector<BSTR> strings;
    std::vector<SAFEARRAY*> arrays;
    std::deque<std::string> names;  // of the generated arguments
    Storage() {
        V_VT(&nullRef) = VT_I2 | VT_BYREF;
        V_VT(&refToRef) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&refToRef) = &inner;
        V_VT(&refToNullRef) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&refToNullRef) = &nullRef;
    }
    ~Storage() {
        for (BSTR s : strings) SysFreeString(s);
        for (SAFEARRAY* a : arrays) SafeArrayDestroy(a);
    }
    BSTR String(const wchar_t* text, UINT length) { return strings.emplace_back(SysAllocStringLen(text, length)); }
    SAFEARRAY* Array(VARTYPE type) {
        SAFEARRAY* array = SafeArrayCreateVector(type, 0, 2);
        arrays.push_back(array);
        return array;
    }
};

VARIANT Of(VARTYPE type) {
    VARIANT v{};
    V_VT(&v) = type;
    return v;
}
template <typename Set>
VARIANT Of(VARTYPE type, Set set) {
    VARIANT v = Of(type);
    set(v);
    return v;
}
VARIANT Pointing(VARTYPE type, void* at) {
    VARIANT v = Of(static_cast<VARTYPE>(type));
    V_BYREF(&v) = at;
    return v;
}

std::vector<Argument> EveryKindOfArgument(Storage& s) {
    // A pointer no one may follow: an argument of a type that takes none.
    void* const wild = reinterpret_cast<void*>(static_cast<UINT_PTR>(0x10));
    std::vector<Argument> all = {
        {"VT_EMPTY", Of(VT_EMPTY), Argument::Either},
        {"VT_NULL", Of(VT_NULL), Argument::Bad},
        {"VT_I1", Of(VT_I1, [](VARIANT& v) { V_I1(&v) = 3; }), Argument::Number},
        {"VT_UI1", Of(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 3; }), Argument::Number},
        {"VT_I2", I2(3), Argument::Number},
        {"VT_UI2", Of(VT_UI2, [](VARIANT& v) { V_UI2(&v) = 3; }), Argument::Number},
        {"VT_I4", I4(3), Argument::Number},
        {"VT_UI4", Of(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 3; }), Argument::Number},
        {"VT_I8", Of(VT_I8, [](VARIANT& v) { V_I8(&v) = 3; }), Argument::Number},
        {"VT_I8 too big", Of(VT_I8, [](VARIANT& v) { V_I8(&v) = LONGLONG{1} << 40; }), Argument::Either},
        {"VT_UI8", Of(VT_UI8, [](VARIANT& v) { V_UI8(&v) = 3; }), Argument::Number},
        {"VT_INT", Of(VT_INT, [](VARIANT& v) { V_INT(&v) = 3; }), Argument::Number},
        {"VT_UINT", Of(VT_UINT, [](VARIANT& v) { V_UINT(&v) = 3; }), Argument::Number},
        {"VT_R4", Of(VT_R4, [](VARIANT& v) { V_R4(&v) = 2.75f; }), Argument::Number},
        {"VT_R8", R8(3.25), Argument::Number},
        {"VT_R8 NaN", R8(std::numeric_limits<double>::quiet_NaN()), Argument::Either},
        {"VT_R8 infinity", R8(std::numeric_limits<double>::infinity()), Argument::Either},
        {"VT_R8 -1e300", R8(-1e300), Argument::Either},
        {"VT_CY", Of(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 30000; }), Argument::Number},
        {"VT_DATE", Of(VT_DATE, [](VARIANT& v) { V_DATE(&v) = 3.0; }), Argument::Number},
        {"VT_BSTR null", Of(VT_BSTR), Argument::Either},
        {"VT_BSTR empty", Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = s.String(L"", 0); }), Argument::Either},
        {"VT_BSTR \"3\"", Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = s.String(L"3", 1); }), Argument::Number},
        {"VT_BSTR \"abc\"", Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = s.String(L"abc", 3); }), Argument::Bad},
        {"VT_BSTR with a nul", Of(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = s.String(L"3\0" L"4", 3); }),
         Argument::Either},
        {"VT_DISPATCH null", Of(VT_DISPATCH), Argument::Object},
        {"VT_DISPATCH no picture", Dispatch(&s.strange), Argument::Bad},
        {"VT_UNKNOWN null", Of(VT_UNKNOWN), Argument::Object},
        {"VT_UNKNOWN no picture",
         Of(VT_UNKNOWN, [&](VARIANT& v) { V_UNKNOWN(&v) = static_cast<IUnknown*>(&s.strange); }), Argument::Bad},
        {"VT_ERROR missing", Of(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }), Argument::Bad},
        {"VT_BOOL true", Bool(true), Argument::Either},
        {"VT_BOOL false", Bool(false), Argument::Either},
        {"VT_DECIMAL",
         [] {
             VARIANT v{};
             V_DECIMAL(&v).Lo64 = 3;
             V_VT(&v) = VT_DECIMAL;
             return v;
         }(),
         Argument::Number},
        {"VT_ARRAY | VT_I2", Of(VT_ARRAY | VT_I2, [&](VARIANT& v) { V_ARRAY(&v) = s.Array(VT_I2); }), Argument::Bad},
        {"VT_ARRAY | VT_VARIANT", Of(VT_ARRAY | VT_VARIANT, [&](VARIANT& v) { V_ARRAY(&v) = s.Array(VT_VARIANT); }),
         Argument::Bad},
        {"VT_ARRAY | VT_I2 null", Of(VT_ARRAY | VT_I2), Argument::Bad},
        {"VT_VARIANT by reference", Ref(&s.inner), Argument::Number},
        {"VT_VARIANT by reference twice", Ref(&s.refToRef), Argument::Either},
        {"VT_VARIANT by reference to a null reference", Ref(&s.refToNullRef), Argument::Bad},
        {"VT_I2 by reference", Ref(&s.i2), Argument::Number},
        {"VT_BSTR by reference to null", Pointing(VT_BSTR | VT_BYREF, &s.nullBstr), Argument::Either},
        {"VT_DISPATCH by reference to null", Pointing(VT_DISPATCH | VT_BYREF, &s.nullDispatch), Argument::Object},
        {"VT_ARRAY by reference to null", Pointing(VT_ARRAY | VT_I2 | VT_BYREF, &s.nullArray), Argument::Bad},
    };
    // Every by-reference type with a null pointer.
    const VARTYPE referenced[] = {VT_I1,  VT_UI1,  VT_I2,       VT_UI2,      VT_I4,      VT_UI4,   VT_I8,
                                  VT_UI8, VT_INT,  VT_UINT,     VT_R4,       VT_R8,      VT_CY,    VT_DATE,
                                  VT_BSTR, VT_DISPATCH, VT_UNKNOWN, VT_ERROR, VT_BOOL, VT_DECIMAL, VT_VARIANT,
                                  VT_ARRAY | VT_I2, VT_ARRAY | VT_VARIANT};
    std::deque<std::string>& names = s.names;
    for (VARTYPE type : referenced) {
        names.push_back("null reference of type 0x" + [&] {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%x", type);
            return std::string(hex);
        }());
        all.push_back({names.back().c_str(), Pointing(static_cast<VARTYPE>(type | VT_BYREF), nullptr), Argument::Bad});
    }
    // Types that are no argument at all, their pointer wild.
    const VARTYPE invalid[] = {0xFFFF,     0x0FFF,    VT_VARIANT,   VT_VOID,           VT_HRESULT,
                               VT_PTR,     VT_SAFEARRAY, VT_CARRAY, VT_USERDEFINED,    VT_LPSTR,
                               VT_LPWSTR,  VT_RECORD, VT_FILETIME,  VT_BLOB,           VT_CLSID,
                               15,         0x8002,    VT_VECTOR | VT_I2, VT_BYREF | VT_EMPTY, VT_BYREF | VT_NULL,
                               VT_BYREF | 0x0FFF, VT_BYREF | VT_RECORD, VT_BYREF | VT_VOID, VT_BYREF | VT_ARRAY,
                               VT_BYREF | VT_VECTOR | VT_I2, VT_BYREF | VT_RESERVED | VT_I2};
    for (VARTYPE type : invalid) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", type);
        names.push_back(std::string("invalid type 0x") + hex);
        all.push_back({names.back().c_str(), Pointing(type, wild), Argument::Bad});
    }
    return all;
}

struct Signature {
    const char* member;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> valid;  // in parameter order
    std::vector<bool> object;    // which parameters take an object
};

// One call's outcome: an error that names the argument, the member's own
// failure, or success; and taken or refused as the argument's kind says.
void CheckOutcome(const Signature& member, UINT position, const Argument& argument, const Invocation& call) {
    const UINT count = static_cast<UINT>(member.valid.size());
    const UINT at = count - 1 - position;  // its place in rgvarg
    const std::string where =
        std::string(member.member) + ", parameter " + std::to_string(position) + ", " + argument.name;
    if (call.hr == DISP_E_EXCEPTION) {
        // The member ran and failed, or the value overflowed its parameter
        // (then argErr names it).
        EXPECT_TRUE(FAILED(call.excep.scode)) << where << ": scode " << std::hex << call.excep.scode;
        EXPECT_FALSE(call.Description().empty()) << where << ": no description";
        if (call.argErr != ~0u) {
            EXPECT_EQ(call.argErr, at) << where;
        }
    } else if (FAILED(call.hr)) {
        EXPECT_TRUE(call.hr == DISP_E_TYPEMISMATCH || call.hr == DISP_E_BADVARTYPE) << where << ": " << std::hex
                                                                                     << call.hr;
        EXPECT_EQ(call.argErr, at) << where << ": " << std::hex << call.hr;
    } else {
        EXPECT_EQ(call.hr, S_OK) << where;
    }
    const bool object = member.object[position];
    const bool converted = call.hr == S_OK || (call.hr == DISP_E_EXCEPTION && call.argErr == ~0u);
    if (argument.kind == Argument::Bad || (argument.kind == Argument::Number && object) ||
        (argument.kind == Argument::Object && !object)) {
        EXPECT_FALSE(converted) << where << " was taken: " << std::hex << call.hr;
    }
    if ((argument.kind == Argument::Number && !object) || (argument.kind == Argument::Object && object)) {
        EXPECT_TRUE(converted) << where << " was refused: " << std::hex << call.hr;
    }
}

SIZE_T CommittedMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

TEST_F(HardeningTest, ArgumentsOfEveryTypeInEveryPlaceFailCleanlyOrConvert) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    Storage storage;
    const std::vector<Argument> arguments = EveryKindOfArgument(storage);
    ComPtr<IPictureDisp> picture;
    PieceNum king = Wking;
    ASSERT_EQ(board_->get_Picture(&king, picture.GetAddressOf()), S_OK);

    const std::vector<Signature> members = {
        {"Piece get", dispid::Piece, DISPATCH_PROPERTYGET, {I2(1), I2(1)}, {false, false}},
        {"Piece put", dispid::Piece, DISPATCH_PROPERTYPUT, {I2(1), I2(1), I4(Wrook)}, {false, false, false}},
        {"IsSelected", dispid::IsSelected, DISPATCH_PROPERTYGET, {I2(1), I2(1)}, {false, false}},
        {"Picture get", dispid::Picture, DISPATCH_PROPERTYGET, {I4(Wking)}, {false}},
        {"Picture putref", dispid::Picture, DISPATCH_PROPERTYPUTREF, {I4(Wking), Dispatch(picture.Get())},
         {false, true}},
        {"Enabled put", dispid::Enabled, DISPATCH_PROPERTYPUT, {Bool(true)}, {false}},
        {"ChangeBoardSize", dispid::ChangeBoardSize, DISPATCH_METHOD, {I4(296)}, {false}},
        {"SelectSquare", dispid::SelectSquare, DISPATCH_METHOD, {I2(2), I2(2)}, {false, false}},
        {"UnSelectSquare", dispid::UnSelectSquare, DISPATCH_METHOD, {I2(2), I2(2)}, {false, false}},
        {"MovePiece", dispid::MovePiece, DISPATCH_METHOD, {I2(1), I2(1), I2(1), I2(1)}, {false, false, false, false}},
    };
    // Every argument in every place once with its outcome checked, then again
    // and again: the calls leave no memory behind.
    int calls = 0;
    auto sweep = [&](bool check) {
        for (const Signature& member : members) {
            const UINT count = static_cast<UINT>(member.valid.size());
            for (UINT position = 0; position < count; ++position) {
                for (const Argument& argument : arguments) {
                    std::vector<VARIANT> args = member.valid;
                    args[position] = argument.value;
                    Invocation call;
                    Invoke(board_.Get(), member.id, member.flags, args, call);
                    ++calls;
                    SetErrorInfo(0, nullptr);
                    if (check) CheckOutcome(member, position, argument, call);
                }
            }
        }
    };
    sweep(true);
    const SIZE_T before = CommittedMemory();
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) sweep(false);
    const SIZE_T after = CommittedMemory();
    std::printf("%d calls; committed memory %zu KiB before the last %d, %zu KiB after\n", calls,
                static_cast<std::size_t>(before / 1024), calls / (kRounds + 1) * kRounds,
                static_cast<std::size_t>(after / 1024));
    // A leak of a few bytes in one call of ten would show as more than this.
    EXPECT_LT(after, before + 256 * 1024) << "committed memory grew from " << before << " to " << after << " bytes";
    EXPECT_EQ(storage.strange.references, 0) << "the control kept an argument";
    EXPECT_EQ(storage.i2, 3) << "the caller's variable changed";

    // The board still works and starts over.
    EXPECT_EQ(board_->Clear(), S_OK);
    EXPECT_EQ(Position(), std::string(64, 'a' + None));
    ASSERT_EQ(board_->NewGame(), S_OK);
    SHORT col = 1, row = 8;
    PieceNum piece = None;
    EXPECT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, Wrook);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// A property bag that answers every key with one raw VARIANT, as a broken
// container might: references it does not own and types no bag should hold.
class RawBag : public IPropertyBag {
public:
    VARIANT value{};
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPropertyBag)) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR, VARIANT* out, IErrorLog*) override {
        *out = value;
        return S_OK;
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return S_OK; }
};
#pragma GCC diagnostic pop

TEST_F(HardeningTest, ABagHandingOutBrokenReferencesFailsTheLoad) {
    Storage storage;
    RawBag bag;
    for (const Argument& argument : EveryKindOfArgument(storage)) {
        // The control clears what the bag hands out: only references, which
        // own nothing, go in raw.
        if ((V_VT(&argument.value) & VT_BYREF) == 0) continue;
        // A control of its own for each: a control loads once only.
        ComPtr<_Quelder> control = ocx_.Create();
        ASSERT_TRUE(control) << argument.name;
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(control.As(&persist), S_OK) << argument.name;
        bag.value = argument.value;
        const HRESULT hr = persist->Load(&bag, nullptr);
        if (argument.kind == Argument::Bad) {
            EXPECT_TRUE(FAILED(hr)) << argument.name << " was loaded";
        }
        EXPECT_NE(hr, E_UNEXPECTED) << argument.name;
        EXPECT_EQ(control->NewGame(), S_OK) << argument.name;
        SetErrorInfo(0, nullptr);
    }
    EXPECT_EQ(storage.i2, 3) << "the bag's variable changed";
    ASSERT_EQ(board_->NewGame(), S_OK);
    EXPECT_EQ(Position().size(), 64u) << Position();
}

}  // namespace
}  // namespace quelder::testing
