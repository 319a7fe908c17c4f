// A test program that includes this ends at once when a fault escapes,
// saying what and where, instead of waiting for a debugger that never comes.
#pragma once

#include <windows.h>

#include <cstdio>

namespace quelder::testing {

inline LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    std::fprintf(stderr, "CRASH: exception 0x%08lx at %p\n", static_cast<unsigned long>(record.ExceptionCode),
                 record.ExceptionAddress);
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

inline const bool kCrashesReported = [] {
    SetUnhandledExceptionFilter(&ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    return true;
}();

}  // namespace quelder::testing
