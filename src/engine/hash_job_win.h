// HashJob: one digest run over one input on a thread of its own, for the main dialog. It reads
// the four algorithm rows, makes one digest object per chosen row, reads the input in 2 MiB
// chunks into the two halves of a 4 MiB buffer in turn and hands every chunk to all digest
// objects through a worker pool (ChunkFeed), so that reading overlaps digesting and a row that
// finishes a chunk early goes on with the next one. At the end it writes each row's digest,
// upper-case hexadecimal, into the row's result field.
//
// Contract:
// - The window's thread constructs the job, calls start once and ends the job with end(); the
//   body never calls start or stop. end() is the abort: it raises the stop signal, cancels the
//   thread's pending open or read where the system can, and waits for the thread at most
//   end_wait_ms, serving meanwhile the messages that the job's thread sends to the ending
//   thread's windows. A thread that has ended by then is joined and the job deleted; one that
//   has not (a read the system cannot cancel: a share whose server went away, a failing disc)
//   is abandoned: the job deletes itself, and frees all it holds, when its thread ends. Call
//   end() from the window's thread (or one that serves that window's sent messages), never on
//   the job's own thread. Deleting a job directly does the same without the time limit.
// - Every message it posts carries its run identity (run_id(), never 0, unique in the
//   process) in lParam, so that the window can act on its current run's messages alone.
// - The job changes the window (clears and writes the result fields, gives the progress
//   display its total and fills it) only while it holds its window gate, and looks at the
//   stop signal before each change; end() raises the stop and then takes the gate. So once
//   end() has returned, the job changes nothing in the window, whether it was joined or
//   abandoned. It may still read the window's controls and post; neither changes anything.
// - Posted to the window, in this order: prepare failed: WM_JOB_FAILED (13, 14 or 15) and
//   nothing else. Otherwise WM_PROGRESS_BEGIN; one WM_PROGRESS_STEP per non-empty read,
//   carrying the size of the chunk before it (0 for the first read); then WM_JOB_DONE when
//   every row got its digest, or WM_JOB_FAILED with 6 when the input could not be read
//   completely or changed while it was read (InputSource::failed), or neither after an
//   abort; last WM_PROGRESS_END. A run stopped while it prepares posts nothing at all (a
//   cancelled open is an abort, not a missing input), and one stopped later posts no
//   WM_JOB_FAILED (a cancelled read is an abort too).
// - A run that was aborted or whose input failed writes no digest: the result fields stay as
//   prepare cleared them. A stop makes the items that wait for the workers go unrun.
// - The progress display given at construction, if any, receives the input's total before
//   WM_PROGRESS_BEGIN and is completed (bar full) on the job's thread before the digests are
//   written.
// - Workers: min(processors, chosen rows), at least one.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "concurrency/semaphore_win.h"
#include "concurrency/thread_win.h"
#include "concurrency/worker_pool_win.h"
#include "digest/hash_algorithm.h"
#include "engine/chunk_feed_win.h"
#include "engine/input_source_win.h"
#include "engine/job_progress.h"
#include "engine/job_protocol.h"
#include "engine/smart_ptr.h"

class HashJob : public Thread {
public:
    // Two halves, one chunk each: one is read into while the rows digest the other.
    static constexpr int32_t READ_BUFFER_SIZE = 2 * static_cast<int32_t>(InputSource::CHUNK_SIZE);

    // How a run's input is opened; the window constructor uses new InputSource(window).
    // Another opener stands in for the input panel (a test's source that fails to read).
    using SourceOpener = InputSource* (*)(HWND window);

    // progress, when not null, is the window's progress display (see the contract); it must
    // outlive the job.
    explicit HashJob(HWND window, JobProgress* progress = nullptr);
    HashJob(HWND window, JobProgress* progress, SourceOpener open_source);
    ~HashJob() override;

    // How long end() waits for the job's thread before it abandons the run.
    static constexpr uint32_t end_wait_ms = 300;

    // What end() found.
    struct Ending {
        bool completed = false; // the run had posted WM_JOB_DONE, digests written, before the stop
        bool abandoned = false; // its thread was still in the system: the job frees itself
    };
    // Ends the job (see the contract); job is deleted or abandoned, never to be used again.
    static Ending end(HashJob* job);

    uint32_t run_id() const { return run_id_; }

    // The thread body: prepare, then read and digest, then report (see the contract).
    int32_t run() override;
    // The body, then the deletion of an abandoned job.
    int32_t thread_main() override;

    // Threads of the pool for this many processors (0 counts as 1) and chosen rows.
    static uint32_t worker_count(uint32_t processors, int32_t chosen_rows);

private:
    enum Fate : int32_t { owned, abandoned, ended };

    // The one stop sequence: the stop signal, the window gate, the cancellation of the
    // thread's pending I/O and a wait of at most milliseconds (0xFFFFFFFF: no limit) that
    // serves the thread's calls into the window. True when the thread has ended (or never
    // ran); *completed tells whether the run had reported its digests.
    bool stop_thread(uint32_t milliseconds, bool* completed);
    // Takes the window gate; false, and the gate left, once a stop is requested.
    bool enter_window();
    void leave_window();

    ResultCode prepare();
    // Reads the whole input and hands it to the rows; false when a read failed or came up
    // short. On return the rows may still digest the last chunks.
    bool read_and_digest();
    // Completes the progress display and writes the digests; stops early on an abort.
    void report_digests();
    void clear_results(int end);
    void release_resources();
    void post(uint32_t message, WPARAM wparam = 0);

    HWND window_;
    JobProgress* progress_;
    smart_ptr<WorkerPool> pool_;
    smart_ptr<ChunkFeed> feed_; // the rows' chunks through pool_
    smart_ptr<InputSource> source_;
    smart_ptr<HashAlgorithm> slots_[slot_count];
    smart_ptr<uint8_t> read_buffer_;
    SourceOpener open_source_;
    const uint32_t run_id_;
    Semaphore window_gate_;             // one permit: the job's changes to the window
    std::atomic<bool> reported_{false}; // WM_JOB_DONE posted; written under the gate
    std::atomic<int32_t> fate_{owned};
};
