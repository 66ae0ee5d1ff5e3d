// Dravik.exe over a file whose open or read stalls in the kernel, as on a share that stopped
// answering: the program's reading thread is stuck in CreateFile or ReadFile, and no call of
// the program's own can get it out. Abort and Close must still answer at once: the window
// gives up waiting on such a run, goes idle (or ends) and never shows anything that run does
// later, while the run frees what it holds once its call returns. A run whose share goes away
// fails.
//
// The file system is our own (stall_fs.c), mounted by stalls.sh, which runs these tests with
// DRAVIK_STALL_CONTROL and DRAVIK_STALL_MOUNT set (see stall_control_win.h); without them the
// tests are skipped. big.bin (64 MiB of the vectors' pattern) is the file that is held;
// small.bin (5,000,000 bytes) never is. Each test measures its own bound, from just before
// the press or the close.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "reliability_window_win.h"
#include "stall_control_win.h"
#include "ui/resource.h"

namespace {

const double abort_bound_ms = 500;  // Abort pressed to an idle window with the abort text
const double close_bound_ms = 2000; // WM_CLOSE posted to the process ended
const double gone_bound_ms = 3000;  // the file system killed to the failure shown
const DWORD give_up_ms = 5000;      // how long a check waits before it reports the miss
const DWORD reach_ms = 30000;       // a run reaching the stall, a released run closing its file
const DWORD watch_ms = 1000;        // how long the window is watched for late changes
const uint64_t held_offset = 3 * 2097152; // reads past the third chunk are held

class Stalls : public ReliabilityTest {
protected:
    void SetUp() override
    {
        if (!fs_.available())
            GTEST_SKIP() << "DRAVIK_STALL_CONTROL/DRAVIK_STALL_MOUNT not set: run through "
                            "stalls.sh (CTest entry reliability_stalls)";
        if (fs_.gone())
            GTEST_SKIP() << "the file system was killed by an earlier test";
        ASSERT_TRUE(fs_.release()) << "the control folder cannot be written";
        ASSERT_TRUE(fs_.wait_closed("big.bin", reach_ms) && fs_.wait_closed("small.bin", reach_ms))
            << "a file of the file system is still open from an earlier test";
        ReliabilityTest::SetUp();
    }

    void TearDown() override
    {
        // A failed check never leaves a run held: let it go before the program is ended.
        if (fs_.available())
            fs_.release();
        ReliabilityTest::TearDown();
    }

    bool idle_with_abort_text() const
    {
        return quick_text(dravik_, IDC_STATUS) == status_aborted &&
               quick_text(dravik_, IDC_START) == start_caption && inputs_enabled(dravik_);
    }

    // Starts a run of these rows over path and waits until the file system holds it.
    void start_held_run(const Rows& rows, const std::wstring& path, bool reading)
    {
        ASSERT_TRUE(choose_rows(rows));
        ASSERT_TRUE(use_file(path));
        ASSERT_TRUE(press_start());
        ASSERT_TRUE(fs_.wait_stalled(reach_ms))
            << "the run was not held; status " << utf8(dravik_.text(IDC_STATUS));
        ASSERT_EQ(dravik_.text(IDC_START), abort_caption);
        if (reading) {
            // The chunks before the held read have been digested and shown as progress.
            ASSERT_TRUE(wait_until(
                [&] { return dravik_.text(IDC_STATUS).compare(0, 3, L"計算中") == 0; }, reach_ms))
                << "no progress shown; status " << utf8(dravik_.text(IDC_STATUS));
        }
        ASSERT_TRUE(fs_.stalled()) << "the held request ended by itself";
    }

    // Presses Abort and measures until the window is idle with the abort text and usable
    // inputs. The press is posted, so that a window that does not return from it cannot hold
    // the test; it is checked here, not waited for. false when that takes longer than
    // give_up_ms.
    bool abort_and_time(double* elapsed_ms)
    {
        const double begin = steady_ms();
        if (!PostMessageW(dravik_.item(IDC_START), BM_CLICK, 0, 0))
            return false;
        bool idle_again = false;
        while (!(idle_again = idle_with_abort_text()) && steady_ms() - begin < give_up_ms)
            Sleep(2);
        *elapsed_ms = steady_ms() - begin;
        return idle_again;
    }

    void abort_within_bound(const char* what)
    {
        double elapsed = 0;
        const bool idle_again = abort_and_time(&elapsed);
        std::printf("abort while %s: idle with the abort text after %.0f ms\n", what, elapsed);
        ASSERT_TRUE(idle_again) << "not idle " << give_up_ms << " ms after Abort while " << what
                                << "; status " << utf8(quick_text(dravik_, IDC_STATUS))
                                << ", button " << utf8(quick_text(dravik_, IDC_START))
                                << ", inputs "
                                << (inputs_enabled(dravik_) ? "enabled" : "disabled");
        EXPECT_LT(elapsed, abort_bound_ms) << "Abort while " << what;
        EXPECT_TRUE(fs_.stalled()) << "the abort did not meet the run held";
    }

    // The idle window as a run left it: the status, the four results, the bar at 0 and off.
    ::testing::AssertionResult window_shows(const std::wstring& status, const Rows& shown) const
    {
        const std::wstring now = dravik_.text(IDC_STATUS);
        if (now != status)
            return ::testing::AssertionFailure() << "status " << utf8(now);
        const Rows results_now = results();
        for (int row = 0; row < 4; ++row)
            if (results_now[row] != shown[row])
                return ::testing::AssertionFailure()
                       << "row " << row + 1 << " shows " << utf8(results_now[row]);
        if (dravik_.text(IDC_START) != start_caption || !inputs_enabled(dravik_))
            return ::testing::AssertionFailure() << "not idle";
        LRESULT position = -1;
        if (!dravik_.send_to(IDC_PROGRESS, PBM_GETPOS, 0, 0, &position) || position != 0)
            return ::testing::AssertionFailure() << "progress bar at " << position;
        if (dravik_.enabled(IDC_PROGRESS))
            return ::testing::AssertionFailure() << "progress bar enabled";
        return ::testing::AssertionSuccess();
    }

    // Checks the window every 20 ms for watch_ms (after giving the bar its usual moment to be
    // switched off): nothing changes.
    void window_keeps(const std::wstring& status, const Rows& shown)
    {
        ASSERT_TRUE(wait_until([&] { return !dravik_.enabled(IDC_PROGRESS); }, give_up_ms))
            << "the progress bar stays on";
        const double begin = steady_ms();
        while (steady_ms() - begin < watch_ms) {
            ::testing::AssertionResult same = window_shows(status, shown);
            ASSERT_TRUE(same) << "after " << steady_ms() - begin << " ms of watching";
            Sleep(20);
        }
    }

    // Lets the held run go and waits until it has closed big.bin (opened at least
    // opened_at_least times by then): the abandoned run freed its handle.
    void release_and_wait_closed(int opened_at_least)
    {
        const double begin = steady_ms();
        ASSERT_TRUE(fs_.release());
        ASSERT_TRUE(fs_.wait_closed("big.bin", reach_ms, opened_at_least))
            << "big.bin still open (" << fs_.open_now("big.bin") << " handles, opened "
            << fs_.opened("big.bin") << " times) " << reach_ms << " ms after the release";
        std::printf("released: big.bin closed after %.0f ms\n", steady_ms() - begin);
    }

    // Posts WM_CLOSE and measures until the process has ended; its code must be 0.
    void close_within_bound(const char* what)
    {
        const double begin = steady_ms();
        ASSERT_TRUE(PostMessageW(dravik_.window(), WM_CLOSE, 0, 0));
        DWORD code = 1;
        const bool ended = dravik_.wait_for_exit(give_up_ms, &code);
        const double elapsed = steady_ms() - begin;
        std::printf("close while %s: ended after %.0f ms\n", what, elapsed);
        ASSERT_TRUE(ended) << "still running " << give_up_ms << " ms after WM_CLOSE while " << what;
        EXPECT_LT(elapsed, close_bound_ms) << "close while " << what;
        EXPECT_EQ(code, 0u);
        // The held request was interrupted by the end (nothing let it go), and the end closed
        // the file.
        const bool interrupted = wait_until([&] { return !fs_.stalled(); }, reach_ms);
        std::printf("close while %s: the held request interrupted %.0f ms after the close\n", what,
                    steady_ms() - begin);
        EXPECT_TRUE(interrupted) << "still held: " << fs_.stalled_requests();
        EXPECT_GE(fs_.interrupted(), interrupted_before_ + 1);
        EXPECT_TRUE(fs_.wait_closed("big.bin", reach_ms))
            << fs_.open_now("big.bin") << " handles of big.bin open after the end";
    }

    const Rows four_rows{L"SHA256", L"SHA512", L"MD5", L"SHA1"};
    const Rows empty_rows{L"", L"", L"", L""};
    StallFs fs_;
    int interrupted_before_ = 0;
};

TEST_F(Stalls, AbortWhileAReadIsStalled)
{
    ASSERT_TRUE(fs_.hold_reads_past(held_offset));
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), true));
    const int opened = fs_.opened("big.bin");
    ASSERT_NO_FATAL_FAILURE(abort_within_bound("a read is stalled"));
    EXPECT_TRUE(results_empty());
    ASSERT_NO_FATAL_FAILURE(release_and_wait_closed(opened));
    // The abandoned run ends unseen.
    ASSERT_NO_FATAL_FAILURE(window_keeps(status_aborted, empty_rows));
}

TEST_F(Stalls, AbortWhileTheOpenIsStalled)
{
    ASSERT_TRUE(fs_.hold_open());
    const int opened = fs_.opened("big.bin");
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), false));
    ASSERT_NO_FATAL_FAILURE(abort_within_bound("the open is stalled"));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_aborted);
    // Let go, the run's open completes and its handle is closed; the window keeps the abort
    // alone (never "no input" after it).
    ASSERT_NO_FATAL_FAILURE(release_and_wait_closed(opened + 1));
    ASSERT_NO_FATAL_FAILURE(window_keeps(status_aborted, empty_rows));
}

TEST_F(Stalls, NextRunWhileAnAbandonedRunIsStalled)
{
    ASSERT_TRUE(fs_.hold_reads_past(held_offset));
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), true));
    const int opened = fs_.opened("big.bin");
    ASSERT_NO_FATAL_FAILURE(abort_within_bound("a read is stalled"));

    // The first run is still held; the next one reads another file of the same file system.
    const Rows rows{L"SHA3_256", L"CRC32", L"BLAKE2b_512", L"Whirlpool"};
    ASSERT_TRUE(choose_rows(rows));
    ASSERT_TRUE(use_file(fs_.small_file()));
    std::wstring status;
    const double begin = steady_ms();
    ASSERT_TRUE(run(&status, 60000));
    std::printf("next run over small.bin: %.0f ms\n", steady_ms() - begin);
    ASSERT_TRUE(fs_.stalled()) << "the abandoned run was let go too early";
    EXPECT_EQ(status, status_completed);
    Rows expected;
    for (int row = 0; row < 4; ++row) {
        expected[row] = expected_pattern_digest(rows[row], StallFs::small_size);
        ASSERT_FALSE(expected[row].empty()) << "no vector for " << utf8(rows[row]);
    }
    EXPECT_EQ(results(), expected);

    ASSERT_NO_FATAL_FAILURE(release_and_wait_closed(opened));
    ASSERT_NO_FATAL_FAILURE(window_keeps(status_completed, expected));
}

TEST_F(Stalls, CloseWhileAReadIsStalled)
{
    ASSERT_TRUE(fs_.hold_reads_past(held_offset));
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), true));
    interrupted_before_ = fs_.interrupted();
    ASSERT_NO_FATAL_FAILURE(close_within_bound("a read is stalled"));
}

TEST_F(Stalls, CloseWhileTheOpenIsStalled)
{
    ASSERT_TRUE(fs_.hold_open());
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), false));
    interrupted_before_ = fs_.interrupted();
    ASSERT_NO_FATAL_FAILURE(close_within_bound("the open is stalled"));
}

// Last: the file system stays dead for the rest of the program.
TEST_F(Stalls, FileSystemGoneDuringAStalledRead)
{
    ASSERT_TRUE(fs_.hold_reads_past(held_offset));
    ASSERT_NO_FATAL_FAILURE(start_held_run(four_rows, fs_.big_file(), true));
    ASSERT_TRUE(fs_.kill_file_system(give_up_ms)) << "stalls.sh did not kill the file system";
    const double begin = steady_ms();
    std::wstring status;
    const bool ended = wait_for_end(&status, give_up_ms);
    const double elapsed = steady_ms() - begin;
    std::printf("file system killed: the run ended after %.0f ms\n", elapsed);
    ASSERT_TRUE(ended) << "no end " << give_up_ms << " ms after the file system went; status "
                       << utf8(status);
    EXPECT_LT(elapsed, gone_bound_ms);
    EXPECT_EQ(status, status_failed);
    EXPECT_TRUE(results_empty());
}

} // namespace
