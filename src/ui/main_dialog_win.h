// The main dialog: one modeless dialog from template 101 that is the whole user interface.
//
// Contract:
// - The dialog procedure runs on the thread that created the dialog (the window's thread);
//   it only dispatches, one short handler per message or command.
// - Its state (MainDialog) lives with the window from WM_INITDIALOG to WM_NCDESTROY, and
//   main_dialog() reads it without a message, so the job's thread may use it too.
// - Idle: current_job null, inputs enabled, 1088 reads "開始(&S)", dropped files accepted.
//   Running: current_job set, inputs disabled, 1088 reads "中断(&A)", drops refused.
// - Enter and Escape (commands 1 and 2) do nothing; Exit, the close box and the system menu
//   destroy the window at once; destruction ends a running job first, then posts the quit
//   message (code 0).
#pragma once

#include <windows.h>

class HashJob;
class TaskbarProgress;

struct MainDialog {
    HashJob* current_job = nullptr;      // the one run of the window; null when idle
    bool ending_job = false;             // a run is being ended: Start/Abort is ignored
    TaskbarProgress* progress = nullptr; // the entry point's; null until attached
};

// Registers the common controls, then creates the dialog from template 101 of instance with
// no owner. Null on failure.
HWND create_main_dialog(HINSTANCE instance);

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
