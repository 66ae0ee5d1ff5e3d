// JobProgress: what the digest job tells the window's progress display from the job's own
// thread, besides its posted messages. The window owns the display and keeps it alive while
// a job runs; a job made without one tells nothing.
#pragma once

#include <cstdint>

class JobProgress {
public:
    virtual ~JobProgress() = default;
    // The input's total in bytes, stored before WM_PROGRESS_BEGIN makes the window read it.
    virtual void set_total(uint64_t total) = 0;
    // A finished run: the display full, before the digests are written.
    virtual void complete_progress() = 0;
};
