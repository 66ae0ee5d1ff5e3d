// CriticalSection, ScopedLock, Semaphore, Event and the interlocked functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "concurrency/critical_section_win.h"
#include "concurrency/event_win.h"
#include "concurrency/interlocked_win.h"
#include "concurrency/semaphore_win.h"
#include "concurrency_test_support_win.h"

namespace {

TEST(CriticalSection, NestedUnlockClearsTheOwnerWhileTheLockIsStillHeld)
{
    CriticalSection lock;
    EXPECT_EQ(lock.is_held_by_caller(), 0);
    EXPECT_EQ(lock.lock(), 1);
    EXPECT_EQ(lock.lock(), 1);
    EXPECT_EQ(lock.is_held_by_caller(), 1);
    EXPECT_EQ(lock.unlock(), 1);
    EXPECT_EQ(lock.is_held_by_caller(), 0); // still held once, but no longer recorded

    // Not recorded, so another thread's lock_unless_held_elsewhere blocks instead of refusing.
    std::atomic<int32_t> result{-1};
    HelperThread other([&] {
        result = lock.lock_unless_held_elsewhere();
        lock.unlock();
    });
    EXPECT_FALSE(other.join(100));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(lock.unlock(), 1);
    EXPECT_TRUE(other.join(5000));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(lock.unlock(), 0); // nothing held any more
}

TEST(CriticalSection, LockUnlessHeldElsewhereRefusesAtOnceWhileAnotherThreadHoldsIt)
{
    CriticalSection lock;
    ASSERT_EQ(lock.lock(), 1);
    std::atomic<int32_t> refused{-1}, held{-1};
    HelperThread other([&] {
        refused = lock.lock_unless_held_elsewhere();
        held = lock.is_held_by_caller();
    });
    ASSERT_TRUE(other.join(5000));
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(held, 0);
    // The holder itself may enter again.
    EXPECT_EQ(lock.lock_unless_held_elsewhere(), 1);
    EXPECT_EQ(lock.unlock(), 1);
    EXPECT_EQ(lock.unlock(), 1);
}

TEST(CriticalSection, ScopedLocksExcludeEachOther)
{
    CriticalSection lock;
    long counter = 0; // deliberately not atomic: the lock must protect it
    auto add = [&] {
        for (int i = 0; i < 20000; ++i) {
            ScopedLock guard(&lock);
            counter = counter + 1;
        }
    };
    {
        HelperThread a(add), b(add), c(add);
        EXPECT_TRUE(a.join(20000) && b.join(20000) && c.join(20000));
    }
    EXPECT_EQ(counter, 60000);
    EXPECT_EQ(lock.unlock(), 0); // every guard unlocked
}

TEST(Semaphore, CountsPermitsAndRefusesToPassItsMaximum)
{
    Semaphore permits(0, 4);
    ASSERT_NE(permits.native_handle(), nullptr);
    EXPECT_EQ(permits.wait(0), 0);
    EXPECT_EQ(permits.release(3), 1);
    EXPECT_EQ(permits.wait(0), 1);
    EXPECT_EQ(permits.wait(0), 1);
    EXPECT_EQ(permits.wait(0), 1);
    EXPECT_EQ(permits.wait(0), 0);

    EXPECT_EQ(permits.release(5), 0); // above the maximum: nothing added
    EXPECT_EQ(permits.wait(0), 0);
    EXPECT_EQ(permits.release_one(), 1);
    EXPECT_EQ(permits.wait(0), 1);
}

TEST(Event, AutoResetWaitConsumesTheSignalButNotTheFlag)
{
    Event event(false);
    EXPECT_EQ(event.is_set(), 0);
    EXPECT_EQ(event.wait(0), 0);
    EXPECT_EQ(event.set(), 1);
    EXPECT_EQ(event.wait(0), 1);
    EXPECT_EQ(event.is_set(), 1);
    EXPECT_EQ(event.wait(0), 0);
    EXPECT_EQ(event.reset(), 1);
    EXPECT_EQ(event.is_set(), 0);
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    Event event(true);
    event.set();
    EXPECT_EQ(event.wait(0), 1);
    EXPECT_EQ(event.wait(0), 1);
    event.reset();
    EXPECT_EQ(event.is_set(), 0);
    EXPECT_EQ(event.wait(0), 0);
}

TEST(Interlocked, ReturnsNewValuesAndEqualsNeverWrites)
{
    volatile long value = 41;
    EXPECT_EQ(atomic_increment(&value), 42);
    EXPECT_EQ(atomic_equals(&value, 42), 1);
    EXPECT_EQ(atomic_equals(&value, 7), 0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(atomic_decrement(&value), 41);
    value = -1;
    EXPECT_EQ(atomic_increment(&value), 0);
    EXPECT_EQ(atomic_equals(&value, 0), 1);
    EXPECT_EQ(value, 0);
}

TEST(Interlocked, ConcurrentIncrementsAndDecrementsLoseNothing)
{
    volatile long value = 0;
    auto up = [&] {
        for (int i = 0; i < 50000; ++i)
            atomic_increment(&value);
    };
    auto down = [&] {
        for (int i = 0; i < 20000; ++i)
            atomic_decrement(&value);
    };
    {
        HelperThread a(up), b(up), c(down);
        EXPECT_TRUE(a.join(20000) && b.join(20000) && c.join(20000));
    }
    EXPECT_EQ(atomic_equals(&value, 80000), 1);
}

} // namespace
