// Which Quelder.ocx a host gets when it asks COM for each of its classes, and
// that the controls work there: created by ProgID and by CLSID, the type
// library found, the board class's property page made, scripted by the
// VBScript engine in this process, and hosted in Wine's AtlAxWin at the size
// the screen's dots per inch give them. The classes are looked up as any host
// looks them up: in the registry, or in the assemblies the program's
// manifest names.
//
// With QUELDER_DPI set (to what the prefix's LogPixels says), the screen
// must have that many dots per inch.
//
//   quelder_activation_test OCX            the class comes from OCX
//   quelder_activation_test OCX --absent   there is no Quelder to be had
//
// The first is a host using Quelder.ocx registration-free (beside it, with
// its manifest) or one of the two registered files; the second a host
// without a manifest, or a host after its bitness's file is unregistered.
#include <activscp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "com/com_base.hpp"
#include "control_test_support.hpp"

namespace quelder::testing {
namespace {

bool Absent() { return ProgramArgument(2) == L"--absent"; }

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

// The file whose code serves a COM object: the module its virtual table lies in.
std::wstring ServingFile(IUnknown* object) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(object), &module);
    wchar_t path[MAX_PATH] = {};
    if (module != nullptr) GetModuleFileNameW(module, path, MAX_PATH);
    return FullPath(path);
}

std::string Hex(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    return text;
}

// A member called by name, as a script calls it; what it returned.
HRESULT CallByName(IDispatch* target, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(com_.hr)) << Hex(com_.hr); }
    ComApartment com_;
    const std::wstring ocx_ = FullPath(OcxPath());
};

struct ControlClass {
    const char* name;
    const wchar_t* progId;
    const CLSID* clsid;
    bool followsDpi;  // 37-pixel squares at 96 dots per inch, and as many more as the screen has
    int NaturalSize(int dpi) const { return followsDpi ? 8 * MulDiv(37, dpi, 96) : 296; }
};
const ControlClass kClasses[] = {{"Quelder", L"QuelderLib.Quelder", &CLSID_Quelder, false},
                                 {"QuelderBoard", L"QuelderLib.QuelderBoard", &CLSID_QuelderBoard, true}};

class EachClass : public ActivationTest, public ::testing::WithParamInterface<ControlClass> {};

// By ProgID and by CLSID, the object comes from the file named, with its
// status bits and type library, at the size the screen's dots per inch give
// it; a call by name sets up a game. Without the class, each lookup fails
// with the error COM documents for it.
TEST_P(EachClass, ItsTypeLibraryAndItsStatusComeFromTheNamedFile) {
    const ControlClass& c = GetParam();
    CLSID clsid{};
    const HRESULT byName = CLSIDFromProgID(c.progId, &clsid);
    ComPtr<IDispatch> board;
    const HRESULT made = CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                          reinterpret_cast<void**>(board.GetAddressOf()));
    ComPtr<ITypeLib> library;
    const HRESULT loaded = LoadRegTypeLib(LIBID_QuelderLib, 1, 0, 0x409, library.GetAddressOf());
    if (Absent()) {
        EXPECT_EQ(byName, CO_E_CLASSSTRING) << "CLSIDFromProgID: " << Hex(byName);
        EXPECT_EQ(made, REGDB_E_CLASSNOTREG) << "CoCreateInstance: " << Hex(made);
        ComPtr<IUnknown> page;
        const HRESULT pageMade = CoCreateInstance(CLSID_QuelderBoardPage, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                  reinterpret_cast<void**>(page.GetAddressOf()));
        EXPECT_EQ(pageMade, REGDB_E_CLASSNOTREG) << "the property page: " << Hex(pageMade);
        EXPECT_EQ(loaded, TYPE_E_LIBNOTREGISTERED) << "LoadRegTypeLib: " << Hex(loaded);
        return;
    }
    // From a manifest, the ProgID may name an alias of the CLSID, which
    // creates the same class (below).
    ASSERT_EQ(byName, S_OK) << Hex(byName);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(*c.clsid, &progId), S_OK);
    EXPECT_STREQ(progId, c.progId);
    CoTaskMemFree(progId);
    DWORD status = 0;
    EXPECT_EQ(OleRegGetMiscStatus(*c.clsid, DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u) << std::hex << status;

    ASSERT_EQ(made, S_OK) << Hex(made);
    EXPECT_EQ(ServingFile(board.Get()), ocx_);
    handles::ScreenDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    wchar_t expectedDpi[8] = {};
    if (GetEnvironmentVariableW(L"QUELDER_DPI", expectedDpi, 8) > 0) {
        EXPECT_EQ(std::to_wstring(dpi), expectedDpi) << "the screen's dots per inch";
    }
    const SIZE natural = PixelExtent(board.Get());
    EXPECT_EQ(natural.cx, c.NaturalSize(dpi)) << "at " << dpi << " dots per inch";
    EXPECT_EQ(natural.cy, c.NaturalSize(dpi)) << "at " << dpi << " dots per inch";
    ASSERT_EQ(loaded, S_OK) << Hex(loaded);
    com::Bstr name;
    EXPECT_EQ(library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name.get(), L"QuelderLib");

    VARIANT piece;
    VariantInit(&piece);
    EXPECT_EQ(CallByName(board.Get(), L"NewGame", DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_EQ(CallByName(board.Get(), L"Piece", DISPATCH_PROPERTYGET, {I2(1), I2(1)}, &piece), S_OK);
    EXPECT_EQ(VariantChangeType(&piece, &piece, 0, VT_I4), S_OK);
    EXPECT_EQ(piece.lVal, 3) << "Piece(1, 1) after NewGame, of type " << piece.vt;

    ComPtr<IUnknown> again;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(again.GetAddressOf())), S_OK);
    EXPECT_EQ(ServingFile(again.Get()), ocx_);

    // The board class's property page, by the CLSID the board names, comes
    // from the same file; the published class names none.
    ComPtr<IPropertyPage> page;
    const HRESULT pageMade = MakePropertyPage(board.Get(), page);
    if (*c.clsid != CLSID_QuelderBoard) {
        EXPECT_EQ(pageMade, E_NOINTERFACE) << Hex(pageMade);
        return;
    }
    ASSERT_EQ(pageMade, S_OK) << "the property page: " << Hex(pageMade);
    EXPECT_EQ(ServingFile(page.Get()), ocx_);
}

// The VBScript engine, run in this process: what it creates it looks up as
// the program does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // a COM interface; never deleted through it
class ScriptSite final : public IActiveScriptSite {
public:
    std::wstring error;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite) ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemInfo(LPCOLESTR, DWORD, IUnknown**, ITypeInfo**) override { return TYPE_E_ELEMENTNOTFOUND; }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* scriptError) override {
        com::ExcepInfo info;
        if (scriptError != nullptr && SUCCEEDED(scriptError->GetExceptionInfo(&info)))
        {
            wchar_t code[16];
            swprintf(code, 16, L"0x%08lx", static_cast<unsigned long>(info.scode));
            error = std::wstring(L"error ") + code + L": " +
                    (info.bstrDescription != nullptr ? info.bstrDescription : L"");
        }
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }
};
#pragma GCC diagnostic pop

TEST_F(ActivationTest, TheVBScriptEngineCreatesAndScriptsIt) {
    CLSID vbscript{};
    ASSERT_EQ(CLSIDFromProgID(L"VBScript", &vbscript), S_OK);
    ComPtr<IActiveScript> engine;
    ASSERT_EQ(CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                               reinterpret_cast<void**>(engine.GetAddressOf())), S_OK);
    ComPtr<IActiveScriptParse> parse;
    ASSERT_EQ(engine.As(&parse), S_OK);
    ScriptSite site;
    ASSERT_EQ(engine->SetScriptSite(&site), S_OK);
    ASSERT_EQ(parse->InitNew(), S_OK);
    const wchar_t* script =
        L"Set b = CreateObject(\"QuelderLib.Quelder\")\n"
        L"b.NewGame\n"
        L"b.MovePiece 5, 2, 5, 4\n"
        L"If b.Piece(5, 4) <> 2 Or b.Piece(5, 2) <> 1 Then Err.Raise 1000, \"test\", \"MovePiece left \" & b.Piece(5, 4)\n"
        L"Set c = CreateObject(\"QuelderLib.QuelderBoard\")\n"
        L"c.Position = \"8/8/8/8/4p3/8/8/8\"\n"
        L"If c.Piece(5, 5) <> 2 Then Err.Raise 1000, \"test\", \"Position let left \" & c.Position\n"
        L"x = b.Piece(9, 1)\n";
    com::ExcepInfo ignored;
    parse->ParseScriptText(script, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &ignored);
    engine->SetScriptState(SCRIPTSTATE_CONNECTED);
    engine->Close();
    // The last line's bad square must reach the script as the control's
    // error; without the class, CreateObject fails first ("ActiveX component
    // can't create object").
    if (Absent())
        EXPECT_EQ(site.error.rfind(L"error 0x800a01ad: ", 0), 0u) << Narrow(site.error);
    else
        EXPECT_EQ(site.error, L"error 0x8004041a: Invalid column or row") << Narrow(site.error);
}

// Wine's AtlAxWin, titled with the ProgID, makes the control and activates
// it in place on its window, as a host's dialog does.
TEST_P(EachClass, AtlAxWinHostsItByProgID) {
    const Atl& atl = TheAtl();
    ASSERT_TRUE(atl.ready) << "atl.dll or its AtlAxWinInit is missing";
    TopWindow top(100, 100, 400, 400);
    handles::UniqueWindow host(CreateWindowExW(0, L"AtlAxWin", GetParam().progId, WS_CHILD | WS_VISIBLE, 0, 0, 296,
                                               296, top.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(host) << GetLastError();
    ComPtr<IUnknown> control;
    const HRESULT got = atl.getControl(host.get(), control.GetAddressOf());
    if (Absent()) {
        EXPECT_TRUE(FAILED(got) || !control) << Hex(got);
        return;
    }
    ASSERT_EQ(got, S_OK);
    EXPECT_EQ(ServingFile(control.Get()), ocx_);
    ComPtr<IOleWindow> window;
    ASSERT_EQ(control.As(&window), S_OK);
    HWND board = nullptr;
    ASSERT_EQ(window->GetWindow(&board), S_OK) << "the control is not active in place";
    EXPECT_EQ(GetParent(board), host.get());
    host.reset();
}

INSTANTIATE_TEST_SUITE_P(BothClasses, EachClass, ::testing::ValuesIn(kClasses),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace quelder::testing
