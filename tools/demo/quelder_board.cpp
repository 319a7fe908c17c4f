#include "quelder_board.hpp"

#include <cwchar>

namespace quelder::demo {

std::wstring LastErrorText(HRESULT hr) {
    std::wstring text;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        com::Bstr description;
        if (SUCCEEDED(info->GetDescription(description.put()))) text = description.view();
    }
    if (text.empty()) {
        wchar_t* system = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
        if (length != 0 && system != nullptr) {
            text.assign(system, length);
            while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
                text.pop_back();
        }
        LocalFree(system);
    }
    wchar_t number[32];
    std::swprintf(number, std::size(number), L" (0x%08lX)", static_cast<unsigned long>(hr));
    return (text.empty() ? L"error" : text) + number;
}

HRESULT QuelderBoard::Piece(Square square, long& piece) {
    if (!control_) return E_POINTER;
    ::PieceNum value = ::None;
    const HRESULT hr = control_->get_Piece(&square.col, &square.row, &value);
    if (SUCCEEDED(hr)) piece = value;
    return hr;
}

HRESULT QuelderBoard::SelectSquare(Square square) {
    if (!control_) return E_POINTER;
    return control_->SelectSquare(&square.col, &square.row);
}

HRESULT QuelderBoard::UnSelectSquare(Square square) {
    if (!control_) return E_POINTER;
    return control_->UnSelectSquare(&square.col, &square.row);
}

HRESULT QuelderBoard::MovePiece(Square from, Square to) {
    if (!control_) return E_POINTER;
    return control_->MovePiece(&from.col, &from.row, &to.col, &to.row);
}

HRESULT QuelderBoard::PutPiece(Square square, long piece) {
    if (!control_) return E_POINTER;
    return control_->put_Piece(&square.col, &square.row, static_cast<::PieceNum>(piece));
}

HRESULT QuelderBoard::PutText(BoardText which, const std::wstring& text) {
    if (!control_) return E_POINTER;
    BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = E_INVALIDARG;
    switch (which) {
    case BoardText::LegalMoves: hr = control_->put_LegalMoves(value); break;
    case BoardText::LastMove: hr = control_->put_LastMove(value); break;
    case BoardText::CheckSquare: hr = control_->put_CheckSquare(value); break;
    }
    SysFreeString(value);
    return hr;
}

HRESULT QuelderBoard::PromotionPiece(long& piece) {
    if (!control_) return E_POINTER;
    ::PieceNum value = ::None;
    const HRESULT hr = control_->get_PromotionPiece(&value);
    if (SUCCEEDED(hr)) piece = value;
    return hr;
}

HRESULT QuelderBoard::Annotations(std::wstring& text) {
    if (!control_) return E_POINTER;
    com::Bstr value;
    const HRESULT hr = control_->get_Annotations(value.put());
    if (SUCCEEDED(hr)) text = value.view();
    return hr;
}

namespace {

HRESULT GetProperty(IDispatch* control, const wchar_t* name, std::optional<Square> square, com::Variant& result) {
    if (control == nullptr) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    // Arguments last first: row, then col.
    VARIANTARG args[2]{};
    V_VT(&args[0]) = VT_I2;
    V_VT(&args[1]) = VT_I2;
    if (square) {
        V_I2(&args[0]) = square->row;
        V_I2(&args[1]) = square->col;
    }
    DISPPARAMS params{square ? args : nullptr, nullptr, square ? 2u : 0u, 0};
    EXCEPINFO excepinfo{};
    UINT argErr = 0;
    hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, &result, &excepinfo,
                         &argErr);
    SysFreeString(excepinfo.bstrSource);
    SysFreeString(excepinfo.bstrDescription);
    SysFreeString(excepinfo.bstrHelpFile);
    return hr;
}

}  // namespace

HRESULT DispatchProperty(IDispatch* control, const wchar_t* name, long& value, std::optional<Square> square) {
    com::Variant result;
    HRESULT hr = GetProperty(control, name, square, result);
    if (FAILED(hr)) return hr;
    com::Variant number;
    hr = VariantChangeType(&number, &result, 0, VT_I4);
    if (FAILED(hr)) return hr;
    value = V_I4(&number);
    return S_OK;
}

HRESULT DispatchProperty(IDispatch* control, const wchar_t* name, std::wstring& value) {
    com::Variant result;
    HRESULT hr = GetProperty(control, name, std::nullopt, result);
    if (FAILED(hr)) return hr;
    com::Variant text;
    hr = VariantChangeType(&text, &result, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    value.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    return S_OK;
}

}  // namespace quelder::demo
