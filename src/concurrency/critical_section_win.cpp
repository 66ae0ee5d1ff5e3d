#include "concurrency/critical_section_win.h"

CriticalSection::CriticalSection() : owner_(0), holds_(0) { InitializeCriticalSection(&section_); }

CriticalSection::~CriticalSection()
{
    // A holder may destroy the lock without unlocking; the section must be free to be deleted.
    while (holds_.load(std::memory_order_relaxed) > 0) {
        holds_.fetch_sub(1, std::memory_order_relaxed);
        LeaveCriticalSection(&section_);
    }
    DeleteCriticalSection(&section_);
}

int32_t CriticalSection::lock()
{
    EnterCriticalSection(&section_);
    holds_.fetch_add(1, std::memory_order_relaxed);
    owner_.store(GetCurrentThreadId(), std::memory_order_relaxed);
    return 1;
}

int32_t CriticalSection::unlock()
{
    if (holds_.load(std::memory_order_relaxed) == 0)
        return 0;
    holds_.fetch_sub(1, std::memory_order_relaxed);
    owner_.store(0, std::memory_order_relaxed);
    LeaveCriticalSection(&section_);
    return 1;
}

int32_t CriticalSection::lock_unless_held_elsewhere()
{
    const uint32_t owner = owner_.load(std::memory_order_relaxed);
    if (owner != 0 && owner != GetCurrentThreadId())
        return 0;
    return lock();
}

int32_t CriticalSection::is_held_by_caller()
{
    return owner_.load(std::memory_order_relaxed) == GetCurrentThreadId() ? 1 : 0;
}
