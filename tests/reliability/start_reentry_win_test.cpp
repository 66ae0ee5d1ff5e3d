// Start/Abort pressed by another thread or program (an automation tool sends BM_CLICK) at the
// moment the window is ending a run: when the run completed, when the user aborts it, and when
// the window is closed. The window's wait for the job's thread serves messages sent to it, so
// such a press arrives in the middle of ending the run. It must not start a run that the
// window then shows as idle (or leaves running behind a closed window): the window stays
// consistent, a job exactly when the button reads Abort.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "concurrency_test_support_win.h"
#include "engine/job_protocol.h"
#include "job_window_win.h"
#include "support/reader_hold_win.h"
#include "support/vectors.h"
#include "ui/main_dialog_win.h"
#include "ui/resource.h"

namespace {

const wchar_t* const start_text = L"開始(&S)";
const wchar_t* const abort_text = L"中断(&A)";

std::wstring caption(HWND dialog)
{
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, IDC_START, text, 64);
    return text;
}

void press_start(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_START)));
}

class StartReentry : public JobWindowTest {
protected:
    void SetUp() override
    {
        JobWindowTest::SetUp();
        threads_before_ = process_thread_count();
    }

    // A press of Start/Abort sent from another thread, pending at this thread once this
    // returns; it is served by the next wait that serves sent messages.
    void queue_foreign_press()
    {
        HWND dialog = dialog_;
        presser_.reset(new HelperThread([dialog] { press_start(dialog); }));
        ASSERT_TRUE(wait_for_sent_message());
    }

    // A job exactly when the button offers Abort.
    void expect_consistent_window()
    {
        MainDialog* state = main_dialog(dialog_);
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->current_job != nullptr, caption(dialog_) == abort_text)
            << "job " << state->current_job << ", button " << narrow(caption(dialog_).c_str());
    }

    void expect_no_thread_left()
    {
        EXPECT_TRUE(eventually([this] { return process_thread_count() == threads_before_; }))
            << process_thread_count() << " threads, " << threads_before_ << " before";
    }

    std::unique_ptr<HelperThread> presser_;
    long threads_before_ = 0;
};

TEST_F(StartReentry, PressWhileTheWindowEndsACompletedRun)
{
    use_text(L"abc");
    choose_rows({algorithm_id_from_name(L"SHA256")});
    press_start(dialog_);
    ASSERT_TRUE(serve_until_posted(WM_JOB_DONE));
    MSG done;
    ASSERT_TRUE(PeekMessageW(&done, dialog_, WM_JOB_DONE, WM_JOB_DONE, PM_REMOVE));
    queue_foreign_press();
    DispatchMessageW(&done); // ends the run, serving the press while it waits
    ASSERT_TRUE(presser_->join(10000));
    expect_consistent_window();
    EXPECT_EQ(caption(dialog_), start_text);
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理が完了しました。");
    EXPECT_EQ(result(0), vector_digest(algorithm_id_from_name(L"SHA256"), "abc", 3));
    drain();
    expect_consistent_window();
    expect_no_thread_left();
}

TEST_F(StartReentry, PressWhileTheUserAbortsARun)
{
    TestFile file("reentry_abort", std::vector<uint8_t>(3 * InputSource::CHUNK_SIZE, 0x3C));
    use_file(file.path());
    choose_rows({algorithm_id_from_name(L"Whirlpool"), algorithm_id_from_name(L"SHA512")});
    ReaderHold hold(GetCurrentProcessId(), 2); // the run is reading when the user aborts
    press_start(dialog_);
    ASSERT_TRUE(pump_until([&] { return hold.held() && received(WM_PROGRESS_STEP); }));
    queue_foreign_press();
    press_start(dialog_); // the user's Abort
    ASSERT_TRUE(presser_->join(10000));
    expect_consistent_window();
    EXPECT_EQ(caption(dialog_), start_text);
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理を中止しました。");
    drain();
    expect_consistent_window();
    expect_no_thread_left();
}

TEST_F(StartReentry, PressWhileTheWindowIsClosedDuringARun)
{
    TestFile file("reentry_close", std::vector<uint8_t>(3 * InputSource::CHUNK_SIZE, 0x3D));
    use_file(file.path());
    choose_rows({algorithm_id_from_name(L"Whirlpool")});
    ReaderHold hold(GetCurrentProcessId(), 2); // the run is reading when the window closes
    press_start(dialog_);
    ASSERT_TRUE(pump_until([&] { return hold.held() && received(WM_PROGRESS_STEP); }));
    queue_foreign_press();
    DestroyWindow(dialog_);
    ASSERT_TRUE(presser_->join(10000));
    EXPECT_FALSE(IsWindow(dialog_));
    drain();
    expect_no_thread_left(); // no run was left going behind the closed window
}

} // namespace
