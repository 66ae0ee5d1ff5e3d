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

TaskbarProgress::~TaskbarProgress()
{
    release_taskbar();
}

void TaskbarProgress::set_up_bar()
{
    SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, bar_range));
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
}

void TaskbarProgress::release_taskbar()
{
    taskbar_.reset();
}

int TaskbarProgress::bar_position(uint64_t done, uint64_t total)
{
    if (total == 0)
        return 0;
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * bar_range);
}

void TaskbarProgress::begin_progress()
{
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

void TaskbarProgress::end_progress()
{
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
    SendMessageW(bar_, PBM_SETPOS, bar_range, 0);
    if (!taskbar_.empty()) {
        taskbar_->SetProgressValue(window_, total_, total_);
        taskbar_->SetProgressState(window_, TBPF_NORMAL);
    }
}
