// The program's window thread from start to end: the main dialog, the runtime locale, COM and
// the progress display, then the message loop until the dialog is destroyed.
//
// Contract:
// - Runs on the calling thread, which becomes the window's thread: COM is initialised there
//   apartment-threaded (a single-threaded apartment, which the shell's objects behind the
//   open-file dialog and the taskbar object need), and every taskbar call is made there.
// - command_line is the whole line as GetCommandLineW gives it; a path on it (a file dropped
//   on the program's icon, "Open with", Send To) only fills the path field.
// - Returns the quit message's code (0), or 0 when the dialog could not be created.
#pragma once

#include <windows.h>

int run_main_window(HINSTANCE instance, const wchar_t* command_line);
