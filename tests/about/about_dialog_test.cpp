// frmAbout: loading and unloading, captions, layout and colours, the picture,
// and the keyboard under a host loop that knows nothing of dialogs.
#include <gtest/gtest.h>

#include <string>

#include "about/about_dialog.hpp"
#include "about/about_test_support.hpp"
#include "about/sys_info.hpp"

using quelder::about::About;
using quelder::about::AboutPicture;
using quelder::about::AboutWindow;
using quelder::about::kSysInfoUnavailable;
namespace id = quelder::about::control_id;
namespace t = quelder::about::testing;

namespace {

struct Dpi {
    int x = 96, y = 96;
    Dpi() {
        const HDC screen = GetDC(nullptr);
        x = GetDeviceCaps(screen, LOGPIXELSX);
        y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    int X(int twips) const { return MulDiv(twips, x, 1440); }
    int Y(int twips) const { return MulDiv(twips, y, 1440); }
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

BOOL CALLBACK CountForm(HWND window, LPARAM counted) {
    if (t::ClassOf(window) == L"QuelderAboutForm") ++*reinterpret_cast<int*>(counted);
    return TRUE;
}

int CountFormsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountForm, reinterpret_cast<LPARAM>(&count));
    return count;
}

class AboutTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (HWND open = AboutWindow()) DestroyWindow(open);
        t::PumpFor(20);
    }

    static HWND Open(HINSTANCE resources = GetModuleHandleW(nullptr)) {
        About(resources);
        t::PumpFor(50);
        return AboutWindow();
    }
    static HWND Item(int control) { return GetDlgItem(AboutWindow(), control); }
    static std::wstring ItemText(int control) { return t::WindowText(Item(control)); }
    static void Repaint(HWND window) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        t::PumpFor(50);
    }

    const Dpi dpi_;
};

TEST_F(AboutTest, ShowsTheFormWithoutWaitingAndSetsItsCaptions) {
    About(GetModuleHandleW(nullptr));
    const HWND form = AboutWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(IsWindowVisible(form)) << "About returned while the form was still hidden";
    EXPECT_EQ(t::WindowText(form), L"About Quelder ActiveX");
    EXPECT_EQ(ItemText(id::lblTitle), L"Quelder ActiveX");
    EXPECT_EQ(ItemText(id::lblVersion), L"Version 2.0.0");
    EXPECT_EQ(ItemText(id::cmdOK), L"OK");
    EXPECT_EQ(ItemText(id::cmdSysInfo), L"&System Info...");
    for (int text : {id::lblCredit, id::webAddress, id::lblDisclaimer})
        EXPECT_FALSE(ItemText(text).empty()) << "control " << text;
}

TEST_F(AboutTest, AboutWhileOpenOnlyBringsTheFormToTheFront) {
    const HWND form = Open();
    ASSERT_NE(form, nullptr);
    const HWND other = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    t::PumpFor(50);
    ASSERT_NE(GetForegroundWindow(), form);

    About(GetModuleHandleW(nullptr));
    t::PumpFor(50);
    EXPECT_EQ(AboutWindow(), form);
    EXPECT_EQ(CountFormsOfThisThread(), 1);
    EXPECT_EQ(GetForegroundWindow(), form);
    DestroyWindow(other);
}

TEST_F(AboutTest, OkUnloadsTheFormAndTheNextAboutLoadsItAfresh) {
    const HWND first = Open();
    ASSERT_NE(first, nullptr);
    const HBITMAP picture = AboutPicture();
    SetWindowTextW(Item(id::lblVersion), L"changed");
    SetWindowTextW(first, L"changed");

    SendMessageW(Item(id::cmdOK), BM_CLICK, 0, 0);
    t::PumpFor(50);
    EXPECT_EQ(AboutWindow(), nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(CountFormsOfThisThread(), 0);
    if (picture) {
        EXPECT_EQ(GetObjectType(picture), 0u) << "the picture outlived the form";
    }

    const HWND second = Open();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(t::WindowText(second), L"About Quelder ActiveX");
    EXPECT_EQ(ItemText(id::lblVersion), L"Version 2.0.0");
}

TEST_F(AboutTest, TheCloseBoxOrAnyDestroyUnloadsTheForm) {
    const HWND closed = Open();
    SendMessageW(closed, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(AboutWindow(), nullptr);
    EXPECT_FALSE(IsWindow(closed));

    const HWND destroyed = Open();
    const HBITMAP picture = AboutPicture();
    DestroyWindow(destroyed);
    EXPECT_EQ(AboutWindow(), nullptr);
    if (picture) {
        EXPECT_EQ(GetObjectType(picture), 0u) << "the picture outlived the form";
    }
    EXPECT_NE(Open(), nullptr) << "no new form after the old one was destroyed";
}

TEST_F(AboutTest, FixedFrameOffTheTaskBarWithTheClientSizeInTwips) {
    const HWND form = Open();
    ASSERT_NE(form, nullptr);
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << std::hex << style;
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << std::hex << style;
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0) << std::hex << exStyle;
    EXPECT_TRUE(GetWindow(form, GW_OWNER) != nullptr || (exStyle & WS_EX_TOOLWINDOW))
        << "an unowned window gets a task-bar button";

    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, dpi_.X(5730)) << "at " << dpi_.x << " dpi";
    EXPECT_EQ(client.bottom, dpi_.Y(3555)) << "at " << dpi_.y << " dpi";
}

TEST_F(AboutTest, ControlsSitAtTheirPlacesInTheDefaultGuiFont) {
    const struct {
        int control;
        const wchar_t* kind;
        int left, top, width, height;  // twips
    } layout[] = {
        {id::picIcon, L"Static", 240, 240, 540, 540},
        {id::lblTitle, L"Static", 1050, 240, 3885, 480},
        {id::lblVersion, L"Static", 1050, 780, 3885, 225},
        {id::lblCredit, L"Static", 1050, 1140, 3465, 195},
        {id::webAddress, L"Edit", 1050, 1440, 3915, 195},
        {id::lblDisclaimer, L"Static", 255, 2625, 3870, 825},
        {id::cmdOK, L"Button", 4245, 2625, 1260, 345},
        {id::cmdSysInfo, L"Button", 4260, 3075, 1245, 345},
    };
    const HWND form = Open();
    ASSERT_NE(form, nullptr);
    const auto font = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& place : layout) {
        const HWND control = Item(place.control);
        ASSERT_NE(control, nullptr) << "control " << place.control;
        EXPECT_EQ(_wcsicmp(t::ClassOf(control).c_str(), place.kind), 0)
            << "control " << place.control << " is a " << Narrow(t::ClassOf(control));
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, dpi_.X(place.left)) << "control " << place.control;
        EXPECT_EQ(rect.top, dpi_.Y(place.top)) << "control " << place.control;
        EXPECT_EQ(rect.right - rect.left, dpi_.X(place.width)) << "control " << place.control;
        EXPECT_EQ(rect.bottom - rect.top, dpi_.Y(place.height)) << "control " << place.control;
        if (place.control != id::picIcon) {
            EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0), font) << "control " << place.control;
        }
    }
    EXPECT_TRUE(GetWindowLongW(Item(id::cmdOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_TRUE(GetWindowLongW(Item(id::webAddress), GWL_STYLE) & ES_READONLY);
}

TEST_F(AboutTest, WebAddressIsBlueOnButtonFaceAndTheSeparatorIsEtched) {
    const HWND form = Open();
    ASSERT_NE(form, nullptr);
    Repaint(form);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    const HWND text = Item(id::webAddress);
    RECT area{};
    GetClientRect(text, &area);
    const HDC textDc = GetDC(text);
    // Smoothed edges mix blue into the face; black text would leave greys.
    int blue = 0, grey = 0;
    for (int y = 0; y < area.bottom; ++y)
        for (int x = 0; x < area.right; ++x) {
            const COLORREF pixel = GetPixel(textDc, x, y);
            if (pixel == RGB(0, 0, 255)) ++blue;
            else if (pixel != face && GetRValue(pixel) == GetGValue(pixel) && GetGValue(pixel) == GetBValue(pixel)) ++grey;
        }
    ReleaseDC(text, textDc);
    EXPECT_GT(blue, 20) << "blue pixels in the web address";
    EXPECT_EQ(grey, 0) << "grey pixels in the web address";

    const HDC dc = GetDC(form);
    const int x = dpi_.X(3000);
    EXPECT_EQ(GetPixel(dc, x, dpi_.Y(2445)), RGB(128, 128, 128)) << std::hex << GetPixel(dc, x, dpi_.Y(2445));
    EXPECT_EQ(GetPixel(dc, x, dpi_.Y(2460)), RGB(255, 255, 255)) << std::hex << GetPixel(dc, x, dpi_.Y(2460));
    EXPECT_EQ(GetPixel(dc, x, dpi_.Y(2460) + 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, x, dpi_.Y(2460) + 2), face);
    EXPECT_EQ(GetPixel(dc, x, dpi_.Y(2445) - 1), face);
    ReleaseDC(form, dc);
}

TEST_F(AboutTest, ShowsTheModulesPictureAtTheTopLeftOfItsBox) {
    const HWND form = Open();
    ASSERT_NE(form, nullptr);
    const HBITMAP picture = AboutPicture();
    ASSERT_NE(picture, nullptr);
    BITMAP size{};
    ASSERT_TRUE(GetObjectW(picture, sizeof size, &size));
    EXPECT_EQ(size.bmWidth, 32);
    EXPECT_EQ(size.bmHeight, 32);

    Repaint(form);
    const HDC screen = GetDC(Item(id::picIcon));
    const HDC memory = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(memory, picture);
    int wrong = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) wrong += GetPixel(screen, x, y) != GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(Item(id::picIcon), screen);
    EXPECT_EQ(wrong, 0) << "pixels of the picture box that differ from the picture";
}

TEST_F(AboutTest, AModuleWithoutThePictureStillShowsTheForm) {
    const HWND form = Open(GetModuleHandleW(L"kernel32.dll"));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(AboutPicture(), nullptr);
    Repaint(form);
    EXPECT_EQ(ItemText(id::lblVersion), L"Version 2.0.0");
}

// ---- Keyboard ---------------------------------------------------------------------

enum class Input { Real, Posted };

const char* Name(Input how) { return how == Input::Real ? "SendInput" : "posted"; }
void PrintTo(Input how, std::ostream* out) { *out << Name(how); }

// One key, with Shift or Alt held, sent as real input or posted to the focus.
void Press(Input how, WORD key, WORD modifier = 0) {
    if (how == Input::Real) {
        std::vector<INPUT> inputs;
        auto add = [&](WORD vk, bool up) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        if (modifier) add(modifier, false);
        add(key, false);
        add(key, true);
        if (modifier) add(modifier, true);
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    } else {
        const HWND focus = GetFocus();
        BYTE state[256] = {};
        GetKeyboardState(state);
        if (modifier == VK_SHIFT) {
            state[VK_SHIFT] = 0x80;
            SetKeyboardState(state);
        }
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
        const bool alt = modifier == VK_MENU;
        const LPARAM context = alt ? (1 << 29) : 0;
        PostMessageW(focus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | scan | context);
        t::PumpFor(30);
        PostMessageW(focus, alt ? WM_SYSKEYUP : WM_KEYUP, key, 1 | scan | context | (1 << 30) | (1u << 31));
        t::PumpFor(30);
        if (modifier == VK_SHIFT) {
            state[VK_SHIFT] = 0;
            SetKeyboardState(state);
        }
    }
    t::PumpFor(100);
}

class AboutKeyboardTest : public AboutTest, public ::testing::WithParamInterface<Input> {
protected:
    // The form open and active, the focus on `control`.
    HWND OpenWithFocusOn(int control) {
        const HWND form = Open();
        if (!form) return nullptr;
        SetForegroundWindow(form);
        SetFocus(Item(control));
        t::PumpFor(50);
        return form;
    }
};

TEST_P(AboutKeyboardTest, EnterAndEscPressOk) {
    const struct {
        const char* name;
        WORD key;
        int focus;
    } cases[] = {
        {"Enter on OK", VK_RETURN, id::cmdOK},
        {"Esc on OK", VK_ESCAPE, id::cmdOK},
        {"Enter on the web address", VK_RETURN, id::webAddress},
        {"Esc on System Info", VK_ESCAPE, id::cmdSysInfo},
    };
    for (const auto& key : cases) {
        const HWND form = OpenWithFocusOn(key.focus);
        ASSERT_NE(form, nullptr) << key.name;
        ASSERT_EQ(GetFocus(), Item(key.focus)) << key.name;
        Press(GetParam(), key.key);
        EXPECT_FALSE(IsWindow(form)) << key.name << " (" << Name(GetParam()) << ") left the form open";
        if (IsWindow(form)) DestroyWindow(form);
    }
}

TEST_P(AboutKeyboardTest, TabFollowsTheTabOrder) {
    const HWND form = OpenWithFocusOn(id::cmdOK);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(GetFocus(), Item(id::cmdOK)) << "the first focus";
    for (int next : {id::cmdSysInfo, id::webAddress, id::cmdOK}) {
        Press(GetParam(), VK_TAB);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), next) << "Tab (" << Name(GetParam()) << ")";
    }
    for (int previous : {id::webAddress, id::cmdSysInfo}) {
        Press(GetParam(), VK_TAB, VK_SHIFT);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), previous) << "Shift+Tab (" << Name(GetParam()) << ")";
    }
    EXPECT_TRUE(IsWindow(form));
}

// With no registry values the lookup ends in its message, owned by the form.
TEST_P(AboutKeyboardTest, AltSAndEnterOnSystemInfoStartTheLookup) {
    t::SysInfoRegistry noValues;
    const struct {
        const char* name;
        WORD key;
        WORD modifier;
        int focus;
    } cases[] = {
        {"Alt+S", 'S', VK_MENU, id::cmdOK},
        {"Enter on System Info", VK_RETURN, 0, id::cmdSysInfo},
    };
    for (const auto& key : cases) {
        const HWND form = OpenWithFocusOn(key.focus);
        ASSERT_NE(form, nullptr) << key.name;
        t::MessageBoxWatcher watcher;
        Press(GetParam(), key.key, key.modifier);
        watcher.WaitShown(5000);
        const t::SeenMessageBox box = watcher.Result();
        ASSERT_TRUE(box.shown) << key.name << " (" << Name(GetParam()) << "): no message";
        EXPECT_EQ(box.text, kSysInfoUnavailable) << key.name;
        EXPECT_EQ(box.owner, form) << key.name;
        EXPECT_TRUE(IsWindow(form)) << key.name;
        DestroyWindow(form);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutKeyboardTest, ::testing::Values(Input::Real, Input::Posted),
                         [](const ::testing::TestParamInfo<Input>& key) {
                             return std::string(key.param == Input::Real ? "Real" : "Posted");
                         });

}  // namespace
