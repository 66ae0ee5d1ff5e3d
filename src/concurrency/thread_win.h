// Thread: one Win32 thread (created through the C runtime) whose body is run() or a callback
// (see thread_base_win.h), with a stop signal, a wake-up signal, suspension and a priority.
//
// Contract:
// - start, stop, suspend and resume belong to one controlling thread. start stops a thread of
//   an earlier start first and returns 1 once the new thread has begun, 0 when on_start vetoed
//   it, its creation failed, or start was called on the object's own thread (which cannot join
//   itself; the stop signal is then raised, as stop does).
// - stop raises the stop signal, resumes a suspended thread, tells on_stop and joins the
//   thread WITHOUT time-out: the body must end once should_continue returns 0. stop returns 1
//   when no thread exists or it was joined, 0 on the object's own thread (only the signal is
//   raised there). The stop signal stays raised until the next start.
// - stop joins without holding the object's lock and keeps the thread's id until the thread
//   has ended, so the body may call stop (which then returns 0) at any moment, also while
//   the controlling thread's stop joins it. The body must not call suspend or resume;
//   should_continue, wake, take_wake, sleep, set_priority, request_stop and stop are safe.
// - suspend and resume return 1 on a change, 0 without a thread or when it already is in that
//   state; suspend also returns 0 on the object's own thread, which would otherwise stop with
//   the lock held where resume needs it.
// - sleep waits on the object's own thread only (elsewhere it returns 0 at once): 1 when the
//   time ran out, 0 when wake or the stop signal ended it. wake stays raised until take_wake
//   (or a sleep, which takes it) clears it; one wake ends every current sleep.
// - set_priority clamps to -15..15 and applies at once, or when the next thread is created.
// - exit_code is the exit code of the last thread that stop joined (0 before any).
// - detach gives the running thread up without joining it: its handle is closed and the
//   object forgets it, so that stop and the destructor return at once from then on. The body
//   runs on; it must end by itself, and the object may then be destroyed on that thread.
// - A derived class whose body uses its own members must stop the thread in its own
//   destructor; Thread's destructor stops it too, but by then the derived part is gone. Never
//   destroy the object on its own thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "concurrency/critical_section_win.h"
#include "concurrency/event_win.h"
#include "concurrency/thread_base_win.h"

class Thread : public ThreadBase, public Runnable {
public:
    Thread();
    ~Thread() override;

    int32_t start() override;
    int32_t stop() override;
    int32_t should_continue() override;
    int32_t request_stop() override;
    int32_t set_priority(int32_t priority) override;
    int32_t suspend() override;
    int32_t resume() override;
    int32_t sleep(uint32_t milliseconds) override;
    int32_t wake() override;
    int32_t take_wake() override;
    int32_t thread_main() override;
    virtual HANDLE native_handle();
    virtual uint32_t thread_id();
    void detach();

    // The default body does nothing and returns 0.
    int32_t run() override;

    int32_t exit_code() const { return exit_code_; }

private:
    bool on_own_thread() const;

    // Written under lock_ by start and stop (controlling thread); read by the body too.
    std::atomic<HANDLE> handle_;
    std::atomic<uint32_t> thread_id_;
    std::atomic<int32_t> suspended_; // written under lock_
    CriticalSection lock_;
    Event started_;
    Event wake_;
    Event stop_signal_;
    std::atomic<int32_t> priority_;
    int32_t exit_code_; // controlling thread only
};
