// Load: 200 runs back to back through one Dravik.exe, the way a user who keeps working would
// make them: one to four rows of random algorithms, files of several sizes and typed texts,
// a quarter of the runs aborted at a random moment (while preparing, while reading, or too
// late, when the run has already completed). Every completed run must show the right digests,
// every aborted one none; the program's open handles and private memory, measured once the
// first runs have warmed it up and again at the end, may grow only within a small bound.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <vector>

#include "process_usage_win.h"
#include "reliability_window_win.h"
#include "support/vectors.h"
#include "ui/resource.h"

namespace {

const int total_runs = 200;
const int warm_up_runs = 20;
// Bounds of growth from the warmed-up program to the end: a few handles (the system may
// keep a thread's handle a moment longer), and less than one read buffer (4 MiB) of memory.
const long handle_growth_bound = 8;
const uint64_t memory_growth_bound = 3 * 1024 * 1024;

// Sizes with vectors from independent implementations: empty, inside one block, inside one
// chunk, exactly one chunk, one and a half, and a remainder after two chunks.
const uint64_t file_sizes[] = {0, 1000, 65536, 1000000, 2097152, 3145728, 5000000};
const wchar_t text_letters[] = L"abcXYZ019 _-ハッシュ検証データ漢字\u00e9";

std::wstring random_text(Xorshift32& random)
{
    std::wstring text;
    const uint32_t length = random.below(40);
    const size_t letters = sizeof text_letters / sizeof text_letters[0] - 1;
    for (uint32_t i = 0; i < length; ++i)
        text += text_letters[random.below(uint32_t(letters))];
    if (random.below(8) == 0)
        text += L"\U0001F600"; // a surrogate pair: 4 UTF-8 bytes
    return text;
}

struct RunPlan {
    std::array<std::wstring, 4> rows;
    bool file = true;
    uint64_t size = 0; // a file of pattern bytes; 0 with long_file for the long run file
    bool long_file = false;
    std::wstring text;
    bool abort = false;
    DWORD abort_after_ms = 0;
};

std::wstring random_algorithm(Xorshift32& random)
{
    static const std::vector<AlgorithmId> ids = built_algorithms();
    const std::string name = algorithm_name(ids[random.below(uint32_t(ids.size()))]);
    return std::wstring(name.begin(), name.end());
}

RunPlan random_plan(Xorshift32& random)
{
    RunPlan plan;
    for (std::wstring& row : plan.rows)
        row = random.below(2) ? random_algorithm(random) : no_algorithm;
    plan.rows[random.below(4)] = random_algorithm(random); // at least one row
    plan.abort = random.below(4) == 0;
    plan.abort_after_ms = random.below(60);
    plan.file = random.below(3) != 0;
    if (plan.abort && random.below(2) == 0) {
        plan.file = plan.long_file = true; // held: the abort always meets it running
    } else if (plan.file) {
        plan.size = file_sizes[random.below(sizeof file_sizes / sizeof file_sizes[0])];
    } else {
        plan.text = random_text(random);
    }
    return plan;
}

class Load : public ReliabilityTest {
protected:
    std::wstring program() const override { return dravik_held_exe(); }

    ::testing::AssertionResult make_run(const RunPlan& plan, std::wstring* status)
    {
        ::testing::AssertionResult set = choose_rows(plan.rows);
        if (set)
            set = plan.file ? use_file(plan.long_file ? long_run_file() : pattern_file(plan.size))
                            : use_text(plan.text);
        // A run over the long file is held after its second read until the abort.
        hold_.reset(plan.long_file ? new ReaderHold(GetProcessId(dravik_.process()), 2) : nullptr);
        if (set)
            set = press_start();
        if (!set)
            return set;
        if (plan.abort) {
            Sleep(plan.abort_after_ms);
            // A run that already ended is not pressed again (that would start another).
            if (dravik_.text(IDC_START) == abort_caption)
                dravik_.click(IDC_START);
        }
        if (!wait_for_end(status, 120000))
            return ::testing::AssertionFailure() << "no end within 120 s: " << utf8(*status);
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult check_results(const RunPlan& plan, const std::wstring& status)
    {
        const Rows shown = results();
        if (status == status_aborted)
            return results_empty() ? ::testing::AssertionSuccess()
                                   : ::testing::AssertionFailure() << "digests after an abort";
        if (status != status_completed || plan.long_file)
            return ::testing::AssertionFailure() << "status " << utf8(status);
        for (int row = 0; row < 4; ++row) {
            std::wstring expected;
            if (plan.rows[row] != no_algorithm)
                expected = plan.file ? expected_pattern_digest(plan.rows[row], plan.size)
                                     : own_digest(plan.rows[row], utf8(plan.text));
            if (shown[row] != expected || (plan.rows[row] != no_algorithm && expected.empty()))
                return ::testing::AssertionFailure()
                       << "row " << row + 1 << " " << utf8(plan.rows[row]) << ": shows "
                       << utf8(shown[row]) << ", expected " << utf8(expected);
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(Load, TwoHundredRunsBackToBack)
{
    Xorshift32 random(20240611);
    ProcessUsage warm, last;
    int completed = 0, aborted = 0;
    const DWORD begin = GetTickCount();
    for (int run = 1; run <= total_runs; ++run) {
        const RunPlan plan = random_plan(random);
        std::wstring status;
        ASSERT_TRUE(make_run(plan, &status)) << "run " << run;
        ASSERT_TRUE(check_results(plan, status)) << "run " << run;
        (status == status_completed ? completed : aborted) += 1;
        if (run == warm_up_runs)
            warm = settled_usage(dravik_.process());
    }
    const DWORD elapsed = GetTickCount() - begin;
    last = settled_usage(dravik_.process());

    std::printf("load: %d runs (%d completed, %d aborted) in %.1f s; handles %ld -> %ld; "
                "private bytes %.2f -> %.2f MiB\n",
                total_runs, completed, aborted, elapsed / 1000.0, warm.handles, last.handles,
                warm.private_bytes / 1048576.0, last.private_bytes / 1048576.0);
    RecordProperty("handles_after_warm_up", static_cast<int>(warm.handles));
    RecordProperty("handles_at_end", static_cast<int>(last.handles));
    RecordProperty("private_kib_after_warm_up", static_cast<int>(warm.private_bytes / 1024));
    RecordProperty("private_kib_at_end", static_cast<int>(last.private_bytes / 1024));
    EXPECT_GT(aborted, 10); // the abort path was really taken
    EXPECT_GT(completed, 100);
    ASSERT_GT(warm.handles, 0) << "no handle count for the program";
    ASSERT_GT(warm.private_bytes, 0u) << "no memory figure for the program";
    EXPECT_LE(last.handles, warm.handles + handle_growth_bound);
    EXPECT_LE(last.private_bytes, warm.private_bytes + memory_growth_bound);

    // The figures are live: a run going on holds its threads, its file and its 4 MiB buffer.
    ASSERT_TRUE(use_file(long_run_file()));
    ASSERT_TRUE(start_long_run());
    const ProcessUsage running{process_handle_count(dravik_.process()),
                               process_private_bytes(dravik_.process())};
    EXPECT_GE(running.handles, last.handles + 2);
    EXPECT_GE(running.private_bytes, last.private_bytes + 4 * 1024 * 1024);
    ASSERT_TRUE(dravik_.click(IDC_START));
}

} // namespace
