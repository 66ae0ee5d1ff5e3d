#include "ui/dialog_state_win.h"

#include <shellapi.h>

#include "engine/job_protocol.h"
#include "ui/resource.h"

MainDialog* main_dialog(HWND dialog)
{
    auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    if (dialog == nullptr || procedure != main_dialog_proc)
        return nullptr;
    return reinterpret_cast<MainDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void attach_taskbar_progress(HWND dialog, TaskbarProgress* progress)
{
    if (MainDialog* state = main_dialog(dialog))
        state->progress = progress;
}

TaskbarProgress* taskbar_progress(HWND dialog)
{
    MainDialog* state = main_dialog(dialog);
    return state != nullptr ? state->progress : nullptr;
}

void set_running_state(HWND dialog, bool enabled)
{
    const int inputs[] = {IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_PATH, IDC_TEXT, IDC_BROWSE};
    for (int id : inputs)
        EnableWindow(GetDlgItem(dialog, id), enabled);
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot)
        EnableWindow(GetDlgItem(dialog, slot->combo), enabled);
    SetDlgItemTextW(dialog, IDC_START, enabled ? L"開始(&S)" : L"中断(&A)");
    DragAcceptFiles(dialog, enabled);
}
