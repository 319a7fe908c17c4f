// Shared by the Windows test programs: a host's message loop, run until a
// condition holds or for a while.
#pragma once

#include <windows.h>

namespace quelder::testing {

// A host's message loop: translates and dispatches, and never calls
// IsDialogMessage. Runs until done() holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        if (GetTickCount64() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}
inline void Pump(DWORD ms = 50) { PumpUntil([] { return false; }, ms); }

}  // namespace quelder::testing
