#include "quelder_board.hpp"

#include <cwchar>

namespace quelder::demo {

namespace {

// OLE colours (0x00BBGGRR): the control lays them over the squares
// translucently.
constexpr LONG kMoveMark = 0x0000FFFF;   // yellow
constexpr LONG kMoveArrow = 0x00008000;  // green

}  // namespace

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

HRESULT QuelderBoard::ShowMove(Square from, Square to) {
    HRESULT hr = ForgetMoves();
    if (SUCCEEDED(hr)) hr = control_->MarkSquare(from.col, from.row, kMoveMark);
    if (SUCCEEDED(hr)) hr = control_->MarkSquare(to.col, to.row, kMoveMark);
    if (SUCCEEDED(hr)) hr = control_->DrawArrow(from.col, from.row, to.col, to.row, kMoveArrow);
    return hr;
}

HRESULT QuelderBoard::ForgetMoves() {
    if (!control_) return E_POINTER;
    const HRESULT hr = control_->ClearMarks();
    return FAILED(hr) ? hr : control_->ClearArrows();
}

HRESULT DispatchProperty(IDispatch* control, const wchar_t* name, long& value, std::optional<Square> square) {
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
    com::Variant result;
    EXCEPINFO excepinfo{};
    UINT argErr = 0;
    hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, &result, &excepinfo,
                         &argErr);
    SysFreeString(excepinfo.bstrSource);
    SysFreeString(excepinfo.bstrDescription);
    SysFreeString(excepinfo.bstrHelpFile);
    if (FAILED(hr)) return hr;
    com::Variant number;
    hr = VariantChangeType(&number, &result, 0, VT_I4);
    if (FAILED(hr)) return hr;
    value = V_I4(&number);
    return S_OK;
}

}  // namespace quelder::demo
