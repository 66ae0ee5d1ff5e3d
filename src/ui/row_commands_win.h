// The three commands of an algorithm row: copy its digest to the clipboard, move it down into
// the verify field ("↓"), and verify it against the expected digest. Each works on its own
// row only, stays usable during a run, and reports in the status line. Window's thread only.
#pragma once

#include <windows.h>

// The most that a result or verify field is read with, terminator excluded.
inline constexpr int row_field_limit = 511;

// Puts the result field's text on the clipboard as Unicode text (an empty text too).
// 0 on success, 1 on failure; a failure leaves no memory behind.
int copy_row_text(HWND dialog, int result_id);

// Sets the verify field to the result field's text; reports nothing.
void copy_result_to_verify(HWND dialog, int result_id, int verify_id);

// -1 when either field is empty, 0 when they are equal ignoring letter case, 1 otherwise.
// Nothing is trimmed: spaces and line breaks take part.
int compare_row_texts(HWND dialog, int result_id, int verify_id);

// Runs the row command whose button is command_id; false when it is no row button.
bool run_row_command(HWND dialog, int command_id);

// The input was changed after a run (the path or text field edited, the file/text option
// switched, a file dropped or chosen): the results go, so that Verify and Copy never speak for
// data that was not read. row 0..3: only that row's result (its algorithm was changed); -1:
// all four. The verify fields keep what the user typed; nothing is reported.
void clear_results(HWND dialog, int row = -1);
