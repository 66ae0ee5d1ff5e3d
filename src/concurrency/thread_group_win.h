// ThreadGroup: N Win32 threads that share one body. Each pass of the body is released by one
// permit of a counting semaphore: signal(k) lets k passes run, on any of the threads.
//
// Contract:
// - start, stop, set_thread_count, suspend and resume belong to one controlling thread. start
//   stops the threads of an earlier start first, makes fresh records and a fresh semaphore
//   (0 permits) and returns 1 only when all N threads have begun and wait for permits; 0 when
//   on_start vetoed (records and semaphore are then in place, but no thread), when a thread
//   could not be created (those already made are joined), or when called on one of the
//   group's own threads (the stop signal is raised, as stop does).
// - A thread that takes a permit ends, without running the body, once should_continue
//   returns 0; otherwise it runs the body once and waits for the next permit.
// - stop raises the stop signal, resumes suspended threads, releases N permits so every
//   thread wakes, tells on_stop and joins all threads WITHOUT time-out: the body must end once
//   should_continue returns 0. stop returns 1 when nothing runs or all were joined, 0 on one of
//   the group's own threads (only the signal is raised there).
// - While a stop may run, the body must not call start, stop, request_stop, set_priority,
//   suspend, resume or sleep: they take the records lock that stop holds while joining.
//   should_continue, wake, take_wake, signal and signal_one take no lock.
// - signal returns the semaphore's release result, 0 before the first start and after stop.
//   It may race a stop from another thread (the stopped semaphore lives until the next start
//   or destruction), but not a start.
// - suspend and resume act on every thread; 0 when the group is not running or (suspend) when
//   called on one of its own threads, else 1. sleep waits only on the group's own threads.
// - set_priority clamps to -15..15 and applies to every thread. set_thread_count returns 0
//   while running and changes nothing; otherwise it stores the count (0 means 1).
// - data_lock is never taken by ThreadGroup; it guards a derived class's data. Lock order: the
//   data lock before the records lock.
// - A derived class whose body uses its own members must stop the group in its own destructor.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "concurrency/critical_section_win.h"
#include "concurrency/event_win.h"
#include "concurrency/semaphore_win.h"
#include "concurrency/thread_base_win.h"

class ThreadGroup : public ThreadBase, public Runnable {
public:
    explicit ThreadGroup(uint32_t thread_count);
    ~ThreadGroup() override;

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
    virtual int32_t set_thread_count(uint32_t count);
    virtual int32_t signal(int32_t count);
    virtual int32_t signal_one();

    // The default body does nothing and returns 0.
    int32_t run() override;

protected:
    CriticalSection& data_lock() { return data_lock_; }

private:
    struct ThreadRecord {
        HANDLE handle;
        uint32_t thread_id;
        int32_t suspended;
    };

    // Records exist and the first holds a thread. Under the records lock, or on the controller.
    bool running() const { return records_ != nullptr && records_[0].handle != nullptr; }
    // Under the records lock: whether the caller is one of the running threads.
    bool caller_in_records() const;
    // Under the records lock: whether any running thread is marked suspended.
    bool any_suspended() const;
    // Joins and closes every thread, frees the records and retires the semaphore.
    void release_threads();

    ThreadRecord* records_;             // records_lock_; thread_count_ entries
    std::atomic<Semaphore*> semaphore_; // replaced by start, retired by stop
    CriticalSection data_lock_;         // for derived classes
    CriticalSection records_lock_;
    Event started_;
    Event wake_;
    Event stop_signal_;
    uint32_t thread_count_;         // changed only while not running
    volatile long started_threads_; // interlocked
    std::atomic<int32_t> priority_;
    // The semaphore of the last stop, kept alive for a signal that may still be using it.
    Semaphore* retired_semaphore_;
};
