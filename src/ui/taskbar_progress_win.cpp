#include "ui/taskbar_progress_win.h"

#include <commctrl.h>

#include "com/com_initializer_win.h"

namespace {

// The taskbar list object, or null. HrInit must succeed before its other methods may be used.
ITaskbarList3* create_taskbar_list()
{
    ITaskbarList3* taskbar = nullptr;
    if (ComInitializer::create_instance(CLSID_TaskbarList, IID_ITaskbarList3,
                                        reinterpret_cast<void**>(&taskbar)) != S_OK ||
        taskbar == nullptr)
        return nullptr;
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return nullptr;
    }
    return taskbar;
}

// Sent to the bar by complete_progress from another thread: the completion, on the bar's.
const UINT complete_message = WM_APP + 0x51;
const UINT_PTR bar_subclass_id = 0x44524156; // "DRAV"

} // namespace

TaskbarProgress::TaskbarProgress(HWND window, HWND bar) : window_(window), bar_(bar)
{
    taskbar_.assign(create_taskbar_list());
    set_up_bar();
}

TaskbarProgress::TaskbarProgress(HWND window, HWND bar, ITaskbarList3* taskbar)
    : window_(window), bar_(bar)
{
    taskbar_.assign(taskbar);
    set_up_bar();
}

TaskbarProgress::~TaskbarProgress()
{
    RemoveWindowSubclass(bar_, bar_proc, bar_subclass_id);
    release_taskbar();
}

LRESULT CALLBACK TaskbarProgress::bar_proc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR display)
{
    if (message != complete_message)
        return DefSubclassProc(bar, message, wparam, lparam);
    reinterpret_cast<TaskbarProgress*>(display)->complete_here();
    return 0;
}

void TaskbarProgress::set_up_bar()
{
    SetWindowSubclass(bar_, bar_proc, bar_subclass_id, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, bar_range));
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
}

void TaskbarProgress::release_taskbar() { taskbar_.reset(); }

int TaskbarProgress::bar_position(uint64_t done, uint64_t total)
{
    if (total == 0)
        return 0;
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * bar_range);
}

void TaskbarProgress::begin_progress()
{
    disarm_timer();
    pending_ = false;
    completed_ = false;
    last_draw_ = GetTickCount() - redraw_interval_ms; // the first step draws at once
    EnableWindow(bar_, TRUE);
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
    if (!taskbar_.empty()) {
        taskbar_->SetProgressState(window_, TBPF_NORMAL);
        taskbar_->SetProgressValue(window_, 0, total_);
    }
    done_ = 0;
}

void TaskbarProgress::set_progress(uint64_t new_done)
{
    done_ = new_done;
    SendMessageW(bar_, PBM_SETPOS, bar_position(done_, total_), 0);
    if (!taskbar_.empty())
        taskbar_->SetProgressValue(window_, done_, total_);
}

bool TaskbarProgress::step(uint64_t bytes)
{
    done_ += bytes;
    pending_ = true;
    const DWORD now = GetTickCount();
    const DWORD since = now - last_draw_;
    if (since >= redraw_interval_ms)
        return draw_pending(now);
    if (!timer_armed_)
        timer_armed_ = SetTimer(window_, redraw_timer_id, redraw_interval_ms - since, nullptr) != 0;
    // Without a timer nothing would draw this step later: draw it now.
    return timer_armed_ ? false : draw_pending(now);
}

bool TaskbarProgress::redraw()
{
    disarm_timer();
    return draw_pending(GetTickCount());
}

bool TaskbarProgress::draw_pending(DWORD now)
{
    // A fill by complete_progress comes through this thread's messages, so it is never in
    // the middle of a redraw here and the full bar is drawn last either way.
    if (!pending_ || completed_)
        return false;
    pending_ = false;
    last_draw_ = now;
    SendMessageW(bar_, PBM_SETPOS, bar_position(done_, total_), 0);
    if (!taskbar_.empty())
        taskbar_->SetProgressValue(window_, done_, total_);
    return true;
}

void TaskbarProgress::disarm_timer()
{
    if (timer_armed_)
        KillTimer(window_, redraw_timer_id);
    timer_armed_ = false;
}

void TaskbarProgress::end_progress()
{
    disarm_timer();
    pending_ = false;
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
    EnableWindow(bar_, FALSE);
    if (!taskbar_.empty()) {
        taskbar_->SetProgressValue(window_, 0, 0);
        taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    }
    done_ = 0;
}

void TaskbarProgress::complete_progress()
{
    if (GetWindowThreadProcessId(bar_, nullptr) != GetCurrentThreadId()) {
        SendMessageW(bar_, complete_message, 0, 0);
        return;
    }
    complete_here();
}

void TaskbarProgress::complete_here()
{
    completed_ = true;
    SendMessageW(bar_, PBM_SETPOS, bar_range, 0);
    if (!taskbar_.empty()) {
        taskbar_->SetProgressValue(window_, total_, total_);
        taskbar_->SetProgressState(window_, TBPF_NORMAL);
    }
}
