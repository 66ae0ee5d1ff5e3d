// The input panel of the main dialog ("検証データ"): the text field's character counter, the
// file browser behind "参照(&R)" and files dropped onto the window. Window's thread only.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>

// The most that the text field, the path field and a dropped path are read with, terminator
// excluded; the input source reads the text field with the same limit.
inline constexpr int text_field_limit = 4095;
inline constexpr int path_field_limit = 2047;
inline constexpr int dropped_path_limit = 4095;

// EN_UPDATE of the text field: shows in 1006 how many UTF-16 units a run would read from it
// (at most 4095; a character outside the basic plane counts 2).
void update_character_counter(HWND dialog);

// Button 1005: the system's open-file dialog, starting from the path field's text as a run
// takes it (one pair of quotes around it dropped); a name the dialog refuses opens it with
// no name, in that name's folder where it has one. A chosen file's full path replaces the
// path field. Cancel changes nothing, the option buttons are never touched, and the process's
// current folder stays as it was.
// The system's calls behind it; tests put a dialog of their own in their place.
struct FileDialogCalls {
    BOOL(WINAPI* show)(LPOPENFILENAMEW) = GetOpenFileNameW;
    DWORD(WINAPI* error)() = CommDlgExtendedError;
};
void browse_for_file(HWND dialog, const FileDialogCalls& calls = FileDialogCalls());

// WM_DROPFILES: exactly one dropped path (a folder too) goes into the path field and selects
// the file option; two or more do nothing. The drop is always released.
void accept_dropped_files(HWND dialog, HDROP drop);

// The path that Windows hands over when a file is dropped on the program's icon, opened with
// it or sent to it: the first argument after the program's name in command_line (the whole
// line, as GetCommandLineW gives it), split as CommandLineToArgvW splits it, made absolute
// against the current folder (as it is now) and otherwise kept as given, of any length. Empty
// when there is no argument or it is empty; further arguments are ignored. It need not name
// an existing file: a run then fails on it as on a typed path.
std::wstring command_line_path(const wchar_t* command_line);

// The path into the path field and the file option chosen, as a drop does; nothing else
// changes (no run starts).
void open_path(HWND dialog, const wchar_t* path);
