// The main dialog's state and what the dialog's handlers share: the state's lookup, the
// progress display and the running state of the inputs.
//
// Contract:
// - The state (MainDialog) lives with the window from WM_INITDIALOG to WM_NCDESTROY, and
//   main_dialog() reads it without a message, so the job's thread may use it too.
// - Idle: current_job null, inputs enabled, 1088 reads "開始(&S)", dropped files accepted.
//   Running: current_job set, inputs disabled, 1088 reads "中断(&A)", drops refused.
// - run is the run identity whose messages the window acts on: the current job's from its
//   Start on, kept after it completed or failed (its WM_PROGRESS_END is still to come), 0
//   after an abort or before any run. A message of any other run changes nothing.
#pragma once

#include <windows.h>

#include <cstdint>

class HashJob;
class TaskbarProgress;

struct MainDialog {
    HashJob* current_job = nullptr;      // the one run of the window; null when idle
    bool ending_job = false;             // a run is being ended: Start/Abort is ignored
    TaskbarProgress* progress = nullptr; // the entry point's; null until attached
    uint32_t run = 0;                    // the run whose messages count (HashJob::run_id)
    bool progress_shown = false;         // that run's WM_PROGRESS_BEGIN handled, not its END
    bool text_hashed = false;            // the last run started with the text option chosen
};

// The dialog procedure (main_dialog_win.cpp), by which a live main dialog is known.
INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The dialog's state; null for a window that is not a live main dialog.
MainDialog* main_dialog(HWND dialog);

// Hands the progress display to the dialog (null detaches it); the caller keeps ownership
// and detaches it before deleting it.
void attach_taskbar_progress(HWND dialog, TaskbarProgress* progress);

// The progress display of the dialog, or null: the job stores its total there and completes it.
TaskbarProgress* taskbar_progress(HWND dialog);

// Enables or disables the input controls (options 1001/1002, fields 1003/1004, button 1005,
// the four algorithm lists) and file drops, and labels 1088 to match. The result and verify
// fields, the row buttons and Exit stay enabled.
void set_running_state(HWND dialog, bool enabled);
