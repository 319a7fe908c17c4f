// The control embedded in a container: the client site and its ambient
// properties, in-place activation with the control's window, placement and
// size, and the small interfaces a container asks of every control.
//
// The window is made when the container activates the control in place and
// goes when it deactivates it, closes it, takes the site away or lets the
// control go. Its size follows the container's placement (SetObjectRects);
// a change of the surface's size (ChangeBoardSize) resizes the window and
// asks the container for the new rectangle.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "control/quelder_control.hpp"

#include "appearance/board_size.hpp"
#include "control/screen_dots.hpp"

namespace quelder::win32 {

using com::ComPtr;

namespace {

constexpr int kHimetricPerInch = 2540;

// A Boolean ambient property through the site's IDispatch; nothing when the
// site has no IDispatch, or does not know the property or its value is no
// Boolean.
std::optional<bool> AmbientBoolean(IOleClientSite* site, DISPID id) {
    if (site == nullptr) return std::nullopt;
    ComPtr<IDispatch> ambients;
    if (FAILED(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ambients.GetAddressOf()))) || !ambients)
        return std::nullopt;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    com::Variant value;
    com::ExcepInfo excepinfo;
    UINT argErr = 0;
    if (FAILED(ambients->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, &excepinfo,
                                &argErr)))
        return std::nullopt;
    com::Variant boolean;
    if (FAILED(VariantChangeType(&boolean, &value, 0, VT_BOOL))) return std::nullopt;
    return V_BOOL(&boolean) != VARIANT_FALSE;
}

int Pixels(float value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 32767.0f)));
}

// A container's rectangle within what a window can be given: its corner
// within 2^24 pixels of the container's, and no larger than the largest
// surface (32767 pixels). No difference or sum of two coordinates overflows.
RECT Bounded(const RECT& r) {
    constexpr LONG kCorner = 1 << 24, kSize = 32767;
    const LONG left = std::clamp<LONG>(r.left, -kCorner, kCorner), top = std::clamp<LONG>(r.top, -kCorner, kCorner);
    auto size = [](LONG from, LONG to) {
        return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(to) - from, 0, kSize));
    };
    return {left, top, left + size(r.left, r.right), top + size(r.top, r.bottom)};
}

}  // namespace

// ---- the surface and the window ---------------------------------------------------

void QuelderControl::FollowScreenDpi() {
    // The published class keeps its 37-pixel squares on every screen.
    const int dpi = ScreenDpi().y;
    if (kind_.extended && dpi != 96) quelder::ChangeBoardSize(board_, 8 * MulDiv(kSquareSize, dpi, 96));
}

SIZEL QuelderControl::Extent() const {
    const SIZE size = window_.Size();
    const ScreenDots dots = ScreenDpi();
    return {MulDiv(size.cx, kHimetricPerInch, dots.x), MulDiv(size.cy, kHimetricPerInch, dots.y)};
}

void QuelderControl::SurfaceChanged() {
    window_.SetEnabled(host_.Enabled());
    const SIZE size{Pixels(host_.Width()), Pixels(host_.Height())};
    if (size.cx == surface_.cx && size.cy == surface_.cy) return;
    surface_ = size;
    // The surface's own resizing (ChangeBoardSize): the window takes the new
    // size at once and the container is asked to give it that rectangle.
    window_.SetSize(size.cx, size.cy);
    site_.position.right = site_.position.left + size.cx;
    site_.position.bottom = site_.position.top + size.cy;
    const CallOut out(*this);
    SendViewChange();
    if (site_.inPlace) {
        ComPtr<IOleInPlaceSite> site = site_.inPlace;
        const RECT wanted = site_.position;
        site->OnPosRectChange(&wanted);
    }
}

void QuelderControl::TakePlacement(const RECT& containerPlace, const RECT& containerClip) {
    // The container's own placement: the window moves, takes the size and is
    // clipped; the squares stay where they are. The surface has that size
    // now, so that a later ChangeBoardSize to any size resizes the window.
    const RECT place = Bounded(containerPlace), clip = Bounded(containerClip);
    site_.position = place;
    window_.Place(place, clip);
    surface_ = window_.Size();
    host_.TakeContainerSize(static_cast<float>(surface_.cx), static_cast<float>(surface_.cy));
}

void QuelderControl::ViewChanged(PixelSquareView& view) {
    // The board class draws the squares itself: what the published code drew
    // is drawn again at the square's size before it shows.
    if (extras_) extras_->Touched(static_cast<std::int16_t>(view.KeptCell() + 1));
    window_.ViewChanged(view);
    if (!window_.Batching()) {
        Settle();
        SendViewChange();
    }
}

void QuelderControl::ViewRefreshed(PixelSquareView& view) {
    if (extras_) {
        extras_->Touched(static_cast<std::int16_t>(view.KeptCell() + 1));
        if (!window_.Batching()) Settle();
    }
    window_.ViewRefreshed(view);
    if (!window_.Batching()) SendViewChange();
}

// ---- ambient properties ------------------------------------------------------------

void QuelderControl::ReadAmbientUserMode() {
    const ComPtr<IOleClientSite> site = site_.client;
    const bool userMode = AmbientBoolean(site.Get(), DISPID_AMBIENT_USERMODE).value_or(true);
    // A site given while this one answered has been read already.
    if (site_.client.Get() == site.Get()) site_.userMode = userMode;
}

// ---- IOleObject -----------------------------------------------------------------------

STDMETHODIMP QuelderControl::SetClientSite(IOleClientSite* site) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        const auto alive = KeepAlive();
        // The window belongs to the site it was made for; without a site (one
        // taken away, or none given to a control activated through DoVerb's
        // site) there is none.
        if (site != site_.client.Get() || site == nullptr) {
            site_.EndActivation();
            InPlaceDeactivate();
        }
        // The old site is released once the control has forgotten it.
        const ComPtr<IOleClientSite> old = std::exchange(site_.client, ComPtr<IOleClientSite>(site));
        ReadAmbientUserMode();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetClientSite(IOleClientSite** site) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (site == nullptr) return E_POINTER;
        *site = ComPtr<IOleClientSite>(site_.client).Detach();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP QuelderControl::Close(DWORD saveOption) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (saveOption != OLECLOSE_SAVEIFDIRTY && saveOption != OLECLOSE_NOSAVE && saveOption != OLECLOSE_PROMPTSAVE)
            return E_INVALIDARG;
        const auto alive = KeepAlive();
        site_.EndActivation();
        // Without a user interface of its own the control does not prompt: it
        // asks the container to save it when anything changed.
        if (saveOption != OLECLOSE_NOSAVE && saved_.Dirty() && site_.client) {
            ComPtr<IOleClientSite> site = site_.client;
            site->SaveObject();
        }
        InPlaceDeactivate();
        site_.SendOnClose();
        // The view's advise sink goes, so that a cycle of references through the
        // container ends here. It is released after the control has forgotten
        // it: its release may call the control back.
        view_.Take();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP QuelderControl::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (moniker == nullptr) return E_POINTER;
        *moniker = nullptr;
        // The control's moniker is the one its container gives it.
        if (!site_.client) return E_FAIL;
        ComPtr<IOleClientSite> site = site_.client;
        return site->GetMoniker(assign, which, moniker);
    });
}

STDMETHODIMP QuelderControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP QuelderControl::GetClipboardData(DWORD, IDataObject** data) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (data != nullptr) *data = nullptr;
        return E_NOTIMPL;
    });
}

STDMETHODIMP QuelderControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                                    LPCRECT position) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        const auto alive = KeepAlive();
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(activeSite, parent, position, false);
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(activeSite, parent, position, true);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (window_.Handle() != nullptr) ShowWindow(window_.Handle(), SW_HIDE);
            return S_OK;
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;  // there is nothing to undo
        default:
            if (verb < 0) return E_NOTIMPL;  // OLEIVERB_OPEN, OLEIVERB_PROPERTIES and unknown ones
            // A verb of the object's own that it does not have: the primary one.
            const HRESULT hr = ActivateInPlace(activeSite, parent, position, false);
            return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
    });
}

HRESULT QuelderControl::ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position,
                                        bool uiActivate) {
    if (!site_.inPlace) {
        const ComPtr<IOleClientSite> site = site_.client ? site_.client : ComPtr<IOleClientSite>(activeSite);
        if (!site) return E_UNEXPECTED;
        ComPtr<IOleInPlaceSite> inPlace;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.GetAddressOf()))) ||
            !inPlace)
            return E_FAIL;  // a container that cannot show the control in place
        // Each call below may end the activation (the container deactivates
        // the control, closes it or takes its site away), and so may the
        // container's window when it hears of the control's window. The
        // activation goes on only while none did and the control is still
        // inactive, then still active for this site.
        const ContainerSite::Watch watch(site_);
        const IOleInPlaceSite* expected = nullptr;
        const auto ended = [&] { return watch.Ended() || site_.inPlace.Get() != expected; };
        HRESULT hr = inPlace->CanInPlaceActivate();
        if (FAILED(hr)) return hr;
        if (hr != S_OK || ended()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
        // Active from here: a deactivation from inside OnInPlaceActivate ends it.
        site_.inPlace = inPlace;
        expected = inPlace.Get();
        hr = inPlace->OnInPlaceActivate();
        if (FAILED(hr)) {
            if (site_.inPlace.Get() == expected) site_.inPlace = nullptr;
            return hr;
        }
        if (ended()) return OLEOBJ_S_CANNOT_DOVERB_NOW;

        HWND container = nullptr;
        if (FAILED(inPlace->GetWindow(&container)) || container == nullptr) container = parent;
        if (ended()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
        RECT place = position != nullptr ? *position : site_.position;
        RECT clip = place;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        RECT contextPlace{}, contextClip{};
        hr = inPlace->GetWindowContext(frame.GetAddressOf(), document.GetAddressOf(), &contextPlace, &contextClip,
                                       &frameInfo);
        if (ended()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
        if (SUCCEEDED(hr)) {
            place = contextPlace;
            clip = contextClip;
            site_.frame = std::move(frame);
            site_.document = std::move(document);
        }
        HWND made = container != nullptr && IsWindow(container) ? window_.Create(container, place) : nullptr;
        const DWORD error = GetLastError();
        // A deactivation while the container's window heard of the new one
        // took the window along.
        if (ended()) return OLEOBJ_S_CANNOT_DOVERB_NOW;
        if (made == nullptr) {
            InPlaceDeactivate();
            return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        TakePlacement(place, clip);
    } else if (window_.Handle() != nullptr && !IsWindowVisible(window_.Handle())) {
        ShowWindow(window_.Handle(), SW_SHOWNA);
    }
    if (!uiActivate || site_.uiActive) return S_OK;
    return ActivateUserInterface();
}

HRESULT QuelderControl::ActivateUserInterface() {
    const ComPtr<IOleInPlaceSite> site = site_.inPlace;
    if (!site) return OLEOBJ_S_CANNOT_DOVERB_NOW;
    // As for the activation in place: each call may end it, or end the user
    // interface's activation (UIDeactivate), and what follows is left out.
    const ContainerSite::Watch watch(site_);
    const auto deactivated = [&] { return watch.Ended() || site_.inPlace.Get() != site.Get(); };
    const auto stopped = [&] { return !site_.uiActive || deactivated(); };
    site_.uiActive = true;
    site->OnUIActivate();
    if (!stopped()) {
        // The control has no tools: it asks for no border space.
        const ComPtr<IOleInPlaceUIWindow> windows[] = {site_.frame, site_.document};
        auto* active = static_cast<IOleInPlaceActiveObject*>(this);
        for (const ComPtr<IOleInPlaceUIWindow>& window : windows) {
            if (!window) continue;
            window->SetActiveObject(active, UserType());
            if (stopped()) break;
            window->SetBorderSpace(nullptr);
            if (stopped()) break;
        }
    }
    return deactivated() ? OLEOBJ_S_CANNOT_DOVERB_NOW : S_OK;
}

STDMETHODIMP QuelderControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (verbs == nullptr) return E_POINTER;
        *verbs = nullptr;
        return OleRegEnumVerbs(*kind_.clsid, verbs);
    });
}

STDMETHODIMP QuelderControl::Update() { return S_OK; }

STDMETHODIMP QuelderControl::IsUpToDate() { return S_OK; }

STDMETHODIMP QuelderControl::GetUserClassID(CLSID* clsid) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (clsid == nullptr) return E_POINTER;
        *clsid = *kind_.clsid;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetUserType(DWORD form, LPOLESTR* userType) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (userType == nullptr) return E_POINTER;
        *userType = nullptr;
        if (SUCCEEDED(OleRegGetUserType(*kind_.clsid, form, userType)) && *userType != nullptr) return S_OK;
        // Not registered: the class's name.
        const std::wstring_view name = UserType();
        const std::size_t bytes = (name.size() + 1) * sizeof(wchar_t);
        auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (copy == nullptr) return E_OUTOFMEMORY;
        std::memcpy(copy, name.data(), bytes - sizeof(wchar_t));
        copy[name.size()] = L'\0';
        *userType = copy;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetExtent(DWORD aspect, SIZEL* size) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (size == nullptr) return E_INVALIDARG;
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        // Taken note of, no more: the window's size is the container's
        // placement (SetObjectRects), whose pixels are what it shows. Some
        // containers convert pixels to HIMETRIC wrongly.
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetExtent(DWORD aspect, SIZEL* size) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (size == nullptr || aspect != DVASPECT_CONTENT) return E_INVALIDARG;
        *size = Extent();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::Advise(IAdviseSink* sink, DWORD* connection) { return site_.Advise(sink, connection); }

STDMETHODIMP QuelderControl::Unadvise(DWORD connection) { return site_.Unadvise(connection); }

STDMETHODIMP QuelderControl::EnumAdvise(IEnumSTATDATA** advise) { return site_.EnumAdvise(advise); }

STDMETHODIMP QuelderControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    return com::Guard(IID_IOleObject, [&]() -> HRESULT {
        if (status == nullptr) return E_POINTER;
        *status = aspect == DVASPECT_CONTENT ? kQuelderMiscStatus : 0;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow -----------------------------------------------------------------------

STDMETHODIMP QuelderControl::GetWindow(HWND* window) {
    return com::Guard(IID_IOleWindow, [&]() -> HRESULT {
        if (window == nullptr) return E_POINTER;
        *window = window_.Handle();
        return *window != nullptr ? S_OK : E_FAIL;
    });
}

STDMETHODIMP QuelderControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- IOleInPlaceObject --------------------------------------------------------------

STDMETHODIMP QuelderControl::InPlaceDeactivate() {
    return com::Guard(IID_IOleInPlaceObject, [&]() -> HRESULT {
        site_.EndActivation();
        if (!site_.inPlace) return S_OK;
        const auto alive = KeepAlive();
        UIDeactivate();
        // The container may have deactivated the control from inside those calls.
        if (!site_.inPlace) return S_OK;
        // Inactive before the window goes: what the container does when it hears
        // of that (WM_PARENTNOTIFY) finds nothing left to end.
        const ComPtr<IOleInPlaceSite> site = std::move(site_.inPlace);
        const ComPtr<IOleInPlaceFrame> frame = std::move(site_.frame);
        const ComPtr<IOleInPlaceUIWindow> document = std::move(site_.document);
        // The focus frame hides and a lifted piece goes back with the window:
        // cut off from it below, the window tells nothing more.
        window_.Deactivate();
        window_.Destroy();
        site->OnInPlaceDeactivate();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::UIDeactivate() {
    return com::Guard(IID_IOleInPlaceObject, [&]() -> HRESULT {
        if (!site_.uiActive) return S_OK;
        const auto alive = KeepAlive();
        site_.uiActive = false;
        // The frame, the document and the site each hear of it through a
        // reference of their own, whatever one of them does meanwhile: a
        // deactivation in place from inside these calls finds the user
        // interface deactivated already.
        const ComPtr<IOleInPlaceFrame> frame = site_.frame;
        const ComPtr<IOleInPlaceUIWindow> document = site_.document;
        const ComPtr<IOleInPlaceSite> site = site_.inPlace;
        if (frame) frame->SetActiveObject(nullptr, nullptr);
        if (document) document->SetActiveObject(nullptr, nullptr);
        if (site) site->OnUIDeactivate(FALSE);
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
    return com::Guard(IID_IOleInPlaceObject, [&]() -> HRESULT {
        if (position == nullptr || clip == nullptr) return E_INVALIDARG;
        TakePlacement(*position, *clip);
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

// ---- IOleInPlaceActiveObject ----------------------------------------------------------
// The control has no keys, menus, tools or modeless windows of its own.

STDMETHODIMP QuelderControl::TranslateAccelerator(LPMSG message) {
    return com::Guard(IID_IOleInPlaceActiveObject, [&]() -> HRESULT {
        // No message is no key of the control's, as it has always answered.
        if (message == nullptr) return S_FALSE;
        // The board class's keys go to its window before the container makes
        // them its own (the arrows, Tab order, default buttons).
        const HWND window = window_.Handle();
        if (!extras_ || window == nullptr || message->hwnd != window) return S_FALSE;
        if (message->message != WM_KEYDOWN || !window_.WantsKey(message->wParam)) return S_FALSE;
        const auto alive = KeepAlive();
        SendMessageW(window, message->message, message->wParam, message->lParam);
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::OnFrameWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP QuelderControl::OnDocWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP QuelderControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP QuelderControl::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl ------------------------------------------------------------------------

STDMETHODIMP QuelderControl::GetControlInfo(CONTROLINFO* info) {
    return com::Guard(IID_IOleControl, [&]() -> HRESULT {
        if (info == nullptr) return E_POINTER;
        // No mnemonics. The board class's Enter is a click on its focus
        // square (its Escape, only while a piece is lifted, comes through
        // TranslateAccelerator).
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = extras_ ? CTRLINFO_EATS_RETURN : 0;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::OnMnemonic(MSG*) { return S_OK; }

STDMETHODIMP QuelderControl::OnAmbientPropertyChange(DISPID id) {
    return com::Guard(IID_IOleControl, [&]() -> HRESULT {
        if (id == DISPID_UNKNOWN || id == DISPID_AMBIENT_USERMODE) ReadAmbientUserMode();
        // Containers tell of several ambient changes at once this way, the
        // system's colours among them.
        if (id == DISPID_UNKNOWN) SystemColoursChanged();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::FreezeEvents(BOOL freeze) {
    return com::Guard(IID_IOleControl, [&]() -> HRESULT {
        // While frozen, RaiseEvent drops the events of the user's actions.
        events_.Freeze(freeze != FALSE);
        return S_OK;
    });
}

// ---- IQuickActivate ---------------------------------------------------------------------

STDMETHODIMP QuelderControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    return com::Guard(IID_IQuickActivate, [&]() -> HRESULT {
        if (container == nullptr || control == nullptr) return E_POINTER;
        // Older containers pass shorter structures; these fields are in all.
        if (container->cbSize < offsetof(QACONTAINER, dwAmbientFlags) + sizeof(DWORD) ||
            control->cbSize < offsetof(QACONTROL, dwPropNotifyCookie) + sizeof(DWORD))
            return E_UNEXPECTED;
        const auto alive = KeepAlive();
        HRESULT hr = SetClientSite(container->pClientSite);
        if (FAILED(hr)) return hr;
        site_.userMode = (container->dwAmbientFlags & QACONTAINER_USERMODE) != 0;
        if (container->pAdviseSink != nullptr) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        DWORD eventCookie = 0, notifyCookie = 0;
        if (container->pUnkEventSink != nullptr) events_.AdviseEvents(container->pUnkEventSink, &eventCookie);
        if (container->pPropertyNotifySink != nullptr)
            events_.AdvisePropertyNotify(container->pPropertyNotifySink, &notifyCookie);
        control->dwMiscStatus = kQuelderMiscStatus;
        control->dwViewStatus = VIEWSTATUS_OPAQUE;
        control->dwEventCookie = eventCookie;
        control->dwPropNotifyCookie = notifyCookie;
        if (control->cbSize >= offsetof(QACONTROL, dwPointerActivationPolicy) + sizeof(DWORD))
            control->dwPointerActivationPolicy = 0;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }

STDMETHODIMP QuelderControl::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

}  // namespace quelder::win32
