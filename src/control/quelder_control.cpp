#include "control/quelder_control.hpp"

#include <memory>
#include <vector>

#include "about/about_dialog.hpp"
#include "appearance/board_picture.hpp"
#include "appearance/board_size.hpp"
#include "appearance/persistence.hpp"
#include "board/construction.hpp"
#include "board/enabled.hpp"
#include "board/square_events.hpp"
#include "control/pictures.hpp"
#include "com/win_handles.hpp"
#include "position/move_piece.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/selection.hpp"

namespace quelder::win32 {

using com::ComPtr;
using com::Deref;
using com::Out;

namespace {
ComPtr<ITypeInfo> TypeInfoOf(ITypeLib& library, REFGUID guid) {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = library.GetTypeInfoOfGuid(guid, info.GetAddressOf());
    if (FAILED(hr)) throw com::HresultError(hr);
    return info;
}
}  // namespace

HRESULT QuelderControl::CreateInstance(REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    try {
        ComPtr<QuelderControl> control = Create<QuelderControl>();
        control->Construct();
        return control->QueryInterface(riid, ppv);
    } catch (...) {
        return com::ReportCurrentException(IID__Quelder);
    }
}

QuelderControl::QuelderControl()
    : typeLib_(com::Module::TypeLib()),
      classInfo_(TypeInfoOf(*typeLib_.Get(), CLSID_Quelder)),
      dispatch_(std::in_place, TypeInfoOf(*typeLib_.Get(), IID__Quelder).Get()),
      events_(*this, DIID___Quelder, true),
      propertyNotify_(*this, IID_IPropertyNotifySink, false),
      host_(*this, com::Module::Instance()),
      board_(host_),
      window_(com::Module::Instance(), host_, static_cast<SquareInput&>(*this)) {}

void QuelderControl::Construct() { UserControl_Initialize(board_); }

namespace {
// What the container gave the control (its sites, frame, document and sinks),
// released together on the container's thread.
struct ContainerReferences {
    ComPtr<IOleClientSite> clientSite;
    ComPtr<IOleInPlaceSite> inPlaceSite;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    ComPtr<IOleAdviseHolder> oleAdvise;
    ComPtr<IAdviseSink> viewSink;
    std::vector<com::OwnedConnection> events;
    std::vector<com::OwnedConnection> propertyNotify;
};
}  // namespace

QuelderControl::~QuelderControl() {
    // The last release may come from any thread (a finalizer, a thread pool).
    {
        // A message the window's thread is handling ends first, and none
        // reaches this object after the window is let go of below.
        const ControlWindow::MessageHold hold = window_.HoldMessages();
        // The container let go without deactivating the control: it hears of
        // nothing more. What it gave the control goes with the window, to be
        // released on the window's thread, the container's; here when the
        // window can be destroyed here or there is none (or no memory).
        std::shared_ptr<ContainerReferences> container;
        try {
            container = std::make_shared<ContainerReferences>();
        } catch (...) {
            // Released with the members.
        }
        if (container) {
            container->clientSite = std::move(clientSite_);
            container->inPlaceSite = std::move(inPlaceSite_);
            container->frame = std::move(frame_);
            container->document = std::move(document_);
            container->oleAdvise = std::move(oleAdvise_);
            container->viewSink = std::move(viewSink_);
            container->events = events_.UnadviseAll();
            container->propertyNotify = propertyNotify_.UnadviseAll();
        }
        // The window goes first, without calls to a container that may be
        // half gone: the control is inactive already for whatever the
        // container does when it hears of that (WM_PARENTNOTIFY).
        window_.Destroy(std::move(container));
    }
    viewSink_ = nullptr;
    try {
        UserControl_Terminate(board_);
    } catch (...) {
        // The instance goes all the same; its views go with the host.
    }
    events_.UnadviseAll();
    propertyNotify_.UnadviseAll();
}

void* QuelderControl::QueryOther(REFIID riid) {
    if (IsEqualIID(riid, IID_IOleWindow)) return static_cast<IOleWindow*>(static_cast<IOleInPlaceObject*>(this));
    if (IsEqualIID(riid, IID_IViewObject)) return static_cast<IViewObject*>(static_cast<IViewObject2*>(this));
    if (IsEqualIID(riid, IID_IPersist)) return static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
    return nullptr;
}

// ---- the host's calls out -------------------------------------------------------

bool QuelderControl::AmbientUserMode() { return userMode_; }

void QuelderControl::PropertyChanged(std::string_view name) {
    dirty_ = true;
    const DISPID id = dispatch_->IdOfName(com::Widen(name).c_str());
    ComPtr<QuelderControl> self(this);
    const CallOut out(*this);
    for (const auto& sink : propertyNotify_.Sinks<IPropertyNotifySink>()) sink->OnChanged(id);
}

void QuelderControl::RaiseEvent(const SquareEvent& event) {
    // While the container holds the events frozen (IOleControl::FreezeEvents)
    // they are dropped, not kept for later.
    if (freezeCount_ > 0) return;
    // The sinks may let go of the control, advise or unadvise while they run:
    // the control stays alive and the event goes to those advised now.
    ComPtr<QuelderControl> self(this);
    // The host sees the board as it is now, and what its handlers change
    // while they run.
    const CallOut out(*this);
    const bool mouse = event.kind != SquareEventKind::Click && event.kind != SquareEventKind::DblClick;
    const UINT count = mouse ? 6 : 2;
    for (const auto& sink : events_.Sinks<IDispatch>()) {
        // A sink before this one may have had the container freeze the events.
        if (freezeCount_ > 0) return;
        // Fresh copies for every sink: what one writes into them goes nowhere.
        SHORT col = event.col, row = event.row, button = event.button, shift = event.shift;
        FLOAT x = event.x, y = event.y;
        VARIANTARG args[6]{};
        // IDispatch takes the arguments last first.
        auto put = [&](UINT position, VARTYPE type, void* value) {
            VARIANTARG& arg = args[count - 1 - position];
            V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | type);
            V_BYREF(&arg) = value;
        };
        put(0, VT_I2, &col);
        put(1, VT_I2, &row);
        if (mouse) {
            put(2, VT_I2, &button);
            put(3, VT_I2, &shift);
            put(4, VT_R4, &x);
            put(5, VT_R4, &y);
        }
        DISPPARAMS params{args, nullptr, count, 0};
        com::Variant result;
        EXCEPINFO excepinfo{};
        UINT argErr = 0;
        // A sink that fails is passed over.
        sink->Invoke(static_cast<DISPID>(event.kind), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                     &excepinfo, &argErr);
        SysFreeString(excepinfo.bstrSource);
        SysFreeString(excepinfo.bstrDescription);
        SysFreeString(excepinfo.bstrHelpFile);
    }
}

// ---- the window's mouse reports ---------------------------------------------------
// The control stays alive while the host's handlers run: one of them may let
// go of it, or have the container destroy it.

void QuelderControl::MouseDown(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    ComPtr<QuelderControl> self(this);
    const ChangeBatch batch(*this);
    Check_MouseDown(board_, index, button, shift, x, y);
}

void QuelderControl::MouseMove(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    ComPtr<QuelderControl> self(this);
    const ChangeBatch batch(*this);
    Check_MouseMove(board_, index, button, shift, x, y);
}

void QuelderControl::MouseUp(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    ComPtr<QuelderControl> self(this);
    const ChangeBatch batch(*this);
    Check_MouseUp(board_, index, button, shift, x, y);
}

void QuelderControl::Click(std::int16_t index) {
    ComPtr<QuelderControl> self(this);
    const ChangeBatch batch(*this);
    Check_Click(board_, index);
}

void QuelderControl::DblClick(std::int16_t index) {
    ComPtr<QuelderControl> self(this);
    const ChangeBatch batch(*this);
    Check_DblClick(board_, index);
}

// ---- IDispatch ----------------------------------------------------------------------

STDMETHODIMP QuelderControl::GetTypeInfoCount(UINT* count) { return dispatch_->GetTypeInfoCount(count); }

STDMETHODIMP QuelderControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return dispatch_->GetTypeInfo(index, lcid, info);
}

STDMETHODIMP QuelderControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return dispatch_->GetIDsOfNames(riid, names, count, lcid, ids);
}

STDMETHODIMP QuelderControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) {
    ComPtr<QuelderControl> self(this);
    return dispatch_->Invoke(static_cast<_Quelder*>(this), id, riid, lcid, flags, params, result, excepinfo, argErr);
}

// ---- _Quelder -----------------------------------------------------------------------

STDMETHODIMP QuelderControl::get_Enabled(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = quelder::Enabled(board_); });
}

STDMETHODIMP QuelderControl::put_Enabled(VARIANT_BOOL New_Enabled) {
    return Member([&] { LetEnabled(board_, New_Enabled); });
}

STDMETHODIMP QuelderControl::NewGame() {
    return Member([&] { quelder::NewGame(board_); });
}

STDMETHODIMP QuelderControl::Clear() {
    return Member([&] { quelder::Clear(board_); });
}

STDMETHODIMP QuelderControl::get_IsSelected(short* col, short* row, VARIANT_BOOL* result) {
    return Member([&] {
        VARIANT_BOOL& out = Out(result);
        out = quelder::IsSelected(board_, Deref(col), Deref(row));
    });
}

STDMETHODIMP QuelderControl::get_Piece(short* col, short* row, ::PieceNum* result) {
    return Member([&] {
        ::PieceNum& out = Out(result);
        out = static_cast<::PieceNum>(quelder::Piece(board_, Deref(col), Deref(row)));
    });
}

STDMETHODIMP QuelderControl::put_Piece(short* col, short* row, ::PieceNum New_Piece) {
    return Member([&] { LetPiece(board_, Deref(col), Deref(row), New_Piece); });
}

STDMETHODIMP QuelderControl::get_Picture(::PieceNum* Piece, IPictureDisp** result) {
    return Member([&] {
        IPictureDisp*& out = Out(result);
        out = ToPictureDisp(quelder::Picture(board_, Deref(Piece))).Detach();
    });
}

STDMETHODIMP QuelderControl::putref_Picture(::PieceNum* Piece, IPictureDisp** New_Picture) {
    // The new picture comes by reference, as every parameter of the
    // interface: a pointer to the caller's pointer, never changed here.
    return Member([&] {
        const std::int32_t number = Deref(Piece);
        SetPicture(board_, number, FromPictureDisp(Deref(New_Picture)));
    });
}

STDMETHODIMP QuelderControl::ChangeBoardSize(LONG* Dimension) {
    return Member([&] { quelder::ChangeBoardSize(board_, Deref(Dimension)); });
}

STDMETHODIMP QuelderControl::SelectSquare(short* col, short* row) {
    return Member([&] { quelder::SelectSquare(board_, Deref(col), Deref(row)); });
}

STDMETHODIMP QuelderControl::UnSelectSquare(short* col, short* row) {
    return Member([&] { quelder::UnSelectSquare(board_, Deref(col), Deref(row)); });
}

STDMETHODIMP QuelderControl::MovePiece(short* FromCol, short* FromRow, short* ToCol, short* ToRow) {
    return Member([&] { quelder::MovePiece(board_, Deref(FromCol), Deref(FromRow), Deref(ToCol), Deref(ToRow)); });
}

STDMETHODIMP QuelderControl::About() {
    return Member([&] { about::About(com::Module::Instance()); });
}

// ---- what the control says about itself -------------------------------------------

STDMETHODIMP QuelderControl::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID__Quelder) || IsEqualIID(riid, IID_IDispatch) ? S_OK : S_FALSE;
}

STDMETHODIMP QuelderControl::GetClassInfo(ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = ComPtr<ITypeInfo>(classInfo_).Detach();
    return S_OK;
}

STDMETHODIMP QuelderControl::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID___Quelder;
    return S_OK;
}

STDMETHODIMP QuelderControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return Member([&] {
        Out(points);
        std::vector<com::OwnedConnectionPoint> all{{&events_}, {&propertyNotify_}};
        *points = com::ConnectionPointEnumerator::Create<com::ConnectionPointEnumerator>(std::move(all)).Detach();
    });
}

STDMETHODIMP QuelderControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    com::ConnectionPoint* found = IsEqualIID(riid, DIID___Quelder)            ? &events_
                                  : IsEqualIID(riid, IID_IPropertyNotifySink) ? &propertyNotify_
                                                                              : nullptr;
    if (found == nullptr) return CONNECT_E_NOCONNECTION;
    found->AddRef();
    *point = found;
    return S_OK;
}

namespace {
constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}

STDMETHODIMP QuelderControl::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (supported == nullptr || enabled == nullptr) return E_POINTER;
    *supported = *enabled = 0;
    ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf())))) return E_NOINTERFACE;
    *supported = kSafeOptions;
    *enabled = safety_;
    return S_OK;
}

STDMETHODIMP QuelderControl::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf())))) return E_NOINTERFACE;
    if ((mask & ~kSafeOptions) != 0) return E_FAIL;
    safety_ = (safety_ & ~mask) | (enabled & mask);
    return S_OK;
}

// ---- test hook ----------------------------------------------------------------------

STDMETHODIMP QuelderControl::SquareClick(short Index) {
    return Member([&] { Check_Click(board_, Index); });
}

STDMETHODIMP QuelderControl::SquareDblClick(short Index) {
    return Member([&] { Check_DblClick(board_, Index); });
}

STDMETHODIMP QuelderControl::SquareMouseDown(short Index, short Button, short Shift, float X, float Y) {
    return Member([&] { Check_MouseDown(board_, Index, Button, Shift, X, Y); });
}

STDMETHODIMP QuelderControl::SquareMouseMove(short Index, short Button, short Shift, float X, float Y) {
    return Member([&] { Check_MouseMove(board_, Index, Button, Shift, X, Y); });
}

STDMETHODIMP QuelderControl::SquareMouseUp(short Index, short Button, short Shift, float X, float Y) {
    return Member([&] { Check_MouseUp(board_, Index, Button, Shift, X, Y); });
}

STDMETHODIMP QuelderControl::PropertiesDirty(BOOL* dirty) {
    return Member([&] { Out(dirty) = dirty_ ? TRUE : FALSE; });
}

STDMETHODIMP QuelderControl::SurfaceSize(float* width, float* height) {
    return Member([&] {
        // Both checked first: a failure leaves neither set.
        float& w = Out(width);
        float& h = Out(height);
        w = host_.Width();
        h = host_.Height();
    });
}

STDMETHODIMP QuelderControl::SquareVisible(short Index, BOOL* visible) {
    return Member([&] {
        BOOL& out = Out(visible);
        out = host_.View(Index).Visible() ? TRUE : FALSE;
    });
}

STDMETHODIMP QuelderControl::KeptPixel(short Index, int x, int y, DWORD* pixel) {
    return Member([&] {
        DWORD& out = Out(pixel);
        const ConstImagePart kept = host_.View(Index).KeptPart();
        if (!kept.Contains(x, y)) Raise(error::kInvalidArgument);
        out = kept.At(x, y);
    });
}

STDMETHODIMP QuelderControl::ResourceCounts(LONG* windows, LONG* gdiObjects) {
    return Member([&] {
        LONG& outWindows = Out(windows);
        LONG& outObjects = Out(gdiObjects);
        outWindows = ControlWindow::LiveWindows();
        outObjects = handles::GdiObjectsHeld();
    });
}

}  // namespace quelder::win32
