#include "concurrency_test_support_win.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "support/handle_count_win.h"

namespace {

// Ends the program when a test outlives watchdog_seconds; armed per test by a listener.
class Watchdog : public ::testing::EmptyTestEventListener {
public:
    Watchdog() { CloseHandle(CreateThread(nullptr, 0, watch, this, 0, nullptr)); }

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        started_ = GetTickCount();
        test_ = &test;
    }
    void OnTestEnd(const ::testing::TestInfo&) override { test_ = nullptr; }

private:
    static DWORD WINAPI watch(void* self)
    {
        auto* dog = static_cast<Watchdog*>(self);
        for (;;) {
            Sleep(200);
            const ::testing::TestInfo* test = dog->test_;
            if (test != nullptr && GetTickCount() - dog->started_ > watchdog_seconds() * 1000) {
                std::fprintf(stderr, "\nwatchdog: %s.%s ran over %u s (deadlock?)\n",
                             test->test_suite_name(), test->name(),
                             static_cast<unsigned>(watchdog_seconds()));
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }

    std::atomic<DWORD> started_{0}; // written before test_ goes up
    std::atomic<const ::testing::TestInfo*> test_{nullptr};
};

const bool watchdog_installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
    return true;
}();

} // namespace

uint32_t watchdog_seconds()
{
    static const uint32_t seconds = [] {
        const char* text = std::getenv("DRAVIK_WATCHDOG_SECONDS");
        const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
        return value > 90 ? static_cast<uint32_t>(value) : 90u;
    }();
    return seconds;
}

bool eventually(const std::function<bool()>& condition, uint32_t milliseconds)
{
    const DWORD begin = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - begin > milliseconds)
            return condition();
        Sleep(1);
    }
    return true;
}

bool settles(const std::function<long()>& value, uint32_t quiet, uint32_t milliseconds)
{
    const DWORD begin = GetTickCount();
    DWORD since = begin;
    long last = value();
    while (GetTickCount() - since < quiet) {
        if (GetTickCount() - begin > milliseconds)
            return false;
        Sleep(1);
        const long now = value();
        if (now != last) {
            last = now;
            since = GetTickCount();
        }
    }
    return true;
}

long process_thread_count()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

long open_handle_count() { return process_handle_count(GetCurrentProcess()); }

HelperThread::HelperThread(std::function<void()> body) : body_(std::move(body)), id_(0)
{
    handle_ = CreateThread(nullptr, 0, entry, this, 0, &id_);
    EXPECT_NE(handle_, nullptr);
}

HelperThread::~HelperThread()
{
    if (handle_ == nullptr)
        return;
    if (!join(10000)) {
        // The thread still uses this object; the program cannot go on safely.
        std::fprintf(stderr, "helper thread did not end within 10 s\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(handle_);
}

bool HelperThread::join(uint32_t milliseconds)
{
    return handle_ != nullptr && WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI HelperThread::entry(void* self)
{
    static_cast<HelperThread*>(self)->body_();
    return 0;
}
