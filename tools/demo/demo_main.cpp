// QuelderDemo.exe: a small Windows program that puts the Quelder board on its
// window and lets the user play on it with the mouse.
//
//   QuelderDemo.exe                      the interactive demo
//   QuelderDemo.exe --play picture.bmp   plays a short game by itself with real
//                                        mouse clicks, saves a picture of its
//                                        window and exits with 0 only if the
//                                        control did what was expected
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <optional>
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

// The picture's path after --play; nullopt for the interactive demo; an
// empty string when --play has no path.
std::optional<std::wstring> PlayTarget(bool& usageError) {
    int count = 0;
    ArgumentList args(CommandLineToArgvW(GetCommandLineW(), &count));
    usageError = false;
    if (!args || count < 2) return std::nullopt;
    if (count == 3 && std::wstring(args.get()[1]) == L"--play") return std::wstring(args.get()[2]);
    usageError = true;
    return std::nullopt;
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
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (demo.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    bool usageError = false;
    const std::optional<std::wstring> picture = PlayTarget(usageError);
    if (usageError) {
        Complain(true, L"usage: QuelderDemo.exe [--play picture.bmp]");
        return kUsage;
    }
    const bool playing = picture.has_value();

    // Declared so that they go in the reverse order: the window (and with it
    // the control), then OLE, then atl.dll.
    AtlContainer atl;
    OleSession ole;
    if (FAILED(ole.Result())) {
        Complain(playing, L"OLE could not be initialised.");
        return kCannotStart;
    }
    DemoWindow demo(instance, atl);
    if (!demo.Create(playing ? SW_SHOWNORMAL : show)) {
        Complain(playing, demo.Failure());
        return kCannotStart;
    }
    return playing ? Play(demo, *picture) : RunLoop(demo);
}
