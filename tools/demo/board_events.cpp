#include "board_events.hpp"

#include <cwchar>

namespace quelder::demo {

namespace {

const wchar_t* KindName(EventKind kind) {
    switch (kind) {
    case EventKind::Click: return L"Click";
    case EventKind::DblClick: return L"DblClick";
    case EventKind::MouseDown: return L"MouseDown";
    case EventKind::MouseMove: return L"MouseMove";
    case EventKind::MouseUp: return L"MouseUp";
    case EventKind::PieceDropped: return L"PieceDropped";
    case EventKind::KeyDown: return L"KeyDown";
    case EventKind::AnnotationsChanged: return L"AnnotationsChanged";
    }
    return L"?";
}

// Argument position (0 = first) of an Invoke call, converted to type.
bool ReadArgument(const DISPPARAMS& params, UINT position, VARTYPE type, VARIANT& out) {
    if (position >= params.cArgs) return false;
    // IDispatch passes the arguments last first; VariantChangeType looks
    // through VT_BYREF.
    VARIANTARG& arg = params.rgvarg[params.cArgs - 1 - position];
    return SUCCEEDED(VariantChangeType(&out, &arg, 0, type));
}

bool ReadShort(const DISPPARAMS& params, UINT position, short& value) {
    com::Variant v;
    if (!ReadArgument(params, position, VT_I2, v)) return false;
    value = V_I2(&v);
    return true;
}

bool ReadFloat(const DISPPARAMS& params, UINT position, float& value) {
    com::Variant v;
    if (!ReadArgument(params, position, VT_R4, v)) return false;
    value = V_R4(&v);
    return true;
}

// The number of arguments each event comes with.
UINT ArgumentCount(EventKind kind) {
    switch (kind) {
    case EventKind::Click:
    case EventKind::DblClick:
    case EventKind::KeyDown: return 2;
    case EventKind::PieceDropped: return 5;
    case EventKind::MouseDown:
    case EventKind::MouseMove:
    case EventKind::MouseUp: return 6;
    case EventKind::AnnotationsChanged: return 0;
    }
    return 0;
}

// Reads the arguments of event.kind into event; false at the first that is
// not a number of its type.
bool ReadArguments(const DISPPARAMS& params, BoardEvent& event) {
    switch (event.kind) {
    case EventKind::Click:
    case EventKind::DblClick: return ReadShort(params, 0, event.col) && ReadShort(params, 1, event.row);
    case EventKind::MouseDown:
    case EventKind::MouseMove:
    case EventKind::MouseUp:
        return ReadShort(params, 0, event.col) && ReadShort(params, 1, event.row) &&
               ReadShort(params, 2, event.button) && ReadShort(params, 3, event.shift) &&
               ReadFloat(params, 4, event.x) && ReadFloat(params, 5, event.y);
    case EventKind::PieceDropped:
        // The fifth, Cancel, is the sink's to set, not to read.
        return ReadShort(params, 0, event.col) && ReadShort(params, 1, event.row) &&
               ReadShort(params, 2, event.toCol) && ReadShort(params, 3, event.toRow);
    case EventKind::KeyDown: return ReadShort(params, 0, event.keyCode) && ReadShort(params, 1, event.shift);
    case EventKind::AnnotationsChanged: return true;
    }
    return false;
}

}  // namespace

std::wstring Describe(const BoardEvent& event) {
    wchar_t text[160];
    if (event.kind == EventKind::Click || event.kind == EventKind::DblClick) {
        std::swprintf(text, std::size(text), L"%ls col %d row %d", KindName(event.kind), event.col, event.row);
    } else if (event.kind == EventKind::PieceDropped) {
        std::swprintf(text, std::size(text), L"%ls from col %d row %d to col %d row %d", KindName(event.kind),
                      event.col, event.row, event.toCol, event.toRow);
    } else if (event.kind == EventKind::KeyDown) {
        std::swprintf(text, std::size(text), L"%ls KeyCode %d Shift %d", KindName(event.kind), event.keyCode,
                      event.shift);
    } else if (event.kind == EventKind::AnnotationsChanged) {
        return std::wstring(KindName(event.kind)) + (event.annotations.empty() ? L", none" : L" " + event.annotations);
    } else {
        std::swprintf(text, std::size(text), L"%ls col %d row %d Button %d Shift %d X %g Y %g", KindName(event.kind),
                      event.col, event.row, event.button, event.shift, static_cast<double>(event.x),
                      static_cast<double>(event.y));
    }
    return text;
}

STDMETHODIMP BoardEventSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BoardEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP BoardEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

STDMETHODIMP BoardEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                    UINT* argErr) {
    if (result != nullptr) VariantInit(result);
    if (params == nullptr) return E_POINTER;
    if (id < static_cast<DISPID>(EventKind::Click) || id > static_cast<DISPID>(EventKind::AnnotationsChanged))
        return DISP_E_MEMBERNOTFOUND;
    BoardEvent event;
    event.kind = static_cast<EventKind>(id);
    if (params->cArgs != ArgumentCount(event.kind)) return DISP_E_BADPARAMCOUNT;
    if (!ReadArguments(*params, event)) {
        if (argErr != nullptr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
    }
    // The listener's work (status line, calls back into the control) must not
    // let an exception out of this COM method.
    try {
        if (listener_ != nullptr) listener_->OnBoardEvent(event);
    } catch (...) {
        return E_UNEXPECTED;
    }
    // Cancel, the last argument, comes by reference.
    VARIANTARG& cancel = params->rgvarg[0];
    if (event.kind == EventKind::PieceDropped && event.cancel && V_VT(&cancel) == (VT_BYREF | VT_BOOL) &&
        V_BOOLREF(&cancel) != nullptr)
        *V_BOOLREF(&cancel) = VARIANT_TRUE;
    return S_OK;
}

HRESULT EventConnection::Connect(IUnknown* control, IDispatch* sink) {
    Reset();
    if (control == nullptr || sink == nullptr) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = control->QueryInterface(IID_PPV_ARGS(container.GetAddressOf()));
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID___QuelderBoard, point.GetAddressOf());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr)) return hr;
    point_ = std::move(point);
    cookie_ = cookie;
    return S_OK;
}

void EventConnection::Reset() {
    if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
    cookie_ = 0;
    point_.Reset();
}

}  // namespace quelder::demo
