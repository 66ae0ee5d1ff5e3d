// What another process holds: its open handles and its private memory, for the leak checks
// of Dravik.exe run from outside.
//
// - Handles: process_handle_count (support/handle_count_win.h).
// - Private bytes: PrivateUsage of PROCESS_MEMORY_COUNTERS_EX, or where that reports 0 (Wine,
//   for another process) PagefileUsage, which is the same figure on Windows. 0 when neither
//   answers.
// - settled_usage polls both until they hold still, so that threads that are just ending
//   (and the handles they release) do not count.
#pragma once

#include <windows.h>

#include <cstdint>

#include "support/handle_count_win.h"

struct ProcessUsage {
    long handles = -1;
    uint64_t private_bytes = 0;
};

uint64_t process_private_bytes(HANDLE process);

// Both figures once they kept one value for quiet_ms (polled every 25 ms), or the last ones
// after timeout_ms.
ProcessUsage settled_usage(HANDLE process, DWORD quiet_ms = 300, DWORD timeout_ms = 5000);
