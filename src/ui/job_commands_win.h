// The digest job's life in the main dialog: Start/Abort (button 1088), the end of a run
// (WM_JOB_DONE), a failed run (WM_JOB_FAILED) and the end of a run when the window goes.
//
// Contract:
// - Window's thread only; the dialog's MainDialog::current_job is the one job.
// - A job is deleted only here. Its thread may be inside a call that the window's thread has
//   to serve (reading or writing the dialog's controls, the progress bar), so the window's
//   thread raises the stop signal and serves such calls while it waits for the thread to end;
//   only then does it delete the job. Neither thread can wait for the other for ever.
// - After any of these the window is idle unless a run has just started.
// - That wait also serves Start/Abort presses sent by other threads or programs (an
//   automation tool's BM_CLICK). Such a press meets a run that is already ending and is
//   ignored: a run started there would run behind an idle window, or behind a closed one.
#pragma once

#include <windows.h>

// Idle: creates a HashJob for the dialog and starts it (running state); a job whose thread
// does not start is deleted and nothing is shown. Running: stops and deletes the job, back
// to idle, "情報: ダイジェスト取得処理を中止しました。".
void start_or_abort_job(HWND dialog);

// WM_JOB_DONE: deletes the job if any; idle; "情報: ダイジェスト取得処理が完了しました。".
void handle_job_done(HWND dialog);

// WM_JOB_FAILED: deletes the job if any; idle; "エラー: " and the code's text (0 counts as 6;
// a code without a text shows nothing).
void handle_job_failed(HWND dialog, WPARAM code);

// WM_DESTROY: stops and deletes a running job, silently.
void delete_current_job(HWND dialog);
