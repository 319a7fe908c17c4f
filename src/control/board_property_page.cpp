#include "control/board_property_page.hpp"

#include <commdlg.h>
#include <olectl.h>

#include <iterator>
#include <utility>

#include "com/com_error.hpp"
#include "control/board_extras.hpp"
#include "control/board_squares.hpp"
#include "resources/resource_ids.h"

namespace quelder::win32 {

using com::ComPtr;
using com::Deref;

namespace {

// The dispatch ids of the members of _QuelderBoard the page edits (Quelder.idl).
constexpr DISPID kFlipped = 102, kShowCoordinates = 105, kDragPieces = 111, kAnimationTime = 112,
                 kUserAnnotations = 115, kTypeMoves = 119, kLightSquareColor = 120, kDarkSquareColor = 121,
                 kUseWood = 122;

struct Toggle {
    int control;
    DISPID property;
};
constexpr Toggle kToggleControls[] = {{IDC_PAGE_COORDINATES, kShowCoordinates},
                                      {IDC_PAGE_FLIPPED, kFlipped},
                                      {IDC_PAGE_DRAG, kDragPieces},
                                      {IDC_PAGE_ANNOTATIONS, kUserAnnotations},
                                      {IDC_PAGE_TYPED_MOVES, kTypeMoves}};
static_assert(std::size(kToggleControls) == BoardPropertyPage::kToggleCount);

constexpr wchar_t kTitle[] = L"Board";

// Posted to a page's window that the page let go of on another thread: it
// destroys itself on its own.
constexpr UINT kOrphaned = WM_APP + 1;

HRESULT LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// A property read as a script reads it, converted to type.
void Get(IDispatch& board, DISPID id, VARTYPE type, com::Variant& value) {
    DISPPARAMS none{};
    com::Variant result;
    HRESULT hr = board.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    value.Clear();
    if (SUCCEEDED(hr)) hr = VariantChangeType(&value, &result, 0, type);
    if (FAILED(hr)) throw com::HresultError(hr);
}

// A property set, or a method called (value null), as a script does it; the
// member's failure comes back with its error info.
HRESULT Put(IDispatch& board, DISPID id, VARIANT* value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    if (value != nullptr) params = {value, &named, 1, 1};
    com::ExcepInfo excep;
    HRESULT hr = board.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                              value != nullptr ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD, &params, nullptr, &excep,
                              nullptr);
    if (hr != DISP_E_EXCEPTION) return hr;
    if (excep.pfnDeferredFillIn != nullptr) excep.pfnDeferredFillIn(&excep);
    hr = FAILED(excep.scode) ? excep.scode : com::HresultOf(excep.wCode);
    return com::SetError(hr, excep.bstrDescription != nullptr ? excep.bstrDescription : L"", IID__QuelderBoard);
}

HRESULT PutBool(IDispatch& board, DISPID id, bool on) {
    com::Variant value;
    V_VT(&value) = VT_BOOL;
    V_BOOL(&value) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(board, id, &value);
}

HRESULT PutLong(IDispatch& board, DISPID id, LONG number) {
    com::Variant value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return Put(board, id, &value);
}

// An OLE colour as drawn now.
COLORREF Drawn(LONG colour) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(colour), nullptr, &rgb))) rgb = 0;
    return rgb;
}

// The page's size: its dialog units in pixels of the dialog's font on this
// screen, as the dialog manager reckons them.
SIZE PageSize() {
    handles::ScreenDc screen;
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
    const handles::UniqueFont handle(CreateFontIndirectW(&font));
    LONG baseX = LOWORD(GetDialogBaseUnits()), baseY = HIWORD(GetDialogBaseUnits());
    if (handle) {
        const handles::Selection selected(screen.get(), handle.get());
        TEXTMETRICW metrics{};
        SIZE letters{};
        static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (selected.ok() && GetTextMetricsW(screen.get(), &metrics) &&
            GetTextExtentPoint32W(screen.get(), kLetters, 52, &letters)) {
            baseX = (letters.cx / 26 + 1) / 2;
            baseY = metrics.tmHeight;
        }
    }
    return {MulDiv(BOARD_PAGE_WIDTH, baseX, 4), MulDiv(BOARD_PAGE_HEIGHT, baseY, 8)};
}

}  // namespace

HRESULT BoardPropertyPage::Create(REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    try {
        return Object::Create<BoardPropertyPage>()->QueryInterface(riid, ppv);
    } catch (...) {
        return com::ReportCurrentException(IID_IPropertyPage);
    }
}

BoardPropertyPage::~BoardPropertyPage() { DestroyWindowNow(); }

void BoardPropertyPage::DestroyWindowNow() noexcept {
    if (!window_) return;
    SetWindowLongPtrW(window_.get(), DWLP_USER, 0);
    if (GetWindowThreadProcessId(window_.get(), nullptr) == GetCurrentThreadId()) {
        window_.reset();
    } else {
        PostMessageW(window_.get(), kOrphaned, 0, 0);
        window_.release();
    }
}

// ---- IPropertyPage ------------------------------------------------------------------

STDMETHODIMP BoardPropertyPage::SetPageSite(IPropertyPageSite* site) {
    // The site let go of goes last: its Release may call anything.
    const ComPtr<IPropertyPageSite> old = std::exchange(site_, ComPtr<IPropertyPageSite>(site));
    return S_OK;
}

STDMETHODIMP BoardPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    return com::Guard(IID_IPropertyPage, [&]() -> HRESULT {
        if (count > 0 && objects == nullptr) return E_POINTER;
        const ComPtr<BoardPropertyPage> alive(this);
        std::vector<ComPtr<_QuelderBoard>> boards;
        boards.reserve(count);
        for (ULONG i = 0; i < count; ++i) {
            if (objects[i] == nullptr) return E_INVALIDARG;
            ComPtr<_QuelderBoard> board;
            if (FAILED(objects[i]->QueryInterface(IID__QuelderBoard, reinterpret_cast<void**>(board.GetAddressOf()))))
                return E_NOINTERFACE;
            boards.push_back(std::move(board));
        }
        // An open page shows the new boards' values; what was changed for
        // the others is forgotten.
        const bool shown = static_cast<bool>(window_) && !boards.empty();
        Values values = shown ? ReadFrom(*boards.front().Get()) : Values{};
        // The boards let go of go last.
        std::swap(boards_, boards);
        values_ = std::move(values);
        read_ = shown;
        changed_ = 0;
        if (window_) ShowValues();
        return S_OK;
    });
}

STDMETHODIMP BoardPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    return com::Guard(IID_IPropertyPage, [&]() -> HRESULT {
        if (rect == nullptr) return E_POINTER;
        if (window_) return E_UNEXPECTED;
        const ComPtr<BoardPropertyPage> alive(this);
        // The first board's values, read once: values the user changed and
        // did not apply yet are shown again.
        if (!read_ && !boards_.empty()) {
            const ComPtr<_QuelderBoard> first = boards_.front();
            values_ = ReadFrom(*first.Get());
            read_ = true;
            // The board may have called out to its host, and the frame
            // opened the page meanwhile.
            if (window_) return E_UNEXPECTED;
        }
        const HWND window = CreateDialogParamW(com::Module::Instance(), MAKEINTRESOURCEW(IDD_BOARD_PAGE), parent,
                                               DialogProc, reinterpret_cast<LPARAM>(this));
        if (window == nullptr) return LastError();
        window_.reset(window);
        ShowValues();
        MoveWindow(window, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    });
}

STDMETHODIMP BoardPropertyPage::Deactivate() {
    DestroyWindowNow();
    return S_OK;
}

STDMETHODIMP BoardPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    return com::Guard(IID_IPropertyPage, [&]() -> HRESULT {
        PROPPAGEINFO& out = Deref(info);
        const SIZE size = PageSize();
        auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
        if (title == nullptr) return E_OUTOFMEMORY;
        lstrcpyW(title, kTitle);
        out = PROPPAGEINFO{};
        out.cb = sizeof out;
        out.pszTitle = title;
        out.size = size;
        return S_OK;
    });
}

STDMETHODIMP BoardPropertyPage::Show(UINT command) {
    if (!window_) return E_UNEXPECTED;
    ShowWindow(window_.get(), static_cast<int>(command));
    return S_OK;
}

STDMETHODIMP BoardPropertyPage::Move(LPCRECT rect) {
    if (rect == nullptr) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    MoveWindow(window_.get(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP BoardPropertyPage::IsPageDirty() { return changed_ != 0 ? S_OK : S_FALSE; }

STDMETHODIMP BoardPropertyPage::Apply() {
    return com::Guard(IID_IPropertyPage, [&]() -> HRESULT {
        if (changed_ == 0) return S_OK;
        // The boards' members may call out to their hosts, which may change
        // the page meanwhile (its boards, its values): what is written is
        // what the page held when Apply began.
        const ComPtr<BoardPropertyPage> alive(this);
        const std::vector<ComPtr<_QuelderBoard>> boards = boards_;
        const Values values = values_;
        const unsigned changed = changed_;
        const unsigned long changes = changes_;
        for (const ComPtr<_QuelderBoard>& board : boards) {
            const HRESULT hr = WriteTo(*board.Get(), values, changed);
            if (FAILED(hr)) return hr;
        }
        // Clean, unless the user changed something while the boards ran.
        if (changes_ == changes) changed_ = 0;
        return S_OK;
    });
}

STDMETHODIMP BoardPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP BoardPropertyPage::TranslateAccelerator(MSG* message) {
    if (message == nullptr) return E_POINTER;
    const HWND window = window_.get();
    if (window == nullptr || (message->hwnd != window && !IsChild(window, message->hwnd))) return S_FALSE;
    return IsDialogMessageW(window, message) ? S_OK : S_FALSE;
}

// ---- the boards -------------------------------------------------------------------

BoardPropertyPage::Values BoardPropertyPage::ReadFrom(IDispatch& board) {
    Values values;
    com::Variant value;
    Get(board, kAnimationTime, VT_BSTR, value);
    values.animationTime.assign(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    for (std::size_t i = 0; i < kToggleCount; ++i) {
        Get(board, kToggleControls[i].property, VT_BOOL, value);
        values.toggles[i] = V_BOOL(&value) != VARIANT_FALSE;
    }
    Get(board, kLightSquareColor, VT_I4, value);
    values.light = V_I4(&value);
    Get(board, kDarkSquareColor, VT_I4, value);
    values.dark = V_I4(&value);
    // A board of this module says; one in another apartment is taken for
    // wood when it reads both colours at their defaults.
    ComPtr<IBoardSquares> squares;
    BOOL wood = FALSE;
    if (SUCCEEDED(board.QueryInterface(__uuidof(IBoardSquares), reinterpret_cast<void**>(squares.GetAddressOf()))) &&
        SUCCEEDED(squares->GetWood(&wood)))
        values.wood = wood != FALSE;
    else
        values.wood = values.light == BoardExtras::kDefaultLightColour && values.dark == BoardExtras::kDefaultDarkColour;
    return values;
}

HRESULT BoardPropertyPage::WriteTo(IDispatch& board, const Values& values, unsigned changed) {
    HRESULT hr = S_OK;
    // The animation time first: the one value a board may refuse, before
    // anything else changed.
    if ((changed & kAnimationChanged) != 0) {
        com::Variant text;
        V_VT(&text) = VT_BSTR;
        V_BSTR(&text) = com::Bstr(values.animationTime).release();
        if (FAILED(hr = Put(board, kAnimationTime, &text))) return hr;
    }
    for (std::size_t i = 0; i < kToggleCount; ++i)
        if ((changed & (kFirstToggleChanged << i)) != 0 &&
            FAILED(hr = PutBool(board, kToggleControls[i].property, values.toggles[i])))
            return hr;
    if (values.wood) {
        if ((changed & kWoodChanged) != 0) hr = Put(board, kUseWood, nullptr);
        return hr;
    }
    // Flat squares: the colours changed, and both when the board was in wood.
    if ((changed & (kWoodChanged | kLightChanged)) != 0 && FAILED(hr = PutLong(board, kLightSquareColor, values.light)))
        return hr;
    if ((changed & (kWoodChanged | kDarkChanged)) != 0) hr = PutLong(board, kDarkSquareColor, values.dark);
    return hr;
}

// ---- the window -------------------------------------------------------------------

INT_PTR CALLBACK BoardPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return FALSE;  // the frame sets the focus
    }
    auto* page = reinterpret_cast<BoardPropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (page == nullptr) {
        if (message == kOrphaned) DestroyWindow(window);
        return FALSE;
    }
    // The frame may let go of the page while a message runs (told of a
    // change, or while the colour dialog is open): it lives until the end.
    const ComPtr<BoardPropertyPage> alive(page);
    try {
        return page->OnMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR BoardPropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item == nullptr || (item->CtlID != IDC_PAGE_LIGHT_SWATCH && item->CtlID != IDC_PAGE_DARK_SWATCH))
                return FALSE;
            DrawSwatch(*item);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void BoardPropertyPage::OnCommand(int control, int notification) {
    const HWND window = window_.get();
    if (window == nullptr) return;
    if (control == IDC_PAGE_ANIMATION && notification == EN_CHANGE) {
        const HWND edit = GetDlgItem(window, IDC_PAGE_ANIMATION);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        values_.animationTime = std::move(text);
        Changed(kAnimationChanged);
        return;
    }
    if (notification != BN_CLICKED) return;
    for (std::size_t i = 0; i < kToggleCount; ++i) {
        if (control != kToggleControls[i].control) continue;
        values_.toggles[i] = IsDlgButtonChecked(window, control) == BST_CHECKED;
        Changed(kFirstToggleChanged << i);
        return;
    }
    switch (control) {
        case IDC_PAGE_WOOD:
        case IDC_PAGE_FLAT:
            if (const bool wood = IsDlgButtonChecked(window, IDC_PAGE_WOOD) == BST_CHECKED; wood != values_.wood) {
                values_.wood = wood;
                Changed(kWoodChanged);
            }
            return;
        case IDC_PAGE_LIGHT_CHOOSE:
        case IDC_PAGE_DARK_CHOOSE:
            ChooseColour(control == IDC_PAGE_LIGHT_CHOOSE);
            return;
        default:
            return;
    }
}

void BoardPropertyPage::ShowValues() {
    const HWND window = window_.get();
    showing_ = true;
    CheckRadioButton(window, IDC_PAGE_WOOD, IDC_PAGE_FLAT, values_.wood ? IDC_PAGE_WOOD : IDC_PAGE_FLAT);
    for (std::size_t i = 0; i < kToggleCount; ++i)
        CheckDlgButton(window, kToggleControls[i].control, values_.toggles[i] ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(window, IDC_PAGE_ANIMATION, values_.animationTime.c_str());
    showing_ = false;
    InvalidateRect(GetDlgItem(window, IDC_PAGE_LIGHT_SWATCH), nullptr, TRUE);
    InvalidateRect(GetDlgItem(window, IDC_PAGE_DARK_SWATCH), nullptr, TRUE);
}

void BoardPropertyPage::DrawSwatch(const DRAWITEMSTRUCT& item) const {
    const LONG colour = item.CtlID == IDC_PAGE_LIGHT_SWATCH ? values_.light : values_.dark;
    const handles::UniqueBrush brush(CreateSolidBrush(Drawn(colour)));
    RECT inside = item.rcItem;
    FrameRect(item.hDC, &inside, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&inside, -1, -1);
    if (brush) FillRect(item.hDC, &inside, brush.get());
}

void BoardPropertyPage::ChooseColour(bool light) {
    // The colour dialog's library is loaded when the user asks for it: the
    // hosts that run the board never load it.
    const handles::UniqueModule dialogs(LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    const auto chooseColor = reinterpret_cast<decltype(&ChooseColorW)>(
        dialogs ? reinterpret_cast<void*>(GetProcAddress(dialogs.get(), "ChooseColorW")) : nullptr);
    if (chooseColor == nullptr) return;
    const HWND owner = window_.get();
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = owner;
    choose.rgbResult = Drawn(light ? values_.light : values_.dark);
    choose.lpCustColors = customColours_.data();
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!chooseColor(&choose)) return;
    // The frame may have closed the page while the dialog was open.
    if (window_.get() != owner) return;
    (light ? values_.light : values_.dark) = static_cast<LONG>(choose.rgbResult);
    unsigned what = light ? kLightChanged : kDarkChanged;
    if (values_.wood) {
        values_.wood = false;
        what |= kWoodChanged;
    }
    showing_ = true;
    CheckRadioButton(owner, IDC_PAGE_WOOD, IDC_PAGE_FLAT, IDC_PAGE_FLAT);
    showing_ = false;
    InvalidateRect(GetDlgItem(owner, light ? IDC_PAGE_LIGHT_SWATCH : IDC_PAGE_DARK_SWATCH), nullptr, TRUE);
    Changed(what);
}

void BoardPropertyPage::Changed(unsigned what) {
    if (showing_) return;
    changed_ |= what;
    ++changes_;
    if (!site_) return;
    const ComPtr<IPropertyPageSite> site = site_;
    site->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

}  // namespace quelder::win32
