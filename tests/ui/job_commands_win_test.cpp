// Start/Abort and the job's notifications in the window, with the stand-in job.
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
        MainDialogTest::SetUp();
    }
    void TearDown() override
    {
        MainDialogTest::TearDown();
        EXPECT_EQ(HashJob::live, 0) << "every job is deleted";
        EXPECT_FALSE(HashJob::join_timed_out) << "the window and the job waited on each other";
    }

    void press_start() { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0); }
    HashJob* job() { return main_dialog(dialog_)->current_job; }
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
    PostMessageW(dialog_, WM_JOB_DONE, 0, 0);
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
        SendMessageW(dialog_, WM_JOB_FAILED, c.code, 0);
        EXPECT_TRUE(idle()) << c.code;
        EXPECT_EQ(item_text(dialog_, IDC_STATUS), c.status) << c.code;
    }
    EXPECT_EQ(HashJob::live, 0);
}

TEST_F(JobCommands, LateNotificationAfterAbortStillReports)
{
    press_start();
    press_start();
    SendMessageW(dialog_, WM_JOB_DONE, 0, 0);
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
    SendMessageW(dialog_, WM_PROGRESS_BEGIN, 0, 0);
    SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"計算中... 25.00% (1kB)");
    press_start();
    // A step that was already queued when the run was aborted changes nothing.
    SendMessageW(dialog_, WM_PROGRESS_STEP, 1024, 0);
    EXPECT_EQ(progress.done(), 1024u);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理を中止しました。");
    SendMessageW(dialog_, WM_PROGRESS_END, 0, 0);
    EXPECT_EQ(progress.done(), 0u);
    attach_taskbar_progress(dialog_, nullptr);
}

} // namespace
