// A stand-in for the digest job with the interface that the window's job commands use
// (construction for a window and its progress display, start, request_stop, native_handle, deletion
// that stops and joins), so that those commands can be tested on their own. Its body does no
// digesting: it waits for the stop signal (at most 10 s) and then, if asked to, writes into the
// dialog's first result field, a call that the window's thread has to serve while it stops the job.
//
// This header shadows the real one for job_commands_tests only (include path order).
#pragma once

#include <windows.h>

#include <cstdint>

class JobProgress;

struct StandInScript {
    int32_t start_result = 1;      // what start returns; 0 creates no thread
    bool write_after_stop = false; // the body's last act: SetDlgItemTextW on the window
};

class HashJob {
public:
    HashJob(HWND window, JobProgress* progress);
    virtual ~HashJob();
    HashJob(const HashJob&) = delete;
    HashJob& operator=(const HashJob&) = delete;

    int32_t start();
    int32_t request_stop();
    HANDLE native_handle();

    // What the next jobs do, and what happened to the jobs so far.
    static StandInScript script;
    static int live;            // jobs constructed and not yet deleted
    static bool join_timed_out; // a deletion gave up waiting for its thread (a deadlock)

private:
    static DWORD WINAPI thread_entry(void* job);

    HWND window_;
    HANDLE thread_ = nullptr;
    HANDLE stop_signal_;
    StandInScript script_;
};
