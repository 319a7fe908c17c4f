#include "about/about_dialog.hpp"

#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "about/sys_info.hpp"
#include "handles/win_handles.hpp"
#include "quelder_version.h"
#include "resources/resource_ids.h"

namespace quelder::about {
using namespace handles;
namespace {

constexpr wchar_t kFormClass[] = L"QuelderAboutForm";
// The component's application title, and the product name shown in large.
constexpr wchar_t kAppTitle[] = L"Quelder ActiveX";
constexpr wchar_t kProductName[] = L"Quelder ActiveX";
constexpr wchar_t kCredit[] = L"Made by the Quelder developers";
constexpr wchar_t kWebAddress[] = L"https://quelder.example";
constexpr wchar_t kDisclaimer[] =
    L"This control is provided as is, without warranty of any kind. You use it at your own risk.";

// The form's client area, in twips (1/1440 inch).
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 3555;

// A fixed dialog frame with a close box only.
constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

struct ControlLayout {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;  // the design-time text
    DWORD style;
    int left, top, width, height;  // twips
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// The nine controls but the separator, in tab order (which is also their
// creation order).
constexpr ControlLayout kControls[] = {
    {control_id::cmdOK, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | BS_NOTIFY | WS_TABSTOP | WS_GROUP, 4245, 2625, 1260, 345},
    {control_id::picIcon, L"STATIC", L"", SS_OWNERDRAW, 240, 240, 540, 540},
    {control_id::cmdSysInfo, L"BUTTON", L"&System Info...", BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, 4260, 3075, 1245,
     345},
    {control_id::lblDisclaimer, L"STATIC", kDisclaimer, kLabel, 255, 2625, 3870, 825},
    {control_id::lblTitle, L"STATIC", L"Application Title", kLabel, 1050, 240, 3885, 480},
    {control_id::lblVersion, L"STATIC", L"Version", kLabel, 1050, 780, 3885, 225},
    {control_id::webAddress, L"EDIT", kWebAddress, ES_LEFT | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 1050, 1440, 3915,
     195},
    {control_id::lblCredit, L"STATIC", kCredit, kLabel, 1050, 1140, 3465, 195},
};

// The etched separator: a grey line over a white one two pixels high.
struct Line {
    int x1, x2, y;  // twips
    COLORREF colour;
    int thickness;  // pixels
};
constexpr Line kSeparator[] = {
    {90, 5654, 2445, RGB(128, 128, 128), 1},   // Line1(1)
    {105, 5654, 2460, RGB(255, 255, 255), 2},  // Line1(0)
};

constexpr COLORREF kWebAddressColour = RGB(0, 0, 255);

// Twips to pixels at the screen's resolution.
struct Scale {
    int dpiX = 96;
    int dpiY = 96;
    int X(int twips) const { return MulDiv(twips, dpiX, 1440); }
    int Y(int twips) const { return MulDiv(twips, dpiY, 1440); }
};

Scale ScreenScale() {
    Scale scale;
    ScreenDc screen;
    if (screen.get()) {
        if (int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX); dpi > 0) scale.dpiX = dpi;
        if (int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY); dpi > 0) scale.dpiY = dpi;
    }
    return scale;
}

// The module that holds this code (Quelder.ocx, or a test program).
HINSTANCE CodeModule() {
    static const int anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

// The form's window class, registered while a form is loaded so that nothing
// of it outlives the module. A form going and the next one coming on another
// thread may overlap: the first registers the class, the last unregisters it.
class WindowClass {
public:
    explicit WindowClass(HINSTANCE module) : module_(module) {
        const ExclusiveLock lock(lock_);
        if (users_++ > 0) return;
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = FormProc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = kFormClass;
        // The class may be there still, the same: a form destroyed from
        // outside (Forget) still had its window when its class was to go.
        RegisterClassExW(&windowClass);
    }
    ~WindowClass() {
        const ExclusiveLock lock(lock_);
        if (--users_ == 0) UnregisterClassW(kFormClass, module_);
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

private:
    static inline SRWLOCK lock_ = SRWLOCK_INIT;
    static inline int users_ = 0;
    HINSTANCE module_;
};

// Everything a loaded frmAbout owns. Members go in reverse order: the window
// first, its class last.
struct LoadedForm {
    explicit LoadedForm(HINSTANCE module) : windowClass(module) {}

    WindowClass windowClass;
    const DWORD thread = GetCurrentThreadId();  // the thread that loads it
    UniqueHook keyboardHook;
    UniqueBitmap picture;
    UniqueWindow owner;  // hidden; keeps the form off the task bar
    UniqueWindow window;
    Scale scale;
    int defaultButton = control_id::cmdOK;
    HWND focusWhenInactive = nullptr;
};

// The process's form, shared by the controls of every thread. Controls of
// different apartments may show the box at the same time: the slot is read
// and changed under its lock only. The form's window, hook and messages
// belong to the thread that loaded it; that thread alone changes what the
// form holds or unloads it, while others only look which window is open
// (and clear away a form whose thread ended with it open). The lock is
// never held while a window of another thread is asked anything, so no
// thread waits for one that waits for it. One form at a time also keeps
// two threads from laying out its text at once, which Wine's text shaping
// does not survive.
struct FormSlot {
    SRWLOCK lock = SRWLOCK_INIT;
    std::unique_ptr<LoadedForm> form;
};

FormSlot& Slot() {
    static FormSlot slot;
    return slot;
}

// The form of window, as its own messages find it: the slot's form when that
// is the window's, or when it is being loaded on this thread (the window's
// first messages come before it is known).
LoadedForm* FormOf(HWND window) {
    FormSlot& slot = Slot();
    const ExclusiveLock lock(slot.lock);
    LoadedForm* form = slot.form.get();
    if (!form) return nullptr;
    if (form->window.get() == window) return form;
    return !form->window && form->thread == GetCurrentThreadId() ? form : nullptr;
}

// The slot's form taken out when it is form, owned by the caller; its window
// is destroyed outside the lock.
std::unique_ptr<LoadedForm> TakeForm(const LoadedForm* form) {
    FormSlot& slot = Slot();
    const ExclusiveLock lock(slot.lock);
    if (!form || slot.form.get() != form) return nullptr;
    return std::move(slot.form);
}

void Unload(HWND window) {
    // Taken out first, so that the window's own end sees no form to forget.
    const std::unique_ptr<LoadedForm> form = TakeForm(FormOf(window));
}

// The window is going away by other means than Unload.
void Forget(HWND window) {
    std::unique_ptr<LoadedForm> form;
    {
        FormSlot& slot = Slot();
        const ExclusiveLock lock(slot.lock);
        if (!slot.form || slot.form->window.get() != window) return;
        slot.form->window.release();
        form = std::move(slot.form);
    }
}

// The form's window when this thread loaded it (for the keyboard hook, which
// runs for every message the thread takes).
HWND FormWindowOfThisThread() {
    FormSlot& slot = Slot();
    const ExclusiveLock lock(slot.lock);
    return slot.form && slot.form->thread == GetCurrentThreadId() ? slot.form->window.get() : nullptr;
}

// A window of the form's class that is still there.
bool IsFormWindow(HWND window) {
    wchar_t name[std::size(kFormClass) + 1] = {};
    return IsWindow(window) && GetClassNameW(window, name, static_cast<int>(std::size(name))) > 0 &&
           lstrcmpW(name, kFormClass) == 0;
}

// Enter, Esc, Tab and access keys for the form, whatever loop the host runs:
// keyboard messages for the form pass through the dialog manager before the
// host sees them.
LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        const HWND form = FormWindowOfThisThread();
        if (form && message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST &&
            (message->hwnd == form || IsChild(form, message->hwnd)) && IsDialogMessageW(form, message)) {
            message->message = WM_NULL;
            message->wParam = 0;
            message->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The focused push button is the default one; elsewhere it is OK.
void SetDefaultButton(HWND form, int id) {
    if (LoadedForm* loaded = FormOf(form)) loaded->defaultButton = id;
    for (int button : {control_id::cmdOK, control_id::cmdSysInfo})
        SendDlgItemMessageW(form, button, BM_SETSTYLE, button == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void FocusControl(HWND control) {
    if (!control) return;
    SetFocus(control);
    if (GetDlgCtrlID(control) == control_id::webAddress) SendMessageW(control, EM_SETSEL, 0, -1);
}

void Form_Load(HWND form) {
    SetWindowTextW(form, (std::wstring(L"About ") + kAppTitle).c_str());
    const std::wstring version = L"Version " + std::to_wstring(QUELDER_VERSION_MAJOR) + L"." +
                                 std::to_wstring(QUELDER_VERSION_MINOR) + L"." +
                                 std::to_wstring(QUELDER_VERSION_REVISION);
    SetDlgItemTextW(form, control_id::lblVersion, version.c_str());
    SetDlgItemTextW(form, control_id::lblTitle, kProductName);
}

void cmdOK_Click(HWND form) { Unload(form); }

void cmdSysInfo_Click() { StartSysInfo(); }

void OnCommand(HWND form, int id, int code) {
    if (code == BN_CLICKED && (id == control_id::cmdOK || id == IDCANCEL)) {
        cmdOK_Click(form);
    } else if (code == BN_CLICKED && id == control_id::cmdSysInfo) {
        cmdSysInfo_Click();
    } else if (code == BN_SETFOCUS && (id == control_id::cmdOK || id == control_id::cmdSysInfo)) {
        SetDefaultButton(form, id);
    } else if (code == EN_SETFOCUS && id == control_id::webAddress) {
        SetDefaultButton(form, control_id::cmdOK);
    }
}

LRESULT ColourControl(HDC dc, HWND control) {
    SetTextColor(dc, GetDlgCtrlID(control) == control_id::webAddress ? kWebAddressColour : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// picIcon: the picture at its top left corner on the button face.
void DrawPicture(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    const HBITMAP picture = AboutPicture();
    BITMAP size{};
    if (!picture || !GetObjectW(picture, sizeof size, &size)) return;
    UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
    if (!source) return;
    Selection selected(source.get(), picture);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
}

void PaintSeparator(HWND form) {
    PaintDc dc(form);
    const LoadedForm* loaded = FormOf(form);
    if (!loaded) return;
    const Scale& scale = loaded->scale;
    for (const Line& line : kSeparator) {
        const RECT pixels{scale.X(line.x1), scale.Y(line.y), scale.X(line.x2), scale.Y(line.y) + line.thickness};
        SetBkColor(dc.get(), line.colour);
        ExtTextOutW(dc.get(), 0, 0, ETO_OPAQUE, &pixels, nullptr, 0, nullptr);
    }
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        if (const LoadedForm* loaded = FormOf(window)) return MAKELRESULT(loaded->defaultButton, DC_HASDEFID);
        return MAKELRESULT(control_id::cmdOK, DC_HASDEFID);
    case WM_NEXTDLGCTL:
        FocusControl(LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                    : GetNextDlgTabItem(window, GetFocus(), wParam != 0));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return ColourControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        if (wParam != control_id::picIcon) break;
        DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_PAINT:
        PaintSeparator(window);
        return 0;
    case WM_ACTIVATE: {
        // Focus leaves with the form and comes back to the same control.
        LoadedForm* loaded = FormOf(window);
        if (!loaded) break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(window, focus)) loaded->focusWhenInactive = focus;
        } else {
            const HWND last = loaded->focusWhenInactive;
            FocusControl(last && IsChild(window, last) ? last : GetDlgItem(window, control_id::cmdOK));
        }
        return 0;
    }
    case WM_CLOSE:
        Unload(window);
        return 0;
    case WM_NCDESTROY:
        Forget(window);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Centred on the work area of the monitor the user is looking at.
POINT CentredPosition(int width, int height) {
    const HMONITOR monitor = MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return {CW_USEDEFAULT, CW_USEDEFAULT};
    const RECT& work = info.rcWork;
    return {work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2};
}

void CreateControls(LoadedForm& form, HINSTANCE module) {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    const Scale& scale = form.scale;
    for (const ControlLayout& control : kControls) {
        const HWND child = CreateWindowExW(
            0, control.windowClass, control.text, WS_CHILD | WS_VISIBLE | control.style, scale.X(control.left),
            scale.Y(control.top), scale.X(control.width), scale.Y(control.height), form.window.get(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), module, nullptr);
        if (child) SendMessageW(child, WM_SETFONT, font, FALSE);
    }
}

void Load(HINSTANCE resources) {
    const HINSTANCE module = CodeModule();
    auto form = std::make_unique<LoadedForm>(module);
    form->scale = ScreenScale();
    if (resources)
        form->picture.reset(static_cast<HBITMAP>(
            LoadImageW(resources, MAKEINTRESOURCEW(IDB_ABOUT_PICTURE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    form->owner.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, nullptr));

    RECT frame{0, 0, form->scale.X(kClientWidth), form->scale.Y(kClientHeight)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT position = CentredPosition(width, height);

    // Known as the form before its window exists, so that the window's first
    // messages find it; unless another thread's About got there first, whose
    // form then shows.
    LoadedForm& loaded = *form;
    {
        FormSlot& slot = Slot();
        const ExclusiveLock lock(slot.lock);
        if (slot.form) return;
        slot.form = std::move(form);
    }
    const HWND window = CreateWindowExW(kFormExStyle, kFormClass, L"About", kFormStyle, position.x, position.y,
                                        width, height, loaded.owner.get(), nullptr, module, nullptr);
    if (!window) {
        const std::unique_ptr<LoadedForm> failed = TakeForm(&loaded);
        return;
    }
    {
        FormSlot& slot = Slot();
        const ExclusiveLock lock(slot.lock);
        loaded.window.reset(window);
    }
    CreateControls(loaded, module);
    Form_Load(window);
    loaded.keyboardHook.reset(SetWindowsHookExW(WH_GETMESSAGE, KeyboardHook, nullptr, GetCurrentThreadId()));
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    UpdateWindow(window);
}

// The form's window, of this thread or another. Another thread's is moved
// without waiting for that thread to answer.
void BringToFront(HWND window) {
    const bool own = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | (own ? 0 : SWP_ASYNCWINDOWPOS));
    SetForegroundWindow(window);
    if (own) SetActiveWindow(window);
}

}  // namespace

void About(HINSTANCE resources) {
    HWND open = nullptr;
    std::unique_ptr<LoadedForm> ended;
    {
        FormSlot& slot = Slot();
        const ExclusiveLock lock(slot.lock);
        if (LoadedForm* form = slot.form.get()) {
            // Being loaded by its thread: it shows when that About returns.
            if (!form->window) return;
            if (IsFormWindow(form->window.get())) {
                open = form->window.get();
            } else {
                // Its thread ended with it open and took its windows along.
                form->window.release();
                form->owner.release();
                ended = std::move(slot.form);
            }
        }
    }
    ended.reset();
    if (open) {
        BringToFront(open);
        return;
    }
    try {
        Load(resources);
    } catch (...) {
        // Out of memory: the form this thread was loading, if it got so far,
        // goes again (no other form of this thread can be in the slot now).
        std::unique_ptr<LoadedForm> failed;
        FormSlot& slot = Slot();
        const ExclusiveLock lock(slot.lock);
        if (slot.form && slot.form->thread == GetCurrentThreadId()) failed = std::move(slot.form);
    }
}

HWND AboutWindow() {
    FormSlot& slot = Slot();
    const ExclusiveLock lock(slot.lock);
    return slot.form && IsFormWindow(slot.form->window.get()) ? slot.form->window.get() : nullptr;
}

HBITMAP AboutPicture() {
    FormSlot& slot = Slot();
    const ExclusiveLock lock(slot.lock);
    return slot.form ? slot.form->picture.get() : nullptr;
}

}  // namespace quelder::about
