#include "about/sys_info.hpp"

#include <array>
#include <vector>

#include "about/about_dialog.hpp"
#include "handles/win_handles.hpp"

namespace quelder::about {
using namespace handles;
namespace {

constexpr char kProgramPathKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kProgramPathValue[] = "PATH";
constexpr char kProgramFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kProgramFolderValue[] = "MSINFO";
constexpr char kProgramFile[] = "\\MSINFO32.EXE";
constexpr DWORD kValueBufferSize = 1024;

// A file (not a folder) of that name exists.
bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Starts the program at exactly this path, shown normally. The path is the
// application name, so a path with spaces cannot be read as a shorter program
// with arguments; the command line only repeats it, quoted, as argument 0.
bool StartProgram(std::string path) {
    // The ANSI interface ends a text at its first NUL: so does the path.
    path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
    if (path.empty()) return false;
    const std::string quoted = "\"" + path + "\"";
    std::vector<char> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back('\0');

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    return true;
}

// "&h" and the bytes in hexadecimal, last byte first.
std::string HexFromLastByte(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "&h";
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        const auto value = static_cast<unsigned char>(*byte);
        text += kDigits[value >> 4];
        text += kDigits[value & 0x0F];
    }
    return text;
}

void ShowUnavailable() { MessageBoxW(AboutWindow(), kSysInfoUnavailable, nullptr, MB_OK); }

}  // namespace

bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal) {
    // Read access only: anything more is refused to users who are not
    // administrators.
    HKEY opened = nullptr;
    if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    const UniqueRegKey key(opened);

    std::array<BYTE, kValueBufferSize> buffer{};
    DWORD size = kValueBufferSize;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.get(), SubKeyRef.c_str(), nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }

    // The value ends at its size, less one terminating NUL if it has one. An
    // empty value is an empty text.
    size = size < kValueBufferSize ? size : kValueBufferSize;
    if (size > 0 && buffer[size - 1] == 0) --size;
    const std::string value(reinterpret_cast<const char*>(buffer.data()), size);

    switch (type) {
    case REG_SZ:
        KeyVal = value;
        break;
    case REG_DWORD:
        KeyVal = value.empty() ? std::string() : HexFromLastByte(value);
        break;
    default:
        break;
    }
    return true;
}

void StartSysInfo() {
    bool started = false;
    try {
        std::string path;
        if (GetKeyValue(HKEY_LOCAL_MACHINE, kProgramPathKey, kProgramPathValue, path)) {
            started = StartProgram(path);
        } else if (GetKeyValue(HKEY_LOCAL_MACHINE, kProgramFolderKey, kProgramFolderValue, path)) {
            if (FileExists(path + kProgramFile)) started = StartProgram(path + kProgramFile);
        }
    } catch (...) {
        started = false;
    }
    if (!started) ShowUnavailable();
}

}  // namespace quelder::about
