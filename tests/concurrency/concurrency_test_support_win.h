// Helpers of the concurrency tests: a watchdog that ends the program when one test runs too
// long (a deadlock then fails instead of hanging; it also bounds the joins of stop, which
// wait without time-out), a bounded polling wait, a plain Win32 helper thread, and counts of
// the process's threads and open handles for leak checks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

// Seconds that one test may run before the watchdog ends the program: a deadlock ends the run
// instead of hanging it, with room for the 500-cycle abort test on a busy 2-core machine.
// DRAVIK_WATCHDOG_SECONDS sets a longer limit where everything runs slower (an emulated machine).
uint32_t watchdog_seconds();

// Polls condition every millisecond for at most milliseconds; true once it held.
bool eventually(const std::function<bool()>& condition, uint32_t milliseconds = 5000);

// Polls value every millisecond until it has kept one value for quiet milliseconds (true), or
// for at most milliseconds (false). Suspension under Wine takes effect a little after the call.
bool settles(const std::function<long()>& value, uint32_t quiet = 100,
             uint32_t milliseconds = 5000);

// Threads of this process (tool-help snapshot).
long process_thread_count();

// Open handles of this process: GetProcessHandleCount, or under Wine (which reports 0 there)
// the entries of the system handle list owned by this process. Always above 0.
long open_handle_count();

// A bare Win32 thread running a function, independent of the classes under test.
class HelperThread {
public:
    explicit HelperThread(std::function<void()> body);
    ~HelperThread(); // joins for at most 10 s, then fails the test
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // True once the function has returned, waiting at most milliseconds.
    bool join(uint32_t milliseconds);
    uint32_t id() const { return id_; }

private:
    static DWORD WINAPI entry(void* self);

    std::function<void()> body_;
    HANDLE handle_;
    DWORD id_;
};
