// A stand-in for the digest job with the interface that the window's job commands use
// (construction for a window and its progress display, start, its run identity, and end(),
// which stops the job and waits a bounded time for its thread before it deletes or abandons
// it), so that those commands can be tested on their own. Its body does no digesting: it
// waits for the stop signal (at most 10 s) and then, if asked to, writes into the dialog's
// first result field, a call that the window's thread has to serve while it stops the job; or
// it stays "stuck" after the stop until the test releases it, and then posts the messages of
// a finished run, which the window must ignore.
//
// This header shadows the real one for job_commands_tests only (include path order).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

class JobProgress;

struct StandInScript {
    int32_t start_result = 1;      // what start returns; 0 creates no thread
    bool write_after_stop = false; // the body's last act: SetDlgItemTextW on the window
    bool stuck_after_stop = false; // after the stop, waits for stuck_release (at most 10 s)
    bool completed = false;        // end() reports the run as completed before the stop
};

class HashJob {
public:
    static constexpr uint32_t end_wait_ms = 300;
    struct Ending {
        bool completed = false;
        bool abandoned = false;
    };

    HashJob(HWND window, JobProgress* progress);
    virtual ~HashJob();
    HashJob(const HashJob&) = delete;
    HashJob& operator=(const HashJob&) = delete;

    int32_t start();
    int32_t request_stop();
    uint32_t run_id() const { return run_id_; }
    static Ending end(HashJob* job);

    // What the next jobs do, and what happened to the jobs so far.
    static StandInScript script;
    static std::atomic<int> live; // jobs constructed and not yet deleted
    static bool join_timed_out;   // a deletion gave up waiting for its thread (a deadlock)
    static HANDLE stuck_release;  // manual-reset event that lets stuck jobs go on
    static std::atomic<uint32_t> last_run_id;

private:
    static DWORD WINAPI thread_entry(void* job);

    HWND window_;
    HANDLE thread_ = nullptr;
    HANDLE stop_signal_;
    StandInScript script_;
    uint32_t run_id_;
};
