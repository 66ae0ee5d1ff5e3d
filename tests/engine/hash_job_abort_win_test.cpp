// Aborting a digest run by deleting its job at different moments (while preparation waits
// for the window, while reading, while the job waits for the window to complete the bar),
// many start/abort cycles in a row, and the Start/Abort button and closing the window with
// the real job behind them. Every deletion is bounded by the test program's watchdog. A run
// aborted "while reading" has its reader held between two reads (support/reader_hold_win.h),
// so the abort meets it there however fast the run would otherwise end.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <memory>

#include "concurrency_test_support_win.h"
#include "engine/job_protocol.h"
#include "job_window_win.h"
#include "support/reader_hold_win.h"
#include "support/vectors.h"
#include "ui/fake_taskbar_win.h"
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
    auto* job = new_job();
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(wait_for_sent_message()); // prepare clearing row 1: this thread must serve it
    delete_job(job);
    // The stop came while the job prepared: it opened nothing and posts nothing, so the window
    // shows the abort alone.
    EXPECT_EQ(messages_, std::vector<JobMessage>{});
    for (int row = 0; row < slot_count; ++row)
        EXPECT_EQ(result(row), L"") << "row " << row + 1;
    expect_no_thread_left();
}

TEST_F(JobAbort, WhileReading)
{
    const uint64_t size = 4 * chunk;
    TestFile file("abort_reading", std::vector<uint8_t>(size, 0x5A));
    use_file(file.path());
    choose_rows({id_of(L"Whirlpool"), id_of(L"SHA512"), id_of(L"BLAKE512"), id_of(L"SM3")});
    ReaderHold hold(GetCurrentProcessId(), 3);
    auto* job = new_job();
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
    auto* job = new_job();
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
    auto* job = new_job();
    StopOnWrite::job = job;
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
    delete_job(job);
    SetWindowLongPtrW(last_field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StopOnWrite::original));
    EXPECT_EQ(StopOnWrite::job, nullptr) << "the last row's digest was never written";
    expect_aborted_run();
    expect_no_thread_left();
}

// A read that blocks in the system until it is cancelled: an empty pipe that promises bytes.
HANDLE pipe_reader = nullptr;
InputSource* open_empty_pipe(HWND)
{
    HandleHolder pipe;
    pipe.take(pipe_reader);
    pipe_reader = nullptr;
    return new InputSource(pipe, 3 * chunk);
}

TEST_F(JobAbort, EndCancelsAReadThatBlocksAndCallsItAnAbort)
{
    HANDLE writer = nullptr;
    ASSERT_TRUE(CreatePipe(&pipe_reader, &writer, nullptr, 0));
    choose_rows({id_of(L"SHA256")});
    auto* job = new_job(open_empty_pipe);
    ASSERT_NE(job->start(), 0);
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_BEGIN); }));
    const HashJob::Ending ending = HashJob::end(job);
    // The read was cancelled: the thread ends although no byte ever comes (joined at once, or,
    // on a machine too busy to end it within the wait, a little later by itself).
    expect_no_thread_left();
    CloseHandle(writer);
    drain();
    EXPECT_FALSE(received(WM_JOB_FAILED)) << "a cancelled read is an abort";
    EXPECT_FALSE(received(WM_JOB_DONE));
    std::printf("read of an empty pipe cancelled, thread %s\n",
                ending.abandoned ? "given up" : "joined");
}

// Deletions at every kind of moment, one after the other: each returns, leaves either no
// digest or the right one, and reports begin and end exactly once (or, stopped while it
// prepared, nothing).
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
        auto* job = new_job();
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
        // Stopped while it prepared: nothing at all; else begin and end once each.
        if (cycle % 5 <= 1 && messages_.empty())
            continue;
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

// Runs through the Start button with the taskbar's calls recorded.
class RecordedRun : public StartButton {
protected:
    void SetUp() override
    {
        StartButton::SetUp();
        display_.reset(new TaskbarProgress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), &taskbar_));
        attach_taskbar_progress(dialog_, display_.get());
    }
    void TearDown() override
    {
        attach_taskbar_progress(dialog_, progress_.get());
        StartButton::TearDown();
    }

    // Presses Abort during a run held stuck by a deaf hold; true when the window was idle, with the
    // abort text, well within a second.
    ::testing::AssertionResult abort_stuck_run(const ReaderHold& hold)
    {
        if (!pump_until([&] { return hold.held(); }))
            return ::testing::AssertionFailure() << "the reader never got stuck";
        const DWORD begin = GetTickCount();
        press_start(dialog_);
        const DWORD took = GetTickCount() - begin;
        if (took > HashJob::end_wait_ms + 700)
            return ::testing::AssertionFailure() << "Abort took " << took << " ms";
        if (status() != L"情報: ダイジェスト取得処理を中止しました。" ||
            start_caption(dialog_) != L"開始(&S)" || main_dialog(dialog_)->current_job != nullptr)
            return ::testing::AssertionFailure() << "not idle after Abort";
        return ::testing::AssertionSuccess();
    }

    // What the window shows: status, results, bar and every taskbar call so far.
    std::vector<std::wstring> window_state()
    {
        std::vector<std::wstring> state = {status(), start_caption(dialog_)};
        for (int row = 0; row < slot_count; ++row)
            state.push_back(result(row));
        HWND bar = GetDlgItem(dialog_, IDC_PROGRESS);
        state.push_back(std::to_wstring(SendMessageW(bar, PBM_GETPOS, 0, 0)) +
                        (IsWindowEnabled(bar) ? L" enabled" : L" disabled"));
        for (const std::string& call : taskbar_.calls)
            state.push_back(wide(call));
        return state;
    }

    // The file is no longer open for reading once a writer may have it to itself.
    static bool closed(const std::wstring& path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }

    FakeTaskbar taskbar_;
    std::unique_ptr<TaskbarProgress> display_;
};

// The taskbar object lives in the window thread's apartment: every call on that thread, the
// completion's too (the job asks for it from its own), in the display's order.
TEST_F(RecordedRun, TaskbarCallsAllComeFromTheWindowsThreadInOrder)
{
    const uint64_t size = 3 * chunk;
    TestFile file("taskbar_thread", pattern_message(size));
    use_file(file.path());
    choose_rows({id_of(L"SHA1")});
    press_start(dialog_);
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理が完了しました。");
    const std::string total = "/" + std::to_string(size);
    ASSERT_GE(taskbar_.calls.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(taskbar_.calls.begin(), taskbar_.calls.begin() + 2),
              (std::vector<std::string>{"state 2", "value 0" + total}));
    EXPECT_EQ(std::vector<std::string>(taskbar_.calls.end() - 4, taskbar_.calls.end()),
              (std::vector<std::string>{"value " + std::to_string(size) + total, "state 2",
                                        "value 0/0", "state 0"}));
    for (size_t call = 0; call < taskbar_.threads.size(); ++call)
        EXPECT_EQ(taskbar_.threads[call], GetCurrentThreadId()) << taskbar_.calls[call];
}

// A run whose reader is stuck in the system (a read that never returns, deaf to the stop):
// Abort must give it up at once and leave a window that nothing of that run changes again,
// however the run ends later; the run then frees its thread, workers and file by itself.
using StuckRun = RecordedRun;

TEST_F(StuckRun, AbortGivesTheRunUpAndNothingOfItReachesTheWindowAfterwards)
{
    // Stuck where the input has been read: released, a run that ignored the stop would fill
    // the bar, write its digests and report completion.
    TestFile file("stuck_end", pattern_message(3 * chunk));
    use_file(file.path());
    choose_rows({id_of(L"SHA256"), id_of(L"MD5")});
    ReaderHold stuck(GetCurrentProcessId(), ReaderHold::end_of_input, ReaderHold::deaf_to_stop);
    press_start(dialog_);
    ASSERT_TRUE(abort_stuck_run(stuck));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, IDC_PROGRESS)));
    ASSERT_FALSE(taskbar_.calls.empty());
    EXPECT_EQ(taskbar_.calls.back(), "state 0");
    const std::vector<std::wstring> after_abort = window_state();
    stuck.release();
    EXPECT_TRUE(eventually([&] { return closed(file.path()); })) << "the run kept its file";
    expect_no_thread_left();
    pump_until([] { return false; }, 300); // whatever the run posted on its way out
    EXPECT_EQ(window_state(), after_abort);
    EXPECT_FALSE(received(WM_JOB_DONE));
}

TEST_F(StuckRun, ANewRunGoesOnWhileTheOldOneIsStuck)
{
    TestFile stuck_file("stuck_read", pattern_message(4 * chunk));
    const std::vector<uint8_t> bytes = pattern_message(chunk / 2);
    TestFile second("stuck_second", bytes);
    const std::vector<AlgorithmId> rows = {id_of(L"SHA1"), id_of(L"SHA3_256"), id_of(L"CRC32")};
    choose_rows(rows);
    use_file(stuck_file.path());
    // Read 2 is reached only by the first run: the second's input is one chunk.
    ReaderHold stuck(GetCurrentProcessId(), 2, ReaderHold::deaf_to_stop);
    press_start(dialog_);
    ASSERT_TRUE(abort_stuck_run(stuck));
    use_file(second.path());
    clear_record();
    press_start(dialog_);
    ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
    EXPECT_EQ(status(), L"情報: ダイジェスト取得処理が完了しました。");
    for (size_t row = 0; row < rows.size(); ++row)
        EXPECT_EQ(result(static_cast<int>(row)),
                  wide(one_shot_hex(rows[row], bytes.data(), bytes.size())));
    EXPECT_EQ(taskbar_.calls.back(), "state 0");
    const std::vector<std::wstring> after_second = window_state();
    stuck.release();
    EXPECT_TRUE(eventually([&] { return closed(stuck_file.path()); })) << "the run kept its file";
    expect_no_thread_left();
    pump_until([] { return false; }, 300);
    EXPECT_EQ(window_state(), after_second);
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
