// The control in a container of the test's own: a client site with an
// in-place site and, when wanted, an IDispatch for the ambient properties. It
// records what the control asks of it and answers as a container would.
#include <gtest/gtest.h>

#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/counted_object.hpp"
#include "control_test_support.hpp"
#include "crash_report.hpp"
#include "quelder_event_sink.hpp"
#include "support/window_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr HRESULT kDesignTimePiece = static_cast<HRESULT>(0x800A017E);    // 382
constexpr HRESULT kDesignTimePicture = static_cast<HRESULT>(0x800A017F);  // 383
constexpr DWORD kMiscStatus = 0x20191;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The container's site. It belongs to the test; Release never deletes.
class TestSite : public IOleClientSite, public IOleInPlaceSite, public IDispatch {
public:
    HWND window = nullptr;           // the container's window
    RECT position{10, 20, 306, 316};  // where the control goes, in that window
    RECT clip{0, 0, 2000, 2000};
    bool offerDispatch = true;       // ambient properties through IDispatch
    std::optional<bool> userMode;    // Ambient.UserMode; unknown when empty
    bool canActivate = true;
    // OnPosRectChange: the site places the control there, as a container that
    // agrees to the new size.
    bool agreeToSize = true;
    IOleInPlaceObject* placed = nullptr;
    // What GetWindowContext hands out; none when null.
    IOleInPlaceFrame* offeredFrame = nullptr;
    IOleInPlaceUIWindow* offeredDocument = nullptr;
    std::vector<std::string> calls;
    std::vector<RECT> sizeRequests;
    // Hears every call recorded in calls, after it is recorded.
    std::function<void(const std::string&)> heard;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IDispatch) && offerDispatch)
            *ppv = static_cast<IDispatch*>(this);
        if (*ppv == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return Record("SaveObject"); }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override {
        Record("GetWindow");
        *out = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override {
        Record("CanInPlaceActivate");
        return canActivate ? S_OK : S_FALSE;
    }
    STDMETHODIMP OnInPlaceActivate() override { return Record("OnInPlaceActivate"); }
    STDMETHODIMP OnUIActivate() override { return Record("OnUIActivate"); }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT place,
                                  LPRECT clipped, LPOLEINPLACEFRAMEINFO info) override {
        Record("GetWindowContext");
        *frame = offeredFrame;
        *document = offeredDocument;
        if (offeredFrame != nullptr) offeredFrame->AddRef();
        if (offeredDocument != nullptr) offeredDocument->AddRef();
        *place = position;
        *clipped = clip;
        info->fMDIApp = FALSE;
        info->hwndFrame = window;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return Record("OnUIDeactivate"); }
    STDMETHODIMP OnInPlaceDeactivate() override { return Record("OnInPlaceDeactivate"); }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        Record("OnPosRectChange");
        sizeRequests.push_back(*rect);
        if (!agreeToSize || placed == nullptr) return S_OK;
        position = *rect;
        return placed->SetObjectRects(&position, &clip);
    }

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != DISPID_AMBIENT_USERMODE || !userMode || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr)
            return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = *userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    LONG references = 0;

private:
    HRESULT Record(const char* call) {
        calls.emplace_back(call);
        if (heard) heard(call);
        return S_OK;
    }
};

// A view advise sink that counts.
class ViewSink : public CountedObject<IAdviseSink, IID_IAdviseSink> {
public:
    int changes = 0;
    std::function<void(const std::string&)> heard;
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {
        ++changes;
        if (heard) heard("OnViewChange");
    }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {
        if (heard) heard("OnClose");
    }
};

// The container's frame, or its document window (a frame that is asked as
// one): it keeps the active object it is given, as a container does, and
// tells what it hears as name + "." + the call.
class TestFrame
    : public CountedObject<IOleInPlaceFrame, IID_IOleWindow, IID_IOleInPlaceUIWindow, IID_IOleInPlaceFrame> {
public:
    explicit TestFrame(const char* frameName) : name(frameName) {}
    std::string name;
    HWND window = nullptr;
    ComPtr<IOleInPlaceActiveObject> active;
    std::function<void(const std::string&)> heard;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override {
        if (out == nullptr) return E_POINTER;
        *out = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return Hear("SetBorderSpace"); }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        active = object;
        return Hear(object != nullptr ? "SetActiveObject" : "SetActiveObject(null)");
    }
    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HRESULT Hear(const char* call) {
        if (heard) heard(name + "." + call);
        return S_OK;
    }
};

// The container's window, a child of parent filling it: it tells what it
// hears of the making and the end of its child windows (WM_PARENTNOTIFY).
class ContainerWindow {
public:
    std::function<void(const std::string&)> heard;

    explicit ContainerWindow(HWND parent) {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ContainerWindow::Procedure;
        wc.hInstance = module;
        wc.lpszClassName = L"QuelderTestContainer";
        RegisterClassW(&wc);
        RECT client{};
        GetClientRect(parent, &client);
        window_.reset(CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                      client.right, client.bottom, parent, nullptr, module, nullptr));
        if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    HWND get() const { return window_.get(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ContainerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_PARENTNOTIFY && self != nullptr && self->heard) {
            if (LOWORD(wParam) == WM_CREATE) self->heard("WM_PARENTNOTIFY(WM_CREATE)");
            if (LOWORD(wParam) == WM_DESTROY) self->heard("WM_PARENTNOTIFY(WM_DESTROY)");
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    handles::UniqueWindow window_;
};

#pragma GCC diagnostic pop

class EmbeddingTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_NE(top_.get(), nullptr);
        site_.window = top_.get();
        ASSERT_EQ(board_.As(&object_), S_OK);
        ASSERT_EQ(board_.As(&inPlace_), S_OK);
        ASSERT_EQ(board_.As(&view_), S_OK);
        site_.placed = inPlace_.Get();
    }
    void TearDown() override {
        if (object_) {
            object_->Close(OLECLOSE_NOSAVE);
            object_->SetClientSite(nullptr);
        }
        object_.Reset();
        inPlace_.Reset();
        view_.Reset();
        ControlTest::TearDown();
        EXPECT_EQ(site_.references, 0) << "the control still holds the site";
        top_.reset();
    }

    // Site set and in-place active; the control's window.
    HWND Activate(LONG verb = OLEIVERB_INPLACEACTIVATE) {
        EXPECT_EQ(object_->SetClientSite(&site_), S_OK);
        EXPECT_EQ(object_->DoVerb(verb, nullptr, &site_, 0, top_.get(), &site_.position), S_OK);
        HWND window = nullptr;
        inPlace_->GetWindow(&window);
        Pump();
        return window;
    }
    static RECT WindowPlace(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    Image Draw(int width, int height, HRESULT* result = nullptr) {
        return Drawn(width, height, [&](HDC dc) {
            const RECTL bounds{0, 0, width, height};
            const HRESULT hr =
                view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
            if (result != nullptr) *result = hr;
        });
    }
    HRESULT PutPiece(::PieceNum piece) {
        SHORT col = 1, row = 1;
        return board_->put_Piece(&col, &row, piece);
    }
    HRESULT PutPicture() {
        ::PieceNum number = ::Bpawn;
        ComPtr<IPictureDisp> picture;
        EXPECT_EQ(board_->get_Picture(&number, picture.GetAddressOf()), S_OK);
        return board_->putref_Picture(&number, picture.GetAddressOf());
    }

    TestSite site_;
    TopWindow top_{50, 50, 700, 700};
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IViewObject2> view_;
};

::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected) {
    if (EqualRect(&actual, &expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.left << ", " << actual.top << ", " << actual.right << ", "
                                         << actual.bottom << "), expected (" << expected.left << ", " << expected.top
                                         << ", " << expected.right << ", " << expected.bottom << ")";
}

// ---- activation and the window ---------------------------------------------------------

TEST_F(EmbeddingTest, InPlaceActivationMakesOneChildWindowWhereTheSiteSays) {
    HWND none = reinterpret_cast<HWND>(1);
    EXPECT_EQ(inPlace_->GetWindow(&none), E_FAIL);
    EXPECT_EQ(none, nullptr);

    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(site_.calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow",
                                                      "GetWindowContext"}));
    EXPECT_EQ(GetParent(window), top_.get());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(SameRect(WindowPlace(window), site_.position));
    EXPECT_EQ(FindWindowExW(top_.get(), window, nullptr, nullptr), nullptr) << "a second window";

    // Activating again keeps the window.
    EXPECT_EQ(object_->DoVerb(OLEIVERB_SHOW, nullptr, &site_, 0, top_.get(), &site_.position), S_OK);
    HWND again = nullptr;
    EXPECT_EQ(inPlace_->GetWindow(&again), S_OK);
    EXPECT_EQ(again, window);

    site_.calls.clear();
    EXPECT_EQ(inPlace_->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site_.calls, std::vector<std::string>{"OnInPlaceDeactivate"});
}

TEST_F(EmbeddingTest, TheWindowGoesWithTheSiteTheCloseAndTheControl) {
    struct Case {
        const char* how;
        std::function<void()> end;
    };
    const Case cases[] = {
        {"SetClientSite(nullptr)", [&] { EXPECT_EQ(object_->SetClientSite(nullptr), S_OK); }},
        {"Close", [&] { EXPECT_EQ(object_->Close(OLECLOSE_NOSAVE), S_OK); }},
        {"the last Release", [&] {
             object_.Reset();
             inPlace_.Reset();
             view_.Reset();
             board_.Reset();
         }},
    };
    for (const Case& c : cases) {
        const HWND window = Activate();
        ASSERT_NE(window, nullptr) << c.how;
        c.end();
        EXPECT_FALSE(IsWindow(window)) << c.how;
    }
}

// A container may end the activation from inside any call the control makes
// to it: from its site, its frame, its document, its view sink or its
// window's notifications, it deactivates the control in place or its user
// interface, takes its site away or closes it. The container runs the control
// through activation, user interface activation, a change of size, user
// interface deactivation, in-place deactivation, Close and the end of its
// site, doing the same thing each time that call comes (but not in what its
// own doing calls). Nothing crashes; the container hears of the end of every
// activation, once; its frame and document let go of the control; the control
// keeps no window and nothing of the container's; and a calm container
// activates it again as usual.
TEST_F(EmbeddingTest, AContainerMayEndTheActivationFromInsideItsCallbacks) {
    const char* const callbacks[] = {
        "CanInPlaceActivate", "OnInPlaceActivate", "GetWindow", "GetWindowContext", "WM_PARENTNOTIFY(WM_CREATE)",
        "OnUIActivate", "Frame.SetActiveObject", "Frame.SetBorderSpace", "Document.SetActiveObject",
        "Document.SetBorderSpace", "OnViewChange", "OnPosRectChange", "Frame.SetActiveObject(null)",
        "Document.SetActiveObject(null)", "OnUIDeactivate", "WM_PARENTNOTIFY(WM_DESTROY)", "OnInPlaceDeactivate",
        "SaveObject", "OnClose",
    };
    struct Reaction {
        const char* name;
        std::function<void(IOleObject&, IOleInPlaceObject&)> act;
    };
    const Reaction reactions[] = {
        {"deactivates it in place", [](IOleObject&, IOleInPlaceObject& o) { o.InPlaceDeactivate(); }},
        {"deactivates its user interface", [](IOleObject&, IOleInPlaceObject& o) { o.UIDeactivate(); }},
        {"takes its site away", [](IOleObject& o, IOleInPlaceObject&) { o.SetClientSite(nullptr); }},
        {"closes it", [](IOleObject& o, IOleInPlaceObject&) { o.Close(OLECLOSE_NOSAVE); }},
    };
    ContainerWindow container(top_.get());
    ASSERT_NE(container.get(), nullptr);
    for (const Reaction& reaction : reactions) {
        for (const char* callback : callbacks) {
            const std::string what = std::string("a container that ") + reaction.name + " in " + callback;
            TestSite site;
            TestFrame frame("Frame"), document("Document");
            ViewSink sink;
            site.window = frame.window = document.window = container.get();
            site.offeredFrame = &frame;
            site.offeredDocument = &document;
            {
                ComPtr<_Quelder> board = ocx_.Create();
                ComPtr<IOleObject> object;
                ComPtr<IOleInPlaceObject> inPlace;
                ComPtr<IViewObject2> view;
                ComPtr<IOleInPlaceActiveObject> active;
                ASSERT_TRUE(board) << what;
                ASSERT_EQ(board.As(&object), S_OK) << what;
                ASSERT_EQ(board.As(&inPlace), S_OK) << what;
                ASSERT_EQ(board.As(&view), S_OK) << what;
                ASSERT_EQ(board.As(&active), S_OK) << what;
                site.placed = inPlace.Get();
                bool hostile = true, reacting = false;
                int acted = 0;
                const auto heard = [&](const std::string& call) {
                    if (!hostile || reacting || call != callback) return;
                    ++acted;
                    reacting = true;
                    reaction.act(*object.Get(), *inPlace.Get());
                    reacting = false;
                };
                site.heard = frame.heard = document.heard = sink.heard = container.heard = heard;
                const auto verb = [&](LONG number) {
                    return object->DoVerb(number, nullptr, &site, 0, container.get(), &site.position);
                };

                object->SetClientSite(&site);
                view->SetAdvise(DVASPECT_CONTENT, 0, &sink);
                DWORD cookie = 0;
                object->Advise(&sink, &cookie);
                verb(OLEIVERB_UIACTIVATE);
                board->put_Enabled(VARIANT_TRUE);  // a change to save
                LONG size = 320;
                board->ChangeBoardSize(&size);
                inPlace->UIDeactivate();
                verb(OLEIVERB_UIACTIVATE);
                inPlace->InPlaceDeactivate();
                verb(OLEIVERB_UIACTIVATE);
                object->Close(OLECLOSE_SAVEIFDIRTY);
                verb(OLEIVERB_UIACTIVATE);
                object->SetClientSite(nullptr);
                hostile = false;
                EXPECT_GT(acted, 0) << what << ": the call never came";

                const auto ended = [&](const char* when) {
                    const std::string where = what + ", " + when;
                    const auto count = [&](const char* call) {
                        return std::count(site.calls.begin(), site.calls.end(), call);
                    };
                    EXPECT_EQ(count("OnInPlaceDeactivate"), count("OnInPlaceActivate")) << where;
                    EXPECT_EQ(count("OnUIDeactivate"), count("OnUIActivate")) << where;
                    EXPECT_EQ(frame.active.Get(), nullptr) << where << ": the frame keeps the control";
                    EXPECT_EQ(document.active.Get(), nullptr) << where << ": the document keeps the control";
                    const HWND left = FindWindowExW(container.get(), nullptr, L"QuelderBoardWindow", nullptr);
                    EXPECT_EQ(left, nullptr) << where << ": a window of the control is left";
                    EXPECT_EQ(site.references, 0) << where;
                    EXPECT_EQ(frame.references, 0) << where;
                    EXPECT_EQ(document.references, 0) << where;
                };
                ended("after the hostile container");

                ASSERT_EQ(object->SetClientSite(&site), S_OK) << what;
                EXPECT_EQ(verb(OLEIVERB_UIACTIVATE), S_OK) << what << ", a calm container";
                HWND window = nullptr;
                EXPECT_EQ(inPlace->GetWindow(&window), S_OK) << what << ", a calm container";
                EXPECT_EQ(GetParent(window), container.get()) << what << ", a calm container";
                EXPECT_EQ(frame.active.Get(), active.Get()) << what << ", a calm container";
                EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK) << what;
                EXPECT_EQ(object->SetClientSite(nullptr), S_OK) << what;
                ended("after the calm container");
                object->Unadvise(cookie);
            }
            EXPECT_EQ(sink.references, 0) << what << ": the control outlived its references";
        }
    }
}

TEST_F(EmbeddingTest, CloseAsksAChangedControlToBeSaved) {
    Activate();
    EXPECT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);  // changes "Enabled"
    site_.calls.clear();
    EXPECT_EQ(object_->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(site_.calls, (std::vector<std::string>{"SaveObject", "OnInPlaceDeactivate"}));
    EXPECT_EQ(object_->Close(7), E_INVALIDARG);
}

TEST_F(EmbeddingTest, VerbsAndARefusingSite) {
    EXPECT_EQ(object_->SetClientSite(&site_), S_OK);
    EXPECT_EQ(object_->DoVerb(OLEIVERB_OPEN, nullptr, &site_, 0, top_.get(), &site_.position), E_NOTIMPL);
    EXPECT_EQ(object_->DoVerb(OLEIVERB_PROPERTIES, nullptr, &site_, 0, top_.get(), &site_.position), E_NOTIMPL);
    site_.canActivate = false;
    EXPECT_EQ(object_->DoVerb(OLEIVERB_SHOW, nullptr, &site_, 0, top_.get(), &site_.position),
              OLEOBJ_S_CANNOT_DOVERB_NOW);
    HWND window = nullptr;
    EXPECT_EQ(inPlace_->GetWindow(&window), E_FAIL);
    site_.canActivate = true;
    // A verb of its own that the control does not have: the primary verb.
    EXPECT_EQ(object_->DoVerb(3, nullptr, &site_, 0, top_.get(), &site_.position), OLEOBJ_S_INVALIDVERB);
    ASSERT_EQ(inPlace_->GetWindow(&window), S_OK);
    EXPECT_EQ(object_->DoVerb(OLEIVERB_HIDE, nullptr, &site_, 0, top_.get(), &site_.position), S_OK);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site_, 0, top_.get(), &site_.position), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(site_.calls.back(), "OnUIActivate");
    EXPECT_EQ(inPlace_->UIDeactivate(), S_OK);
    EXPECT_EQ(site_.calls.back(), "OnUIDeactivate");
}

TEST_F(EmbeddingTest, ReportsItsStatusBitsAndItsNaturalSizeInHimetric) {
    DWORD status = 0;
    EXPECT_EQ(object_->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, kMiscStatus);
    handles::ScreenDc screen;
    const SIZEL natural{MulDiv(296, 2540, GetDeviceCaps(screen.get(), LOGPIXELSX)),
                        MulDiv(296, 2540, GetDeviceCaps(screen.get(), LOGPIXELSY))};
    SIZEL extent{};
    EXPECT_EQ(object_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, natural.cx);
    EXPECT_EQ(extent.cy, natural.cy);
    SIZEL viewExtent{};
    EXPECT_EQ(view_->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewExtent), S_OK);
    EXPECT_EQ(viewExtent.cx, natural.cx);
    // A container's extent alone does not size the control.
    SIZEL wrong{1000, 1000};
    EXPECT_EQ(object_->SetExtent(DVASPECT_CONTENT, &wrong), S_OK);
    EXPECT_EQ(object_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, natural.cx);
    EXPECT_EQ(object_->SetExtent(DVASPECT_ICON, &wrong), DV_E_DVASPECT);
    EXPECT_EQ(object_->GetExtent(DVASPECT_CONTENT, nullptr), E_INVALIDARG);

    CLSID clsid{};
    ComPtr<IPersist> persist;
    ASSERT_EQ(board_.As(&persist), S_OK);
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Quelder));
}

TEST_F(EmbeddingTest, TheContainersPlacementMovesAndClipsTheWindowButLeavesTheSquares) {
    const HWND window = Activate();
    ASSERT_EQ(board_->NewGame(), S_OK);
    const Image before = Draw(296, 296);
    const RECT place{30, 40, 330, 360}, clip{30, 40, 200, 200};
    ASSERT_EQ(inPlace_->SetObjectRects(&place, &clip), S_OK);
    EXPECT_TRUE(SameRect(WindowPlace(window), place));
    RECT box{};
    EXPECT_EQ(GetWindowRgnBox(window, &box), SIMPLEREGION);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 170, 160}));
    // Still 37-pixel squares, bare surface beyond them.
    const Image drawn = Draw(300, 320);
    EXPECT_TRUE(SameImage(Crop(drawn, 0, 0, 296, 296), before));
    EXPECT_EQ(drawn.At(298, 10), ButtonFace());
    EXPECT_EQ(drawn.At(10, 310), ButtonFace());
    EXPECT_NE(drawn.At(18, 18), ButtonFace());
    EXPECT_EQ(inPlace_->SetObjectRects(nullptr, &clip), E_INVALIDARG);
}

TEST_F(EmbeddingTest, ALargerBoardAsksTheContainerForItsRectangle) {
    const HWND window = Activate();
    LONG dimension = 400;
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    ASSERT_FALSE(site_.sizeRequests.empty());
    EXPECT_TRUE(SameRect(site_.sizeRequests.back(), RECT{10, 20, 410, 420}));
    EXPECT_TRUE(SameRect(WindowPlace(window), RECT{10, 20, 410, 420}));
    // A container that does not agree: the window takes the size all the same.
    site_.agreeToSize = false;
    dimension = 200;
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    EXPECT_TRUE(SameRect(site_.sizeRequests.back(), RECT{10, 20, 210, 220}));
    EXPECT_TRUE(SameRect(WindowPlace(window), RECT{10, 20, 210, 220}));
    // Enabled leaves the size alone.
    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_FALSE(IsWindowEnabled(window));
    EXPECT_TRUE(SameRect(WindowPlace(window), RECT{10, 20, 210, 220}));
    ASSERT_EQ(board_->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(IsWindowEnabled(window));
    // After the container's own resizing, the size the board had is asked for again.
    const RECT wide{10, 20, 430, 440};
    ASSERT_EQ(inPlace_->SetObjectRects(&wide, &site_.clip), S_OK);
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    EXPECT_TRUE(SameRect(WindowPlace(window), RECT{10, 20, 210, 220}));
}

// 32,767 pixels would take 4 GiB of kept images: refused as out of memory
// before anything changes. The container is not asked for a rectangle, the
// window, the extent and the pixels stay, and the memory is not taken on
// the way.
TEST_F(EmbeddingTest, ABoardItsMemoryCannotHoldIsRefusedAndLeftAsItWas) {
    const HWND window = Activate();
    LONG dimension = 400;
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    ASSERT_EQ(board_->NewGame(), S_OK);
    SHORT col = 2, row = 7;
    ASSERT_EQ(board_->SelectSquare(&col, &row), S_OK);
    UpdateWindow(window);
    const Image shown = Shot(window), drawn = Draw(400, 400);
    SIZEL extent{};
    ASSERT_EQ(object_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    const RECT place = WindowPlace(window);
    const std::size_t requests = site_.sizeRequests.size();
    const SIZE_T peak = PeakWorkingSetBytes();

    dimension = 32767;
    const HRESULT hr = board_->ChangeBoardSize(&dimension);
    const ErrorReport report = TakeErrorInfo();
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0007)) << std::hex << hr;
    EXPECT_EQ(report.description, L"Out of memory") << Narrow(report.description);
    EXPECT_LT(PeakWorkingSetBytes(), peak + (256u << 20)) << "peak working set " << peak << " bytes before, "
                                                         << PeakWorkingSetBytes() << " after";
    EXPECT_EQ(site_.sizeRequests.size(), requests) << "the container was asked for a new rectangle";
    EXPECT_TRUE(SameRect(WindowPlace(window), place));
    SIZEL after{};
    EXPECT_EQ(object_->GetExtent(DVASPECT_CONTENT, &after), S_OK);
    EXPECT_EQ(after.cx, extent.cx);
    EXPECT_EQ(after.cy, extent.cy);
    UpdateWindow(window);
    EXPECT_TRUE(SameImage(Shot(window), shown));
    EXPECT_TRUE(SameImage(Draw(400, 400), drawn));
    // A size that can be had is laid out as ever.
    dimension = 296;
    EXPECT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    EXPECT_TRUE(SameRect(WindowPlace(window), RECT{10, 20, 306, 316}));
}

// ---- drawing ---------------------------------------------------------------------------------

TEST_F(EmbeddingTest, DrawGivesTheWindowsPixelsWithOrWithoutAWindow) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    HRESULT hr = E_FAIL;
    const Image windowless = Draw(296, 296, &hr);
    EXPECT_EQ(hr, S_OK);
    const HWND window = Activate();
    EXPECT_TRUE(SameImage(Shot(window), windowless));
    EXPECT_TRUE(SameImage(Draw(296, 296), windowless));
    Draw(148, 148, &hr);
    EXPECT_EQ(hr, S_OK) << "stretched";

    const RECTL bounds{0, 0, 10, 10};
    handles::ScreenDc screen;
    EXPECT_EQ(view_->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, screen.get(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    EXPECT_EQ(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, screen.get(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
}

TEST_F(EmbeddingTest, AViewSinkHearsOfChanges) {
    ViewSink sink;
    ASSERT_EQ(view_->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    ComPtr<IAdviseSink> back;
    DWORD aspects = 0;
    ASSERT_EQ(view_->GetAdvise(&aspects, nullptr, back.GetAddressOf()), S_OK);
    EXPECT_EQ(back.Get(), &sink);
    EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
    back.Reset();
    ASSERT_EQ(board_->NewGame(), S_OK);
    EXPECT_GT(sink.changes, 0);
    ASSERT_EQ(view_->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
    const int before = sink.changes;
    ASSERT_EQ(board_->Clear(), S_OK);
    EXPECT_EQ(sink.changes, before);
    EXPECT_EQ(sink.references, 0);

    // Close lets go of the sink, so that a container's cycle through it ends.
    Activate();
    ASSERT_EQ(view_->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    ASSERT_EQ(object_->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(sink.references, 0) << "the closed control holds its view sink";
    aspects = DVASPECT_CONTENT;
    IAdviseSink* kept = &sink;
    ASSERT_EQ(view_->GetAdvise(&aspects, nullptr, &kept), S_OK);
    EXPECT_EQ(kept, nullptr);
    EXPECT_EQ(aspects, 0u);
    if (kept != nullptr) kept->Release();
    const int closed = sink.changes;
    ASSERT_EQ(board_->NewGame(), S_OK);
    EXPECT_EQ(sink.changes, closed) << "a closed control's view sink still hears of changes";
}

// ---- ambient properties -------------------------------------------------------------

TEST_F(EmbeddingTest, ADesignModeContainerGetsTheDesignTimeRefusals) {
    site_.userMode = false;
    ASSERT_EQ(object_->SetClientSite(&site_), S_OK);
    EXPECT_EQ(PutPiece(::Bpawn), kDesignTimePiece);
    EXPECT_EQ(PutPicture(), kDesignTimePicture);
    ComPtr<IOleControl> control;
    ASSERT_EQ(board_.As(&control), S_OK);

    site_.userMode = true;
    EXPECT_EQ(PutPiece(::Bpawn), kDesignTimePiece) << "not told of the change yet";
    ASSERT_EQ(control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE), S_OK);
    EXPECT_EQ(PutPiece(::Bpawn), S_OK);
    EXPECT_EQ(PutPicture(), S_OK);

    site_.userMode = false;
    ASSERT_EQ(control->OnAmbientPropertyChange(DISPID_UNKNOWN), S_OK);
    EXPECT_EQ(PutPiece(::Bpawn), kDesignTimePiece);
    // Without a site the control runs.
    ASSERT_EQ(object_->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(PutPiece(::Bpawn), S_OK);
}

TEST_F(EmbeddingTest, ASiteWithoutAmbientsRuns) {
    struct Case {
        const char* site;
        bool offerDispatch;
        std::optional<bool> userMode;
    };
    for (const Case c : {Case{"no IDispatch", false, false}, Case{"UserMode unknown", true, std::nullopt}}) {
        site_.offerDispatch = c.offerDispatch;
        site_.userMode = c.userMode;
        ASSERT_EQ(object_->SetClientSite(&site_), S_OK);
        EXPECT_EQ(PutPiece(::Wking), S_OK) << c.site;
        EXPECT_EQ(PutPicture(), S_OK) << c.site;
        ASSERT_EQ(object_->SetClientSite(nullptr), S_OK);
    }
}

TEST_F(EmbeddingTest, QuickActivationTakesTheSiteTheSinksAndTheAmbientFlags) {
    ComPtr<IQuickActivate> quick;
    ASSERT_EQ(board_.As(&quick), S_OK);
    RecordingSink events;
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &site_;
    container.pUnkEventSink = static_cast<IDispatch*>(&events);
    container.dwAmbientFlags = 0;  // designing
    QACONTROL control{};
    control.cbSize = sizeof control;
    ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
    EXPECT_EQ(control.dwMiscStatus, kMiscStatus);
    EXPECT_NE(control.dwEventCookie, 0u);
    EXPECT_EQ(PutPiece(::Bpawn), kDesignTimePiece);
    const HWND window = Activate();
    ASSERT_NE(window, nullptr);
    SendClick(window, SquareMiddle(1, 2));
    EXPECT_EQ(events.events, (std::vector{Down(1, 2, TwipsX(18), TwipsY(18)), Up(1, 2, TwipsX(18), TwipsY(18)),
                                          Clicked(1, 2)}));

    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(board_.As(&points), S_OK);
    ASSERT_EQ(points->FindConnectionPoint(DIID___Quelder, point.GetAddressOf()), S_OK);
    EXPECT_EQ(point->Unadvise(control.dwEventCookie), S_OK);
    EXPECT_EQ(quick->QuickActivate(nullptr, &control), E_POINTER);
}

// ---- the library ----------------------------------------------------------------------------

// The About forms among a thread's windows (EnumThreadWindows), and a watcher
// that presses OK on every form it finds (EnumWindows): window enumeration
// callbacks, with Windows' calling convention.
bool IsAboutForm(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpW(name, L"QuelderAboutForm") == 0 && IsWindowVisible(window);
}
BOOL CALLBACK CountAboutForm(HWND window, LPARAM count) {
    if (IsAboutForm(window)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}
// The About form of this process, if one shows; other processes' forms (a
// script's, in a test running alongside) are not this one's.
BOOL CALLBACK FindOwnAboutForm(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsAboutForm(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
HWND OwnAboutForm() {
    HWND found = nullptr;
    EnumWindows(&FindOwnAboutForm, reinterpret_cast<LPARAM>(&found));
    return found;
}
int AboutFormsOf(DWORD thread) {
    int count = 0;
    EnumThreadWindows(thread, &CountAboutForm, reinterpret_cast<LPARAM>(&count));
    return count;
}
TEST_F(EmbeddingTest, TheLibraryStaysWhileTheAboutBoxIsOpen) {
    ASSERT_EQ(board_->About(), S_OK);
    const HWND box = OwnAboutForm();
    ASSERT_NE(box, nullptr) << "no About box";
    object_.Reset();
    inPlace_.Reset();
    view_.Reset();
    board_.Reset();
    EXPECT_EQ(ocx_.CanUnloadNow(), S_FALSE) << "the About box is open";
    SendMessageW(box, WM_CLOSE, 0, 0);  // its close box
    Pump();
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(ocx_.CanUnloadNow(), S_OK);
}

BOOL CALLBACK PressOkOnAboutForm(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsAboutForm(window))
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
}

// Two apartments of one process, each with a control of its own, show the
// About box at the same moment, round after round: both calls return, the
// process has one box between them, and it closes without a trace.
TEST_F(EmbeddingTest, TwoApartmentsShowTheAboutBoxAtTheSameTime) {
    struct Apartment {
        HRESULT about = E_FAIL;
        int forms = -1;       // this thread's forms once both calls returned
        bool closed = false;  // the watcher's OK closed them
    };
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        while (watching) {
            EnumWindows(&PressOkOnAboutForm, 0);
            Sleep(10);
        }
    });
    for (int round = 0; round < 5; ++round) {
        Apartment apartments[2];
        std::atomic<int> ready{0}, returned{0};
        const auto show = [&](Apartment& out) {
            ComApartment com;
            ComPtr<_Quelder> board = ocx_.Create();
            ++ready;
            while (ready < 2) SwitchToThread();
            if (board) out.about = board->About();
            // Nothing closes before both calls have returned: the OK waits
            // for this thread's loop.
            ++returned;
            while (returned < 2) SwitchToThread();
            out.forms = AboutFormsOf(GetCurrentThreadId());
            out.closed = PumpUntil([] { return AboutFormsOf(GetCurrentThreadId()) == 0; }, 10000);
        };
        std::thread first(show, std::ref(apartments[0]));
        std::thread second(show, std::ref(apartments[1]));
        first.join();
        second.join();
        for (int k = 0; k < 2; ++k) {
            const Apartment& a = apartments[k];
            EXPECT_EQ(a.about, S_OK) << "round " << round << ", thread " << k;
            EXPECT_TRUE(a.closed) << "round " << round << ", thread " << k << ": its form stayed";
        }
        EXPECT_EQ(apartments[0].forms + apartments[1].forms, 1)
            << "round " << round << ": forms " << apartments[0].forms << " and " << apartments[1].forms;
    }
    watching = false;
    watcher.join();
    EXPECT_EQ(OwnAboutForm(), nullptr) << "a form outlived its thread";
}

}  // namespace
}  // namespace quelder::testing
