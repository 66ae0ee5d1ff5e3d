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

TaskbarProgress::~TaskbarProgress() { release_taskbar(); }

void TaskbarProgress::set_up_bar()
{
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
    // A fill by complete_progress may come at any moment from the job's thread; its bar
    // message waits until this thread is done here, so the full bar is drawn last either way.
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
    completed_ = true;
    SendMessageW(bar_, PBM_SETPOS, bar_range, 0);
    if (!taskbar_.empty()) {
        taskbar_->SetProgressValue(window_, total_, total_);
        taskbar_->SetProgressState(window_, TBPF_NORMAL);
    }
}
