// Entry point of Dravik.exe: the window's thread is the program's main thread.
#include <windows.h>

#include "ui/main_window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return run_main_window(instance, GetCommandLineW());
}
