// Stand-in for job_commands_win.cpp while the digest job (HashJob) is not part of the build:
// Start does nothing, so no job ever exists and the window stays idle. The job's
// notifications are handled as job_commands_win.cpp handles them without a job.
//
// When HashJob is added, list job_commands_win.cpp instead of this file.
#include "ui/job_commands_win.h"

#include "engine/job_protocol.h"
#include "ui/main_dialog_win.h"
#include "ui/status_line_win.h"

void start_or_abort_job(HWND) {}

void handle_job_done(HWND dialog)
{
    set_running_state(dialog, true);
    show_status(dialog, status_information,
                result_message(static_cast<int32_t>(ResultCode::Completed)));
}

void handle_job_failed(HWND dialog, WPARAM code)
{
    set_running_state(dialog, true);
    show_run_failure(dialog, code);
}

void delete_current_job(HWND) {}
