// Stands in for the system-information program in the About tests. Appends
// one line to the file named by QUELDER_SYSINFO_MARKER:
//   <own path>|<command line>|<STARTF_USESHOWWINDOW set: 0 or 1>|<wShowWindow>
// and exits.
#include <windows.h>

#include <string>

int main() {
    char marker[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QUELDER_SYSINFO_MARKER", marker, MAX_PATH)) return 1;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    const std::string line = std::string(self) + "|" + GetCommandLineA() + "|" +
                             ((startup.dwFlags & STARTF_USESHOWWINDOW) ? "1" : "0") + "|" +
                             std::to_string(startup.wShowWindow) + "\n";
    const HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
