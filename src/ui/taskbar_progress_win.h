// Progress of a run, shown at once in the dialog's progress bar and on the window's taskbar
// button (ITaskbarList3).
//
// Contract:
// - The bar's range is 0..10000: one unit is a ten-thousandth of the run's input.
// - When the taskbar object cannot be created (no such interface, COM failure) every taskbar
//   call is skipped and the bar carries progress alone.
// - The job's thread writes total (set_total) before it posts WM_PROGRESS_BEGIN, and calls
//   complete_progress at the end of a finished run; every other operation runs on the
//   window's thread. The posted message orders the write of total before its reads.
// - Every call of the taskbar interface is made on the window's thread (the thread that made
//   the display), whose apartment the taskbar object lives in: complete_progress called from
//   another thread sends the work to the window's thread (through the bar, which the display
//   subclasses) and returns once it is done. A sent message, which the window's serving waits
//   serve, never a call that COM would marshal through the posted queue.
// - Between runs the bar is disabled at 0 and the taskbar button shows no progress.
// - Steps come one per chunk, hundreds a second. step redraws bar and taskbar at most once per
//   redraw_interval_ms; a step within that time leaves its change to the redraw timer (WM_TIMER
//   redraw_timer_id to the window, armed once), so the display never lags the steps by more
//   than one interval, and the last step's values are shown. Once complete_progress has filled
//   the bar, no step or timer draws it back.
#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <atomic>
#include <cstdint>

#include "engine/interface_ptr.h"
#include "engine/job_progress.h"

class TaskbarProgress : public JobProgress {
public:
    static constexpr int bar_range = 10000;
    static constexpr UINT redraw_interval_ms = 30;
    static constexpr UINT_PTR redraw_timer_id = 1;

    // Creates the taskbar list object through ComInitializer::create_instance (COM must be
    // initialised); sets the bar's range to 0..10000 and its position to 0.
    TaskbarProgress(HWND window, HWND bar);
    // Takes over taskbar (one reference, released here; null means none) instead of creating
    // the taskbar object: for platforms without it and for tests.
    TaskbarProgress(HWND window, HWND bar, ITaskbarList3* taskbar);
    ~TaskbarProgress() override;
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // WM_PROGRESS_BEGIN: bar enabled at 0, taskbar normal at 0 of total, done = 0.
    void begin_progress();
    // done = new_done; bar at done / total * 10000, truncated; taskbar at done of total.
    void set_progress(uint64_t new_done);
    // WM_PROGRESS_STEP: done grows by bytes. True when bar and taskbar were redrawn now (the
    // caller redraws its progress text too); false when the redraw waits for the timer.
    bool step(uint64_t bytes);
    // WM_TIMER redraw_timer_id: disarms the timer and draws what the steps left; true when it
    // drew (and the caller redraws its text).
    bool redraw();
    // WM_PROGRESS_END: bar at 0 and disabled, taskbar at 0 of 0 and without progress.
    void end_progress();
    // End of a finished run (job's thread, or the window's): bar full, taskbar at total of
    // total, normal, done on the window's thread. Steps and timer draw nothing after it,
    // until the next begin_progress.
    void complete_progress() override;
    // Releases the taskbar interface; the bar goes on alone.
    void release_taskbar();

    bool has_taskbar() const { return !taskbar_.empty(); }
    uint64_t done() const { return done_; }
    uint64_t total() const { return total_; }
    void set_total(uint64_t total) override { total_ = total; }

    // Bar position for done of total: truncated toward zero, 0 for a total of 0.
    static int bar_position(uint64_t done, uint64_t total);

private:
    static LRESULT CALLBACK bar_proc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR display);
    void complete_here();
    void set_up_bar();
    // Bar and taskbar at done, when a step is undrawn and the bar is not complete.
    bool draw_pending(DWORD now);
    void disarm_timer();

    interface_ptr<ITaskbarList3> taskbar_; // empty when the taskbar object is not there
    HWND window_;
    HWND bar_;
    uint64_t done_ = 0;
    uint64_t total_ = 0;
    // Pacing, window's thread only: the tick of the last redraw, a step not yet drawn, the
    // redraw timer armed.
    DWORD last_draw_ = 0;
    bool pending_ = false;
    bool timer_armed_ = false;
    std::atomic<bool> completed_{false}; // the bar filled by the completion
};
