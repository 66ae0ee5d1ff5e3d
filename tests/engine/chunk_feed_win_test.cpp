// ChunkFeed with two workers and rows of different speeds: every row takes every chunk, in
// order and never two at once; a wait for a half returns only once every row has finished
// that half's chunk; dropped chunks never run.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <vector>

#include "engine/chunk_feed_win.h"

namespace {

// Records the chunks it is given (by their first byte) and any call that overlaps another;
// takes delay_ms per chunk, and first waits (10 s at most) for its gate, when it has one.
class RecordingDigest : public HashAlgorithm {
public:
    explicit RecordingDigest(DWORD delay_ms, HANDLE gate = nullptr)
        : delay_ms_(delay_ms), gate_(gate)
    {
    }
    void reset() override {}
    void update(const void* data, uint32_t) override
    {
        if (inside_.fetch_add(1) != 0)
            overlapped_ = true;
        if (gate_ != nullptr)
            WaitForSingleObject(gate_, 10000);
        Sleep(delay_ms_);
        seen.push_back(*static_cast<const uint8_t*>(data));
        finished_chunks.fetch_add(1);
        inside_.fetch_sub(1);
    }
    void finish() override {}
    void get_digest(uint8_t*) override {}
    uint32_t digest_size() override { return 0; }

    std::vector<uint8_t> seen; // the row's own thread at a time, read once the pool is idle
    std::atomic<int> finished_chunks{0};
    std::atomic<bool> overlapped_{false};

private:
    DWORD delay_ms_;
    HANDLE gate_;
    std::atomic<int> inside_{0};
};

TEST(ChunkFeed, EveryRowTakesEveryChunkInOrderOneAtATime)
{
    RecordingDigest fast(0), slow(3), slower(7);
    HashAlgorithm* digests[slot_count] = {&slow, nullptr, &fast, &slower};
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    const int chunks = 24;
    uint8_t buffer[2][16] = {};
    std::vector<int> ahead_at_wait; // chunks finished beyond k - 1 when its wait returned
    {
        // The job's protocol: chunk k into half k % 2, handed out, then the wait for k - 1.
        ChunkFeed feed(digests, &pool);
        for (int k = 0; k < chunks; ++k) {
            const int half = k % 2;
            buffer[half][0] = uint8_t(k);
            feed.hand_out(half, buffer[half], sizeof buffer[half]);
            if (k == 0)
                continue;
            feed.wait_finished(1 - half);
            for (RecordingDigest* row : {&fast, &slow, &slower})
                ahead_at_wait.push_back(row->finished_chunks.load() - k);
        }
        ASSERT_EQ(pool.wait_idle(20000), 1);
    }
    std::vector<uint8_t> all(chunks);
    for (int k = 0; k < chunks; ++k)
        all[k] = uint8_t(k);
    for (RecordingDigest* row : {&fast, &slow, &slower}) {
        EXPECT_EQ(row->seen, all);
        EXPECT_FALSE(row->overlapped_);
    }
    // Every row had finished chunk k - 1, and none was beyond chunk k.
    for (int ahead : ahead_at_wait) {
        EXPECT_GE(ahead, 0);
        EXPECT_LE(ahead, 1);
    }
}

// A row held in chunk 0 has chunk 1 waiting when the run stops: dropped, it never runs.
TEST(ChunkFeed, DroppedChunksNeverRun)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    RecordingDigest held(0, gate), free(0);
    HashAlgorithm* digests[slot_count] = {&held, &free, nullptr, nullptr};
    WorkerPool pool(2);
    ASSERT_EQ(pool.start(), 1);
    uint8_t chunks[2][16] = {{0}, {1}};
    {
        ChunkFeed feed(digests, &pool);
        feed.hand_out(0, chunks[0], sizeof chunks[0]);
        feed.hand_out(1, chunks[1], sizeof chunks[1]);
        feed.drop_waiting();
        SetEvent(gate);
        ASSERT_EQ(pool.wait_idle(20000), 1);
    }
    CloseHandle(gate);
    EXPECT_EQ(held.seen, std::vector<uint8_t>{0});
    // The free row may have been done with chunk 0 when chunk 1 came, or not.
    ASSERT_FALSE(free.seen.empty());
    EXPECT_EQ(free.seen[0], 0);
    EXPECT_LE(free.seen.size(), 2u);
}

} // namespace
