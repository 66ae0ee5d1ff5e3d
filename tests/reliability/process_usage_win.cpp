#include "process_usage_win.h"

#include <psapi.h>

#include "support/handle_count_win.h"

uint64_t process_private_bytes(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

ProcessUsage settled_usage(HANDLE process, DWORD quiet_ms, DWORD timeout_ms)
{
    const DWORD begin = GetTickCount();
    ProcessUsage last{process_handle_count(process), process_private_bytes(process)};
    DWORD since = begin;
    while (GetTickCount() - since < quiet_ms && GetTickCount() - begin < timeout_ms) {
        Sleep(25);
        const ProcessUsage now{process_handle_count(process), process_private_bytes(process)};
        if (now.handles != last.handles || now.private_bytes != last.private_bytes) {
            last = now;
            since = GetTickCount();
        }
    }
    return last;
}
