// The About dialog's "System Info..." button: finding the system-information
// program through the registry and starting it.
#pragma once

#include <windows.h>

#include <string>

namespace quelder::about {

// The one message every failure to find or start the program ends in.
inline constexpr wchar_t kSysInfoUnavailable[] = L"System Information Is Unavailable At This Time";

// Looks the program up (first the full path under "Shared Tools\MSINFO",
// then the folder under "Shared Tools Location") and starts it; when that
// fails, shows kSysInfoUnavailable in a message box owned by the About window
// and returns after the user closed it.
void StartSysInfo();

// Reads the value SubKeyRef of the key KeyRoot\KeyName (ANSI, read access
// only). Text values (REG_SZ) come back as their text without one terminating
// NUL; 32-bit numbers (REG_DWORD) as "&h" and their bytes in hexadecimal, most
// significant first; other types leave KeyVal as it was. A value that cannot
// be opened or read, or is longer than 1024 bytes, gives false and an empty
// KeyVal.
bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal);

}  // namespace quelder::about
