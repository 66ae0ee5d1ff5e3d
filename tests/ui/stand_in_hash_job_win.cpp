#include "engine/hash_job_win.h"

#include "engine/job_protocol.h"

StandInScript HashJob::script;
int HashJob::live = 0;
bool HashJob::join_timed_out = false;

HashJob::HashJob(HWND window, JobProgress*)
    : window_(window), stop_signal_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), script_(script)
{
    ++live;
}

HashJob::~HashJob()
{
    request_stop();
    if (thread_ != nullptr) {
        // Bounded, unlike the real join, so that a deadlock fails the test instead of hanging.
        if (WaitForSingleObject(thread_, 10000) != WAIT_OBJECT_0)
            join_timed_out = true;
        CloseHandle(thread_);
    }
    CloseHandle(stop_signal_);
    --live;
}

int32_t HashJob::start()
{
    if (script_.start_result == 0)
        return 0;
    thread_ = CreateThread(nullptr, 0, thread_entry, this, 0, nullptr);
    return thread_ != nullptr ? 1 : 0;
}

int32_t HashJob::request_stop()
{
    SetEvent(stop_signal_);
    return 1;
}

HANDLE HashJob::native_handle() { return thread_; }

DWORD WINAPI HashJob::thread_entry(void* job)
{
    auto* self = static_cast<HashJob*>(job);
    WaitForSingleObject(self->stop_signal_, 10000);
    if (self->script_.write_after_stop)
        SetDlgItemTextW(self->window_, SlotControls[0].result, L"written after the stop");
    return 0;
}
