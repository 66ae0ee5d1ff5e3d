// Start/abort cycles through one Dravik.exe over the stalling file system, for tools/stress.sh
// (figures on request, not part of the test command; skipped without DRAVIK_STALL_CONTROL).
// DRAVIK_STRESS_CYCLES cycles (default 1000), drawn from DRAVIK_STRESS_SEED:
// - a third held in the kernel: the open of big.bin, or a read past a random offset; Abort is
//   pressed once the file system holds the run, and the window must be idle with the abort
//   text and no digest; half the time the next run (over small.bin) is made while the
//   abandoned one is still held; then the hold is released and the abandoned run must close
//   big.bin;
// - a third aborted at a random moment (0 to 200 ms) without a hold, over big.bin; a run that
//   completed first must show the right digests;
// - a third left to complete, over small.bin (vectors) or big.bin (our own digests).
// One to four rows of random algorithms each. A cycle that does not reach an idle window in
// time is a hang and ends the stress. Printed: the cycles of each kind, hangs, wrong digests,
// the longest and mean Abort-to-idle times, the program's handles and private bytes at the
// start, after the warm-up and at the end, and how long it all took.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "process_usage_win.h"
#include "reliability_window_win.h"
#include "stall_control_win.h"
#include "support/vectors.h"
#include "ui/resource.h"

namespace {

const DWORD end_ms = 10000; // an abort to an idle window, a hold reached, a file closed
const DWORD run_ms = 60000; // a run left to complete
const int warm_up_cycles = 20;

int from_environment(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

struct Figures {
    int cycles = 0;
    int held_open = 0, held_read = 0, overlapped = 0;
    int aborted = 0, completed = 0, late_presses = 0;
    int hangs = 0, wrong = 0;
    double longest_held_abort_ms = 0, total_held_abort_ms = 0;
    double longest_other_abort_ms = 0, total_other_abort_ms = 0;
    int other_aborts = 0;
};

class Stress : public ReliabilityTest {
protected:
    void SetUp() override
    {
        if (!fs_.available())
            GTEST_SKIP() << "run through tools/stress.sh";
        ASSERT_TRUE(fs_.release());
        ReliabilityTest::SetUp();
    }

    void TearDown() override
    {
        if (fs_.available())
            fs_.release();
        ReliabilityTest::TearDown();
    }

    std::wstring random_algorithm()
    {
        static const std::vector<AlgorithmId> ids = built_algorithms();
        const std::string name = algorithm_name(ids[random_.below(uint32_t(ids.size()))]);
        return std::wstring(name.begin(), name.end());
    }

    Rows random_rows()
    {
        Rows rows;
        for (std::wstring& row : rows)
            row = random_.below(2) ? random_algorithm() : no_algorithm;
        rows[random_.below(4)] = random_algorithm();
        return rows;
    }

    // small.bin's from the vectors; big.bin's from our own code, once per algorithm.
    std::wstring expected(const std::wstring& name, bool big)
    {
        if (!big)
            return expected_pattern_digest(name, StallFs::small_size);
        auto known = big_digests_.find(name);
        if (known != big_digests_.end())
            return known->second;
        if (big_bytes_.empty()) {
            const std::vector<uint8_t> pattern = pattern_message(size_t(StallFs::big_size));
            big_bytes_.assign(pattern.begin(), pattern.end());
        }
        return big_digests_[name] = own_digest(name, big_bytes_);
    }

    bool digests_right(const Rows& rows, bool big)
    {
        const Rows shown = results();
        for (int row = 0; row < 4; ++row) {
            const std::wstring want = rows[row] == no_algorithm ? L"" : expected(rows[row], big);
            if (shown[row] != want || (rows[row] != no_algorithm && want.empty())) {
                std::printf("stress: cycle %d row %d %s shows %s, expected %s\n", figures_.cycles,
                            row + 1, utf8(rows[row]).c_str(), utf8(shown[row]).c_str(),
                            utf8(want).c_str());
                return false;
            }
        }
        return true;
    }

    bool hang(const char* what)
    {
        ++figures_.hangs;
        std::printf("stress: cycle %d hangs: %s; status %s, button %s\n", figures_.cycles, what,
                    utf8(quick_text(dravik_, IDC_STATUS)).c_str(),
                    utf8(quick_text(dravik_, IDC_START)).c_str());
        return false;
    }

    bool set_up(const Rows& rows, const std::wstring& path)
    {
        return choose_rows(rows) && use_file(path) && press_start();
    }

    // A completed run shows its digests; an aborted one none.
    void check_end(const std::wstring& status, const Rows& rows, bool big)
    {
        if (status == status_aborted) {
            ++figures_.aborted;
            if (!results_empty())
                ++figures_.wrong;
        } else if (status == status_completed) {
            ++figures_.completed;
            if (!digests_right(rows, big))
                ++figures_.wrong;
        } else {
            std::printf("stress: cycle %d ended with %s\n", figures_.cycles, utf8(status).c_str());
            ++figures_.wrong;
        }
    }

    bool complete(const Rows& rows, bool big)
    {
        std::wstring status;
        if (!choose_rows(rows) || !use_file(big ? fs_.big_file() : fs_.small_file()) ||
            !run(&status, run_ms))
            return hang("a run did not complete");
        check_end(status, rows, big);
        return true;
    }

    bool held_cycle()
    {
        const bool open = random_.below(3) == 0;
        ++(open ? figures_.held_open : figures_.held_read);
        if (!(open ? fs_.hold_open()
                   : fs_.hold_reads_past(random_.below(uint32_t(StallFs::big_size)))))
            return hang("the mode could not be set");
        const Rows rows = random_rows();
        if (!set_up(rows, fs_.big_file()))
            return hang("Start could not be pressed");
        if (!fs_.wait_stalled(end_ms))
            return hang("the run was not held");
        const double begin = steady_ms();
        if (!PostMessageW(dravik_.item(IDC_START), BM_CLICK, 0, 0))
            return hang("Abort could not be posted");
        const bool idle_again = wait_until(
            [&] {
                return quick_text(dravik_, IDC_STATUS) == status_aborted &&
                       quick_text(dravik_, IDC_START) == start_caption && inputs_enabled(dravik_);
            },
            end_ms);
        const double elapsed = steady_ms() - begin;
        if (!idle_again)
            return hang("Abort while held");
        figures_.longest_held_abort_ms = std::max(figures_.longest_held_abort_ms, elapsed);
        figures_.total_held_abort_ms += elapsed;
        check_end(status_aborted, rows, true);
        if (random_.below(2) == 0) {
            // The next run while the abandoned one is still held.
            ++figures_.overlapped;
            if (!complete(random_rows(), false))
                return false;
        }
        const std::wstring shown = dravik_.text(IDC_STATUS);
        const Rows results_shown = results();
        if (!fs_.release() || !fs_.wait_closed("big.bin", end_ms))
            return hang("the abandoned run did not close big.bin");
        Sleep(20);
        if (dravik_.text(IDC_STATUS) != shown || results() != results_shown) {
            std::printf("stress: cycle %d: the abandoned run changed the window\n",
                        figures_.cycles);
            ++figures_.wrong;
        }
        return true;
    }

    bool abort_cycle()
    {
        const Rows rows = random_rows();
        if (!set_up(rows, fs_.big_file()))
            return hang("Start could not be pressed");
        Sleep(random_.below(200));
        std::wstring status;
        if (dravik_.text(IDC_START) == abort_caption) {
            const double begin = steady_ms();
            dravik_.click(IDC_START);
            if (!wait_for_end(&status, end_ms))
                return hang("Abort without a hold");
            const double elapsed = steady_ms() - begin;
            ++figures_.other_aborts;
            figures_.longest_other_abort_ms = std::max(figures_.longest_other_abort_ms, elapsed);
            figures_.total_other_abort_ms += elapsed;
            if (dravik_.text(IDC_START) == abort_caption) {
                // The run completed just before the press, which started another: end that.
                ++figures_.late_presses;
                dravik_.click(IDC_START);
                if (!wait_for_end(&status, end_ms))
                    return hang("Abort of a run a late press started");
            }
        } else if (!wait_for_end(&status, run_ms)) {
            return hang("a run that completed first");
        }
        check_end(status, rows, true);
        return true;
    }

    StallFs fs_;
    Xorshift32 random_{uint32_t(from_environment("DRAVIK_STRESS_SEED", 20240917))};
    Figures figures_;
    std::string big_bytes_;
    std::map<std::wstring, std::wstring> big_digests_;
};

TEST_F(Stress, StartAbortCycles)
{
    const int cycles = from_environment("DRAVIK_STRESS_CYCLES", 1000);
    const ProcessUsage start = settled_usage(dravik_.process());
    ProcessUsage warm;
    const double begin = steady_ms();
    while (figures_.cycles < cycles) {
        ++figures_.cycles;
        const uint32_t kind = random_.below(3);
        bool going = true;
        if (kind == 0)
            going = held_cycle();
        else if (kind == 1)
            going = abort_cycle();
        else
            going = complete(random_rows(), random_.below(4) == 0);
        if (!going)
            break;
        if (figures_.cycles == warm_up_cycles)
            warm = settled_usage(dravik_.process());
        if (figures_.cycles % 100 == 0)
            std::printf("stress: %d cycles, %.0f s\n", figures_.cycles,
                        (steady_ms() - begin) / 1000.0);
    }
    fs_.release();
    const bool closed = fs_.wait_closed("big.bin", end_ms) && fs_.wait_closed("small.bin", end_ms);
    const ProcessUsage end = settled_usage(dravik_.process());
    const double seconds = (steady_ms() - begin) / 1000.0;
    const int held = figures_.held_open + figures_.held_read;

    std::printf("stress: %d cycles in %.0f s: %d held (%d open, %d read; %d with the next run "
                "made meanwhile), %d aborted without a hold, %d runs completed, %d aborted, "
                "%d late presses\n",
                figures_.cycles, seconds, held, figures_.held_open, figures_.held_read,
                figures_.overlapped, figures_.other_aborts, figures_.completed, figures_.aborted,
                figures_.late_presses);
    std::printf("stress: hangs %d, wrong digests or windows %d\n", figures_.hangs, figures_.wrong);
    std::printf(
        "stress: Abort to idle, held runs: longest %.0f ms, mean %.0f ms; "
        "others: longest %.0f ms, mean %.0f ms\n",
        figures_.longest_held_abort_ms, held > 0 ? figures_.total_held_abort_ms / held : 0.0,
        figures_.longest_other_abort_ms,
        figures_.other_aborts > 0 ? figures_.total_other_abort_ms / figures_.other_aborts : 0.0);
    std::printf("stress: handles %ld at the start, %ld after %d cycles, %ld at the end; "
                "private bytes %.2f, %.2f, %.2f MiB; files of the file system %s; %d held "
                "requests interrupted\n",
                start.handles, warm.handles, warm_up_cycles, end.handles,
                start.private_bytes / 1048576.0, warm.private_bytes / 1048576.0,
                end.private_bytes / 1048576.0, closed ? "all closed" : "STILL OPEN",
                fs_.interrupted());
    EXPECT_EQ(figures_.hangs, 0);
    EXPECT_EQ(figures_.wrong, 0);
    EXPECT_EQ(figures_.cycles, cycles);
    EXPECT_TRUE(closed);
}

} // namespace
