// Recursive locking: the Lockable interface, CriticalSection (a Win32 critical section that
// records its holder) and ScopedLock, the guard that pairs a lock with its unlock.
//
// Contract:
// - Operations return 1 for success or true and 0 for failure or false; none throws.
// - The lock is recursive. lock and unlock must be balanced per thread, and only a thread
//   that holds the lock may unlock it. unlock while nobody holds the lock returns 0 and
//   changes nothing.
// - The recorded owner is the thread of the last lock, and EVERY unlock clears it, nested ones
//   included: after lock, lock, unlock the caller still holds the lock once, yet
//   is_held_by_caller returns 0 and lock_unless_held_elsewhere no longer refuses other threads
//   (they block as in lock). Both tests are exact only for a lock that is not nested.
// - lock_unless_held_elsewhere never blocks when another thread is recorded as owner.
// - Destroy the lock on the thread that holds it (its remaining holds are left first) or while
//   no thread holds it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

class Lockable {
public:
    virtual ~Lockable() = default;
    virtual int32_t lock() = 0;
    virtual int32_t unlock() = 0;
    virtual int32_t lock_unless_held_elsewhere() = 0;
    virtual int32_t is_held_by_caller() = 0;

protected:
    Lockable() = default;
    Lockable(const Lockable&) = delete;
    Lockable& operator=(const Lockable&) = delete;
};

class CriticalSection : public Lockable {
public:
    CriticalSection();
    ~CriticalSection() override;
    int32_t lock() override;
    int32_t unlock() override;
    int32_t lock_unless_held_elsewhere() override;
    int32_t is_held_by_caller() override;

private:
    CRITICAL_SECTION section_;
    // Written only by the holder, inside section_; read by any thread, hence atomic.
    std::atomic<uint32_t> owner_;
    std::atomic<int32_t> holds_;
};

// Locks in the constructor and unlocks in the destructor; does not own the lock.
class ScopedLock {
public:
    explicit ScopedLock(Lockable* lock) : lock_(lock) { lock_->lock(); }
    ~ScopedLock() { lock_->unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Lockable* lock_;
};
