// WorkerPool: queue order, permits (one by one and all at once), wait_idle with and without
// time-out, clear, destruction with queued items, and restarts of a busy pool.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>

#include "concurrency/worker_pool_win.h"
#include "concurrency_test_support_win.h"

namespace {

struct Tally {
    std::atomic<int> ran{0};
    std::atomic<int> deleted{0};
};

class ProbeItem : public WorkItem {
public:
    explicit ProbeItem(Tally& tally, std::function<void()> work = {})
        : tally_(tally), work_(std::move(work))
    {
    }
    ~ProbeItem() override { ++tally_.deleted; }
    int32_t run() override
    {
        if (work_)
            work_();
        ++tally_.ran;
        return 0;
    }

private:
    Tally& tally_;
    std::function<void()> work_;
};

// An item that reports that it runs, then waits (bounded) for the gate.
std::function<void()> blocker(Event& entered, Event& gate)
{
    return [&entered, &gate] {
        entered.set();
        gate.wait(10000);
    };
}

TEST(WorkerPool, ZeroThreadsMeansOneWorkerThatRunsItemsInPostingOrder)
{
    WorkerPool pool(0);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    std::atomic<int> next{0};
    std::atomic<int> order[50];
    std::atomic<DWORD> worker[50];
    for (int i = 0; i < 50; ++i) {
        pool.post(new ProbeItem(tally, [&, i] {
            order[i] = next++;
            worker[i] = GetCurrentThreadId();
        }));
    }
    ASSERT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 50);
    EXPECT_EQ(tally.deleted, 50);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(worker[i], worker[0]);
    }
    EXPECT_NE(worker[0], GetCurrentThreadId());
}

TEST(WorkerPool, WaitIdleWithNothingPostedReturnsAtOnce)
{
    WorkerPool pool(2);
    EXPECT_EQ(pool.wait_idle(0), 1);
    EXPECT_EQ(pool.wait_idle(INFINITE), 1);
    ASSERT_EQ(pool.start(), 1);
    EXPECT_EQ(pool.wait_idle(0), 1);
    EXPECT_EQ(pool.wait_idle(INFINITE), 1);
    EXPECT_EQ(pool.post(nullptr), 0);
    EXPECT_EQ(pool.wait_idle(0), 1);
}

TEST(WorkerPool, ItemsPostedBeforeStartRunAfterIt)
{
    WorkerPool pool(3);
    Tally tally;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pool.post(new ProbeItem(tally)), 1);
    Sleep(50);
    EXPECT_EQ(tally.ran, 0);
    EXPECT_EQ(pool.wait_idle(0), 0);
    ASSERT_EQ(pool.start(), 1);
    ASSERT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 10);
    EXPECT_EQ(tally.deleted, 10);
}

// N items on N workers, posted one by one or all at once: every item starts without any further
// post (post_all gives one permit per item), all run at the same time, and wait_idle returns
// after the last is deleted. Each item waits, bounded, until all are inside.
class WorkerPoolPosting : public testing::TestWithParam<bool> {};

TEST_P(WorkerPoolPosting, NItemsRunTogetherAndWaitIdleReturnsAfterTheLastIsDeleted)
{
    const bool together = GetParam();
    const int n = 4;
    WorkerPool pool(n);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    std::atomic<int> inside{0}, saw_all{0};
    WorkItem* items[n];
    for (WorkItem*& item : items)
        item = new ProbeItem(tally, [&] {
            ++inside;
            if (eventually([&] { return inside == n; }, 3000))
                ++saw_all;
            Sleep(20);
        });
    if (together) {
        WorkItem* with_null[] = {items[0], nullptr};
        EXPECT_EQ(pool.post_all(with_null, 2), 0) << "a null item refuses them all";
        EXPECT_EQ(pool.wait_idle(0), 1) << "nothing was posted";
        ASSERT_EQ(pool.post_all(items, n), 1);
    } else {
        for (WorkItem* item : items)
            ASSERT_EQ(pool.post(item), 1);
    }
    EXPECT_TRUE(eventually([&] { return inside == n; }, 3000))
        << inside << " of " << n << " items started";
    ASSERT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(saw_all, n);
    EXPECT_EQ(tally.deleted, n);
}

INSTANTIATE_TEST_SUITE_P(OneByOneOrAllAtOnce, WorkerPoolPosting, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "PostAll" : "Post";
                         });

TEST(WorkerPool, TimedWaitOnABusyPoolReturnsZeroAndTheItemStillCompletes)
{
    WorkerPool pool(1);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    Event entered(true), gate(true);
    pool.post(new ProbeItem(tally, blocker(entered, gate)));
    ASSERT_EQ(entered.wait(5000), 1);

    const DWORD begin = GetTickCount();
    EXPECT_EQ(pool.wait_idle(0), 0);
    EXPECT_LT(GetTickCount() - begin, 1000u); // no blocking with a time-out of 0
    EXPECT_EQ(pool.wait_idle(100), 0);
    EXPECT_EQ(tally.deleted, 0);
    gate.set();
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 1);
    EXPECT_EQ(tally.deleted, 1);
}

TEST(WorkerPool, APermitWithoutAnItemDoesNothing)
{
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    EXPECT_EQ(pool.signal(3), 1);
    Sleep(20);
    EXPECT_EQ(pool.wait_idle(0), 1);
    Tally tally;
    for (int i = 0; i < 3; ++i)
        pool.post(new ProbeItem(tally));
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 3);
}

TEST(WorkerPool, DestroyingThePoolDeletesQueuedItemsUnrun)
{
    auto* pool = new WorkerPool(1);
    ASSERT_EQ(pool->start(), 1);
    Tally running, queued;
    Event entered(true), gate(true);
    pool->post(new ProbeItem(running, blocker(entered, gate)));
    for (int i = 0; i < 5; ++i)
        pool->post(new ProbeItem(queued));
    ASSERT_EQ(entered.wait(5000), 1);
    pool->request_stop(); // the worker ends after its item, without taking another
    gate.set();
    delete pool;
    EXPECT_EQ(running.ran, 1);
    EXPECT_EQ(running.deleted, 1);
    EXPECT_EQ(queued.ran, 0);
    EXPECT_EQ(queued.deleted, 5);
}

TEST(WorkerPool, ClearDeletesQueuedItemsAndKeepsTheCountRight)
{
    WorkerPool pool(1);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    Event entered(true), gate(true);
    pool.post(new ProbeItem(tally, blocker(entered, gate)));
    ASSERT_EQ(entered.wait(5000), 1);
    for (int i = 0; i < 3; ++i)
        pool.post(new ProbeItem(tally));
    pool.clear();
    EXPECT_EQ(tally.deleted, 3);
    EXPECT_EQ(pool.wait_idle(50), 0); // the running item is still outstanding
    gate.set();
    EXPECT_EQ(pool.wait_idle(5000), 1);
    for (int i = 0; i < 2; ++i)
        pool.post(new ProbeItem(tally));
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 3);
    EXPECT_EQ(tally.deleted, 6);
}

TEST(WorkerPool, ClearWakesAWaiterWhoseItemsItDeleted)
{
    WorkerPool pool(1); // not started: the items stay queued
    Tally tally;
    for (int i = 0; i < 3; ++i)
        pool.post(new ProbeItem(tally));
    std::atomic<int32_t> result{-1};
    HelperThread waiter([&] { result = pool.wait_idle(20000); });
    EXPECT_FALSE(waiter.join(50));
    pool.clear();
    ASSERT_TRUE(waiter.join(5000));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(tally.ran, 0);
}

TEST(WorkerPool, RestartOfABusyPoolLetsRunningItemsFinishAndRunsTheQueue)
{
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    Event entered[2] = {Event(true), Event(true)};
    Event gate(true);
    for (Event& e : entered)
        pool.post(new ProbeItem(tally, blocker(e, gate)));
    for (int i = 0; i < 10; ++i)
        pool.post(new ProbeItem(tally));
    ASSERT_EQ(entered[0].wait(5000) + entered[1].wait(5000), 2);

    std::atomic<int32_t> restarted{-1};
    HelperThread restarter([&] { restarted = pool.start(); });
    EXPECT_FALSE(restarter.join(50)); // waiting for the running items
    gate.set();
    ASSERT_TRUE(restarter.join(5000));
    EXPECT_EQ(restarted, 1);
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 12);
    EXPECT_EQ(tally.deleted, 12);
}

TEST(WorkerPool, RestartWhileTheQueueLockIsTakenCannotWaitOnItself)
{
    WorkerPool pool(1);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    Event holding(true), release(true);
    // The restart below begins while this thread holds the queue lock; then an item arrives
    // whose permit a worker of the old start may take, after which that worker needs the
    // lock. A restart that held the lock while joining that worker would never end.
    HelperThread holder([&] {
        pool.lock_queue();
        holding.set();
        release.wait(10000);
        pool.post(new ProbeItem(tally));
        Sleep(50);
        pool.unlock_queue();
    });
    ASSERT_EQ(holding.wait(5000), 1);
    std::atomic<int32_t> restarted{-1};
    HelperThread restarter([&] { restarted = pool.start(); });
    Sleep(50);
    release.set();
    ASSERT_TRUE(restarter.join(5000));
    EXPECT_EQ(restarted, 1);
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 1);
}

TEST(WorkerPool, StartFromInsideAnItemIsRefused)
{
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    Tally tally;
    std::atomic<int32_t> inner{-1};
    pool.post(new ProbeItem(tally, [&] { inner = pool.start(); }));
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(pool.should_continue(), 0); // it raised the stop signal, as stop does
    ASSERT_EQ(pool.start(), 1);
    pool.post(new ProbeItem(tally));
    EXPECT_EQ(pool.wait_idle(5000), 1);
    EXPECT_EQ(tally.ran, 2);
}

TEST(WorkerPool, TickArithmeticWrapsModulo32Bits)
{
    uint32_t remaining = 0;
    // Started at 0xFFFFFFF0 with 100 ms: the deadline wrapped to 84.
    const uint32_t deadline = 0xFFFFFFF0u + 100u;
    EXPECT_TRUE(ticks_remaining(deadline, 0xFFFFFFF0u, 100, &remaining));
    EXPECT_EQ(remaining, 100u);
    EXPECT_TRUE(ticks_remaining(deadline, 10, 100, &remaining));
    EXPECT_EQ(remaining, 74u);
    EXPECT_TRUE(ticks_remaining(deadline, deadline, 100, &remaining));
    EXPECT_EQ(remaining, 0u);
    EXPECT_FALSE(ticks_remaining(deadline, deadline + 1, 100, &remaining));
    EXPECT_FALSE(ticks_remaining(5, 6, 0, &remaining));
    EXPECT_TRUE(ticks_remaining(0xFFFFFFFEu, 0, 0xFFFFFFFEu, &remaining));
    EXPECT_EQ(remaining, 0xFFFFFFFEu);
}

} // namespace
