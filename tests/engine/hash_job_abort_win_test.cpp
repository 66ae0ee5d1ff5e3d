// Aborting a digest run by deleting its job at different moments (while preparation waits
// for the window, while reading, while the job waits for the window to complete the bar),
// many start/abort cycles in a row, and the Start/Abort button and closing the window with
// the real job behind them. Every deletion is bounded by the test program's watchdog. A run
// aborted "while reading" has its reader held between two reads (support/reader_hold_win.h),
// so the abort meets it there however fast the run would otherwise end.
#include <gtest/gtest.h>

#include <windows.h>

#include "concurrency_test_support_win.h"
#include "engine/job_protocol.h"
#include "job_window_win.h"
#include "support/reader_hold_win.h"
#include "support/vectors.h"
#include "ui/main_dialog_win.h"
#include "ui/resource.h"

namespace {

const uint64_t chunk = InputSource::CHUNK_SIZE;

AlgorithmId id_of(const wchar_t* name) { return algorithm_id_from_name(name); }

class JobAbort : public JobWindowTest {
protected:
    void SetUp() override
    {
        JobWindowTest::SetUp();
        threads_before_ = process_thread_count();
        fill_results(L"stale");
    }

    // What every aborted run shows: it began and ended, never completed nor failed, and
    // wrote no digest (prepare emptied the rows).
    void expect_aborted_run()
    {
        ASSERT_FALSE(messages_.empty());
        EXPECT_EQ(messages_.front(), begin_message());
        EXPECT_EQ(messages_.back(), end_message());
        EXPECT_EQ(count(WM_PROGRESS_END), 1u);
        EXPECT_FALSE(received(WM_JOB_DONE));
        EXPECT_FALSE(received(WM_JOB_FAILED));
        for (int row = 0; row < slot_count; ++row)
            EXPECT_EQ(result(row), L"") << "row " << row + 1;
    }

    // Under Wine the first failure that a test prints starts a console thread, so after an
    // earlier failure in the same test this check fails too; look at the first one.
    void expect_no_thread_left()
    {
        EXPECT_TRUE(eventually([this] { return process_thread_count() == threads_before_; }))
            << process_thread_count() << " threads, " << threads_before_ << " before";
    }

    long threads_before_ = 0;
};

TEST_F(JobAbort, WhilePreparationWaitsForTheWindow)
{
    TestFile file("abort_prepare", pattern_message(3 * chunk));
    use_file(file.path());
    choose_rows({id_of(L"SHA512"), id_of(L"Whirlpool")});
    auto* job = new HashJob(dialog_, progress_.get());
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(wait_for_sent_message()); // prepare clearing row 1: this thread must serve it
    delete_job(job);
    // The stop came before reading began: the loop never ran.
    EXPECT_EQ(messages_, (std::vector<JobMessage>{begin_message(), end_message()}));
    expect_aborted_run();
    expect_no_thread_left();
}

TEST_F(JobAbort, WhileReading)
{
    const uint64_t size = 4 * chunk;
    TestFile file("abort_reading", std::vector<uint8_t>(size, 0x5A));
    use_file(file.path());
    choose_rows({id_of(L"Whirlpool"), id_of(L"SHA512"), id_of(L"BLAKE512"), id_of(L"SM3")});
    ReaderHold hold(GetCurrentProcessId(), 3);
    auto* job = new HashJob(dialog_, progress_.get());
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(pump_until([&] { return hold.held() && count(WM_PROGRESS_STEP) >= 2; }));
    delete_job(job);
    expect_aborted_run();
    EXPECT_LT(count(WM_PROGRESS_STEP), size / chunk); // the fourth read never came
    expect_no_thread_left();
}

// The job has read everything and waits for this thread to set the bar full; the deletion
// serves that call, and the job then writes nothing more.
TEST_F(JobAbort, WhileTheJobWaitsToCompleteTheBar)
{
    TestFile file("abort_finishing", pattern_message(8 * chunk));
    use_file(file.path());
    choose_rows({id_of(L"SHA1"), id_of(L"MD5"), id_of(L"CRC32"), id_of(L"SHA3_512")});
    auto* job = new HashJob(dialog_, progress_.get());
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(serve_until_posted(WM_PROGRESS_BEGIN));
    ASSERT_TRUE(wait_for_sent_message());
    delete_job(job);
    std::vector<JobMessage> expected{begin_message(), step_message(0)};
    expected.insert(expected.end(), 7, step_message(chunk));
    expected.push_back(end_message());
    EXPECT_EQ(messages_, expected);
    expect_aborted_run();
    expect_no_thread_left();
}

// Raises a job's stop signal from inside the call that writes a digest into a result field,
// the moment an abort meets the job writing its last row.
struct StopOnWrite {
    static LRESULT CALLBACK field_proc(HWND field, UINT message, WPARAM wparam, LPARAM lparam)
    {
        if (message == WM_SETTEXT && lparam != 0 &&
            *reinterpret_cast<const wchar_t*>(lparam) != L'\0' && job != nullptr) {
            job->request_stop();
            job = nullptr;
        }
        return CallWindowProcW(original, field, message, wparam, lparam);
    }
    static HashJob* job;
    static WNDPROC original;
};
HashJob* StopOnWrite::job = nullptr;
WNDPROC StopOnWrite::original = nullptr;

TEST_F(JobAbort, WhileTheJobWritesTheLastDigest)
{
    TestFile file("abort_last_row", pattern_message(chunk / 2));
    use_file(file.path());
    choose_rows({id_of(L"MD5"), id_of(L"SHA1")});
    HWND last_field = GetDlgItem(dialog_, SlotControls[1].result);
    StopOnWrite::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        last_field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StopOnWrite::field_proc)));
    auto* job = new HashJob(dialog_, progress_.get());
    StopOnWrite::job = job;
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
    delete_job(job);
    SetWindowLongPtrW(last_field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StopOnWrite::original));
    EXPECT_EQ(StopOnWrite::job, nullptr) << "the last row's digest was never written";
    expect_aborted_run();
    expect_no_thread_left();
}

// Deletions at every kind of moment, one after the other: each returns, leaves either no
// digest or the right one, and reports begin and end exactly once.
TEST_F(JobAbort, FiveHundredStartsAndAbortsInARow)
{
    const std::vector<uint8_t> bytes = pattern_message(3 * chunk / 2);
    TestFile file("abort_cycles", bytes);
    use_file(file.path());
    choose_rows({id_of(L"SHA256"), id_of(L"CRC32")});
    const std::wstring sha256 = wide(one_shot_hex(id_of(L"SHA256"), bytes.data(), bytes.size()));
    const std::wstring crc32 = wide(one_shot_hex(id_of(L"CRC32"), bytes.data(), bytes.size()));
    int completed = 0;
    for (int cycle = 0; cycle < 500; ++cycle) {
        clear_record();
        auto* job = new HashJob(dialog_, progress_.get());
        ASSERT_NE(job->start(), 0) << "cycle " << cycle;
        switch (cycle % 5) {
        case 1:
            ASSERT_TRUE(wait_for_sent_message()) << "cycle " << cycle;
            break;
        case 2:
            ASSERT_TRUE(serve_until_posted(WM_PROGRESS_BEGIN)) << "cycle " << cycle;
            break;
        case 3:
            pump_until([this] { return received(WM_PROGRESS_STEP); });
            break;
        case 4:
            pump_until([this] { return received(WM_JOB_DONE); });
            break;
        default:
            break; // deleted at once
        }
        delete_job(job);
        ASSERT_EQ(count(WM_PROGRESS_BEGIN), 1u) << "cycle " << cycle;
        ASSERT_EQ(messages_.back(), end_message()) << "cycle " << cycle;
        ASSERT_EQ(count(WM_PROGRESS_END), 1u) << "cycle " << cycle;
        ASSERT_FALSE(received(WM_JOB_FAILED)) << "cycle " << cycle;
        const bool done = received(WM_JOB_DONE);
        completed += done ? 1 : 0;
        ASSERT_EQ(result(0), done ? sha256 : L"") << "cycle " << cycle;
        ASSERT_EQ(result(1), done ? crc32 : L"") << "cycle " << cycle;
    }
    EXPECT_GE(completed, 1); // the cycles that wait for completion do complete
    expect_no_thread_left();
}

using StartButton = JobAbort;

void press_start(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_START)));
}

std::wstring start_caption(HWND dialog)
{
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, IDC_START, text, 64);
    return text;
}

TEST_F(StartButton, RunsARealJobToTheDigests)
{
    const uint64_t size = 6291456;
    TestFile file("button", make_message("large_pattern", size));
    use_file(file.path());
    const std::vector<AlgorithmId> rows = {id_of(L"SHA3_256"), id_of(L"BLAKE2b_512"),
                                           id_of(L"RIPEMD160"), id_of(L"BLAKE224")};
    choose_rows(rows);
    press_start(dialog_);
    EXPECT_EQ(start_caption(dialog_), L"中断(&A)");
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理が完了しました。");
    EXPECT_EQ(start_caption(dialog_), L"開始(&S)");
    EXPECT_EQ(main_dialog(dialog_)->current_job, nullptr);
    for (int row = 0; row < slot_count; ++row)
        EXPECT_EQ(result(row), vector_digest(rows[row], "large_pattern", size));
    EXPECT_EQ(messages_,
              (std::vector<JobMessage>{begin_message(), step_message(0), step_message(chunk),
                                       step_message(chunk), done_message(), end_message()}));
    expect_no_thread_left();
}

TEST_F(StartButton, SecondPressAbortsTheRun)
{
    TestFile file("button_abort", std::vector<uint8_t>(4 * chunk, 0xA5));
    use_file(file.path());
    choose_rows({id_of(L"Whirlpool"), id_of(L"SHA512")});
    ReaderHold hold(GetCurrentProcessId(), 2);
    press_start(dialog_);
    ASSERT_TRUE(pump_until([&] { return hold.held() && received(WM_PROGRESS_STEP); }));
    press_start(dialog_);
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理を中止しました。");
    EXPECT_EQ(start_caption(dialog_), L"開始(&S)");
    EXPECT_EQ(main_dialog(dialog_)->current_job, nullptr);
    drain();
    expect_aborted_run();
    expect_no_thread_left();
}

TEST_F(StartButton, ManyQuickPressesEndIdle)
{
    TestFile file("button_presses", pattern_message(3 * chunk));
    use_file(file.path());
    choose_rows({id_of(L"SHA1")});
    for (int press = 0; press < 100; ++press) {
        press_start(dialog_);
        if (press % 3 == 0)
            drain();
    }
    // A run may have completed between two presses, so the last press may have started one.
    if (main_dialog(dialog_)->current_job != nullptr)
        press_start(dialog_);
    EXPECT_EQ(main_dialog(dialog_)->current_job, nullptr);
    EXPECT_EQ(start_caption(dialog_), L"開始(&S)");
    drain();
    EXPECT_EQ(count(WM_PROGRESS_BEGIN), count(WM_PROGRESS_END));
    expect_no_thread_left();
}

TEST_F(StartButton, ClosingTheWindowDuringARunEndsIt)
{
    TestFile file("button_close", std::vector<uint8_t>(4 * chunk, 0x11));
    use_file(file.path());
    choose_rows({id_of(L"Whirlpool"), id_of(L"BLAKE384")});
    ReaderHold hold(GetCurrentProcessId(), 2);
    press_start(dialog_);
    ASSERT_TRUE(pump_until([&] { return hold.held() && received(WM_PROGRESS_STEP); }));
    DestroyWindow(dialog_);
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_FALSE(received(WM_JOB_DONE));
    expect_no_thread_left();
}

TEST_F(StartButton, NothingChosenReportsItAndStaysIdle)
{
    use_text(L"abc");
    choose_rows({});
    press_start(dialog_);
    ASSERT_TRUE(pump_until([this] { return received(WM_JOB_FAILED); }));
    EXPECT_EQ(status(), L"エラー: ハッシュ方式が一つも選択されていません。");
    EXPECT_EQ(start_caption(dialog_), L"開始(&S)");
    EXPECT_EQ(main_dialog(dialog_)->current_job, nullptr);
    expect_no_thread_left();
}

} // namespace
