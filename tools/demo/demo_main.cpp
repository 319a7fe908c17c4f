// QuelderDemo.exe: a small Windows program that puts the Quelder board on its
// window and lets the user play on it with the mouse and the keys.
//
//   QuelderDemo.exe                      the interactive demo
//   QuelderDemo.exe --play picture.bmp   plays a short game by itself with real
//                                        mouse clicks, saves a picture of its
//                                        window and exits with 0 only if the
//                                        control did what was expected
//   QuelderDemo.exe --published picture.bmp
//                                        saves a picture of the first class,
//                                        Quelder, at its own size after NewGame,
//                                        to compare with the board class
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "atl_container.hpp"
#include "demo_handles.hpp"
#include "demo_window.hpp"
#include "self_play.hpp"
#include "window_bitmap.hpp"

namespace {

using namespace quelder::demo;

enum Exit { kPassed = 0, kFailed = 1, kCannotStart = 2, kUsage = 3 };

struct FreeLocal {
    void operator()(LPWSTR* memory) const { LocalFree(memory); }
};
using ArgumentList = quelder::handles::Unique<LPWSTR*, FreeLocal>;

enum class Mode { Interactive, Play, Published, Usage };

// What the command line asks for, and the picture's path for --play and
// --published.
Mode ModeOf(std::wstring& picture) {
    int count = 0;
    ArgumentList args(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!args || count < 2) return Mode::Interactive;
    if (count != 3) return Mode::Usage;
    const std::wstring option = args.get()[1];
    picture = args.get()[2];
    if (option == L"--play") return Mode::Play;
    if (option == L"--published") return Mode::Published;
    return Mode::Usage;
}

// Where a script sees what happened (a console or a redirected stream when
// there is one; nowhere otherwise).
void Report(const std::wstring& line) {
    std::fwprintf(stderr, L"%ls\n", line.c_str());
    std::fflush(stderr);
}

void Complain(bool playing, const std::wstring& text) {
    if (playing) {
        Report(L"QuelderDemo: " + text);
    } else {
        MessageBoxW(nullptr, text.c_str(), L"Quelder Demo", MB_OK | MB_ICONERROR);
    }
}

int RunLoop(const DemoWindow& demo) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) demo.Process(msg);
    return static_cast<int>(msg.wParam);
}

int Play(DemoWindow& demo, const std::wstring& picture) {
    std::vector<std::wstring> failures = PlayTypicalGame(demo);
    bool saved = SaveWindowBitmap(demo.Handle(), picture);
    if (!saved) Report(L"QuelderDemo: the picture could not be saved to " + picture);
    for (const auto& failure : failures) Report(L"QuelderDemo: " + failure);
    DestroyWindow(demo.Handle());
    // What closing posts.
    PumpMessages(100);
    if (auto leak = CheckControlReleased(); !leak.empty()) {
        Report(L"QuelderDemo: " + leak);
        failures.push_back(std::move(leak));
    }
    Report(failures.empty() && saved ? L"QuelderDemo: the game was played as expected"
                                     : L"QuelderDemo: the game was not played as expected");
    return failures.empty() && saved ? kPassed : kFailed;
}

// The first class on a window of its own, its board at its first size
// (37-pixel squares) after NewGame, saved as a picture of the board alone.
int SavePublished(HINSTANCE instance, const AtlContainer& atl, const std::wstring& picture) {
    constexpr int kPublishedBoard = 296;
    constexpr const wchar_t* kPublishedProgId = L"QuelderLib.Quelder";
    quelder::handles::UniqueWindow frame(CreateWindowExW(0, L"STATIC", L"Quelder", WS_POPUP | WS_VISIBLE, 40, 40,
                                                         kPublishedBoard, kPublishedBoard, nullptr, nullptr, instance,
                                                         nullptr));
    if (!frame || !atl.Ready()) {
        Report(L"QuelderDemo: no window for the control");
        return kCannotStart;
    }
    quelder::handles::UniqueWindow host =
        atl.CreateHost(frame.get(), kPublishedProgId, {0, 0, kPublishedBoard, kPublishedBoard}, kBoardHostId);
    HRESULT hr = E_FAIL;
    {
        ComPtr<IUnknown> control;
        ComPtr<_Quelder> quelder;
        if (host && SUCCEEDED(atl.Control(host.get(), control)) && control && SUCCEEDED(control.As(&quelder))) {
            LONG size = kPublishedBoard;
            hr = quelder->ChangeBoardSize(&size);
            if (SUCCEEDED(hr)) hr = quelder->NewGame();
        }
    }
    if (FAILED(hr)) {
        Report(L"QuelderDemo: " + std::wstring(kPublishedProgId) + L" did not set up its board: " + LastErrorText(hr));
        return kFailed;
    }
    PumpMessages(300);
    const bool saved = SaveWindowBitmap(host.get(), picture);
    if (!saved) Report(L"QuelderDemo: the picture could not be saved to " + picture);
    return saved ? kPassed : kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    std::wstring picture;
    const Mode mode = ModeOf(picture);
    if (mode == Mode::Usage) {
        Complain(true, L"usage: QuelderDemo.exe [--play picture.bmp | --published picture.bmp]");
        return kUsage;
    }
    // Nobody is there to read a message box.
    const bool playing = mode != Mode::Interactive;

    // Declared so that they go in the reverse order: the window (and with it
    // the control), then OLE, then atl.dll.
    AtlContainer atl;
    OleSession ole;
    if (FAILED(ole.Result())) {
        Complain(playing, L"OLE could not be initialised.");
        return kCannotStart;
    }
    if (mode == Mode::Published) return SavePublished(instance, atl, picture);
    DemoWindow demo(instance, atl);
    if (!demo.Create(playing ? SW_SHOWNORMAL : show)) {
        Complain(playing, demo.Failure());
        return kCannotStart;
    }
    return playing ? Play(demo, picture) : RunLoop(demo);
}
