// The main dialog: one modeless dialog from template 101 that is the whole user interface.
//
// Contract:
// - The dialog procedure runs on the thread that created the dialog (the window's thread);
//   it only dispatches, one short handler per message or command.
// - Its state and the running state: ui/dialog_state_win.h.
// - Enter and Escape (commands 1 and 2) do nothing; Exit, the close box and the system menu
//   destroy the window at once; destruction ends a running job first, then posts the quit
//   message (code 0).
#pragma once

#include <windows.h>

#include "ui/dialog_state_win.h"

// Registers the common controls, then creates the dialog from template 101 of instance with
// no owner. Null on failure.
HWND create_main_dialog(HINSTANCE instance);
