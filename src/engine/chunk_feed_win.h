// ChunkFeed: hands the chunks of one run to the digest objects of its rows through a worker
// pool, one ChunkItem per row and chunk, so that each row digests the chunks in input order
// and one at a time, and a row that has finished a chunk goes on with the next one as soon as
// it has been read, while slower rows still work on the one before. No row waits at every
// chunk for the slowest, and two workers keep busy with any mix of rows.
//
// Contract:
// - Chunk k of a run lies in buffer half k % 2. The reader (one thread) hands chunk k out with
//   hand_out, and reads chunk k + 1 into the other half only after wait_finished for that half
//   has returned (chunk k - 1 finished by every row): so at most one chunk waits per row.
// - hand_out makes one item per row: posted at once (all in one post_all) for a row that is
//   idle, kept waiting for a row still busy with the chunk before. The worker that finishes
//   that row's chunk takes the waiting item on itself when no other item waits for a worker
//   (no post, no wake-up: the common case), else posts it, before its own item returns, so
//   the pool never runs dry while a row has work.
// - wait_finished(half) returns once every row has finished the chunk last handed out in that
//   half (at once when none was); the workers' writes are then visible to the reader.
// - drop_waiting deletes the items not posted yet (a stop, a failed read): each row ends with
//   the chunk it is on, and the pool's wait_idle then finds every posted item finished.
// - The feed must outlive every item it posted: the reader waits for the pool (wait_idle) or
//   stops it before the feed goes.
#pragma once

#include <cstdint>

#include "concurrency/critical_section_win.h"
#include "concurrency/event_win.h"
#include "concurrency/worker_pool_win.h"
#include "digest/hash_algorithm.h"
#include "engine/job_protocol.h"

class ChunkFeed;

// One digest object's update over one chunk of the read buffer; the pool runs it once on a
// worker and deletes it. The chunk is read in place, never copied. The item then tells its
// feed that its row has finished the chunk.
class ChunkItem : public WorkItem {
public:
    using Call = void (*)(HashAlgorithm* digest, const uint8_t* data, uint32_t length);

    ChunkItem(ChunkFeed* feed, int row, int half, HashAlgorithm* digest, const uint8_t* data,
              uint32_t length);

    int32_t run() override;
    void notify(uint32_t code) override;

private:
    void update() const { call_(digest_, data_, length_); }

    Call call_;
    HashAlgorithm* digest_;
    const uint8_t* data_;
    uint32_t length_;
    ChunkFeed* feed_;
    int row_;
    int half_;
};

class ChunkFeed {
public:
    // digests: one per row, null for a row without algorithm; pool: started, outliving this.
    ChunkFeed(HashAlgorithm* const (&digests)[slot_count], WorkerPool* pool);
    ~ChunkFeed();
    ChunkFeed(const ChunkFeed&) = delete;
    ChunkFeed& operator=(const ChunkFeed&) = delete;

    void hand_out(int half, const uint8_t* chunk, uint32_t length);
    void wait_finished(int half);
    void drop_waiting();

    // A worker's item of this feed has finished its update (ChunkItem::run). Returns the row's
    // next item when the worker is to run it now, else null.
    ChunkItem* finished(int row, int half);

private:
    struct Row {
        HashAlgorithm* digest = nullptr;
        bool busy = false;            // an item of this row is posted and not finished
        ChunkItem* waiting = nullptr; // the next chunk's item, while busy
    };

    Row rows_[slot_count];
    int chosen_ = 0;
    WorkerPool* pool_;
    CriticalSection lock_;        // the rows' busy and waiting
    volatile long unfinished_[2]; // interlocked: rows yet to finish each half's chunk
    Event half_finished_;         // auto-reset; set when a half's count comes to 0
};
