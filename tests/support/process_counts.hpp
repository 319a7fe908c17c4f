// What this process holds now, as Windows and Wine can tell it: GDI objects,
// windows and committed memory. For the checks that instances leave nothing
// behind and for the benchmark's figures.
#pragma once

#include <windows.h>
#include <winternl.h>
#include <psapi.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

namespace quelder::testing {

// The GDI objects of this process. Wine's GetGuiResources counts nothing;
// there the process's GDI handle table (the PEB's GdiSharedHandleTable, 24-byte
// entries with the object's type at byte 14, in 32-bit processes too) is
// counted instead. -1 when neither can be read.
inline long GdiObjectCount() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<long>(count);
    struct Entry {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type;
        std::uint8_t flags;
        std::uint64_t user;
    };
    static_assert(sizeof(Entry) == 24);
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
    constexpr std::size_t kTableField = sizeof(void*) == 8 ? 0xF8 : 0x94;
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + kTableField);
    if (table == nullptr) return -1;
    long count = 0;
    for (int k = 0; k < 0x10000; ++k) count += table[k].type != 0 ? 1 : 0;
    return count;
}

// The windows of this thread's desktop that belong to this process: top-level
// windows and all their descendants; of them only those of the window class
// className when one is named (the control's own: "QuelderBoardWindow").
inline long WindowCount(const wchar_t* className = nullptr) {
    struct Walk {
        const wchar_t* className;
        long count = 0;
        void Take(HWND window) {
            wchar_t name[64]{};
            if (className == nullptr || (GetClassNameW(window, name, 64) > 0 && std::wcscmp(name, className) == 0))
                ++count;
        }
        static BOOL CALLBACK Child(HWND window, LPARAM walk) {
            reinterpret_cast<Walk*>(walk)->Take(window);
            return TRUE;
        }
        static BOOL CALLBACK Top(HWND window, LPARAM walk) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            reinterpret_cast<Walk*>(walk)->Take(window);
            EnumChildWindows(window, &Walk::Child, walk);
            return TRUE;
        }
    };
    Walk walk{className};
    EnumWindows(&Walk::Top, reinterpret_cast<LPARAM>(&walk));
    return walk.count;
}

// The process's committed private memory, in bytes (what
// GetProcessMemoryInfo reports under Wine too).
inline SIZE_T CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// The most memory this process has had in use at once (its peak working
// set), in bytes: a large allocation leaves it raised after it is freed.
inline SIZE_T PeakWorkingSetBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// The bytes held in busy blocks of all the process's heaps: what is allocated
// and not yet freed, without the pages a heap keeps committed for later. A
// leak shows here byte for byte; fragmentation and the heap's growth steps
// do not.
inline std::size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) return 0;
    std::size_t bytes = 0;
    for (DWORD k = 0; k < count; ++k) {
        if (!HeapLock(heaps[k])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[k], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[k]);
    }
    return bytes;
}

}  // namespace quelder::testing
