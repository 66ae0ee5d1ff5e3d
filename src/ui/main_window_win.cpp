#include "ui/main_window_win.h"

#include <string>

#include "com/com_initializer_win.h"
#include "text/text_encoding.h"
#include "ui/input_panel_win.h"
#include "ui/main_dialog_win.h"
#include "ui/resource.h"
#include "ui/taskbar_progress_win.h"

int run_main_window(HINSTANCE instance, const wchar_t* command_line)
{
    HWND dialog = create_main_dialog(instance);
    if (dialog == nullptr)
        return 0;
    const std::wstring path = command_line_path(command_line);
    if (!path.empty())
        open_path(dialog, path.c_str());
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    ensure_japanese_locale();

    ComInitializer com(false); // apartment-threaded
    TaskbarProgress* progress = new TaskbarProgress(dialog, GetDlgItem(dialog, IDC_PROGRESS));
    attach_taskbar_progress(dialog, progress);

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    // The window is gone by now, and with it every job that could use the progress display.
    progress->release_taskbar();
    delete progress;
    return static_cast<int>(message.wParam);
}
