// The board as screen readers and UI Automation see it (MSAA): the window's
// client area is a table named "Chess board" with 64 cells, one per square,
// child id k for square index k (column 1 row 1 is child 1, column 8 row 8
// child 64). Each cell is named for its square and what stands on it, tells
// whether it is selected, focused, marked or a legal destination, and has
// "Click" for its default action. While the promotion chooser is open its
// pieces follow the cells as menu items.
//
// The object asks the board for all of it at each call, so it is never out
// of date. The control may go while a client still holds the object: it is
// cut off then (Disconnect), and its methods fail with RPC_E_DISCONNECTED.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <string>
#include <vector>

#include "com/com_base.hpp"
#include "com/com_ptr.hpp"
#include "com/weak_link.hpp"

namespace quelder::win32 {

// What the accessible object reads of the board, and the one thing it does
// to it. child is 1..64, the square index. Each call of the object pins the
// board first (Pinnable): a board going on another thread is not called.
class AccessibleSquares : public com::Pinnable {
public:
    virtual ~AccessibleSquares() = default;
    bool TryPin() noexcept override { return true; }
    void Unpin() noexcept override {}
    // The control's window; null when it has none.
    virtual HWND AccessibleWindow() const = 0;
    // "e2 white pawn", "e4 empty".
    virtual std::wstring CellName(std::int16_t child) const = 0;
    virtual bool CellSelected(std::int16_t child) const = 0;
    virtual bool CellMarked(std::int16_t child) const = 0;
    // A square the lifted piece may go to (the host gives the moves).
    virtual bool CellDestination(std::int16_t) const { return false; }
    // While the promotion chooser is open: its items, children 65 on, as a
    // menu: "queen", "rook", ..., each on the square it shows on.
    struct ChooserEntry {
        std::wstring name;
        std::int16_t square = 0;
    };
    virtual std::vector<ChooserEntry> Chooser() const { return {}; }
    // The focus square's child while the window has the keyboard focus (the
    // chooser's focused item while it is open); 0 otherwise.
    virtual std::int16_t FocusedCell() const = 0;
    // The square's rectangle in the window's client coordinates, as it is
    // shown (Flipped moves it).
    virtual RECT CellRect(std::int16_t child) const = 0;
    // The default action: a click on the square, as Space or Enter makes it.
    virtual void ClickCell(std::int16_t child) = 0;
};

class BoardAccessible final : public com::Object<IAccessible> {
public:
    explicit BoardAccessible(AccessibleSquares& squares) : squares_(&squares), link_(&squares) {}

    // The board goes: every method fails from now on, and a call running
    // now has the board pinned, so it cannot be going.
    void Disconnect() { link_.CutOff(); }

    // WM_GETOBJECT for the client area (OBJID_CLIENT): the reference for the
    // caller, through LresultFromObject; 0 for other objects, which the
    // window leaves to DefWindowProc.
    LRESULT Answer(WPARAM wParam, LPARAM lParam);

    // IDispatch: the object is reached through its virtual table only.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excepinfo, UINT* argErr) override;

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** result) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* child) override;
    STDMETHODIMP get_accSelection(VARIANT* children) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

private:
    // Runs body with the board pinned, or fails as a disconnected object's
    // methods do once the board has gone.
    template <typename Body>
    HRESULT Call(Body&& body) noexcept;

    AccessibleSquares* const squares_;  // used only while pinned
    com::WeakLink link_;
};

}  // namespace quelder::win32
