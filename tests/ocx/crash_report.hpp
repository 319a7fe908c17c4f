// A test program that includes this ends at once when a fault escapes,
// saying what and where, instead of waiting for a debugger that never comes.
#pragma once

#include <windows.h>

#include <cstdio>

namespace quelder::testing {

inline LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    // The module the fault is in and the offset in it, for addr2line.
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(record.ExceptionAddress), &module))
        GetModuleFileNameA(module, name, MAX_PATH);
    std::fprintf(stderr, "CRASH: exception 0x%08lx at %p, %s+0x%lx\n", static_cast<unsigned long>(record.ExceptionCode),
                 record.ExceptionAddress, name,
                 static_cast<unsigned long>(static_cast<const char*>(record.ExceptionAddress) -
                                            reinterpret_cast<const char*>(module)));
    // The return addresses on the stack that fall in a module, nearest first.
    CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
    const auto* stack = reinterpret_cast<const ULONG_PTR*>(context->Rsp);
#else
    const auto* stack = reinterpret_cast<const ULONG_PTR*>(context->Esp);
#endif
    for (int i = 0, shown = 0; i < 512 && shown < 24 && !IsBadReadPtr(stack + i, sizeof(ULONG_PTR)); ++i) {
        HMODULE in = nullptr;
        if (stack[i] < 0x10000 ||
            !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(stack[i]), &in))
            continue;
        char where[MAX_PATH] = "?";
        GetModuleFileNameA(in, where, MAX_PATH);
        std::fprintf(stderr, "  from %s+0x%lx\n", where,
                     static_cast<unsigned long>(stack[i] - reinterpret_cast<ULONG_PTR>(in)));
        ++shown;
    }
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
