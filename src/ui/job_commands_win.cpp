#include "ui/job_commands_win.h"

#include "concurrency/serving_wait_win.h"
#include "engine/hash_job_win.h"
#include "engine/job_protocol.h"
#include "ui/dialog_state_win.h"
#include "ui/status_line_win.h"
#include "ui/taskbar_progress_win.h"

namespace {

// Raises the job's stop signal and waits for its thread while serving the calls it makes into
// the dialog's controls; then deletes the job, whose own stop finds the thread ended.
void stop_and_delete(HashJob* job)
{
    job->request_stop();
    wait_serving_sent_messages(job->native_handle());
    delete job;
}

// Takes the job out of the window before stopping it, so that nothing reached while serving
// calls can see it again, and holds Start/Abort off until it is gone. The calls served may
// have destroyed the window meanwhile: its state is looked up again afterwards.
void end_current_job(HWND dialog)
{
    MainDialog* state = main_dialog(dialog);
    if (state == nullptr || state->current_job == nullptr)
        return;
    HashJob* job = state->current_job;
    state->current_job = nullptr;
    state->ending_job = true;
    stop_and_delete(job);
    if (MainDialog* still = main_dialog(dialog))
        still->ending_job = false;
}

void start_job(HWND dialog, MainDialog* state)
{
    state->current_job = new HashJob(dialog, state->progress);
    if (state->current_job->start()) {
        set_running_state(dialog, false);
        return;
    }
    delete state->current_job;
    state->current_job = nullptr;
}

} // namespace

void start_or_abort_job(HWND dialog)
{
    MainDialog* state = main_dialog(dialog);
    if (state == nullptr || state->ending_job)
        return;
    if (state->current_job == nullptr) {
        start_job(dialog, state);
        return;
    }
    end_current_job(dialog);
    set_running_state(dialog, true);
    show_status(dialog, status_information,
                result_message(static_cast<int32_t>(ResultCode::Aborted)));
}

void handle_job_done(HWND dialog)
{
    end_current_job(dialog);
    set_running_state(dialog, true);
    show_status(dialog, status_information,
                result_message(static_cast<int32_t>(ResultCode::Completed)));
}

void handle_job_failed(HWND dialog, WPARAM code)
{
    end_current_job(dialog);
    set_running_state(dialog, true);
    show_run_failure(dialog, code);
}

void delete_current_job(HWND dialog) { end_current_job(dialog); }
