// Shared by the tests of the Quelder class: the control made straight from
// Quelder.ocx's class factory (no registration needed), calls through
// IDispatch, the error info of a failed call, and the control as a container
// sees it: activated in place on a window, clicked on its window, drawn and
// measured through its view.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>
#include "com/com_ptr.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/quelder_idl.hpp"
#include "crash_report.hpp"
#include "plain_site.hpp"
#include "support/win_test_support.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {

// The one property page a control names through ISpecifyPropertyPages, made
// as a designer makes it; the failure of the first step that failed
// (E_UNEXPECTED when it names another number of pages).
inline HRESULT MakePropertyPage(IUnknown* control, com::ComPtr<IPropertyPage>& page) {
    com::ComPtr<ISpecifyPropertyPages> specify;
    HRESULT hr = control->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(specify.GetAddressOf()));
    if (FAILED(hr)) return hr;
    CAUUID pages{};
    hr = specify->GetPages(&pages);
    if (FAILED(hr)) return hr;
    hr = pages.cElems == 1 ? CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                              reinterpret_cast<void**>(page.GetAddressOf()))
                           : E_UNEXPECTED;
    CoTaskMemFree(pages.pElems);
    return hr;
}

using quelder::com::ComPtr;

// Quelder.ocx loaded into the test program.
class Ocx {
public:
    Ocx() : library_(OcxPath()) {}
    HMODULE Module() const { return library_.get(); }

    ComPtr<IClassFactory> Factory(REFCLSID clsid = CLSID_Quelder) const {
        ComPtr<IClassFactory> factory;
        auto* get = library_.Proc<HRESULT WINAPI(REFCLSID, REFIID, void**)>("DllGetClassObject");
        if (get != nullptr) get(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
        return factory;
    }
    // A new control of the published class, or null.
    ComPtr<_Quelder> Create() const { return Create<_Quelder>(CLSID_Quelder); }
    // A new control of the board class, or null.
    ComPtr<_QuelderBoard> CreateBoard() const { return Create<_QuelderBoard>(CLSID_QuelderBoard); }

    template <typename I>
    ComPtr<I> Create(REFCLSID clsid) const {
        ComPtr<I> control;
        if (auto factory = Factory(clsid))
            factory->CreateInstance(nullptr, __uuidof(I), reinterpret_cast<void**>(control.GetAddressOf()));
        return control;
    }
    HRESULT CanUnloadNow() const {
        auto* canUnload = library_.Proc<HRESULT WINAPI()>("DllCanUnloadNow");
        return canUnload != nullptr ? canUnload() : E_FAIL;
    }

private:
    Library library_;
};

// COM, the library and one control for each test.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.hr)) << std::hex << com_.hr;
        ASSERT_NE(ocx_.Module(), nullptr) << "LoadLibrary failed, error " << GetLastError();
        board_ = ocx_.Create();
        ASSERT_TRUE(board_) << "the class factory made no control";
    }
    void TearDown() override { board_.Reset(); }

    ComApartment com_;
    Ocx ocx_;
    ComPtr<_Quelder> board_;
};

// ---- the control in a container -------------------------------------------------------

// Gives the control site, which names parent as the container's window, and
// activates it in place there; the control's window, or null.
inline HWND ActivateInPlace(IUnknown* control, PlainSite& site, HWND parent) {
    site.window = parent;
    ComPtr<IOleObject> object;
    ComPtr<IOleWindow> ole;
    HWND window = nullptr;
    HRESULT hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf()));
    if (SUCCEEDED(hr)) hr = object->SetClientSite(&site);
    if (SUCCEEDED(hr)) hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &site.position);
    if (SUCCEEDED(hr)) hr = object.As(&ole);
    if (SUCCEEDED(hr)) hr = ole->GetWindow(&window);
    EXPECT_EQ(hr, S_OK) << "in-place activation: " << std::hex << hr;
    return SUCCEEDED(hr) ? window : nullptr;
}

// The middle of square (col, row) of a board of 37-pixel squares, in its window.
inline LPARAM SquareMiddle(int col, int row) { return MAKELPARAM((col - 1) * 37 + 18, (row - 1) * 37 + 18); }

// A press and a release of the left button at a point of the control's
// window, as the system sends them.
inline void SendClick(HWND window, LPARAM at) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    if (IsWindow(window)) SendMessageW(window, WM_LBUTTONUP, 0, at);
}

// What the control draws of itself (IViewObject::Draw) into a width x height
// bitmap; black where it draws nothing.
inline Image DrawnControl(IUnknown* control, int width, int height) {
    ComPtr<IViewObject> view;
    control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(view.GetAddressOf()));
    return Drawn(width, height, [&](HDC dc) {
        const RECTL bounds{0, 0, width, height};
        if (view) view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    });
}

// The control's size in pixels: the extent its view reports (HIMETRIC) at
// the screen's dots per inch; -1 x -1 when it reports none.
inline SIZE PixelExtent(IUnknown* control) {
    ComPtr<IViewObject2> view;
    SIZEL extent{};
    if (FAILED(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(view.GetAddressOf()))) ||
        FAILED(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent)))
        return {-1, -1};
    handles::ScreenDc screen;
    return {MulDiv(extent.cx, GetDeviceCaps(screen.get(), LOGPIXELSX), 2540),
            MulDiv(extent.cy, GetDeviceCaps(screen.get(), LOGPIXELSY), 2540)};
}

// The thread's error info after a failed call.
struct ErrorReport {
    std::wstring source;
    std::wstring description;
};
inline ErrorReport TakeErrorInfo() {
    ErrorReport report;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) != S_OK || !info) return report;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)) && text) report.source = text;
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text) report.description = text;
    SysFreeString(text);
    return report;
}

inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// VARIANT values for Invoke, owned by the caller.
inline VARIANT I2(SHORT v) {
    VARIANT r{};
    V_VT(&r) = VT_I2;
    V_I2(&r) = v;
    return r;
}
inline VARIANT I4(LONG v) {
    VARIANT r{};
    V_VT(&r) = VT_I4;
    V_I4(&r) = v;
    return r;
}
inline VARIANT R8(double v) {
    VARIANT r{};
    V_VT(&r) = VT_R8;
    V_R8(&r) = v;
    return r;
}
inline VARIANT Bool(bool v) {
    VARIANT r{};
    V_VT(&r) = VT_BOOL;
    V_BOOL(&r) = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
inline VARIANT Dispatch(IDispatch* v) {
    VARIANT r{};
    V_VT(&r) = VT_DISPATCH;
    V_DISPATCH(&r) = v;
    return r;
}
// A by-reference argument pointing at value.
inline VARIANT Ref(SHORT* value) {
    VARIANT r{};
    V_VT(&r) = VT_I2 | VT_BYREF;
    V_I2REF(&r) = value;
    return r;
}
inline VARIANT Ref(LONG* value) {
    VARIANT r{};
    V_VT(&r) = VT_I4 | VT_BYREF;
    V_I4REF(&r) = value;
    return r;
}
inline VARIANT Ref(VARIANT* value) {
    VARIANT r{};
    V_VT(&r) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&r) = value;
    return r;
}

// One IDispatch::Invoke and what came back.
struct Invocation {
    HRESULT hr = E_FAIL;
    VARIANT result{};
    EXCEPINFO excep{};
    UINT argErr = ~0u;
    Invocation() = default;
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;
    ~Invocation() {
        VariantClear(&result);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    std::string Description() const {
        return excep.bstrDescription ? Narrow(std::wstring(excep.bstrDescription)) : std::string();
    }
};

// args in the member's parameter order; a property put passes its value last
// as the named argument DISPID_PROPERTYPUT.
inline void Invoke(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT> args, Invocation& out) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    out.hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &out.result, &out.excep, &out.argErr);
}

// atl.dll, loaded once for the whole program: the window class AtlAxWin that
// AtlAxWinInit registers outlives any one test.
struct Atl {
    bool ready = false;
    HRESULT(WINAPI* getControl)(HWND, IUnknown**) = nullptr;
};
inline const Atl& TheAtl() {
    static const Atl atl = [] {
        Atl loaded;
        const HMODULE module = LoadLibraryW(L"atl.dll");
        if (module == nullptr) return loaded;
        const auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "AtlAxWinInit")));
        loaded.getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "AtlAxGetControl")));
        loaded.ready = init != nullptr && loaded.getControl != nullptr && init();
        return loaded;
    }();
    return atl;
}

// Dispatch ids of _Quelder.
namespace dispid {
constexpr DISPID Picture = 0x68030000, Piece = 0x68030001, IsSelected = 0x68030002, Enabled = 0x68030003;
constexpr DISPID NewGame = 0x60030005, Clear = 0x60030006, ChangeBoardSize = 0x60030010, SelectSquare = 0x60030011,
                 UnSelectSquare = 0x60030012, MovePiece = 0x60030013, About = 0x60030014;
}  // namespace dispid

}  // namespace quelder::testing
