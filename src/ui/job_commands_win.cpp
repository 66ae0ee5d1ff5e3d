#include "ui/job_commands_win.h"

#include "engine/hash_job_win.h"
#include "engine/job_protocol.h"
#include "ui/dialog_state_win.h"
#include "ui/resource.h"
#include "ui/status_line_win.h"
#include "ui/taskbar_progress_win.h"

namespace {

// Takes the job out of the window before ending it, so that nothing reached while serving
// calls can see it again, and holds Start/Abort off until it is gone. The calls served may
// have destroyed the window meanwhile: its state is looked up again afterwards.
HashJob::Ending end_current_job(HWND dialog)
{
    MainDialog* state = main_dialog(dialog);
    if (state == nullptr || state->current_job == nullptr)
        return HashJob::Ending();
    HashJob* job = state->current_job;
    state->current_job = nullptr;
    state->ending_job = true;
    const HashJob::Ending ending = HashJob::end(job);
    if (MainDialog* still = main_dialog(dialog))
        still->ending_job = false;
    return ending;
}

// The window stops listening to its run: the progress display that run began is ended here,
// since its WM_PROGRESS_END, if it ever comes, will not count.
void leave_run(MainDialog* state)
{
    if (state->progress_shown && state->progress != nullptr)
        state->progress->end_progress();
    state->progress_shown = false;
    state->run = 0;
}

void start_job(HWND dialog, MainDialog* state)
{
    leave_run(state); // a finished run whose WM_PROGRESS_END is still queued
    // The job clears them too as it prepares, but an abort may come before it does.
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot)
        SetDlgItemTextW(dialog, slot->result, L"");
    HashJob* job = new HashJob(dialog, state->progress);
    state->text_hashed = IsDlgButtonChecked(dialog, IDC_TEXT_OPTION) == BST_CHECKED;
    state->current_job = job;
    state->run = job->run_id();
    if (job->start()) {
        set_running_state(dialog, false);
        return;
    }
    state->current_job = nullptr;
    state->run = 0;
    HashJob::end(job);
}

// A run's end as its own message reports it: only for the current run.
bool end_reported_run(HWND dialog, uint32_t run)
{
    if (!is_current_run(dialog, run))
        return false;
    end_current_job(dialog);
    set_running_state(dialog, true);
    return true;
}

} // namespace

bool is_current_run(HWND dialog, uint32_t run)
{
    const MainDialog* state = main_dialog(dialog);
    return state != nullptr && run != 0 && run == state->run;
}

void start_or_abort_job(HWND dialog)
{
    MainDialog* state = main_dialog(dialog);
    if (state == nullptr || state->ending_job)
        return;
    if (state->current_job == nullptr) {
        start_job(dialog, state);
        return;
    }
    const HashJob::Ending ending = end_current_job(dialog);
    state = main_dialog(dialog);
    if (state == nullptr)
        return;
    leave_run(state);
    set_running_state(dialog, true);
    // A press that met a run already complete, digests written: what it says stands.
    const ResultCode shown = ending.completed ? ResultCode::Completed : ResultCode::Aborted;
    show_status(dialog, status_information, result_message(static_cast<int32_t>(shown)));
}

void handle_job_done(HWND dialog, uint32_t run)
{
    if (!end_reported_run(dialog, run))
        return;
    show_status(dialog, status_information,
                result_message(static_cast<int32_t>(ResultCode::Completed)));
}

void handle_job_failed(HWND dialog, WPARAM code, uint32_t run)
{
    if (!end_reported_run(dialog, run))
        return;
    show_run_failure(dialog, code);
}

void handle_progress_begin(HWND dialog, uint32_t run)
{
    MainDialog* state = main_dialog(dialog);
    if (!is_current_run(dialog, run) || state->progress == nullptr)
        return;
    state->progress->begin_progress();
    state->progress_shown = true;
}

void handle_progress_end(HWND dialog, uint32_t run)
{
    MainDialog* state = main_dialog(dialog);
    if (!is_current_run(dialog, run) || state->progress == nullptr)
        return;
    state->progress->end_progress();
    state->progress_shown = false;
}

void delete_current_job(HWND dialog)
{
    end_current_job(dialog);
    if (MainDialog* state = main_dialog(dialog)) {
        state->run = 0;
        state->progress_shown = false;
    }
}
