// Thread: start and stop, the hooks, stop and start from inside the body, sleep and wake,
// priority, suspension and the callback kinds.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>

#include "concurrency/thread_win.h"
#include "concurrency_test_support_win.h"

namespace {

class ProbeThread : public Thread {
public:
    ~ProbeThread() override { stop(); }

    int32_t run() override
    {
        ++runs;
        const int32_t result = body ? body(*this) : 0;
        ++ended;
        return result;
    }
    int32_t request_stop() override
    {
        ++stop_requests;
        if (on_request_stop)
            on_request_stop();
        return Thread::request_stop();
    }

    std::function<int32_t(ProbeThread&)> body; // set before start
    std::function<void()> on_request_stop;     // set before start; runs on the caller's thread
    std::atomic<int> runs{0}, ended{0}, starts{0}, stops{0}, stop_requests{0};
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

// A body that idles until the stop signal.
int32_t idle_until_stopped(ProbeThread& self)
{
    while (self.should_continue())
        self.sleep(INFINITE);
    return 3;
}

bool ended_by_itself(Thread& thread)
{
    return WaitForSingleObject(thread.native_handle(), 5000) == WAIT_OBJECT_0;
}

TEST(Thread, RunsTheBodyOnANewThreadAndKeepsItsExitCode)
{
    ProbeThread thread;
    std::atomic<uint32_t> body_thread{0};
    thread.body = [&](ProbeThread&) {
        body_thread = GetCurrentThreadId();
        return 7;
    };
    ASSERT_EQ(thread.start(), 1);
    EXPECT_NE(thread.native_handle(), nullptr);
    EXPECT_NE(thread.thread_id(), GetCurrentThreadId());
    ASSERT_TRUE(eventually([&] { return thread.ended == 1; }));
    EXPECT_EQ(body_thread, thread.thread_id());
    EXPECT_EQ(thread.should_continue(), 1);

    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.native_handle(), nullptr);
    EXPECT_EQ(thread.thread_id(), 0u);
    EXPECT_EQ(thread.exit_code(), 7);
    EXPECT_EQ(thread.should_continue(), 0); // raised until the next start
    EXPECT_EQ(thread.stops, 1);
}

TEST(Thread, StopWithoutThreadReturnsAtOnceWithoutHooks)
{
    ProbeThread thread;
    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.stop_requests, 0);
    EXPECT_EQ(thread.stops, 0);
    EXPECT_EQ(thread.suspend(), 0);
    EXPECT_EQ(thread.resume(), 0);
}

TEST(Thread, OnStartVetoCreatesNoThread)
{
    const long threads_before = process_thread_count();
    ProbeThread thread;
    thread.veto = true;
    EXPECT_EQ(thread.start(), 0);
    EXPECT_EQ(thread.starts, 1);
    EXPECT_EQ(thread.native_handle(), nullptr);
    EXPECT_EQ(process_thread_count(), threads_before);
    EXPECT_EQ(thread.runs, 0);
}

TEST(Thread, StopInsideRunReturnsZeroAndTheThreadEnds)
{
    ProbeThread thread;
    std::atomic<int32_t> stop_result{-1}, continue_after{-1};
    thread.body = [&](ProbeThread& self) {
        stop_result = self.stop();
        continue_after = self.should_continue();
        return 5;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(stop_result, 0);
    EXPECT_EQ(continue_after, 0);
    EXPECT_EQ(thread.stops, 0); // the inner stop returns before on_stop
    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.exit_code(), 5);
}

TEST(Thread, StopInsideRunWhileTheControllerJoinsReturnsZero)
{
    // The body's stop has passed its first check when the controlling thread's stop begins to
    // join: it must still know its own thread and return, not wait for the joiner.
    ProbeThread thread;
    std::atomic<uint32_t> body_id{0};
    std::atomic<bool> body_in_stop{false};
    std::atomic<int32_t> body_result{-1}, controller_result{-1};
    thread.on_request_stop = [&] {
        if (GetCurrentThreadId() != body_id)
            return;
        body_in_stop = true;
        eventually([&] { return thread.stops == 1; }); // the controller is about to join
        Sleep(200);
    };
    thread.body = [&](ProbeThread& self) {
        body_id = GetCurrentThreadId();
        body_result = self.stop();
        return 4;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(eventually([&] { return body_in_stop.load(); }));
    HelperThread controller([&] { controller_result = thread.stop(); });
    ASSERT_TRUE(controller.join(10000))
        << "the body's stop and the joining stop wait for each other";
    EXPECT_EQ(body_result, 0);
    EXPECT_EQ(controller_result, 1);
    EXPECT_EQ(thread.exit_code(), 4);
}

TEST(Thread, StartInsideRunIsRefusedAndStartsNothing)
{
    ProbeThread thread;
    std::atomic<int32_t> start_result{-1};
    thread.body = [&](ProbeThread& self) {
        start_result = self.start();
        return 0;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(start_result, 0);
    EXPECT_EQ(thread.starts, 1);
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.stop(), 1);
}

TEST(Thread, RestartJoinsTheEarlierThreadFirst)
{
    ProbeThread thread;
    thread.body = idle_until_stopped;
    ASSERT_EQ(thread.start(), 1);
    ASSERT_EQ(thread.start(), 1);
    EXPECT_EQ(thread.ended, 1); // the first body saw the stop and was joined
    EXPECT_EQ(thread.should_continue(), 1);
    ASSERT_TRUE(eventually([&] { return thread.runs == 2; }));
    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.ended, 2);
    EXPECT_EQ(thread.exit_code(), 3);
}

TEST(Thread, SleepWaitsOnlyOnItsOwnThread)
{
    ProbeThread thread;
    const DWORD begin = GetTickCount();
    EXPECT_EQ(thread.sleep(10000), 0);
    EXPECT_LT(GetTickCount() - begin, 5000u);

    std::atomic<int32_t> result{-1};
    std::atomic<DWORD> slept{0};
    thread.body = [&](ProbeThread& self) {
        const DWORD start = GetTickCount();
        result = self.sleep(200);
        slept = GetTickCount() - start;
        return 0;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(result, 1);
    EXPECT_GE(slept, 150u); // the tick count moves in steps of about 16 ms
}

TEST(Thread, WakeEndsASleepWhichTakesTheWake)
{
    ProbeThread thread;
    EXPECT_EQ(thread.wake(), 1);
    EXPECT_EQ(thread.take_wake(), 1);
    EXPECT_EQ(thread.take_wake(), 0);

    std::atomic<int32_t> result{-1};
    Event entered(true);
    thread.body = [&](ProbeThread& self) {
        entered.set();
        result = self.sleep(20000);
        return 0;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_EQ(entered.wait(5000), 1);
    thread.wake();
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(thread.take_wake(), 0); // the sleep already cleared it
}

TEST(Thread, PriorityIsClampedAndAppliedAtCreationAndLater)
{
    ProbeThread thread;
    thread.body = idle_until_stopped;
    EXPECT_EQ(thread.set_priority(20), 1);
    ASSERT_EQ(thread.start(), 1);
    EXPECT_EQ(GetThreadPriority(thread.native_handle()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(thread.set_priority(-20), 1);
    EXPECT_EQ(GetThreadPriority(thread.native_handle()), THREAD_PRIORITY_IDLE);
    EXPECT_EQ(thread.set_priority(1), 1);
    EXPECT_EQ(GetThreadPriority(thread.native_handle()), 1);
}

TEST(Thread, SuspendFreezesTheBodyAndStopResumesIt)
{
    ProbeThread thread;
    std::atomic<long> ticks{0};
    std::atomic<int32_t> self_suspend{-1};
    thread.body = [&](ProbeThread& self) {
        self_suspend = self.suspend();
        while (self.should_continue()) {
            ++ticks;
            Sleep(1);
        }
        return 0;
    };
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(eventually([&] { return ticks > 2; }));
    EXPECT_EQ(self_suspend, 0); // a thread may not suspend itself

    EXPECT_EQ(thread.suspend(), 1);
    EXPECT_EQ(thread.suspend(), 0);
    ASSERT_TRUE(settles([&] { return ticks.load(); }));
    const long frozen = ticks;
    Sleep(50);
    EXPECT_EQ(ticks, frozen);
    EXPECT_EQ(thread.resume(), 1);
    EXPECT_EQ(thread.resume(), 0);
    EXPECT_TRUE(eventually([&] { return ticks > frozen + 2; }));

    EXPECT_EQ(thread.suspend(), 1);
    EXPECT_EQ(thread.stop(), 1); // request_stop resumes it, or the join would never end
    EXPECT_EQ(thread.ended, 1);
}

int32_t plain_callback(void* value) { return *static_cast<int32_t*>(value) + 1; }

DWORD WINAPI system_callback(void* value)
{
    return static_cast<DWORD>(*static_cast<int32_t*>(value) + 2);
}

TEST(Thread, CallbacksReplaceTheBody)
{
    int32_t value = 40;
    ProbeThread thread;
    thread.set_callback(plain_callback, &value);
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.exit_code(), 41);

    thread.set_system_callback(system_callback, &value);
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(ended_by_itself(thread));
    EXPECT_EQ(thread.stop(), 1);
    EXPECT_EQ(thread.exit_code(), 42);
    EXPECT_EQ(thread.runs, 0);
}

} // namespace
