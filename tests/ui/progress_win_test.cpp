// TaskbarProgress on the dialog's bar, with a recording taskbar, without one, and with
// whatever the system offers; the progress step's bar, taskbar and status text.
#include <windows.h>

#include <commctrl.h>

#include "com/com_initializer_win.h"
#include "dialog_fixture_win.h"
#include "engine/job_protocol.h"
#include "fake_taskbar_win.h"
#include "ui/resource.h"
#include "ui/status_line_win.h"
#include "ui/taskbar_progress_win.h"

namespace {

using Calls = std::vector<std::string>;

const unsigned long long mib = 1048576;

int bar_position(HWND dialog)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

bool bar_enabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDC_PROGRESS)) != FALSE; }

HRESULT STDAPICALLTYPE failing_creation(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*)
{
    return REGDB_E_CLASSNOTREG;
}

TEST(BarPosition, TruncatesTowardZero)
{
    EXPECT_EQ(TaskbarProgress::bar_position(2 * mib, 6 * mib), 3333);
    EXPECT_EQ(TaskbarProgress::bar_position(4 * mib, 6 * mib), 6666);
    EXPECT_EQ(TaskbarProgress::bar_position(6 * mib, 6 * mib), 10000);
    EXPECT_EQ(TaskbarProgress::bar_position(0, 6 * mib), 0);
    EXPECT_EQ(TaskbarProgress::bar_position(0, 0), 0) << "an empty input has no progress";
    EXPECT_EQ(TaskbarProgress::bar_position(1ull << 40, 1ull << 41), 5000);
}

TEST_F(MainDialogTest, ProgressDrivesTheBarAndTheTaskbarInStep)
{
    HWND bar = GetDlgItem(dialog_, IDC_PROGRESS);
    FakeTaskbar taskbar;
    {
        TaskbarProgress progress(dialog_, bar, &taskbar);
        PBRANGE range = {};
        SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 0);
        EXPECT_EQ(range.iHigh, 10000);
        EXPECT_TRUE(progress.has_taskbar());

        progress.set_total(6 * mib);
        progress.begin_progress();
        EXPECT_TRUE(bar_enabled(dialog_));
        EXPECT_EQ(bar_position(dialog_), 0);
        progress.set_progress(2 * mib);
        EXPECT_EQ(bar_position(dialog_), 3333);
        EXPECT_EQ(progress.done(), 2 * mib);
        progress.complete_progress();
        EXPECT_EQ(bar_position(dialog_), 10000);
        progress.end_progress();
        EXPECT_EQ(bar_position(dialog_), 0);
        EXPECT_FALSE(bar_enabled(dialog_));
        EXPECT_EQ(progress.done(), 0u);

        EXPECT_EQ(taskbar.calls,
                  (Calls{"state 2", "value 0/6291456", "value 2097152/6291456",
                         "value 6291456/6291456", "state 2", "value 0/0", "state 0"}));
        EXPECT_EQ(taskbar.last_window, dialog_);
        EXPECT_EQ(taskbar.references, 1);
    }
    EXPECT_EQ(taskbar.references, 0) << "the taskbar interface is released with the display";
}

TEST_F(MainDialogTest, ProgressWorksWithoutATaskbar)
{
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), nullptr);
    EXPECT_FALSE(progress.has_taskbar());
    progress.set_total(6 * mib);
    progress.begin_progress();
    progress.set_progress(4 * mib);
    EXPECT_EQ(bar_position(dialog_), 6666);
    progress.complete_progress();
    EXPECT_EQ(bar_position(dialog_), 10000);
    progress.end_progress();
    EXPECT_EQ(bar_position(dialog_), 0);
    EXPECT_FALSE(bar_enabled(dialog_));
}

TEST_F(MainDialogTest, ProgressGoesOnWhenTheTaskbarCannotBeCreated)
{
    ComInitializer com(true);
    CreateInstanceFunction saved = ComInitializer::creation_function;
    ComInitializer::creation_function = failing_creation;
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS));
    ComInitializer::creation_function = saved;
    EXPECT_FALSE(progress.has_taskbar());
    progress.set_total(100);
    progress.begin_progress();
    progress.set_progress(50);
    EXPECT_EQ(bar_position(dialog_), 5000);
    progress.end_progress();
    EXPECT_FALSE(bar_enabled(dialog_));
}

TEST_F(MainDialogTest, ProgressWithTheSystemsTaskbar)
{
    // The system may or may not offer the taskbar object; the bar must work either way.
    ComInitializer com(true);
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS));
    progress.set_total(3 * mib);
    progress.begin_progress();
    progress.set_progress(mib);
    EXPECT_EQ(bar_position(dialog_), 3333);
    progress.complete_progress();
    progress.end_progress();
    EXPECT_EQ(bar_position(dialog_), 0);
    progress.release_taskbar();
    EXPECT_FALSE(progress.has_taskbar());
}

// Steps come faster than the display redraws: a step may wait up to one redraw interval, but
// the display always comes to the last step's values, and a bar that the job has filled stays
// full whatever steps or redraws come after.
TEST_F(MainDialogTest, ProgressStepsEndOnTheLastValuesAndNeverUndoTheFullBar)
{
    FakeTaskbar taskbar;
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), &taskbar);
    attach_taskbar_progress(dialog_, &progress);
    main_dialog(dialog_)->current_job = reinterpret_cast<HashJob*>(&taskbar); // a run goes on
    const DWORD bound_ms = 5000;
    progress.set_total(6 * mib);
    progress.begin_progress();
    show_progress_step(dialog_, progress, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 0.00% (0bytes)")
        << "the first draws at once";
    show_progress_step(dialog_, progress, 2 * mib);
    show_progress_step(dialog_, progress, 2 * mib);
    const DWORD begin = GetTickCount();
    while (item_text(dialog_, IDC_STATUS) != L"計算中... 66.67% (4MB)" &&
           GetTickCount() - begin < bound_ms)
        pump_messages(10);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 66.67% (4MB)");
    EXPECT_EQ(bar_position(dialog_), 6666);
    EXPECT_EQ(taskbar.calls.back(), "value 4194304/6291456");

    show_progress_step(dialog_, progress, mib / 2); // drawn now or left to the timer
    progress.complete_progress();                   // the job fills the bar
    show_progress_step(dialog_, progress, mib / 2);
    pump_messages(3 * TaskbarProgress::redraw_interval_ms);
    EXPECT_EQ(bar_position(dialog_), 10000);
    EXPECT_EQ(taskbar.calls.back(), "state 2");

    main_dialog(dialog_)->current_job = nullptr;
    attach_taskbar_progress(dialog_, nullptr);
}

// A run of more than 4 GiB: the taskbar is given the whole 64-bit total at every step, in step
// with the bar, and the full total at the end.
TEST_F(MainDialogTest, ProgressOverFourGibGivesTheTaskbarTheWholeTotal)
{
    FakeTaskbar taskbar;
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), &taskbar);
    attach_taskbar_progress(dialog_, &progress);
    main_dialog(dialog_)->current_job = reinterpret_cast<HashJob*>(&taskbar); // a run goes on
    const unsigned long long gib = 1024 * mib, total = 5 * gib + 12345;
    const std::string of_total = "/" + std::to_string(total);
    progress.set_total(total);
    progress.begin_progress();
    EXPECT_EQ(taskbar.calls, (Calls{"state 2", "value 0" + of_total}));
    const int bar_after[5] = {1999, 3999, 5999, 7999, 9999}; // k GiB of 5 GiB + 12345
    for (int k = 1; k <= 5; ++k) {
        show_progress_step(dialog_, progress, gib);
        const std::string drawn = "value " + std::to_string(k * gib) + of_total;
        const DWORD begin = GetTickCount();
        while (taskbar.calls.back() != drawn && GetTickCount() - begin < 5000)
            pump_messages(10);
        EXPECT_EQ(taskbar.calls.back(), drawn);
        EXPECT_EQ(bar_position(dialog_), bar_after[k - 1]) << k << " GiB";
    }
    show_progress_step(dialog_, progress, 12345);
    progress.complete_progress();
    EXPECT_EQ(bar_position(dialog_), 10000);
    ASSERT_GE(taskbar.calls.size(), 2u);
    EXPECT_EQ(taskbar.calls[taskbar.calls.size() - 2], "value " + std::to_string(total) + of_total);
    EXPECT_EQ(taskbar.calls.back(), "state 2");

    main_dialog(dialog_)->current_job = nullptr;
    attach_taskbar_progress(dialog_, nullptr);
}

TEST_F(MainDialogTest, DialogHandsProgressMessagesToTheDisplay)
{
    FakeTaskbar taskbar;
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), &taskbar);
    attach_taskbar_progress(dialog_, &progress);
    EXPECT_EQ(taskbar_progress(dialog_), &progress);
    progress.set_total(6 * mib);
    // The messages name their run (lParam); only the dialog's current run's are acted on.
    const LPARAM run = 7, other = 8;
    main_dialog(dialog_)->run = run;

    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, other);
    EXPECT_FALSE(bar_enabled(dialog_));
    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, run);
    EXPECT_TRUE(bar_enabled(dialog_));
    // No run in the window: a step is not handled.
    SendMessageW(dialog_, WM_PROGRESS_STEP, 2 * mib, run);
    EXPECT_EQ(bar_position(dialog_), 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"");
    // During a run (any non-null job will do; nothing reaches it here).
    main_dialog(dialog_)->current_job = reinterpret_cast<HashJob*>(&taskbar);
    SendMessageW(dialog_, WM_PROGRESS_STEP, 2 * mib, other);
    EXPECT_EQ(bar_position(dialog_), 0);
    SendMessageW(dialog_, WM_PROGRESS_STEP, 2 * mib, run);
    main_dialog(dialog_)->current_job = nullptr;
    EXPECT_EQ(bar_position(dialog_), 3333);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 33.33% (2MB)");
    SendMessageW(dialog_, WM_PROGRESS_END, 0, other);
    EXPECT_TRUE(bar_enabled(dialog_));
    SendMessageW(dialog_, WM_PROGRESS_END, 0, run);
    EXPECT_FALSE(bar_enabled(dialog_));
    EXPECT_EQ(bar_position(dialog_), 0);
    EXPECT_EQ(taskbar.calls.back(), "state 0");

    main_dialog(dialog_)->run = 0;
    attach_taskbar_progress(dialog_, nullptr);
}

} // namespace
