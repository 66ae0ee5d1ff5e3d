#include "engine/hash_job_win.h"

#include "concurrency/serving_wait_win.h"
#include "engine/job_protocol.h"

StandInScript HashJob::script;
std::atomic<int> HashJob::live{0};
bool HashJob::join_timed_out = false;
HANDLE HashJob::stuck_release = nullptr;
std::atomic<uint32_t> HashJob::last_run_id{0};

HashJob::HashJob(HWND window, JobProgress*)
    : window_(window), stop_signal_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), script_(script),
      run_id_(++last_run_id)
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

HashJob::Ending HashJob::end(HashJob* job)
{
    Ending ending;
    ending.completed = job->script_.completed;
    job->request_stop();
    if (job->thread_ == nullptr || wait_serving_sent_messages(job->thread_, end_wait_ms)) {
        delete job;
        return ending;
    }
    // The thread deletes its job once it is released.
    CloseHandle(job->thread_);
    job->thread_ = nullptr;
    ending.abandoned = true;
    return ending;
}

DWORD WINAPI HashJob::thread_entry(void* job)
{
    auto* self = static_cast<HashJob*>(job);
    WaitForSingleObject(self->stop_signal_, 10000);
    if (self->script_.write_after_stop)
        SetDlgItemTextW(self->window_, SlotControls[0].result, L"written after the stop");
    if (self->script_.stuck_after_stop) {
        WaitForSingleObject(stuck_release, 10000);
        // What a run that was given up posts when its read finally returns.
        const auto run = static_cast<LPARAM>(self->run_id_);
        PostMessageW(self->window_, WM_JOB_FAILED, 6, run);
        PostMessageW(self->window_, WM_JOB_DONE, 0, run);
        PostMessageW(self->window_, WM_PROGRESS_END, 0, run);
        delete self;
    }
    return 0;
}
