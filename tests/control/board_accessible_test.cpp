// The board's accessible object as a screen reader reaches it: through the
// system's oleacc, from a real window that answers WM_GETOBJECT with it, over
// a stand-in board shown flipped (child 1 at the bottom right).
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "com/com_base.hpp"
#include "handles/win_handles.hpp"
#include "control/board_accessible.hpp"
#include "support/win_test_support.hpp"

namespace {

using namespace quelder;
using com::Bstr;
using com::ComPtr;
using com::Variant;
using win32::BoardAccessible;

constexpr int kLeft = 60, kTop = 40, kCell = 40;
// The board fills 320 x 320 of the client area; the strip on its right is the
// table's own.
constexpr int kWidth = 360, kHeight = 320;

struct StandIn final : win32::AccessibleSquares {
    HWND AccessibleWindow() const override { return window; }
    std::wstring CellName(std::int16_t child) const override { return L"square " + std::to_wstring(child); }
    bool CellSelected(std::int16_t child) const override { return selected.count(child) != 0; }
    bool CellMarked(std::int16_t child) const override { return marked.count(child) != 0; }
    std::int16_t FocusedCell() const override { return focused; }
    RECT CellRect(std::int16_t child) const override {
        const int left = (7 - (child - 1) % 8) * kCell, top = (7 - (child - 1) / 8) * kCell;
        return {left, top, left + kCell, top + kCell};
    }
    void ClickCell(std::int16_t child) override { clicks.push_back(child); }

    HWND window = nullptr;
    std::set<std::int16_t> selected, marked;
    std::int16_t focused = 0;
    std::vector<std::int16_t> clicks;
};

LRESULT CALLBACK BoardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* accessible = reinterpret_cast<BoardAccessible*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_GETOBJECT && accessible != nullptr)
        if (const LRESULT answer = accessible->Answer(wParam, lParam)) return answer;
    return DefWindowProcW(window, message, wParam, lParam);
}

VARIANT Child(long id) {
    VARIANT v{};
    V_VT(&v) = VT_I4;
    V_I4(&v) = id;
    return v;
}

// A VARIANT as "VT_I4 10", "VT_EMPTY", or its type alone.
std::string Show(const VARIANT& v) {
    if (V_VT(&v) == VT_I4) return "VT_I4 " + std::to_string(V_I4(&v));
    return V_VT(&v) == VT_EMPTY ? "VT_EMPTY" : "VT " + std::to_string(V_VT(&v));
}

// The child ids a VT_UNKNOWN selection enumerates.
std::vector<long> Enumerated(const VARIANT& selection) {
    std::vector<long> ids;
    ComPtr<IEnumVARIANT> items;
    if (V_VT(&selection) != VT_UNKNOWN ||
        FAILED(V_UNKNOWN(&selection)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(items.GetAddressOf()))))
        return ids;
    VARIANT item[70]{};
    ULONG fetched = 0;
    items->Next(70, item, &fetched);
    for (ULONG i = 0; i < fetched; ++i) ids.push_back(V_VT(&item[i]) == VT_I4 ? V_I4(&item[i]) : -1);
    return ids;
}

TEST(BoardAccessibleTest, AScreenReaderReadsTheCellsFindsThemAndClicksThemUntilTheBoardGoes) {
    const quelder::testing::ComApartment apartment;
    ASSERT_TRUE(SUCCEEDED(apartment.hr)) << std::hex << apartment.hr;
    StandIn board;
    const ComPtr<BoardAccessible> ours = BoardAccessible::Create<BoardAccessible>(board);

    WNDCLASSW wc{};
    wc.lpfnWndProc = &BoardProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BoardAccessibleTest";
    RegisterClassW(&wc);
    handles::UniqueWindow window(CreateWindowExW(0, wc.lpszClassName, L"board", WS_POPUP | WS_VISIBLE, kLeft, kTop,
                                                 kWidth, kHeight, nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window) << GetLastError();
    board.window = window.get();
    SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ours.Get()));
    SetForegroundWindow(window.get());
    SetFocus(window.get());

    ComPtr<IAccessible> acc;
    ASSERT_EQ(AccessibleObjectFromWindow(window.get(), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(acc.GetAddressOf())),
              S_OK);
    ASSERT_TRUE(acc);

    // The table.
    const VARIANT self = Child(CHILDID_SELF);
    Variant role, state;
    Bstr name;
    long count = 0, x = 0, y = 0, cx = 0, cy = 0;
    EXPECT_EQ(acc->get_accRole(self, &role), S_OK);
    EXPECT_EQ(Show(role), "VT_I4 " + std::to_string(ROLE_SYSTEM_TABLE));
    EXPECT_EQ(acc->get_accName(self, name.put()), S_OK);
    EXPECT_EQ(name.view(), L"Chess board");
    EXPECT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 64);
    EXPECT_EQ(acc->accLocation(&x, &y, &cx, &cy, self), S_OK);
    EXPECT_EQ(std::vector<long>({x, y, cx, cy}), std::vector<long>({kLeft, kTop, kWidth, kHeight}));
    EXPECT_EQ(acc->get_accState(self, &state), S_OK);
    EXPECT_EQ(Show(state), "VT_I4 " + std::to_string(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED));

    // The cells: names, states, values and places on the screen.
    board.selected = {1, 10};
    board.marked = {10};
    board.focused = 64;
    constexpr long kPlain = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    struct Cell {
        long child;
        const wchar_t* name;
        long state;
        const wchar_t* value;  // null: none (S_FALSE)
        int left, top;         // in the client area
    };
    for (const Cell& c : {Cell{1, L"square 1", kPlain | STATE_SYSTEM_SELECTED, nullptr, 280, 280},
                          Cell{10, L"square 10", kPlain | STATE_SYSTEM_SELECTED, L"marked", 240, 240},
                          Cell{37, L"square 37", kPlain, nullptr, 120, 120},
                          Cell{64, L"square 64", kPlain | STATE_SYSTEM_FOCUSED, nullptr, 0, 0}}) {
        const VARIANT child = Child(c.child);
        Variant cellRole, cellState;
        Bstr cellName, value, action;
        ComPtr<IDispatch> object;
        EXPECT_EQ(acc->get_accRole(child, &cellRole), S_OK) << "child " << c.child;
        EXPECT_EQ(Show(cellRole), "VT_I4 " + std::to_string(ROLE_SYSTEM_CELL)) << "child " << c.child;
        EXPECT_EQ(acc->get_accName(child, cellName.put()), S_OK) << "child " << c.child;
        EXPECT_EQ(cellName.view(), c.name) << "child " << c.child;
        EXPECT_EQ(acc->get_accState(child, &cellState), S_OK) << "child " << c.child;
        EXPECT_EQ(Show(cellState), "VT_I4 " + std::to_string(c.state)) << "child " << c.child;
        EXPECT_EQ(acc->get_accValue(child, value.put()), c.value ? S_OK : S_FALSE) << "child " << c.child;
        EXPECT_EQ(value.view(), c.value ? c.value : L"") << "child " << c.child;
        EXPECT_EQ(acc->get_accDefaultAction(child, action.put()), S_OK) << "child " << c.child;
        EXPECT_EQ(action.view(), L"Click") << "child " << c.child;
        EXPECT_EQ(acc->get_accChild(child, object.GetAddressOf()), S_FALSE) << "child " << c.child;
        EXPECT_FALSE(object) << "child " << c.child;
        EXPECT_EQ(acc->accLocation(&x, &y, &cx, &cy, child), S_OK) << "child " << c.child;
        EXPECT_EQ(std::vector<long>({x, y, cx, cy}), std::vector<long>({kLeft + c.left, kTop + c.top, kCell, kCell}))
            << "child " << c.child;
    }

    // Points of the screen and moves between cells, as the board is shown.
    struct Hit {
        int x, y;  // in the client area
        std::string found;
    };
    for (const Hit& h : {Hit{260, 260, "VT_I4 10"}, Hit{5, 315, "VT_I4 8"}, Hit{340, 100, "VT_I4 0"},
                         Hit{kWidth + 5, 100, "VT_EMPTY"}}) {
        Variant found;
        EXPECT_EQ(acc->accHitTest(kLeft + h.x, kTop + h.y, &found), h.found == "VT_EMPTY" ? S_FALSE : S_OK) << h.x;
        EXPECT_EQ(Show(found), h.found) << "at " << h.x << ", " << h.y;
    }
    struct Move {
        long direction, from;
        std::string to;
    };
    for (const Move& m : {Move{NAVDIR_FIRSTCHILD, 0, "VT_I4 1"}, Move{NAVDIR_LASTCHILD, 0, "VT_I4 64"},
                          Move{NAVDIR_NEXT, 10, "VT_I4 11"}, Move{NAVDIR_PREVIOUS, 1, "VT_EMPTY"},
                          Move{NAVDIR_RIGHT, 10, "VT_I4 9"}, Move{NAVDIR_UP, 10, "VT_I4 18"},
                          Move{NAVDIR_RIGHT, 9, "VT_EMPTY"}}) {
        Variant to;
        acc->accNavigate(m.direction, Child(m.from), &to);
        EXPECT_EQ(Show(to), m.to) << "direction " << m.direction << " from " << m.from;
    }

    // The focus: a cell, the table, or nothing here.
    for (const auto& [cell, focusHere, expected] : {std::tuple{std::int16_t{64}, true, "VT_I4 64"},
                                                     std::tuple{std::int16_t{0}, true, "VT_I4 0"},
                                                     std::tuple{std::int16_t{0}, false, "VT_EMPTY"}}) {
        board.focused = cell;
        SetFocus(focusHere ? window.get() : nullptr);
        Variant focus;
        EXPECT_EQ(acc->get_accFocus(&focus), S_OK);
        EXPECT_EQ(Show(focus), expected) << "focused cell " << cell << ", window focused " << focusHere;
    }

    // The selection: none, one cell, or an enumeration of them.
    for (const auto& [selected, expected, enumerated] :
         {std::tuple{std::set<std::int16_t>{}, "VT_EMPTY", std::vector<long>{}},
          std::tuple{std::set<std::int16_t>{10}, "VT_I4 10", std::vector<long>{}},
          std::tuple{std::set<std::int16_t>{1, 10}, "VT 13", std::vector<long>{1, 10}}}) {
        board.selected = selected;
        Variant selection;
        EXPECT_EQ(acc->get_accSelection(&selection), S_OK);
        EXPECT_EQ(Show(selection), expected) << selected.size() << " selected";
        EXPECT_EQ(Enumerated(selection), enumerated) << selected.size() << " selected";
    }

    // The default action clicks the cell; bad children and pointers do nothing.
    EXPECT_EQ(acc->accDoDefaultAction(Child(12)), S_OK);
    VARIANT wrongType{};
    V_VT(&wrongType) = VT_I2;
    V_I2(&wrongType) = 3;
    for (const VARIANT& bad : {Child(65), Child(-1), wrongType, VARIANT{}}) {
        Bstr badName;
        EXPECT_EQ(acc->get_accName(bad, badName.put()), E_INVALIDARG) << Show(bad);
        EXPECT_EQ(acc->accDoDefaultAction(bad), E_INVALIDARG) << Show(bad);
        EXPECT_EQ(acc->accLocation(&x, &y, &cx, &cy, bad), E_INVALIDARG) << Show(bad);
    }
    EXPECT_EQ(acc->get_accChild(self, nullptr), E_POINTER);
    EXPECT_EQ(acc->get_accChildCount(nullptr), E_POINTER);
    EXPECT_EQ(board.clicks, std::vector<std::int16_t>{12});

    // The board goes: the object a client still holds fails and does nothing,
    // and the window offers the system's object instead.
    ours->Disconnect();
    EXPECT_EQ(acc->get_accChildCount(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(acc->get_accName(self, name.put()), RPC_E_DISCONNECTED);
    EXPECT_EQ(acc->accDoDefaultAction(Child(12)), RPC_E_DISCONNECTED);
    EXPECT_EQ(board.clicks, std::vector<std::int16_t>{12});
    ComPtr<IAccessible> standard;
    Variant standardRole;
    ASSERT_EQ(AccessibleObjectFromWindow(window.get(), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(standard.GetAddressOf())),
              S_OK);
    standard->get_accRole(self, &standardRole);
    EXPECT_EQ(Show(standardRole), "VT_I4 " + std::to_string(ROLE_SYSTEM_CLIENT));
}

}  // namespace
