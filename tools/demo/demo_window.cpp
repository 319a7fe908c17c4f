#include "demo_window.hpp"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <array>

namespace quelder::demo {

namespace {

constexpr const wchar_t* kClassName = L"QuelderDemoWindow";
constexpr int kMargin = 8, kGap = 6, kButtonHeight = 26, kMoveLineHeight = 20;
// The right button, as the mouse events' Button argument names it.
constexpr short kRightButton = 2;
// How long the board slides its pieces after a move, in milliseconds.
constexpr LONG kAnimationTime = 200;
// Events kept for the self-play's checks; older ones are dropped.
constexpr std::size_t kEventsKept = 512;

struct ButtonSpec {
    Command command;
    const wchar_t* text;
    int width;
    DWORD style;
};
constexpr std::array<ButtonSpec, 8> kButtons{{
    {Command::NewGame, L"&New game", 80, BS_PUSHBUTTON},
    {Command::Clear, L"&Clear", 64, BS_PUSHBUTTON},
    {Command::Bigger, L"&Bigger", 64, BS_PUSHBUTTON},
    {Command::Smaller, L"&Smaller", 64, BS_PUSHBUTTON},
    {Command::Enabled, L"&Enabled", 76, BS_AUTOCHECKBOX},
    {Command::Flipped, L"&Flipped", 72, BS_AUTOCHECKBOX},
    {Command::Coordinates, L"C&oordinates", 96, BS_AUTOCHECKBOX},
    {Command::About, L"&About", 64, BS_PUSHBUTTON},
}};

// The check boxes, each a VARIANT_BOOL property of the control, and what the
// line under the board says when it is set or cleared.
struct CheckSpec {
    Command command;
    HRESULT (STDMETHODCALLTYPE _QuelderBoard::*get)(VARIANT_BOOL*);
    HRESULT (STDMETHODCALLTYPE _QuelderBoard::*put)(VARIANT_BOOL);
    const wchar_t* call;
    const wchar_t* set;
    const wchar_t* cleared;
};
constexpr std::array<CheckSpec, 3> kChecks{{
    {Command::Enabled, &_QuelderBoard::get_Enabled, &_QuelderBoard::put_Enabled, L"Enabled",
     L"The board answers the mouse.", L"The board ignores the mouse."},
    {Command::Flipped, &_QuelderBoard::get_Flipped, &_QuelderBoard::put_Flipped, L"Flipped",
     L"The board is seen from the other side: column 1 row 1 at the bottom right.",
     L"Column 1 row 1 at the top left."},
    {Command::Coordinates, &_QuelderBoard::get_ShowCoordinates, &_QuelderBoard::put_ShowCoordinates,
     L"ShowCoordinates", L"Files and ranks along the board's edges.", L"No coordinates."},
}};

// The flat colour pairs of the Look menu: light and dark squares.
struct ColourPair {
    Look look;
    COLORREF light, dark;
};
constexpr std::array<ColourPair, 3> kColourPairs{{
    {Look::Brown, RGB(0xF0, 0xD9, 0xB5), RGB(0xB5, 0x88, 0x63)},
    {Look::Green, RGB(0xEE, 0xEE, 0xD2), RGB(0x76, 0x96, 0x56)},
    {Look::Blue, RGB(0xDE, 0xE3, 0xE6), RGB(0x8C, 0xA2, 0xAD)},
}};

HMENU LookMenu() {
    HMENU look = CreatePopupMenu();
    const auto add = [look](Look id, const wchar_t* text) {
        AppendMenuW(look, MF_STRING, static_cast<UINT_PTR>(id), text);
    };
    add(Look::Wood, L"&Wood");
    add(Look::Brown, L"&Brown squares");
    add(Look::Green, L"&Green squares");
    add(Look::Blue, L"Bl&ue squares");
    AppendMenuW(look, MF_SEPARATOR, 0, nullptr);
    add(Look::PieceSet, L"&Piece set from a folder...");
    add(Look::BuiltInPieces, L"B&uilt-in pieces");
    AppendMenuW(look, MF_SEPARATOR, 0, nullptr);
    add(Look::SavePicture, L"&Save picture...");
    add(Look::CopyPicture, L"&Copy");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(look), L"&Look");
    return bar;
}

com::Bstr Text(const std::wstring& text) {
    com::Bstr owned;
    *owned.put() = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return owned;
}

// A folder the user picks; empty when none.
std::wstring PickFolder(HWND owner) {
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = L"The folder of the twelve pictures, wP.png to bK.png";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return {};
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    return ok ? path : std::wstring();
}

// A file to save the picture to; empty when none.
std::wstring PickPictureFile(HWND owner) {
    wchar_t path[MAX_PATH] = L"board.png";
    OPENFILENAMEW save{};
    save.lStructSize = sizeof save;
    save.hwndOwner = owner;
    save.lpstrFilter = L"PNG picture\0*.png\0Bitmap\0*.bmp\0JPEG picture\0*.jpg\0";
    save.lpstrFile = path;
    save.nMaxFile = MAX_PATH;
    save.lpstrDefExt = L"png";
    save.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&save) ? path : std::wstring();
}

const CheckSpec* CheckOf(Command command) {
    for (const auto& check : kChecks)
        if (check.command == command) return &check;
    return nullptr;
}

int ButtonRowWidth() {
    int width = 0;
    for (const auto& entry : kButtons) width += entry.width + kGap;
    return width - kGap;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

DemoWindow::DemoWindow(HINSTANCE instance, const AtlContainer& atl) : instance_(instance), atl_(atl) {}

DemoWindow::~DemoWindow() {
    TearDown();
    window_.reset();
}

bool DemoWindow::Create(int show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        failure_ = L"The window class could not be registered.";
        return false;
    }
    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Quelder Demo", style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, LookMenu(), instance_, this);
    if (window == nullptr) {
        failure_ = L"The main window could not be created (error " + std::to_wstring(GetLastError()) + L").";
        return false;
    }
    window_.reset(window);
    if (!CreateChildren() || !HostControl()) return false;
    GrowToFit();
    // The smallest size that shows everything is the size to start with.
    const SIZE client = MinimumClientSize();
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, style, TRUE, WS_EX_CONTROLPARENT);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    ShowWindow(window, show);
    UpdateWindow(window);
    return true;
}

bool DemoWindow::CreateChildren() {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& entry : kButtons) {
        HWND button = CreateWindowExW(0, L"BUTTON", entry.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | entry.style, 0, 0,
                                      entry.width, kButtonHeight, window_.get(),
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.command)), instance_, nullptr);
        if (button == nullptr) {
            failure_ = L"The buttons could not be created.";
            return false;
        }
        SendMessageW(button, WM_SETFONT, font, TRUE);
    }
    moveLine_ = CreateWindowExW(0, L"STATIC", L"",
                                WS_CHILD | WS_VISIBLE | SS_CENTER | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 10, 10,
                                window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMoveLineId)), instance_,
                                nullptr);
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"No event yet", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                              0, window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance_,
                              nullptr);
    if (moveLine_ == nullptr || status_ == nullptr) {
        failure_ = L"The status lines could not be created.";
        return false;
    }
    ShowAnnotations(L"");
    SendMessageW(moveLine_, WM_SETFONT, font, TRUE);
    return true;
}

bool DemoWindow::HostControl() {
    if (!atl_.Ready()) {
        failure_ = L"atl.dll, the control container, could not be loaded.";
        return false;
    }
    const RECT place{kMargin, kMargin, kMargin + boardSize_, kMargin + boardSize_};
    host_ = atl_.CreateHost(window_.get(), kProgId, place, kBoardHostId);
    com::ComPtr<IUnknown> control;
    if (!host_ || FAILED(atl_.Control(host_.get(), control)) || !control) {
        failure_ = std::wstring(L"The control ") + kProgId +
                   L" could not be created. Is Quelder.ocx registered (regsvr32 Quelder.ocx)?";
        return false;
    }
    com::ComPtr<_QuelderBoard> quelder;
    HRESULT hr = control.As(&quelder);
    if (SUCCEEDED(hr)) {
        sink_ = BoardEventSink::Create<BoardEventSink>(static_cast<BoardEventListener&>(*this));
        hr = connection_.Connect(control.Get(), sink_.Get());
    }
    if (FAILED(hr)) {
        failure_ = L"The control's events could not be connected: " + LastErrorText(hr);
        return false;
    }
    // The in-place object's accelerator pass: how a container hands the
    // board its keys. Without it IsDialogMessage still asks the control's
    // window which keys it wants.
    control.As(&active_);
    control_ = std::move(control);
    board_ = QuelderBoard(std::move(quelder));
    // The control's own size, so that its surface and its window agree, and
    // a game ready to play with the coordinates showing, the pieces dragged
    // with the mouse, lifted with the keys or typed as moves, the user's
    // arrows and circles drawn with the right button, and moves animated.
    ChangeBoardSize(boardSize_);
    {
        BoardUpdate update(board_);
        _QuelderBoard& board = *board_.Get();
        hr = board.put_ShowCoordinates(VARIANT_TRUE);
        if (SUCCEEDED(hr)) hr = board.put_DragPieces(VARIANT_TRUE);
        if (SUCCEEDED(hr)) hr = board.put_TypeMoves(VARIANT_TRUE);
        if (SUCCEEDED(hr)) hr = board.put_UserAnnotations(VARIANT_TRUE);
        if (SUCCEEDED(hr)) hr = board.put_AnimationTime(kAnimationTime);
        if (SUCCEEDED(hr)) hr = board.NewGame();
        if (SUCCEEDED(hr)) SetMoveText(road_.StartGame(board_));
    }
    SyncChecks();
    if (FAILED(hr)) SetMoveText(L"Setting up the board failed: " + LastErrorText(hr));
    return true;
}

void DemoWindow::TearDown() {
    // No event may reach this object once it starts going.
    if (sink_) sink_->Detach();
    connection_.Reset();
    sink_.Reset();
    board_.Reset();
    active_.Reset();
    control_.Reset();
    focus_ = nullptr;
    // Destroying the host window closes the control (OLECLOSE_NOSAVE) and
    // releases the container's references to it.
    host_.reset();
}

bool DemoWindow::PreTranslate(MSG& msg) const {
    if (!window_) return false;
    // A key pressed on the board goes to the control first, as in any OLE
    // container, before the dialog keys make the arrows, Space and Enter the
    // buttons'. The control takes the keys it uses and leaves the others
    // (Tab among them) to IsDialogMessage.
    if (active_ && host_ && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd != nullptr &&
        IsChild(host_.get(), msg.hwnd) && active_->TranslateAccelerator(&msg) == S_OK)
        return true;
    return IsDialogMessageW(window_.get(), &msg);
}

void DemoWindow::Process(MSG& msg) const {
    if (PreTranslate(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

HWND DemoWindow::Button(Command command) const {
    return GetDlgItem(window_.get(), static_cast<int>(command));
}

HWND DemoWindow::BoardWindow() const {
    com::ComPtr<IOleWindow> window;
    HWND handle = nullptr;
    if (!control_ || FAILED(control_.As(&window)) || FAILED(window->GetWindow(&handle))) return nullptr;
    return handle;
}

HWND DemoWindow::FocusTarget() const {
    HWND target = focus_ != nullptr && IsWindow(focus_) && IsChild(window_.get(), focus_) ? focus_ : BoardWindow();
    return target != nullptr && IsWindowVisible(target) && IsWindowEnabled(target) ? target : nullptr;
}

bool DemoWindow::Flipped() const {
    VARIANT_BOOL flipped = VARIANT_FALSE;
    return board_ && SUCCEEDED(board_.Get()->get_Flipped(&flipped)) && flipped != VARIANT_FALSE;
}

std::wstring DemoWindow::StatusText() const { return WindowText(status_); }

std::wstring DemoWindow::MoveText() const { return WindowText(moveLine_); }

SIZE DemoWindow::MinimumClientSize() const {
    RECT status{};
    if (status_ != nullptr) GetWindowRect(status_, &status);
    const int width = std::max(ButtonRowWidth(), boardSize_) + 2 * kMargin;
    const int height = kMargin + kButtonHeight + kMargin + boardSize_ + kGap + kMoveLineHeight + kMargin + Height(status);
    return {width, height};
}

void DemoWindow::GrowToFit() {
    RECT client{};
    GetClientRect(window_.get(), &client);
    const SIZE needed = MinimumClientSize();
    if (client.right >= needed.cx && client.bottom >= needed.cy) return;
    RECT frame{0, 0, std::max<LONG>(client.right, needed.cx), std::max<LONG>(client.bottom, needed.cy)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_.get(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_.get(), GWL_EXSTYLE)));
    SetWindowPos(window_.get(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DemoWindow::Layout() {
    if (!window_ || status_ == nullptr) return;
    RECT client{};
    GetClientRect(window_.get(), &client);
    // The status bar places itself at the bottom: the last event on the
    // left, the user's shapes on the right.
    SendMessageW(status_, WM_SIZE, 0, 0);
    const int parts[] = {static_cast<int>(client.right) * 3 / 5, -1};
    SendMessageW(status_, SB_SETPARTS, std::size(parts), reinterpret_cast<LPARAM>(parts));
    RECT status{};
    GetWindowRect(status_, &status);

    int x = kMargin;
    for (const auto& entry : kButtons) {
        SetWindowPos(Button(entry.command), nullptr, x, kMargin, entry.width, kButtonHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        x += entry.width + kGap;
    }
    // The board in the middle of the space between the buttons and the move
    // line, the move line right under it.
    const int top = kMargin + kButtonHeight + kMargin;
    const int bottom = client.bottom - Height(status) - kMargin - kMoveLineHeight - kGap;
    const int boardX = std::max<int>(kMargin, (client.right - boardSize_) / 2);
    const int boardY = std::max(top, top + (bottom - top - boardSize_) / 2);
    if (host_) {
        SetWindowPos(host_.get(), nullptr, boardX, boardY, boardSize_, boardSize_, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(moveLine_, nullptr, kMargin, boardY + boardSize_ + kGap, std::max(0L, client.right - 2 * kMargin),
                 kMoveLineHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void DemoWindow::ChangeBoardSize(int size) {
    LONG dimension = size;
    const HRESULT hr = board_.Get()->ChangeBoardSize(&dimension);
    if (FAILED(hr)) {
        SetMoveText(L"ChangeBoardSize failed: " + LastErrorText(hr));
        return;
    }
    boardSize_ = size;
    EnableWindow(Button(Command::Bigger), boardSize_ + kBoardStep <= kLargestBoard);
    EnableWindow(Button(Command::Smaller), boardSize_ - kBoardStep >= kSmallestBoard);
    GrowToFit();
    Layout();
}

void DemoWindow::SyncChecks() {
    for (const auto& check : kChecks) {
        VARIANT_BOOL value = VARIANT_FALSE;
        if (SUCCEEDED((board_.Get()->*check.get)(&value)))
            SendMessageW(Button(check.command), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void DemoWindow::SetMoveText(const std::wstring& text) { SetWindowTextW(moveLine_, text.c_str()); }

void DemoWindow::OnCommand(Command command) {
    if (!board_) return;
    HRESULT hr = S_OK;
    const wchar_t* call = L"";
    switch (command) {
    case Command::NewGame:
    case Command::Clear: {
        const bool newGame = command == Command::NewGame;
        // The board set up anew without the last move, painted once. NewGame
        // and Clear repaint every square but leave the selection flags.
        BoardUpdate update(board_);
        road_.Drop(board_);
        call = newGame ? L"NewGame" : L"Clear";
        hr = newGame ? board_.Get()->NewGame() : board_.Get()->Clear();
        if (SUCCEEDED(hr)) SetMoveText(newGame ? road_.StartGame(board_) : road_.FreePlay(board_));
        break;
    }
    case Command::Bigger:
        ChangeBoardSize(std::min(boardSize_ + kBoardStep, kLargestBoard));
        return;
    case Command::Smaller:
        ChangeBoardSize(std::max(boardSize_ - kBoardStep, kSmallestBoard));
        return;
    case Command::Enabled:
    case Command::Flipped:
    case Command::Coordinates: {
        const CheckSpec& check = *CheckOf(command);
        const bool checked = SendMessageW(Button(command), BM_GETCHECK, 0, 0) == BST_CHECKED;
        call = check.call;
        hr = (board_.Get()->*check.put)(checked ? VARIANT_TRUE : VARIANT_FALSE);
        if (SUCCEEDED(hr)) SetMoveText(checked ? check.set : check.cleared);
        SyncChecks();
        break;
    }
    case Command::About:
        call = L"About";
        hr = board_.Get()->About();
        break;
    }
    if (FAILED(hr)) SetMoveText(std::wstring(call) + L" failed: " + LastErrorText(hr));
}

void DemoWindow::OnLook(Look look) {
    if (!board_) return;
    _QuelderBoard& board = *board_.Get();
    HRESULT hr = S_OK;
    std::wstring call;
    VARIANT size;  // empty: the board's own size
    VariantInit(&size);
    switch (look) {
    case Look::Wood:
        call = L"UseWood";
        hr = board.UseWood();
        if (SUCCEEDED(hr)) SetMoveText(L"Wooden squares.");
        break;
    case Look::Brown:
    case Look::Green:
    case Look::Blue:
        for (const ColourPair& pair : kColourPairs) {
            if (pair.look != look) continue;
            call = L"LightSquareColor";
            BoardUpdate update(board_);
            hr = board.put_LightSquareColor(static_cast<LONG>(pair.light));
            if (SUCCEEDED(hr)) hr = board.put_DarkSquareColor(static_cast<LONG>(pair.dark));
        }
        if (SUCCEEDED(hr)) SetMoveText(L"Flat squares in two colours (LightSquareColor, DarkSquareColor).");
        break;
    case Look::PieceSet: {
        const std::wstring folder = PickFolder(window_.get());
        if (folder.empty()) return;
        call = L"LoadPieceSet";
        hr = board.LoadPieceSet(Text(folder).get());
        if (SUCCEEDED(hr)) SetMoveText(L"Pieces from " + folder + L".");
        break;
    }
    case Look::BuiltInPieces:
        call = L"UseBuiltInPieces";
        hr = board.UseBuiltInPieces();
        if (SUCCEEDED(hr)) SetMoveText(L"The built-in pieces.");
        break;
    case Look::SavePicture: {
        const std::wstring path = PickPictureFile(window_.get());
        if (path.empty()) return;
        call = L"SaveImage";
        hr = board.SaveImage(Text(path).get(), size);
        if (SUCCEEDED(hr)) SetMoveText(L"The board saved as " + path + L".");
        break;
    }
    case Look::CopyPicture:
        call = L"CopyImage";
        hr = board.CopyImage(size);
        if (SUCCEEDED(hr)) SetMoveText(L"The board is on the clipboard, as a bitmap and as PNG.");
        break;
    }
    if (FAILED(hr)) SetMoveText(call + L" failed: " + LastErrorText(hr));
}

void DemoWindow::OnBoardEvent(BoardEvent& event) {
    // The user's shapes, shown on the status bar.
    if (event.kind == EventKind::AnnotationsChanged && FAILED(board_.Annotations(event.annotations)))
        event.annotations = L"unreadable";
    // A click of the right button (raised right after its MouseUp) draws the
    // user's circle: the road hears the others, the left button's and
    // those of Space and Enter.
    const bool rightClick = event.kind == EventKind::Click && released_ == kRightButton;
    released_ = event.kind == EventKind::MouseUp ? event.button : 0;
    if (event.kind == EventKind::Click && !rightClick) {
        // A move, its selection dropped and the move shown, painted at once.
        BoardUpdate update(board_);
        SetMoveText(road_.Click(board_, {event.col, event.row}));
    } else if (event.kind == EventKind::PieceDropped) {
        // Unless the road cancels it, the control moves the piece (promoted
        // to the form chosen) once this returns.
        BoardUpdate update(board_);
        SetMoveText(road_.Dropped(board_, {event.col, event.row}, {event.toCol, event.toRow}, event.cancel));
    }
    if (event.kind == EventKind::AnnotationsChanged) ShowAnnotations(event.annotations);
    if (events_.size() == kEventsKept) events_.pop_front();
    events_.push_back(event);
    SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Describe(event).c_str()));
}

void DemoWindow::ShowAnnotations(const std::wstring& annotations) {
    const std::wstring text = annotations.empty() ? L"No arrows or circles (right button)" : L"Drawn: " + annotations;
    SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring DemoWindow::AnnotationsText() const {
    std::wstring text(LOWORD(SendMessageW(status_, SB_GETTEXTLENGTHW, 1, 0)) + 1u, L'\0');
    text.resize(LOWORD(SendMessageW(status_, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

LRESULT CALLBACK DemoWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<DemoWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Before CreateWindowEx returns, and once the owner has let go of the
    // window, the defaults do.
    if (self == nullptr || self->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT DemoWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        const SIZE client = MinimumClientSize();
        RECT frame{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_ACTIVATE:
        // As a dialog does: the focus goes back where it was when the window
        // is activated again, to the board the first time, so that its keys
        // work at once.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus != nullptr && IsChild(window, focus)) focus_ = focus;
            return 0;
        }
        if (HWND target = FocusTarget(); target != nullptr && HIWORD(wParam) == 0) {
            SetFocus(target);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_SETFOCUS:
        if (HWND target = FocusTarget(); target != nullptr) SetFocus(target);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const int id = LOWORD(wParam);
            if (id >= static_cast<int>(Command::NewGame) && id <= static_cast<int>(Command::About))
                OnCommand(static_cast<Command>(id));
            else if (id >= static_cast<int>(Look::Wood) && id <= static_cast<int>(Look::CopyPicture))
                OnLook(static_cast<Look>(id));
        }
        return 0;
    case WM_DESTROY:
        TearDown();
        // The window is going: the owner must not destroy it again.
        window_.release();
        status_ = moveLine_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace quelder::demo
