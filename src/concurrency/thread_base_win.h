// The two interfaces of every thread object: ThreadBase (control of the thread or threads) and
// Runnable (what the thread body does). Thread and ThreadGroup derive from ThreadBase first
// and Runnable second.
//
// Contract:
// - ThreadBase operations return 1 for success or true and 0 for failure or false unless
//   stated otherwise; thread_main returns the thread's exit code. None throws.
// - on_start may veto a start by returning 0; on_stop is told before a stop joins the thread.
//   Both return 1 by default.
// - The body is chosen by the callback kind: kind 0 (the default, and whenever no callback is
//   stored) runs run(); set_callback stores a plain function (kind 2); set_system_callback
//   stores a function in the thread-procedure convention of Win32 (kind 3; kind 1 is
//   dispatched the same way but no setter stores it). Any other kind yields -1. On x64 both
//   conventions are the same.
// - The callback setters are for the controlling thread while no thread of the object runs.
#pragma once

#include <windows.h>

#include <cstdint>

class ThreadBase {
public:
    virtual ~ThreadBase() = default;
    virtual int32_t start() = 0;
    virtual int32_t stop() = 0;
    virtual int32_t should_continue() = 0;
    virtual int32_t request_stop() = 0;
    virtual int32_t set_priority(int32_t priority) = 0;
    virtual int32_t suspend() = 0;
    virtual int32_t resume() = 0;
    virtual int32_t sleep(uint32_t milliseconds) = 0;
    virtual int32_t wake() = 0;
    virtual int32_t take_wake() = 0;
    virtual int32_t thread_main() = 0;

protected:
    virtual int32_t on_start() { return 1; }
    virtual int32_t on_stop() { return 1; }

    ThreadBase() = default;
    ThreadBase(const ThreadBase&) = delete;
    ThreadBase& operator=(const ThreadBase&) = delete;
};

// Thread priorities run from -15 (idle) to 15 (time critical), 0 being normal; values outside
// are clamped, never rejected.
int32_t clamp_thread_priority(int32_t priority);

class Runnable {
public:
    // A plain function (kind 2) and a Win32 thread procedure (kind 3); both receive the user
    // value and return the thread's exit code.
    using Callback = int32_t (*)(void* user_value);
    using SystemCallback = DWORD(WINAPI*)(void* user_value);

    enum Kind : int32_t { run_body = 0, system_legacy = 1, plain = 2, system = 3 };

    virtual ~Runnable() = default;
    virtual void set_system_callback(SystemCallback function, void* user_value);
    virtual void set_callback(Callback function, void* user_value);
    virtual int32_t run() = 0;

protected:
    Runnable() = default;
    Runnable(const Runnable&) = delete;
    Runnable& operator=(const Runnable&) = delete;

    // Runs the body once as the kind says and returns its result.
    int32_t dispatch();

private:
    // Stored as the generic function pointer type and cast back to the kind's own type.
    void (*callback_)() = nullptr;
    void* user_value_ = nullptr;
    int32_t kind_ = run_body;
};
