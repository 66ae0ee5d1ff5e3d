// ThreadGroup: permits drive the passes of the shared body; start, stop, restart, the hooks,
// thread count, suspension, sleep and priority of the whole group.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>

#include "concurrency/thread_group_win.h"
#include "concurrency_test_support_win.h"

namespace {

class ProbeGroup : public ThreadGroup {
public:
    explicit ProbeGroup(uint32_t count) : ThreadGroup(count) {}
    ~ProbeGroup() override { stop(); }

    int32_t run() override
    {
        const int pass = passes++;
        if (pass < 64)
            pass_thread[pass] = GetCurrentThreadId();
        return body ? body(*this, pass) : 0;
    }
    int32_t request_stop() override
    {
        ++stop_requests;
        return ThreadGroup::request_stop();
    }
    // Distinct threads among the first passes.
    int distinct_threads() const
    {
        int distinct = 0;
        for (int i = 0; i < passes && i < 64; ++i) {
            int j = 0;
            while (pass_thread[j] != pass_thread[i])
                ++j;
            distinct += j == i ? 1 : 0;
        }
        return distinct;
    }

    std::function<int32_t(ProbeGroup&, int pass)> body; // set before start
    std::atomic<int> passes{0}, starts{0}, stops{0}, stop_requests{0};
    std::atomic<uint32_t> pass_thread[64] = {};
    std::atomic<bool> veto{false};

protected:
    int32_t on_start() override
    {
        ++starts;
        return veto ? 0 : 1;
    }
    int32_t on_stop() override
    {
        ++stops;
        return 1;
    }
};

TEST(ThreadGroup, ZeroThreadsMeansOneAndEachPermitIsOnePass)
{
    const long threads_before = process_thread_count();
    ProbeGroup group(0);
    EXPECT_EQ(group.signal(1), 0); // no semaphore before start
    ASSERT_EQ(group.start(), 1);
    EXPECT_EQ(process_thread_count(), threads_before + 1);
    EXPECT_EQ(group.signal(5), 1);
    ASSERT_TRUE(eventually([&] { return group.passes == 5; }));
    EXPECT_EQ(group.signal_one(), 1);
    ASSERT_TRUE(eventually([&] { return group.passes == 6; }));
    Sleep(50);
    EXPECT_EQ(group.passes, 6); // no pass without a permit
    EXPECT_EQ(group.distinct_threads(), 1);
    EXPECT_NE(group.pass_thread[0], GetCurrentThreadId());

    EXPECT_EQ(group.stop(), 1);
    EXPECT_EQ(group.passes, 6); // the stop permits end the threads without a pass
    EXPECT_EQ(group.signal(1), 0);
    EXPECT_EQ(process_thread_count(), threads_before);
}

TEST(ThreadGroup, AllThreadsRunPassesAtOnceAndTheCountChangesOnlyWhileIdle)
{
    ProbeGroup group(2);
    Event gate(true);
    std::atomic<int> inside{0};
    group.body = [&](ProbeGroup&, int) {
        ++inside;
        gate.wait(10000);
        --inside;
        return 0;
    };
    EXPECT_EQ(group.set_thread_count(3), 1);
    ASSERT_EQ(group.start(), 1);
    EXPECT_EQ(group.set_thread_count(5), 0);
    group.signal(4);
    ASSERT_TRUE(eventually([&] { return inside == 3; }));
    Sleep(50);
    EXPECT_EQ(inside, 3); // the fourth permit waits for a free thread
    gate.set();
    ASSERT_TRUE(eventually([&] { return group.passes == 4 && inside == 0; }));
    EXPECT_EQ(group.distinct_threads(), 3);
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, StopWithoutThreadsReturnsAtOnceWithoutHooks)
{
    ProbeGroup group(2);
    EXPECT_EQ(group.stop(), 1);
    EXPECT_EQ(group.stop_requests, 0);
    EXPECT_EQ(group.stops, 0);
    EXPECT_EQ(group.suspend(), 0);
    EXPECT_EQ(group.resume(), 0);
}

TEST(ThreadGroup, OnStartVetoLeavesFreshRecordsAndSemaphoreButNoThread)
{
    const long threads_before = process_thread_count();
    ProbeGroup group(3);
    group.veto = true;
    EXPECT_EQ(group.start(), 0);
    EXPECT_EQ(process_thread_count(), threads_before);
    EXPECT_EQ(group.signal(2), 1); // the semaphore exists
    EXPECT_EQ(group.suspend(), 0); // but nothing runs
    EXPECT_EQ(group.set_thread_count(1), 1);

    group.veto = false;
    ASSERT_EQ(group.start(), 1);
    EXPECT_EQ(process_thread_count(), threads_before + 1);
    Sleep(50);
    EXPECT_EQ(group.passes, 0); // permits of the vetoed start went with its semaphore
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, StopInsideABodyReturnsZeroAndTheGroupWindsDown)
{
    ProbeGroup group(2);
    std::atomic<int32_t> stop_result{-1}, continue_after{-1};
    group.body = [&](ProbeGroup& self, int) {
        stop_result = self.stop();
        continue_after = self.should_continue();
        return 0;
    };
    ASSERT_EQ(group.start(), 1);
    group.signal_one();
    ASSERT_TRUE(eventually([&] { return continue_after != -1; }));
    EXPECT_EQ(stop_result, 0);
    EXPECT_EQ(continue_after, 0);
    EXPECT_EQ(group.stops, 0);
    EXPECT_EQ(group.start(), 1); // a later start from outside works normally
    group.signal_one();
    EXPECT_TRUE(eventually([&] { return group.passes == 2; }));
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, SecondStartJoinsTheFirstThreads)
{
    const long threads_before = process_thread_count();
    ProbeGroup group(2);
    ASSERT_EQ(group.start(), 1);
    group.signal(2);
    ASSERT_TRUE(eventually([&] { return group.passes == 2; }));
    ASSERT_EQ(group.start(), 1);
    EXPECT_EQ(group.stops, 1);
    EXPECT_EQ(process_thread_count(), threads_before + 2);
    EXPECT_EQ(group.should_continue(), 1); // the join's stop signal was cleared
    group.signal(3);
    EXPECT_TRUE(eventually([&] { return group.passes == 5; }));
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, SuspendFreezesEveryThreadAndStopResumesThem)
{
    ProbeGroup group(2);
    std::atomic<long> ticks[2] = {};
    group.body = [&](ProbeGroup& self, int pass) {
        std::atomic<long>& mine = ticks[pass];
        while (self.should_continue()) {
            ++mine;
            Sleep(1);
        }
        return 0;
    };
    ASSERT_EQ(group.start(), 1);
    group.signal(2);
    ASSERT_TRUE(eventually([&] { return ticks[0] > 2 && ticks[1] > 2; }));
    EXPECT_EQ(group.suspend(), 1);
    ASSERT_TRUE(settles([&] { return ticks[0] + ticks[1]; }));
    const long frozen[2] = {ticks[0], ticks[1]};
    Sleep(50);
    EXPECT_EQ(ticks[0], frozen[0]);
    EXPECT_EQ(ticks[1], frozen[1]);
    EXPECT_EQ(group.resume(), 1);
    EXPECT_TRUE(eventually([&] { return ticks[0] > frozen[0] && ticks[1] > frozen[1]; }));
    EXPECT_EQ(group.suspend(), 1);
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, SleepOnGroupThreadsOnlyAndWakeEndsIt)
{
    ProbeGroup group(2);
    EXPECT_EQ(group.sleep(10000), 0);
    std::atomic<int32_t> timed{-1}, woken{-1};
    Event entered(true);
    group.body = [&](ProbeGroup& self, int pass) {
        if (pass == 0) {
            timed = self.sleep(100);
            return 0;
        }
        entered.set();
        woken = self.sleep(20000);
        return 0;
    };
    ASSERT_EQ(group.start(), 1);
    group.signal_one();
    ASSERT_TRUE(eventually([&] { return timed != -1; }));
    EXPECT_EQ(timed, 1);
    group.signal_one();
    ASSERT_EQ(entered.wait(5000), 1);
    group.wake();
    ASSERT_TRUE(eventually([&] { return woken != -1; }));
    EXPECT_EQ(woken, 0);
    EXPECT_EQ(group.take_wake(), 0);
    EXPECT_EQ(group.stop(), 1);
}

TEST(ThreadGroup, PriorityIsClampedAndAppliedToEveryThread)
{
    ProbeGroup group(3);
    std::atomic<int> priorities[8] = {};
    std::atomic<int> recorded{0};
    group.body = [&](ProbeGroup&, int pass) {
        priorities[pass % 8] = GetThreadPriority(GetCurrentThread());
        ++recorded;
        return 0;
    };
    group.set_priority(-20);
    ASSERT_EQ(group.start(), 1);
    group.signal(3);
    ASSERT_TRUE(eventually([&] { return recorded == 3; }));
    group.set_priority(20);
    group.signal(3);
    ASSERT_TRUE(eventually([&] { return recorded == 6; }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(priorities[i], THREAD_PRIORITY_IDLE) << i;
        EXPECT_EQ(priorities[i + 3], THREAD_PRIORITY_TIME_CRITICAL) << i;
    }
    EXPECT_EQ(group.stop(), 1);
}

} // namespace
