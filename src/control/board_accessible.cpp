#include "control/board_accessible.hpp"

#include <utility>
#include <vector>

#include "com/com_error.hpp"
#include "com/connection_point.hpp"

namespace quelder::win32 {

using com::Bstr;
using com::ComPtr;
using com::HresultError;
using com::Out;

namespace {

constexpr long kCells = 64;
constexpr wchar_t kBoardName[] = L"Chess board";
constexpr wchar_t kMarkedValue[] = L"marked";
constexpr wchar_t kDestinationValue[] = L"legal destination";
constexpr wchar_t kClickAction[] = L"Click";

// The children: the cells, then the promotion chooser's items while it is
// open.
long ChildCount(const AccessibleSquares& squares) { return kCells + static_cast<long>(squares.Chooser().size()); }
bool IsItem(long child) { return child > kCells; }

// The child a VARIANT names: CHILDID_SELF (0), a cell 1..64 or an item of the
// chooser. E_INVALIDARG for any other number or a type other than VT_I4.
std::int16_t ChildOf(const VARIANT& child, const AccessibleSquares& squares) {
    if (V_VT(&child) != VT_I4 || V_I4(&child) < CHILDID_SELF || V_I4(&child) > ChildCount(squares))
        throw HresultError(E_INVALIDARG);
    return static_cast<std::int16_t>(V_I4(&child));
}

// A cell's or an item's child id, never CHILDID_SELF.
std::int16_t CellOf(const VARIANT& child, const AccessibleSquares& squares) {
    const std::int16_t cell = ChildOf(child, squares);
    if (cell == CHILDID_SELF) throw HresultError(E_INVALIDARG);
    return cell;
}

void SetChild(VARIANT& out, long child) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = child;
}

// A point of the screen in the window's client coordinates, or nothing when
// it lies outside the client area.
bool InClientArea(HWND window, POINT& point) {
    RECT client{};
    if (window == nullptr || !GetClientRect(window, &client) || !ScreenToClient(window, &point)) return false;
    return PtInRect(&client, point) != FALSE;
}

// A child's rectangle: its square's, for a chooser's item the square it
// shows on.
RECT ChildRect(const AccessibleSquares& squares, std::int16_t child) {
    if (!IsItem(child)) return squares.CellRect(child);
    return squares.CellRect(squares.Chooser().at(static_cast<std::size_t>(child - kCells - 1)).square);
}

// The child shown at a point of the client area (the chooser over the
// cells); 0 for none.
std::int16_t CellAt(const AccessibleSquares& squares, POINT point) {
    for (auto item = static_cast<std::int16_t>(ChildCount(squares)); item > kCells; --item) {
        const RECT rect = ChildRect(squares, item);
        if (PtInRect(&rect, point)) return item;
    }
    for (std::int16_t cell = 1; cell <= kCells; ++cell) {
        const RECT rect = squares.CellRect(cell);
        if (PtInRect(&rect, point)) return cell;
    }
    return 0;
}

// The cell next to a cell's rectangle on one side, as the board is shown
// (a flipped board has its first column on the right); 0 for none.
std::int16_t CellBeside(const AccessibleSquares& squares, std::int16_t cell, long direction) {
    const RECT rect = ChildRect(squares, cell);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    switch (direction) {
    case NAVDIR_LEFT: return CellAt(squares, {rect.left - 1, centre.y});
    case NAVDIR_RIGHT: return CellAt(squares, {rect.right, centre.y});
    case NAVDIR_UP: return CellAt(squares, {centre.x, rect.top - 1});
    case NAVDIR_DOWN: return CellAt(squares, {centre.x, rect.bottom});
    default: return 0;
    }
}

// One child id of a selection, as IEnumVARIANT hands it out.
struct SelectedChild {
    long child;
    VARIANT CopyOut() const {
        VARIANT out{};
        SetChild(out, child);
        return out;
    }
};
using SelectionEnumerator = com::Enumerator<IEnumVARIANT, SelectedChild, VARIANT>;

}  // namespace

template <typename Body>
HRESULT BoardAccessible::Call(Body&& body) noexcept {
    const com::WeakLink::Pin pinned = link_.Take();
    if (!pinned) return RPC_E_DISCONNECTED;
    return com::Guard(IID_IAccessible, std::forward<Body>(body));
}

LRESULT BoardAccessible::Answer(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !link_.Take()) return 0;
    return LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(this));
}

// ---- IDispatch ----------------------------------------------------------------------

STDMETHODIMP BoardAccessible::GetTypeInfoCount(UINT* count) {
    return Call([&] { Out(count) = 0; });
}

STDMETHODIMP BoardAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    return Call([&] {
        Out(info);
        return DISP_E_BADINDEX;
    });
}

STDMETHODIMP BoardAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return Call([] { return E_NOTIMPL; });
}

STDMETHODIMP BoardAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return Call([] { return DISP_E_MEMBERNOTFOUND; });
}

// ---- the table and its cells --------------------------------------------------------

STDMETHODIMP BoardAccessible::get_accParent(IDispatch** parent) {
    return Call([&] {
        IDispatch*& out = Out(parent);
        const HWND window = squares_->AccessibleWindow();
        if (window == nullptr) return S_FALSE;
        ComPtr<IDispatch> found;
        const HRESULT hr = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                                      reinterpret_cast<void**>(found.GetAddressOf()));
        if (FAILED(hr)) throw HresultError(hr);
        out = found.Detach();
        return out != nullptr ? S_OK : S_FALSE;
    });
}

STDMETHODIMP BoardAccessible::get_accChildCount(long* count) {
    return Call([&] { Out(count) = ChildCount(*squares_); });
}

STDMETHODIMP BoardAccessible::get_accChild(VARIANT child, IDispatch** result) {
    // The cells are simple elements: they have no object of their own.
    return Call([&] {
        Out(result);
        CellOf(child, *squares_);
        return S_FALSE;
    });
}

STDMETHODIMP BoardAccessible::get_accName(VARIANT child, BSTR* name) {
    return Call([&] {
        BSTR& out = Out(name);
        const std::int16_t cell = ChildOf(child, *squares_);
        if (IsItem(cell))
            out = Bstr(squares_->Chooser().at(static_cast<std::size_t>(cell - kCells - 1)).name).release();
        else
            out = (cell == CHILDID_SELF ? Bstr(kBoardName) : Bstr(squares_->CellName(cell))).release();
    });
}

STDMETHODIMP BoardAccessible::get_accValue(VARIANT child, BSTR* value) {
    return Call([&] {
        BSTR& out = Out(value);
        const std::int16_t cell = ChildOf(child, *squares_);
        if (cell == CHILDID_SELF || IsItem(cell)) return S_FALSE;
        std::wstring text = squares_->CellMarked(cell) ? kMarkedValue : L"";
        if (squares_->CellDestination(cell)) text += (text.empty() ? L"" : L", ") + std::wstring(kDestinationValue);
        if (text.empty()) return S_FALSE;
        out = Bstr(text).release();
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::get_accDescription(VARIANT child, BSTR* description) {
    return Call([&] {
        Out(description);
        ChildOf(child, *squares_);
        return S_FALSE;
    });
}

STDMETHODIMP BoardAccessible::get_accRole(VARIANT child, VARIANT* role) {
    return Call([&] {
        VARIANT& out = Out(role);
        const std::int16_t cell = ChildOf(child, *squares_);
        SetChild(out, cell == CHILDID_SELF ? ROLE_SYSTEM_TABLE : IsItem(cell) ? ROLE_SYSTEM_MENUITEM : ROLE_SYSTEM_CELL);
    });
}

STDMETHODIMP BoardAccessible::get_accState(VARIANT child, VARIANT* state) {
    return Call([&] {
        VARIANT& out = Out(state);
        const std::int16_t cell = ChildOf(child, *squares_);
        long bits = STATE_SYSTEM_FOCUSABLE;
        if (cell == CHILDID_SELF) {
            const HWND window = squares_->AccessibleWindow();
            if (window == nullptr || !IsWindowVisible(window)) bits |= STATE_SYSTEM_INVISIBLE;
            if (window != nullptr && !IsWindowEnabled(window)) bits |= STATE_SYSTEM_UNAVAILABLE;
            // The focus is the table's while no cell has it.
            if (window != nullptr && GetFocus() == window && squares_->FocusedCell() == 0) bits |= STATE_SYSTEM_FOCUSED;
        } else if (IsItem(cell)) {
            if (squares_->FocusedCell() == cell) bits |= STATE_SYSTEM_FOCUSED;
        } else {
            bits |= STATE_SYSTEM_SELECTABLE;
            if (squares_->CellSelected(cell)) bits |= STATE_SYSTEM_SELECTED;
            if (squares_->FocusedCell() == cell) bits |= STATE_SYSTEM_FOCUSED;
        }
        SetChild(out, bits);
    });
}

STDMETHODIMP BoardAccessible::get_accHelp(VARIANT child, BSTR* help) {
    return Call([&] {
        Out(help);
        ChildOf(child, *squares_);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP BoardAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    return Call([&] {
        Out(file);
        Out(topic) = -1;
        ChildOf(child, *squares_);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP BoardAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return Call([&] {
        Out(shortcut);
        ChildOf(child, *squares_);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP BoardAccessible::get_accFocus(VARIANT* child) {
    return Call([&] {
        VARIANT& out = Out(child);
        const HWND window = squares_->AccessibleWindow();
        if (const std::int16_t cell = squares_->FocusedCell(); cell != 0)
            SetChild(out, cell);
        else if (window != nullptr && GetFocus() == window)
            SetChild(out, CHILDID_SELF);
    });
}

STDMETHODIMP BoardAccessible::get_accSelection(VARIANT* children) {
    return Call([&] {
        VARIANT& out = Out(children);
        std::vector<SelectedChild> selected;
        for (std::int16_t cell = 1; cell <= kCells; ++cell)
            if (squares_->CellSelected(cell)) selected.push_back({cell});
        if (selected.size() == 1) {
            SetChild(out, selected.front().child);
        } else if (selected.size() > 1) {
            V_UNKNOWN(&out) = SelectionEnumerator::Create<SelectionEnumerator>(std::move(selected)).Detach();
            V_VT(&out) = VT_UNKNOWN;
        }
    });
}

STDMETHODIMP BoardAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    return Call([&] {
        BSTR& out = Out(action);
        const std::int16_t cell = ChildOf(child, *squares_);
        if (cell == CHILDID_SELF || IsItem(cell)) return S_FALSE;
        out = Bstr(kClickAction).release();
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::accSelect(long, VARIANT child) {
    // The selection is the program's; a client changes it by the default
    // action, as the user does.
    return Call([&] {
        ChildOf(child, *squares_);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP BoardAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    return Call([&] {
        long& x = Out(left);
        long& y = Out(top);
        long& cx = Out(width);
        long& cy = Out(height);
        const std::int16_t cell = ChildOf(child, *squares_);
        const HWND window = squares_->AccessibleWindow();
        if (window == nullptr) return S_FALSE;
        RECT rect{};
        if (cell != CHILDID_SELF)
            rect = ChildRect(*squares_, cell);
        else if (!GetClientRect(window, &rect))
            throw HresultError(HRESULT_FROM_WIN32(GetLastError()));
        POINT origin{rect.left, rect.top};
        if (!ClientToScreen(window, &origin)) throw HresultError(E_FAIL);
        x = origin.x, y = origin.y, cx = rect.right - rect.left, cy = rect.bottom - rect.top;
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    return Call([&] {
        VARIANT& out = Out(end);
        const std::int16_t from = ChildOf(start, *squares_);
        long to = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
            if (from != CHILDID_SELF) throw HresultError(E_INVALIDARG);
            to = direction == NAVDIR_FIRSTCHILD ? 1 : kCells;
            break;
        case NAVDIR_NEXT:
        case NAVDIR_PREVIOUS:
            // The table's own siblings are its parent's to tell.
            if (from != CHILDID_SELF) to = direction == NAVDIR_NEXT ? from + 1 : from - 1;
            break;
        case NAVDIR_LEFT:
        case NAVDIR_RIGHT:
        case NAVDIR_UP:
        case NAVDIR_DOWN:
            if (from != CHILDID_SELF) to = CellBeside(*squares_, from, direction);
            break;
        default:
            throw HresultError(E_INVALIDARG);
        }
        if (to < 1 || to > ChildCount(*squares_) || IsItem(to) != IsItem(from)) return S_FALSE;
        SetChild(out, to);
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::accHitTest(long x, long y, VARIANT* child) {
    return Call([&] {
        VARIANT& out = Out(child);
        POINT point{x, y};
        if (!InClientArea(squares_->AccessibleWindow(), point)) return S_FALSE;
        SetChild(out, CellAt(*squares_, point));
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::accDoDefaultAction(VARIANT child) {
    return Call([&] {
        const std::int16_t cell = ChildOf(child, *squares_);
        if (cell == CHILDID_SELF || IsItem(cell)) return DISP_E_MEMBERNOTFOUND;
        squares_->ClickCell(cell);
        return S_OK;
    });
}

STDMETHODIMP BoardAccessible::put_accName(VARIANT, BSTR) {
    return Call([] { return E_NOTIMPL; });
}

STDMETHODIMP BoardAccessible::put_accValue(VARIANT child, BSTR) {
    return Call([&] {
        ChildOf(child, *squares_);
        return DISP_E_MEMBERNOTFOUND;
    });
}

}  // namespace quelder::win32
