// Start/Abort and the job's notifications in the window, with the stand-in job.
#include <functional>

#include "dialog_fixture_win.h"
#include "engine/hash_job_win.h"
#include "engine/job_protocol.h"
#include "ui/resource.h"
#include "ui/taskbar_progress_win.h"

namespace {

class JobCommands : public MainDialogTest {
protected:
    void SetUp() override
    {
        HashJob::script = StandInScript();
        HashJob::live = 0;
        HashJob::join_timed_out = false;
        HashJob::stuck_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        MainDialogTest::SetUp();
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        SetEvent(HashJob::stuck_release);
        EXPECT_TRUE(wait_for([] { return HashJob::live == 0; })) << "every job is deleted";
        EXPECT_FALSE(HashJob::join_timed_out) << "the window and the job waited on each other";
        CloseHandle(HashJob::stuck_release);
    }

    void press_start() { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0); }
    HashJob* job() { return main_dialog(dialog_)->current_job; }
    // The current run's identity, as its job's messages carry it in lParam.
    LPARAM run() { return static_cast<LPARAM>(job()->run_id()); }
    // Serves the window until condition holds, for at most 10 s.
    bool wait_for(const std::function<bool()>& condition)
    {
        const DWORD begin = GetTickCount();
        while (!condition()) {
            if (GetTickCount() - begin > 10000)
                return false;
            pump_messages(10);
        }
        return true;
    }
    bool idle()
    {
        return job() == nullptr && item_text(dialog_, IDC_START) == L"開始(&S)" &&
               IsWindowEnabled(GetDlgItem(dialog_, IDC_PATH));
    }
    bool running()
    {
        return job() != nullptr && item_text(dialog_, IDC_START) == L"中断(&A)" &&
               !IsWindowEnabled(GetDlgItem(dialog_, IDC_PATH));
    }
};

TEST_F(JobCommands, SecondPressAbortsTheRun)
{
    press_start();
    EXPECT_TRUE(running());
    EXPECT_EQ(HashJob::live, 1);
    press_start();
    EXPECT_TRUE(idle());
    EXPECT_EQ(HashJob::live, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
}

TEST_F(JobCommands, AbortServesTheJobsLastCallIntoTheWindow)
{
    // The job's thread writes into the dialog after the stop signal; the window's thread must
    // serve that call while it waits for the thread, or neither would go on.
    HashJob::script.write_after_stop = true;
    press_start();
    ASSERT_TRUE(running());
    press_start();
    EXPECT_TRUE(idle());
    EXPECT_FALSE(HashJob::join_timed_out);
    EXPECT_EQ(item_text(dialog_, SlotControls[0].result), L"written after the stop");
}

TEST_F(JobCommands, DoneEndsTheRunWithItsStatus)
{
    press_start();
    PostMessageW(dialog_, WM_JOB_DONE, 0, run());
    pump_messages(200);
    EXPECT_TRUE(idle());
    EXPECT_EQ(HashJob::live, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理が完了しました。");
}

TEST_F(JobCommands, FailureShowsTheCodesText)
{
    const struct {
        WPARAM code;
        const wchar_t* status;
    } cases[] = {
        {13, L"エラー: ハッシュ方式が一つも選択されていません。"},
        {14, L"エラー: ハッシュ取得データを確認できません。"},
        {15, L"エラー: ハッシュ計算領域を初期化できません。"},
        {0, L"エラー: ダイジェスト取得処理に失敗しました。"},
        {16, L"エラー: ダイジェスト取得処理に失敗しました。"}, // no text: the line stays
    };
    for (const auto& c : cases) {
        press_start();
        ASSERT_TRUE(running());
        SendMessageW(dialog_, WM_JOB_FAILED, c.code, run());
        EXPECT_TRUE(idle()) << c.code;
        EXPECT_EQ(item_text(dialog_, IDC_STATUS), c.status) << c.code;
    }
    EXPECT_EQ(HashJob::live, 0);
}

TEST_F(JobCommands, NotificationsOfAnotherRunChangeNothing)
{
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), nullptr);
    attach_taskbar_progress(dialog_, &progress);
    progress.set_total(4096);
    // Run A completes; its WM_PROGRESS_END is still to come when run B starts.
    press_start();
    const LPARAM a = run();
    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, a);
    SendMessageW(dialog_, WM_JOB_DONE, 0, a);
    ASSERT_TRUE(idle());
    press_start();
    ASSERT_TRUE(running());
    const LPARAM b = run();
    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, b);
    SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, b);
    // A's late messages, and messages of a run never started, find B running.
    for (LPARAM other : {a, b + 1, LPARAM(0)}) {
        SendMessageW(dialog_, WM_PROGRESS_END, 0, other);
        SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, other);
        SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, other);
        SendMessageW(dialog_, WM_JOB_DONE, 0, other);
        SendMessageW(dialog_, WM_JOB_FAILED, 6, other);
        EXPECT_TRUE(running()) << other;
        EXPECT_EQ(progress.done(), 1024u) << other;
        EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 25.00% (1kB)") << other;
    }
    // After an abort the aborted run's own notifications are late ones too.
    press_start();
    for (UINT message : {WM_JOB_DONE, WM_JOB_FAILED, WM_PROGRESS_BEGIN})
        SendMessageW(dialog_, message, 6, b);
    EXPECT_TRUE(idle());
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, IDC_PROGRESS)));
    attach_taskbar_progress(dialog_, nullptr);
}

TEST_F(JobCommands, AbortGivesUpAJobStuckInTheSystem)
{
    HashJob::script.stuck_after_stop = true;
    press_start();
    ASSERT_TRUE(running());
    const DWORD begin = GetTickCount();
    press_start();
    EXPECT_LT(GetTickCount() - begin, 5000u) << "Abort waited for a job that does not end";
    EXPECT_TRUE(idle());
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
    EXPECT_EQ(HashJob::live, 1) << "the stuck job is left to free itself";
    // A new run while the old one is stuck; then the old one ends and posts a finished run's
    // messages, which must neither end the new run nor report anything.
    HashJob::script.stuck_after_stop = false;
    press_start();
    ASSERT_TRUE(running());
    SetEvent(HashJob::stuck_release);
    EXPECT_TRUE(wait_for([] { return HashJob::live == 1; })) << "the stuck job never freed itself";
    pump_messages(100);
    EXPECT_TRUE(running());
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
}

TEST_F(JobCommands, AbortThatMeetsACompletedRunReportsTheCompletion)
{
    HashJob::script.completed = true;
    press_start();
    press_start();
    EXPECT_TRUE(idle());
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理が完了しました。");
}

TEST_F(JobCommands, JobThatDoesNotStartIsDroppedSilently)
{
    HashJob::script.start_result = 0;
    press_start();
    EXPECT_TRUE(idle());
    EXPECT_EQ(HashJob::live, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"");
}

TEST_F(JobCommands, ClosingDuringARunEndsTheJob)
{
    HashJob::script.write_after_stop = true;
    press_start();
    ASSERT_TRUE(running());
    SendMessageW(dialog_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_EQ(HashJob::live, 0);
    EXPECT_EQ(take_quit_message(), 0);
}

TEST_F(JobCommands, ProgressStepsCountOnlyDuringARun)
{
    TaskbarProgress progress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), nullptr);
    attach_taskbar_progress(dialog_, &progress);
    progress.set_total(4096);
    press_start();
    const LPARAM aborted = run();
    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, aborted);
    SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, aborted);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 25.00% (1kB)");
    EXPECT_EQ(progress.done(), 1024u);
    press_start();
    // The abort ends the display at once; a step that was already queued changes nothing.
    EXPECT_EQ(progress.done(), 0u);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, IDC_PROGRESS)));
    SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, aborted);
    EXPECT_EQ(progress.done(), 0u);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
    attach_taskbar_progress(dialog_, nullptr);
}

} // namespace
