// Shared by the About tests: a host-style message loop, a watcher that reads
// and closes message boxes, the registry values of the system-information
// lookup, and copies of the stand-in program that records its own start.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/message_loop.hpp"

namespace quelder::about::testing {

using ::quelder::testing::PumpUntil;

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

// What a message box showed.
struct SeenMessageBox {
    bool shown = false;
    std::wstring title;
    std::wstring text;
    HWND owner = nullptr;
    std::vector<std::wstring> buttons;  // captions of the visible buttons
    int icons = 0;                      // visible icons
};

// Watches a thread for a message box from its start to Result(); reads the
// first one that shows and presses its OK button.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(DWORD thread = GetCurrentThreadId(), DWORD timeoutMs = 20000)
        : thread_(thread), timeoutMs_(timeoutMs), worker_([this] { Run(); }) {}
    ~MessageBoxWatcher() { Stop(); }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Waits until the box was seen and closed, or until `wait` is over.
    bool WaitShown(DWORD waitMs) {
        return PumpUntil([this] { return seen_done_.load(); }, waitMs);
    }

    SeenMessageBox Result() {
        Stop();
        return seen_;
    }

private:
    void Stop() {
        stop_ = true;
        if (worker_.joinable()) worker_.join();
    }

    static bool IsMessageBox(HWND window) { return ClassOf(window) == L"#32770" && IsWindowVisible(window); }

    // Window enumeration callbacks: Windows calls them with its own calling
    // convention, which a lambda does not have on 32-bit.
    static BOOL CALLBACK FindMessageBox(HWND window, LPARAM found) {
        if (!IsMessageBox(window)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    static BOOL CALLBACK ReadChild(HWND child, LPARAM self);

    void Run() {
        const ULONGLONG end = GetTickCount64() + timeoutMs_;
        while (!stop_ && GetTickCount64() < end) {
            HWND box = nullptr;
            EnumThreadWindows(thread_, &FindMessageBox, reinterpret_cast<LPARAM>(&box));
            if (box) {
                Read(box);
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                seen_done_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    void Read(HWND box) {
        seen_.shown = true;
        seen_.title = WindowText(box);
        seen_.owner = GetWindow(box, GW_OWNER);
        EnumChildWindows(box, &ReadChild, reinterpret_cast<LPARAM>(this));
    }

    DWORD thread_;
    DWORD timeoutMs_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_done_{false};
    SeenMessageBox seen_;
    std::thread worker_;
};

inline BOOL CALLBACK MessageBoxWatcher::ReadChild(HWND child, LPARAM self) {
    auto& seen = reinterpret_cast<MessageBoxWatcher*>(self)->seen_;
    if (!IsWindowVisible(child)) return TRUE;
    const std::wstring kind = ClassOf(child);
    if (kind == L"Button") {
        seen.buttons.push_back(WindowText(child));
    } else if (kind == L"Static") {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            if (SendMessageW(child, STM_GETICON, 0, 0)) ++seen.icons;
        } else if (const std::wstring text = WindowText(child); !text.empty()) {
            seen.text += text;
        }
    }
    return TRUE;
}

// The title a message box gets when its caller gives none.
inline std::wstring DefaultMessageBoxTitle() {
    MessageBoxWatcher watcher;
    MessageBoxW(nullptr, L"reference", nullptr, MB_OK);
    return watcher.Result().title;
}

// The two registry values the lookup reads. Saves and removes them for the
// life of the object, then puts back what was there.
class SysInfoRegistry {
public:
    static constexpr wchar_t kPathKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr wchar_t kFolderKey[] = L"SOFTWARE\\Microsoft\\Shared Tools Location";

    SysInfoRegistry() : path_(kPathKey, L"PATH"), folder_(kFolderKey, L"MSINFO") {}

    // The bytes are stored as they are (an ANSI text with or without NUL).
    void SetPath(DWORD type, const std::string& bytes) { path_.Set(type, bytes); }
    void SetFolder(DWORD type, const std::string& bytes) { folder_.Set(type, bytes); }

private:
    class SavedValue {
    public:
        SavedValue(const wchar_t* key, const wchar_t* name) : key_(key), name_(name) {
            DWORD disposition = 0;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle_, &disposition);
            created_ = disposition == REG_CREATED_NEW_KEY;
            DWORD size = 0;
            if (RegQueryValueExW(handle_, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
                data_.resize(size);
                present_ = RegQueryValueExW(handle_, name_, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
                RegDeleteValueW(handle_, name_);
            }
        }
        ~SavedValue() {
            RegDeleteValueW(handle_, name_);
            if (present_)
                RegSetValueExW(handle_, name_, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
            RegCloseKey(handle_);
            if (created_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_);
        }
        SavedValue(const SavedValue&) = delete;
        SavedValue& operator=(const SavedValue&) = delete;

        void Set(DWORD type, const std::string& bytes) {
            std::string name(name_, name_ + wcslen(name_));
            RegSetValueExA(handle_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
        }

    private:
        const wchar_t* key_;
        const wchar_t* name_;
        HKEY handle_ = nullptr;
        bool created_ = false;
        bool present_ = false;
        DWORD type_ = 0;
        std::vector<BYTE> data_;
    };

    SavedValue path_;
    SavedValue folder_;
};

// One start of the stand-in, as it recorded it.
struct StandInRun {
    std::string program;      // its own path
    std::string commandLine;  // as it received it
    bool showWindowSet = false;
    int showWindow = -1;
};

// Copies of the stand-in program placed where a test wants them; every file
// and folder made is removed at the end. The copies record their starts in
// one marker file.
class StandIns {
public:
    static constexpr char kScratch[] = "C:\\quelder-about-test";

    StandIns() {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        source_ = self;
        source_ = source_.substr(0, source_.find_last_of('\\') + 1) + QUELDER_STAND_IN_NAME;
        RemoveTree(kScratch);  // left over from a run that was cut short
        MakeFolder(kScratch);
        marker_ = std::string(kScratch) + "\\runs.txt";
        SetEnvironmentVariableA("QUELDER_SYSINFO_MARKER", marker_.c_str());
    }
    ~StandIns() {
        // A copy that is still running cannot be deleted yet.
        files_.push_back(marker_);
        PumpUntil(
            [this] {
                bool gone = true;
                for (const std::string& file : files_)
                    gone = (DeleteFileA(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) && gone;
                return gone;
            },
            10000);
        for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) RemoveDirectoryA(folder->c_str());
        RemoveTree(kScratch);
        SetEnvironmentVariableA("QUELDER_SYSINFO_MARKER", nullptr);
    }
    StandIns(const StandIns&) = delete;
    StandIns& operator=(const StandIns&) = delete;

    // Makes a folder (and the folders above it) that did not exist.
    void MakeFolder(const std::string& path) {
        for (size_t end = path.find('\\', 3); ; end = path.find('\\', end + 1)) {
            const std::string part = path.substr(0, end);
            if (CreateDirectoryA(part.c_str(), nullptr)) folders_.push_back(part);
            if (end == std::string::npos) break;
        }
    }

    // A copy of the stand-in at `path`; true when it is there.
    bool Place(const std::string& path) {
        MakeFolder(path.substr(0, path.find_last_of('\\')));
        if (!CopyFileA(source_.c_str(), path.c_str(), FALSE)) return false;
        files_.push_back(path);
        return true;
    }

    std::vector<StandInRun> Runs() const {
        std::vector<StandInRun> runs;
        const HANDLE file = CreateFileA(marker_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return runs;
        std::string text;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
        CloseHandle(file);
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = text.substr(start, end - start);
            const size_t a = line.find('|'), c = line.rfind('|'), b = line.rfind('|', c - 1);
            if (a == std::string::npos || b <= a || c <= b) continue;
            runs.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1, c - b - 1) == "1",
                            std::stoi(line.substr(c + 1))});
        }
        return runs;
    }

    // Waits (running the message loop) until `count` starts are recorded.
    std::vector<StandInRun> WaitForRuns(size_t count, DWORD timeoutMs = 15000) const {
        PumpUntil([&] { return Runs().size() >= count; }, timeoutMs);
        return Runs();
    }

private:
    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA entry;
        const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = entry.cFileName;
                if (name == "." || name == "..") continue;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(folder + "\\" + name);
                else DeleteFileA((folder + "\\" + name).c_str());
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

    std::string source_;
    std::string marker_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
};

}  // namespace quelder::about::testing
