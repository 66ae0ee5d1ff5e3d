#include "ui/main_dialog_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "digest/catalogue_win.h"
#include "engine/job_protocol.h"
#include "ui/input_panel_win.h"
#include "ui/job_commands_win.h"
#include "ui/resource.h"
#include "ui/row_commands_win.h"
#include "ui/status_line_win.h"
#include "ui/taskbar_progress_win.h"

namespace {

const int sha1_index = 3;          // list index = AlgorithmId; 3 is "SHA1"
const int combo_list_height = 100; // pixels, the drop-down list included

// Keeps the combo box's width and position; the height is that of its drop-down list.
void set_combo_list_height(HWND combo)
{
    RECT box = {};
    GetWindowRect(combo, &box);
    SetWindowPos(combo, nullptr, 0, 0, box.right - box.left, combo_list_height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The application icon on the caption and the taskbar button too, not only on the file.
void set_window_icons(HWND dialog)
{
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    const WPARAM sizes[] = {ICON_BIG, ICON_SMALL};
    for (WPARAM size : sizes) {
        int metric = size == ICON_BIG ? SM_CXICON : SM_CXSMICON;
        HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                                 GetSystemMetrics(metric), GetSystemMetrics(metric), LR_SHARED);
        SendMessageW(dialog, WM_SETICON, size, reinterpret_cast<LPARAM>(icon));
    }
}

BOOL initialise(HWND dialog)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(new MainDialog));
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot) {
        HWND combo = GetDlgItem(dialog, slot->combo);
        fill_algorithm_combo(combo);
        set_combo_list_height(combo);
        SetDlgItemTextW(dialog, slot->result, L"");
        SetDlgItemTextW(dialog, slot->verify, L"");
    }
    CheckDlgButton(dialog, IDC_FILE_OPTION, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TEXT_OPTION, BST_UNCHECKED);
    SendDlgItemMessageW(dialog, SlotControls[0].combo, CB_SETCURSEL, sha1_index, 0);
    SetDlgItemTextW(dialog, IDC_STATUS, L"");
    DragAcceptFiles(dialog, TRUE);
    set_window_icons(dialog);
    return TRUE;
}

// The window is idle: no run writes the fields and the input panel is the user's.
bool idle(HWND dialog)
{
    const MainDialog* state = main_dialog(dialog);
    return state != nullptr && state->current_job == nullptr && !state->ending_job;
}

// An option clicked: the results stand only while the option is the one they were made with.
void option_clicked(HWND dialog)
{
    const MainDialog* state = main_dialog(dialog);
    if (idle(dialog) &&
        (IsDlgButtonChecked(dialog, IDC_TEXT_OPTION) == BST_CHECKED) != state->text_hashed)
        clear_results(dialog);
}

// CBN_SELCHANGE of a row's list: true when id is one, and that row's result goes.
bool row_algorithm_changed(HWND dialog, int id)
{
    for (int row = 0; row < slot_count; ++row) {
        if (SlotControls[row].combo != id)
            continue;
        if (idle(dialog))
            clear_results(dialog, row);
        return true;
    }
    return false;
}

void run_command(HWND dialog, int id, int notification)
{
    switch (id) {
    case IDC_TEXT:
        if (notification == EN_UPDATE)
            update_character_counter(dialog);
        else if (notification == EN_CHANGE && idle(dialog))
            clear_results(dialog);
        return;
    case IDC_PATH:
        // Typed, pasted, dropped or chosen in the open-file dialog alike.
        if (notification == EN_CHANGE && idle(dialog))
            clear_results(dialog);
        return;
    case IDC_FILE_OPTION:
    case IDC_TEXT_OPTION:
        if (notification == BN_CLICKED)
            option_clicked(dialog);
        return;
    case IDC_BROWSE:
        browse_for_file(dialog);
        return;
    case IDC_START:
        start_or_abort_job(dialog);
        return;
    case IDC_EXIT:
        DestroyWindow(dialog);
        return;
    default:
        if (notification == CBN_SELCHANGE && row_algorithm_changed(dialog, id))
            return;
        // Row buttons; every other id (IDOK and IDCANCEL from Enter and Escape) does nothing.
        run_row_command(dialog, id);
        return;
    }
}

BOOL on_destroy(HWND dialog)
{
    delete_current_job(dialog);
    PostQuitMessage(0);
    return TRUE;
}

void forget_state(HWND dialog)
{
    delete main_dialog(dialog);
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
}

// A progress step of the current run, which only makes sense with a progress display.
BOOL on_progress_step(HWND dialog, WPARAM wparam, LPARAM lparam)
{
    MainDialog* state = main_dialog(dialog);
    if (state != nullptr && state->progress != nullptr && state->current_job != nullptr &&
        is_current_run(dialog, static_cast<uint32_t>(lparam)))
        show_progress_step(dialog, *state->progress, wparam);
    return FALSE;
}

// The progress display's redraw timer. Once the run has ended here (done, failed, aborted)
// nothing more is drawn: its WM_PROGRESS_END, already queued, disarms the timer.
void on_timer(HWND dialog, WPARAM timer)
{
    MainDialog* state = main_dialog(dialog);
    if (timer == TaskbarProgress::redraw_timer_id && state != nullptr &&
        state->progress != nullptr && state->current_job != nullptr)
        show_pending_progress(dialog, *state->progress);
}

} // namespace

HWND create_main_dialog(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, main_dialog_proc, 0);
}

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return initialise(dialog);
    case WM_COMMAND:
        run_command(dialog, LOWORD(wparam), HIWORD(wparam));
        return FALSE;
    case WM_DROPFILES:
        accept_dropped_files(dialog, reinterpret_cast<HDROP>(wparam));
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return FALSE;
    case WM_DESTROY:
        return on_destroy(dialog);
    case WM_NCDESTROY:
        forget_state(dialog);
        return FALSE;
    // The job's messages name their run in lParam.
    case WM_JOB_DONE:
        handle_job_done(dialog, static_cast<uint32_t>(lparam));
        return TRUE;
    case WM_JOB_FAILED:
        handle_job_failed(dialog, wparam, static_cast<uint32_t>(lparam));
        return TRUE;
    case WM_PROGRESS_BEGIN:
        handle_progress_begin(dialog, static_cast<uint32_t>(lparam));
        return TRUE;
    case WM_PROGRESS_END:
        handle_progress_end(dialog, static_cast<uint32_t>(lparam));
        return TRUE;
    case WM_PROGRESS_STEP:
        return on_progress_step(dialog, wparam, lparam);
    case WM_TIMER:
        on_timer(dialog, wparam);
        return TRUE;
    default:
        return FALSE;
    }
}
