// Load as real runs put it on the classes: many items in batches on pools of every size,
// posting during restarts, and long start/stop series checked for leaked threads and handles.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "concurrency/thread_win.h"
#include "concurrency/worker_pool_win.h"
#include "concurrency_test_support_win.h"
#include "support/vectors.h"

namespace {

// Counts its own runs and writes one word of a shared plain buffer.
class CountingItem : public WorkItem {
public:
    CountingItem(std::atomic<uint8_t>* runs, uint32_t* buffer, uint32_t index)
        : runs_(runs), buffer_(buffer), index_(index)
    {
    }
    int32_t run() override
    {
        runs_[index_].fetch_add(1, std::memory_order_relaxed);
        buffer_[index_] = index_ * 2654435761u + 1;
        return 0;
    }

private:
    std::atomic<uint8_t>* runs_;
    uint32_t* buffer_;
    uint32_t index_;
};

// Items per pool size; the eight sizes share 100,000 items (Wine makes every permit and
// completion a server round trip, so 100,000 per size would take minutes).
constexpr uint32_t items_per_pool = 12500;

TEST(ConcurrencyStress, PoolsOfOneToEightRunEveryItemOnceInBatches)
{
    for (uint32_t workers = 1; workers <= 8; ++workers) {
        std::unique_ptr<std::atomic<uint8_t>[]> runs(new std::atomic<uint8_t>[items_per_pool]());
        std::vector<uint32_t> buffer(items_per_pool, 0);
        WorkerPool pool(workers);
        ASSERT_EQ(pool.start(), 1);
        Xorshift32 sizes(workers);
        uint32_t posted = 0;
        while (posted < items_per_pool) {
            const uint32_t batch_begin = posted;
            uint32_t batch = 1 + sizes.below(2 * workers + 40);
            for (; batch > 0 && posted < items_per_pool; --batch, ++posted)
                pool.post(new CountingItem(runs.get(), buffer.data(), posted));
            ASSERT_EQ(pool.wait_idle(10000), 1) << workers << " workers, item " << posted;
            // Everything the batch wrote is visible once wait_idle has returned.
            for (uint32_t i = batch_begin; i < posted; ++i) {
                ASSERT_EQ(runs[i].load(std::memory_order_relaxed), 1) << workers << ": " << i;
                ASSERT_EQ(buffer[i], i * 2654435761u + 1) << workers << ": " << i;
            }
        }
        EXPECT_EQ(pool.stop(), 1);
        for (uint32_t i = 0; i < items_per_pool; ++i)
            ASSERT_EQ(runs[i].load(), 1) << workers << ": " << i;
    }
}

TEST(ConcurrencyStress, PostingWhileThePoolRestartsLosesNoItem)
{
    constexpr uint32_t items = 6000;
    std::unique_ptr<std::atomic<uint8_t>[]> runs(new std::atomic<uint8_t>[items]());
    std::vector<uint32_t> buffer(items, 0);
    WorkerPool pool(3);
    ASSERT_EQ(pool.start(), 1);
    std::atomic<bool> producing{true};
    {
        HelperThread producer([&] {
            for (uint32_t i = 0; i < items; ++i)
                pool.post(new CountingItem(runs.get(), buffer.data(), i));
            producing = false;
        });
        int restarts = 0;
        while (producing || restarts < 20) {
            ASSERT_EQ(pool.start(), 1);
            ++restarts;
        }
    }
    ASSERT_EQ(pool.wait_idle(20000), 1);
    for (uint32_t i = 0; i < items; ++i) {
        ASSERT_EQ(runs[i].load(), 1) << i;
        ASSERT_EQ(buffer[i], i * 2654435761u + 1) << i;
    }
}

class CycledThread : public Thread {
public:
    ~CycledThread() override { stop(); }
    int32_t run() override
    {
        ++runs;
        // Every other start the body idles until stopped; otherwise it ends by itself.
        while ((runs & 1) == 0 && should_continue())
            sleep(INFINITE);
        return 0;
    }
    std::atomic<int> runs{0};
};

constexpr int start_stop_cycles = 1000;

TEST(ConcurrencyStress, ThreadStartStopCyclesLeaveNoThreadOrHandle)
{
    CycledThread thread;
    ASSERT_EQ(thread.start(), 1); // first start outside the count: runtime set-up on first use
    ASSERT_EQ(thread.stop(), 1);
    const long threads_before = process_thread_count();
    const long handles_before = open_handle_count();
    ASSERT_GT(handles_before, 0);
    for (int i = 0; i < start_stop_cycles; ++i) {
        ASSERT_EQ(thread.start(), 1) << i;
        ASSERT_EQ(thread.stop(), 1) << i;
    }
    EXPECT_EQ(thread.runs, start_stop_cycles + 1);
    EXPECT_EQ(process_thread_count(), threads_before);
    EXPECT_EQ(open_handle_count(), handles_before);
}

TEST(ConcurrencyStress, PoolStartStopCyclesLeaveNoThreadOrHandle)
{
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    ASSERT_EQ(pool.stop(), 1);
    const long threads_before = process_thread_count();
    const long handles_before = open_handle_count();
    ASSERT_GT(handles_before, 0);
    std::atomic<int> ran{0};
    struct Count : WorkItem {
        explicit Count(std::atomic<int>& ran) : ran_(ran) {}
        int32_t run() override { return ++ran_; }
        std::atomic<int>& ran_;
    };
    for (int i = 0; i < start_stop_cycles; ++i) {
        ASSERT_EQ(pool.set_thread_count(1 + i % 4), 1) << i;
        ASSERT_EQ(pool.start(), 1) << i;
        pool.post(new Count(ran));
        if (i % 2 == 0) {
            ASSERT_EQ(pool.wait_idle(5000), 1) << i;
        }
        ASSERT_EQ(pool.stop(), 1) << i;
    }
    // Items posted on odd cycles may have been left queued by the stop; a last start runs them.
    ASSERT_EQ(pool.start(), 1);
    ASSERT_EQ(pool.wait_idle(10000), 1);
    ASSERT_EQ(pool.stop(), 1);
    EXPECT_EQ(ran, start_stop_cycles);
    EXPECT_EQ(process_thread_count(), threads_before);
    EXPECT_EQ(open_handle_count(), handles_before);
}

} // namespace
