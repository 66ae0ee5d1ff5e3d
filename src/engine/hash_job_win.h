// HashJob: one digest run over one input on a thread of its own, for the main dialog. It reads
// the four algorithm rows, makes one digest object per chosen row, reads the input in 2 MiB
// chunks into the two halves of a 4 MiB buffer in turn and hands every chunk to all digest
// objects through a worker pool (ChunkFeed), so that reading overlaps digesting and a row that
// finishes a chunk early goes on with the next one. At the end it writes each row's digest,
// upper-case hexadecimal, into the row's result field.
//
// Contract:
// - The window's thread constructs the job, calls start once and deletes the job; the body
//   never calls start or stop. Deleting a running job is the abort: it raises the stop signal
//   and returns once the job's thread has ended, serving meanwhile the messages that the job's
//   thread sends to the deleting thread's windows. Delete it from the window's thread (or one
//   that serves that window's sent messages); never on the job's own thread.
// - Posted to the window, in this order: prepare failed: WM_JOB_FAILED (13, 14 or 15) and
//   nothing else. Otherwise WM_PROGRESS_BEGIN; one WM_PROGRESS_STEP per non-empty read,
//   carrying the size of the chunk before it (0 for the first read); then WM_JOB_DONE when
//   every row got its digest, or WM_JOB_FAILED with 6 when the input could not be read
//   completely or changed while it was read (InputSource::failed), or neither after an
//   abort; last WM_PROGRESS_END.
// - A run that was aborted or whose input failed writes no digest: the result fields stay as
//   prepare cleared them.
// - The progress display given at construction, if any, receives the input's total before
//   WM_PROGRESS_BEGIN and is completed (bar full) on the job's thread before the digests are
//   written.
// - Workers: min(processors, chosen rows), at least one.
#pragma once

#include <windows.h>

#include <cstdint>

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

    // The thread body: prepare, then read and digest, then report (see the contract).
    int32_t run() override;

    // Threads of the pool for this many processors (0 counts as 1) and chosen rows.
    static uint32_t worker_count(uint32_t processors, int32_t chosen_rows);

private:
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
};
