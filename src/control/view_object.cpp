// Drawing the control into a container's device context (IViewObject2): the
// same pixels the window shows, stretched to the rectangle the container
// names, with or without a window. A container's view advise sink hears
// whenever the picture changes.
#include "control/quelder_control.hpp"

namespace quelder::win32 {

STDMETHODIMP QuelderControl::Draw(DWORD aspect, LONG index, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                                  LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT) return DV_E_DVASPECT;
    if (index != -1) return DV_E_LINDEX;
    // A windowed control is always given its rectangle.
    if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
    const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
    // The board as it stands, never a frame of an animation.
    return Member([&] { window_.Render(dc, area, extras_ ? extras_->FinalPieces() : std::vector<Sprite>{}); },
                  IID_IViewObject);
}

STDMETHODIMP QuelderControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
    return com::Guard(IID_IViewObject2, [&]() -> HRESULT {
        if (colours == nullptr) return E_POINTER;
        *colours = nullptr;
        return S_FALSE;  // no palette of its own
    });
}

// The control draws its current state only.
STDMETHODIMP QuelderControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    return com::Guard(IID_IViewObject2, [&]() -> HRESULT {
        if (freeze != nullptr) *freeze = 0;
        return E_NOTIMPL;
    });
}

STDMETHODIMP QuelderControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP QuelderControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    return com::Guard(IID_IViewObject2, [&]() -> HRESULT {
        const HRESULT hr = view_.Set(aspects, flags, sink);
        if (hr == S_OK && view_.PrimeFirst()) {
            const CallOut out(*this);
            SendViewChange();
        }
        return hr;
    });
}

STDMETHODIMP QuelderControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    return com::Guard(IID_IViewObject2, [&]() -> HRESULT {
        view_.Get(aspects, flags, sink);
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return com::Guard(IID_IViewObject2, [&]() -> HRESULT {
        if (size == nullptr || (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT)) return E_INVALIDARG;
        *size = Extent();
        return S_OK;
    });
}

}  // namespace quelder::win32
