#include "engine/chunk_feed_win.h"

#include "concurrency/interlocked_win.h"

namespace {

void update_digest(HashAlgorithm* digest, const uint8_t* data, uint32_t length)
{
    digest->update(data, length);
}

} // namespace

ChunkItem::ChunkItem(ChunkFeed* feed, int row, int half, HashAlgorithm* digest, const uint8_t* data,
                     uint32_t length)
    : call_(update_digest), digest_(digest), data_(data), length_(length), feed_(feed), row_(row),
      half_(half)
{
}

int32_t ChunkItem::run()
{
    update();
    for (ChunkItem* next = feed_->finished(row_, half_); next != nullptr;) {
        next->update();
        ChunkItem* const after = feed_->finished(next->row_, next->half_);
        delete next;
        next = after;
    }
    return 0;
}

void ChunkItem::notify(uint32_t) {}

ChunkFeed::ChunkFeed(HashAlgorithm* const (&digests)[slot_count], WorkerPool* pool)
    : pool_(pool), unfinished_{0, 0}, half_finished_(false)
{
    for (int row = 0; row < slot_count; ++row) {
        rows_[row].digest = digests[row];
        chosen_ += digests[row] != nullptr ? 1 : 0;
    }
}

ChunkFeed::~ChunkFeed() { drop_waiting(); }

void ChunkFeed::hand_out(int half, const uint8_t* chunk, uint32_t length)
{
    // Every item is made before any is handed out: out of memory, none is.
    ChunkItem* items[slot_count] = {};
    try {
        for (int row = 0; row < slot_count; ++row)
            if (rows_[row].digest != nullptr)
                items[row] = new ChunkItem(this, row, half, rows_[row].digest, chunk, length);
    } catch (...) {
        for (ChunkItem* item : items)
            delete item;
        throw;
    }
    // Counted before any item can run: the count comes to 0 only with the last of them.
    unfinished_[half] = chosen_;
    WorkItem* now[slot_count];
    uint32_t count = 0;
    {
        ScopedLock guard(&lock_);
        for (int row = 0; row < slot_count; ++row) {
            Row& r = rows_[row];
            if (items[row] == nullptr)
                continue;
            if (r.busy) {
                r.waiting = items[row];
            } else {
                r.busy = true;
                now[count++] = items[row];
            }
        }
    }
    pool_->post_all(now, count);
}

ChunkItem* ChunkFeed::finished(int row, int half)
{
    ChunkItem* next = nullptr;
    {
        ScopedLock guard(&lock_);
        Row& r = rows_[row];
        next = r.waiting;
        r.waiting = nullptr;
        r.busy = next != nullptr;
    }
    // Posted (or run by this worker) before the finishing item returns, so that the pool's
    // count of outstanding items never touches 0 while the row still has work.
    if (next != nullptr && !pool_->queue_empty()) {
        pool_->post(next);
        next = nullptr;
    }
    if (atomic_decrement(&unfinished_[half]) == 0)
        half_finished_.set();
    return next;
}

void ChunkFeed::wait_finished(int half)
{
    // A set left over from the other half costs one more look.
    while (atomic_equals(&unfinished_[half], 0) == 0)
        half_finished_.wait(INFINITE);
}

void ChunkFeed::drop_waiting()
{
    ScopedLock guard(&lock_);
    for (Row& r : rows_) {
        delete r.waiting;
        r.waiting = nullptr;
    }
}
