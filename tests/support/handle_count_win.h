// Open handles of a process, for the tests' leak checks: GetProcessHandleCount, or where that
// reports 0 (Wine does) the entries of the system's handle list (NtQuerySystemInformation,
// class 16) owned by the process. -1 when neither answers.
#pragma once

#include <windows.h>

long process_handle_count(HANDLE process);
