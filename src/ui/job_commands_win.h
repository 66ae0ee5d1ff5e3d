// The digest job's life in the main dialog: Start/Abort (button 1088), the end of a run
// (WM_JOB_DONE), a failed run (WM_JOB_FAILED), the run's progress display (WM_PROGRESS_BEGIN,
// WM_PROGRESS_END) and the end of a run when the window goes.
//
// Contract:
// - Window's thread only; the dialog's MainDialog::current_job is the one job.
// - A job is ended only here, by HashJob::end: the stop, then a wait of at most
//   HashJob::end_wait_ms that serves the calls the job's thread makes into the dialog's
//   controls, then the job is deleted, or abandoned when its thread is stuck in the system (it
//   frees itself later and changes nothing in the window). Neither thread can wait for the
//   other for ever, and Abort and closing the window return promptly whatever the input does.
// - The job's messages carry its run identity (lParam); they are acted on only for the run
//   in MainDialog::run. After an Abort no message of that run has any effect: no completion or
//   failure text after the abort text, no later run ended or its progress reset.
// - After any of these the window is idle unless a run has just started.
// - That wait also serves Start/Abort presses sent by other threads or programs (an
//   automation tool's BM_CLICK). Such a press meets a run that is already ending and is
//   ignored: a run started there would run behind an idle window, or behind a closed one.
#pragma once

#include <windows.h>

#include <cstdint>

// Idle: creates a HashJob for the dialog and starts it (running state); a job whose thread
// does not start is ended and nothing is shown. Running: ends the job, back to idle,
// "情報: ダイジェスト取得処理を中止しました。" (or, when the run had already written its digests
// and posted WM_JOB_DONE before the stop, "情報: ダイジェスト取得処理が完了しました。").
void start_or_abort_job(HWND dialog);

// WM_JOB_DONE of run: ends the job if any; idle; "情報: ダイジェスト取得処理が完了しました。".
void handle_job_done(HWND dialog, uint32_t run);

// WM_JOB_FAILED of run: ends the job if any; idle; "エラー: " and the code's text (0 counts
// as 6; a code without a text shows nothing).
void handle_job_failed(HWND dialog, WPARAM code, uint32_t run);

// WM_PROGRESS_BEGIN / WM_PROGRESS_END of run: the progress display begins or ends.
void handle_progress_begin(HWND dialog, uint32_t run);
void handle_progress_end(HWND dialog, uint32_t run);

// Whether a message of run is the current run's (the dialog acts on it).
bool is_current_run(HWND dialog, uint32_t run);

// WM_DESTROY: ends a running job, silently.
void delete_current_job(HWND dialog);
