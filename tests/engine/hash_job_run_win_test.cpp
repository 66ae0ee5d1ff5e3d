// Whole digest runs through HashJob from the real dialog's controls: every algorithm against
// the known-answer vectors over a file and a typed text, the notifications and their order at
// the chunk borders, preparation failures, the worker count, and inputs that cannot be read.
#include <gtest/gtest.h>

#include <windows.h>

#include "concurrency_test_support_win.h"
#include "engine/job_protocol.h"
#include "job_window_win.h"
#include "support/vectors.h"
#include "ui/resource.h"

namespace {

const uint64_t chunk = InputSource::CHUNK_SIZE;

AlgorithmId id_of(const wchar_t* name) { return algorithm_id_from_name(name); }

// Algorithms 1..23 four at a time, as the four rows can hold them.
std::vector<std::vector<AlgorithmId>> groups_of_four()
{
    std::vector<std::vector<AlgorithmId>> groups;
    for (AlgorithmId id = 1; id < algorithm_end; ++id) {
        if ((id - 1) % 4 == 0)
            groups.emplace_back();
        groups.back().push_back(id);
    }
    return groups;
}

using JobRun = JobWindowTest;

TEST_F(JobRun, EveryAlgorithmOverAFileOfThreeChunks)
{
    // The third chunk goes into the first half of the buffer again.
    const uint64_t size = 5000000;
    TestFile file("three_chunks", make_message("large_pattern", size));
    use_file(file.path());
    for (const std::vector<AlgorithmId>& group : groups_of_four()) {
        clear_record();
        fill_results(L"stale");
        choose_rows(group);
        ASSERT_TRUE(run_job());
        EXPECT_EQ(messages_,
                  (std::vector<JobMessage>{begin_message(), step_message(0), step_message(chunk),
                                           step_message(chunk), done_message(), end_message()}));
        for (int row = 0; row < slot_count; ++row) {
            const std::wstring expected = row < static_cast<int>(group.size())
                                              ? vector_digest(group[row], "large_pattern", size)
                                              : L"";
            EXPECT_EQ(result(row), expected) << "row " << row + 1;
        }
    }
}

TEST_F(JobRun, EveryAlgorithmOverTypedText)
{
    const struct {
        const wchar_t* text;
        const char* set;
        uint64_t length;
    } texts[] = {
        {L"abc", "abc", 3},
        {L"The quick brown fox jumps over the lazy dog", "fox", 43},
        {L"", "empty", 0},
    };
    for (const auto& typed : texts) {
        use_text(typed.text);
        for (const std::vector<AlgorithmId>& group : groups_of_four()) {
            clear_record();
            choose_rows(group);
            ASSERT_TRUE(run_job());
            ASSERT_TRUE(received(WM_JOB_DONE)) << typed.set;
            for (size_t row = 0; row < group.size(); ++row)
                EXPECT_EQ(result(static_cast<int>(row)),
                          vector_digest(group[row], typed.set, typed.length));
        }
    }
}

TEST_F(JobRun, TypedTextIsDigestedAsItsUtf8Bytes)
{
    const char utf8[] = u8"日本語のテキスト ümlaut";
    use_text(L"日本語のテキスト ümlaut");
    choose_rows({id_of(L"SHA256")});
    ASSERT_TRUE(run_job());
    EXPECT_EQ(result(0), wide(one_shot_hex(id_of(L"SHA256"), reinterpret_cast<const uint8_t*>(utf8),
                                           sizeof utf8 - 1)));
}

struct ChunkCase {
    uint64_t size;
    std::vector<uint64_t> steps;
};

// Sizes at and around the chunk and buffer borders: one step per non-empty read, carrying
// the chunk before it, so the last chunk is never stepped; the bar is full at completion.
TEST_F(JobRun, OneStepPerReadWithThePreviousChunksSize)
{
    const ChunkCase cases[] = {
        {0, {}},
        {1000, {0}},
        {chunk, {0}},
        {chunk + chunk / 2, {0, chunk}},
        {2 * chunk, {0, chunk}},
        {3 * chunk, {0, chunk, chunk}},
    };
    // Rows 1 and 4: row 4's result field is the one after its combo box, as in rows 1..3.
    choose_rows({id_of(L"SHA1"), algorithm_none, algorithm_none, id_of(L"BLAKE2s_256")});
    for (const ChunkCase& item : cases) {
        SCOPED_TRACE(item.size);
        const std::vector<uint8_t> bytes = pattern_message(static_cast<size_t>(item.size));
        TestFile file("chunks", bytes);
        use_file(file.path());
        clear_record();
        ASSERT_TRUE(run_job());

        std::vector<JobMessage> expected{begin_message()};
        for (uint64_t step : item.steps)
            expected.push_back(step_message(step));
        expected.push_back(done_message());
        expected.push_back(end_message());
        EXPECT_EQ(messages_, expected);
        EXPECT_EQ(progress_->total(), item.size);
        ASSERT_EQ(count(WM_JOB_DONE), 1u);
        for (const JobMessage& message : messages_) {
            if (message.message == WM_JOB_DONE) {
                EXPECT_EQ(message.full_bars, 1);
            }
        }
        EXPECT_EQ(result(0), wide(one_shot_hex(id_of(L"SHA1"), bytes.data(), bytes.size())));
        EXPECT_EQ(result(1), L"");
        EXPECT_EQ(result(2), L"");
        EXPECT_EQ(result(3), wide(one_shot_hex(id_of(L"BLAKE2s_256"), bytes.data(), bytes.size())));
    }
}

TEST_F(JobRun, SameAlgorithmInTwoRowsGivesBothTheDigest)
{
    TestFile file("two_rows", make_message("large_pattern", 3145728));
    use_file(file.path());
    fill_results(L"stale");
    choose_rows({id_of(L"SHA256"), algorithm_none, id_of(L"SHA256"), algorithm_none});
    ASSERT_TRUE(run_job());
    const std::wstring expected = vector_digest(id_of(L"SHA256"), "large_pattern", 3145728);
    EXPECT_EQ(result(0), expected);
    EXPECT_EQ(result(1), L"");
    EXPECT_EQ(result(2), expected);
    EXPECT_EQ(result(3), L"");
}

using JobPrepare = JobWindowTest;

TEST_F(JobPrepare, NoAlgorithmChosenFailsBeforeTheInputIsLookedAt)
{
    // A path that does not open would give 14 if the input were opened first.
    use_file(L"job_test_no_such_file.bin");
    fill_results(L"stale");
    choose_rows({});
    ASSERT_TRUE(run_job());
    EXPECT_EQ(messages_, std::vector<JobMessage>{failed_message(13)});
    for (int row = 0; row < slot_count; ++row)
        EXPECT_EQ(result(row), L"");
    EXPECT_EQ(status(), L"エラー: ハッシュ方式が一つも選択されていません。");
}

TEST_F(JobPrepare, MissingFileFailsWithEmptyResults)
{
    use_file(L"job_test_no_such_file.bin");
    fill_results(L"stale");
    choose_rows({id_of(L"SHA1"), id_of(L"MD5")});
    ASSERT_TRUE(run_job());
    EXPECT_EQ(messages_, std::vector<JobMessage>{failed_message(14)});
    for (int row = 0; row < slot_count; ++row)
        EXPECT_EQ(result(row), L"");
    EXPECT_EQ(status(), L"エラー: ハッシュ取得データを確認できません。");
}

TEST(JobWorkers, NeverMoreThanProcessorsOrChosenRows)
{
    EXPECT_EQ(HashJob::worker_count(8, 1), 1u);
    EXPECT_EQ(HashJob::worker_count(2, 4), 2u);
    EXPECT_EQ(HashJob::worker_count(16, 3), 3u);
    EXPECT_EQ(HashJob::worker_count(1, 4), 1u);
    EXPECT_EQ(HashJob::worker_count(0, 4), 1u); // a system that reports no processor
}

// Counted while the job waits in its first call into the window after reading (completing
// the bar), when its pool still exists: the job's thread plus the workers.
TEST_F(JobPrepare, ThreadsOfARunAreTheJobAndOneWorkerPerRowAtMost)
{
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    // Enough input that the job is still reading when its first notification is seen.
    TestFile file("workers", pattern_message(8 * chunk));
    use_file(file.path());
    for (int rows = 1; rows <= 4; ++rows) {
        SCOPED_TRACE(rows);
        choose_rows(std::vector<AlgorithmId>(static_cast<size_t>(rows), id_of(L"MD5")));
        clear_record();
        const long before = process_thread_count();
        auto* job = new_job();
        ASSERT_NE(job->start(), 0);
        ASSERT_TRUE(serve_until_posted(WM_PROGRESS_BEGIN));
        ASSERT_TRUE(wait_for_sent_message());
        const long during = process_thread_count() - before;
        EXPECT_EQ(during,
                  1 + static_cast<long>(HashJob::worker_count(system.dwNumberOfProcessors, rows)));
        ASSERT_TRUE(pump_until([this] { return received(WM_PROGRESS_END); }));
        delete_job(job);
        EXPECT_TRUE(received(WM_JOB_DONE));
        EXPECT_TRUE(eventually([&] { return process_thread_count() == before; }));
    }
}

// A source over a real file that promises more bytes than the file holds (it came up short
// mid-run), or whose handle may not read at all.
std::wstring failing_path;
uint64_t failing_total = 0;
DWORD failing_access = GENERIC_READ;

InputSource* open_failing_source(HWND)
{
    HandleHolder file;
    file.take(CreateFileW(failing_path.c_str(), failing_access, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return new InputSource(file, failing_total);
}

using JobReadFailure = JobWindowTest;

TEST_F(JobReadFailure, FileEndingEarlyMidRunFailsWithoutDigests)
{
    TestFile file("short", pattern_message(5 * 1024 * 1024));
    failing_path = file.path();
    failing_total = 8 * 1024 * 1024; // the third read gets 1 MiB of 2
    failing_access = GENERIC_READ;
    fill_results(L"stale");
    choose_rows({id_of(L"SHA1"), id_of(L"CRC32"), id_of(L"SM3"), id_of(L"Whirlpool")});
    ASSERT_TRUE(run_job(open_failing_source));
    EXPECT_EQ(messages_,
              (std::vector<JobMessage>{begin_message(), step_message(0), step_message(chunk),
                                       failed_message(6), end_message()}));
    for (int row = 0; row < slot_count; ++row)
        EXPECT_EQ(result(row), L"") << "row " << row + 1;
    EXPECT_EQ(status(), L"エラー: ダイジェスト取得処理に失敗しました。");
    EXPECT_EQ(full_bars_, 0); // never completed; the end of the run reset the bar
    EXPECT_EQ(SendDlgItemMessageW(dialog_, IDC_PROGRESS, PBM_GETPOS, 0, 0), 0);
}

TEST_F(JobReadFailure, FailingFirstReadFailsWithoutDigests)
{
    TestFile file("unreadable", pattern_message(1000));
    failing_path = file.path();
    failing_total = 1000;
    failing_access = FILE_READ_ATTRIBUTES; // open, but every read is refused
    choose_rows({id_of(L"MD5")});
    ASSERT_TRUE(run_job(open_failing_source));
    EXPECT_EQ(messages_,
              (std::vector<JobMessage>{begin_message(), failed_message(6), end_message()}));
    EXPECT_EQ(result(0), L"");
    EXPECT_EQ(status(), L"エラー: ダイジェスト取得処理に失敗しました。");
    EXPECT_EQ(full_bars_, 0);
}

} // namespace
