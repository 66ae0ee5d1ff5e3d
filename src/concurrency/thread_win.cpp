#include "concurrency/thread_win.h"

#include <process.h>

namespace {

unsigned __stdcall thread_entry(void* object)
{
    return static_cast<unsigned>(static_cast<Thread*>(object)->thread_main());
}

} // namespace

Thread::Thread()
    : handle_(nullptr), thread_id_(0), suspended_(0), started_(false), wake_(true),
      stop_signal_(true), priority_(0), exit_code_(0)
{
}

Thread::~Thread() { stop(); }

bool Thread::on_own_thread() const { return GetCurrentThreadId() == thread_id_.load(); }

int32_t Thread::start()
{
    if (stop() == 0)
        return 0;
    suspended_ = 0;
    started_.reset();
    wake_.reset();
    stop_signal_.reset();
    if (on_start() == 0)
        return 0;

    ScopedLock guard(&lock_);
    // Created suspended so that handle, id and priority are in place before the body runs:
    // a body that calls stop or sleep at once must already find its own id.
    unsigned id = 0;
    HANDLE handle = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, thread_entry, this, CREATE_SUSPENDED, &id));
    if (handle == nullptr)
        return 0;
    handle_ = handle;
    thread_id_ = id;
    SetThreadPriority(handle, priority_);
    ResumeThread(handle);
    return started_.wait(INFINITE);
}

int32_t Thread::stop()
{
    if (handle_.load() == nullptr)
        return 1;
    request_stop();
    if (on_own_thread())
        return 0;
    on_stop();

    // Joined without the lock and with the id kept until the thread has ended: a body that
    // calls stop meanwhile must still find its own id (and return) instead of waiting for a
    // lock held by the thread that joins it.
    const HANDLE handle = handle_.load();
    WaitForSingleObject(handle, INFINITE);
    {
        ScopedLock guard(&lock_);
        handle_ = nullptr;
        thread_id_ = 0;
        suspended_ = 0;
    }
    DWORD code = 0;
    if (GetExitCodeThread(handle, &code))
        exit_code_ = static_cast<int32_t>(code);
    CloseHandle(handle);
    return 1;
}

int32_t Thread::should_continue() { return stop_signal_.is_set() ? 0 : 1; }

int32_t Thread::request_stop()
{
    stop_signal_.set();
    if (suspended_ == 1)
        resume();
    return 1;
}

int32_t Thread::set_priority(int32_t priority)
{
    priority_ = clamp_thread_priority(priority);
    // On its own thread the pseudo-handle is used: a concurrent stop may be closing handle_.
    if (on_own_thread())
        SetThreadPriority(GetCurrentThread(), priority_);
    else if (HANDLE handle = handle_.load())
        SetThreadPriority(handle, priority_);
    return 1;
}

int32_t Thread::suspend()
{
    if (on_own_thread())
        return 0;
    ScopedLock guard(&lock_);
    HANDLE handle = handle_.load();
    if (handle == nullptr || suspended_ == 1)
        return 0;
    if (SuspendThread(handle) == static_cast<DWORD>(-1))
        return 0;
    suspended_ = 1;
    return 1;
}

int32_t Thread::resume()
{
    ScopedLock guard(&lock_);
    HANDLE handle = handle_.load();
    if (handle == nullptr || suspended_ == 0)
        return 0;
    if (ResumeThread(handle) == static_cast<DWORD>(-1))
        return 0;
    suspended_ = 0;
    return 1;
}

int32_t Thread::sleep(uint32_t milliseconds)
{
    if (!on_own_thread())
        return 0;
    HANDLE signals[2] = {wake_.native_handle(), stop_signal_.native_handle()};
    const DWORD result = WaitForMultipleObjects(2, signals, FALSE, milliseconds);
    if (take_wake() != 0 && suspended_ == 1)
        resume();
    return result == WAIT_TIMEOUT ? 1 : 0;
}

int32_t Thread::wake() { return wake_.set(); }

int32_t Thread::take_wake()
{
    const int32_t was_set = wake_.is_set();
    wake_.reset();
    return was_set;
}

int32_t Thread::thread_main()
{
    started_.set();
    return dispatch();
}

HANDLE Thread::native_handle() { return handle_.load(); }

void Thread::detach()
{
    if (on_own_thread())
        return;
    HANDLE handle = nullptr;
    {
        ScopedLock guard(&lock_);
        handle = handle_.exchange(nullptr);
        thread_id_ = 0;
        suspended_ = 0;
    }
    if (handle != nullptr)
        CloseHandle(handle);
}

uint32_t Thread::thread_id() { return thread_id_.load(); }

int32_t Thread::run() { return 0; }
