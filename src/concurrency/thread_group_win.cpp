#include "concurrency/thread_group_win.h"

#include <process.h>

#include "concurrency/interlocked_win.h"

namespace {

unsigned __stdcall group_entry(void* object)
{
    return static_cast<unsigned>(static_cast<ThreadGroup*>(object)->thread_main());
}

constexpr int32_t max_permits = 0x7FFFFFFF;

} // namespace

ThreadGroup::ThreadGroup(uint32_t thread_count)
    : records_(nullptr), semaphore_(nullptr), started_(false), wake_(true), stop_signal_(true),
      thread_count_(thread_count == 0 ? 1 : thread_count), started_threads_(0), priority_(0),
      retired_semaphore_(nullptr)
{
}

ThreadGroup::~ThreadGroup()
{
    stop();
    delete[] records_; // left by a vetoed start
    delete semaphore_.load();
    delete retired_semaphore_;
}

int32_t ThreadGroup::start()
{
    if (stop() == 0)
        return 0;
    ThreadRecord* records = new ThreadRecord[thread_count_]();
    delete[] records_;
    records_ = records;
    delete retired_semaphore_;
    retired_semaphore_ = nullptr;
    delete semaphore_.exchange(new Semaphore(0, max_permits));
    started_.reset();
    wake_.reset();
    stop_signal_.reset();
    started_threads_ = 0;
    if (on_start() == 0)
        return 0;
    // Without a semaphore no thread could ever take a permit.
    if (semaphore_.load()->native_handle() == nullptr)
        return 0;

    ScopedLock guard(&records_lock_);
    for (uint32_t i = 0; i < thread_count_; ++i) {
        // Created suspended so that record and priority are in place before the thread runs.
        unsigned id = 0;
        HANDLE handle = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, group_entry, this, CREATE_SUSPENDED, &id));
        if (handle == nullptr) {
            release_threads();
            return 0;
        }
        records_[i].handle = handle;
        records_[i].thread_id = id;
        SetThreadPriority(handle, priority_);
        ResumeThread(handle);
    }
    // started is auto-reset and may gather several threads' signals into one: count them.
    int32_t result = started_.wait(INFINITE);
    while (result != 0 &&
           atomic_equals(&started_threads_, static_cast<int32_t>(thread_count_)) == 0)
        result = started_.wait(INFINITE);
    return result;
}

int32_t ThreadGroup::stop()
{
    if (!running())
        return 1;
    ScopedLock guard(&records_lock_);
    request_stop();
    if (caller_in_records())
        return 0;
    on_stop();
    release_threads();
    return 1;
}

void ThreadGroup::release_threads()
{
    ScopedLock guard(&records_lock_);
    request_stop();
    for (uint32_t i = 0; i < thread_count_; ++i) {
        if (records_[i].handle == nullptr)
            continue;
        WaitForSingleObject(records_[i].handle, INFINITE);
        CloseHandle(records_[i].handle);
    }
    delete[] records_;
    records_ = nullptr;
    delete retired_semaphore_;
    retired_semaphore_ = semaphore_.exchange(nullptr);
    started_threads_ = 0;
}

bool ThreadGroup::caller_in_records() const
{
    if (!running())
        return false;
    const uint32_t caller = GetCurrentThreadId();
    for (uint32_t i = 0; i < thread_count_; ++i) {
        if (records_[i].thread_id == caller)
            return true;
    }
    return false;
}

bool ThreadGroup::any_suspended() const
{
    if (!running())
        return false;
    for (uint32_t i = 0; i < thread_count_; ++i) {
        if (records_[i].suspended != 0)
            return true;
    }
    return false;
}

int32_t ThreadGroup::thread_main()
{
    atomic_increment(&started_threads_);
    started_.set();
    Semaphore* permits = semaphore_.load();
    // A failed wait ends the thread; treating it as a permit would run the body unbounded.
    if (permits->wait(INFINITE) == 0 || should_continue() == 0)
        return -1;
    int32_t result;
    do {
        result = dispatch();
    } while (permits->wait(INFINITE) != 0 && should_continue() != 0);
    return result;
}

int32_t ThreadGroup::should_continue() { return stop_signal_.is_set() ? 0 : 1; }

int32_t ThreadGroup::request_stop()
{
    stop_signal_.set();
    {
        ScopedLock guard(&records_lock_);
        if (any_suspended())
            resume();
    }
    signal(thread_count_ > static_cast<uint32_t>(max_permits)
               ? max_permits
               : static_cast<int32_t>(thread_count_));
    return 1;
}

int32_t ThreadGroup::set_priority(int32_t priority)
{
    priority_ = clamp_thread_priority(priority);
    ScopedLock guard(&records_lock_);
    if (running()) {
        for (uint32_t i = 0; i < thread_count_; ++i)
            SetThreadPriority(records_[i].handle, priority_);
    }
    return 1;
}

int32_t ThreadGroup::suspend()
{
    ScopedLock guard(&records_lock_);
    // A group thread would suspend itself holding the lock that resume needs.
    if (!running() || caller_in_records())
        return 0;
    for (uint32_t i = 0; i < thread_count_; ++i) {
        ThreadRecord& record = records_[i];
        if (record.suspended == 0 && SuspendThread(record.handle) != static_cast<DWORD>(-1))
            record.suspended = 1;
    }
    return 1;
}

int32_t ThreadGroup::resume()
{
    ScopedLock guard(&records_lock_);
    if (!running())
        return 0;
    for (uint32_t i = 0; i < thread_count_; ++i) {
        ThreadRecord& record = records_[i];
        if (record.suspended != 0 && ResumeThread(record.handle) != static_cast<DWORD>(-1))
            record.suspended = 0;
    }
    return 1;
}

int32_t ThreadGroup::sleep(uint32_t milliseconds)
{
    {
        ScopedLock guard(&records_lock_);
        if (!caller_in_records())
            return 0;
    }
    HANDLE signals[2] = {wake_.native_handle(), stop_signal_.native_handle()};
    const DWORD result = WaitForMultipleObjects(2, signals, FALSE, milliseconds);
    if (take_wake() != 0) {
        ScopedLock guard(&records_lock_);
        if (any_suspended())
            resume();
    }
    return result == WAIT_TIMEOUT ? 1 : 0;
}

int32_t ThreadGroup::wake() { return wake_.set(); }

int32_t ThreadGroup::take_wake()
{
    const int32_t was_set = wake_.is_set();
    wake_.reset();
    return was_set;
}

int32_t ThreadGroup::set_thread_count(uint32_t count)
{
    if (running())
        return 0;
    thread_count_ = count == 0 ? 1 : count;
    return 1;
}

int32_t ThreadGroup::signal(int32_t count)
{
    Semaphore* permits = semaphore_.load();
    return permits != nullptr ? permits->release(count) : 0;
}

int32_t ThreadGroup::signal_one() { return signal(1); }

int32_t ThreadGroup::run() { return 0; }
