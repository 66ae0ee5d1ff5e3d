// The dialog's status line (static 1082): a title and a message joined by "%s: %s", or the
// progress text during a run; and the message table indexed by ResultCode.
//
// Window's thread only. Every title and message fits the 256-character line with its joint;
// a longer text would be cut, never overrun.
#pragma once

#include <windows.h>

#include <cstdint>

class TaskbarProgress;

inline constexpr int status_text_size = 256;

extern const wchar_t* const status_information; // "情報"
extern const wchar_t* const status_warning;     // "警告"
extern const wchar_t* const status_error;       // "エラー"

// Sets 1082 to "title: text".
void show_status(HWND dialog, const wchar_t* title, const wchar_t* text);

// The text for codes 0..15 (codes 0 and 1 give the empty text); null for any other code.
const wchar_t* result_message(int32_t code);

// WM_JOB_FAILED: "エラー" with the code's text, where a code of 0 stands for 6 (the run
// failed); a code without a text (16 and above) leaves the status line as it was.
void show_run_failure(HWND dialog, uintptr_t code);

// The progress text of done bytes out of total:
// "計算中... <percent with 2 decimals>% (<value><unit>)", unit "bytes" below 1024, "kB" below
// 1,048,576, else "MB". A total of 0 counts as 0 per cent.
void format_progress_text(wchar_t (&out)[status_text_size], uint64_t done, uint64_t total);

// WM_PROGRESS_STEP: adds bytes to the run's done count; bar, taskbar and progress text follow
// at the display's pace (TaskbarProgress::step): now, or on the redraw timer.
void show_progress_step(HWND dialog, TaskbarProgress& progress, uint64_t bytes);
// The display's redraw timer: shows what the last steps left undrawn.
void show_pending_progress(HWND dialog, TaskbarProgress& progress);
