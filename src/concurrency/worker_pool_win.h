// WorkerPool: a ThreadGroup whose threads run queued WorkItem objects, first in first out, one
// item per permit, and let one producer wait until everything it posted has finished.
//
// Contract:
// - post hands the item (a heap object) to the pool and returns 1; a null item is refused
//   with 0. Items posted before start wait in the queue and get their permits from start.
//   post_all hands over several at once, in their order, with one release of permits; it
//   refuses (0, nothing posted) when any of them is null. Both may be called from a running
//   item, which is how an item hands on work that must follow it.
// - Each posted item runs at most once, on one worker (never on the caller), without any lock
//   held, and is then deleted by the pool. Items start in posting order; up to N run at once.
// - wait_idle(ms) returns 1 once no posted item is outstanding, 0 when ms (0xFFFFFFFF: no
//   time-out) ran out first or the wait failed. After a 1, everything the finished items wrote
//   is visible to the caller. The done event, set when the count of outstanding items comes to
//   0, wakes one waiter: one thread waits at a time. An item that posts another before it
//   returns keeps the count above 0 meanwhile.
// - start stops the workers of an earlier start before it takes the queue lock: items already
//   taken by a worker finish, queued items stay queued, and the new start gives each of them a
//   permit. A restart of a busy pool therefore waits for the running items but cannot wait on
//   itself. start on one of the pool's own workers returns 0 and only raises the stop signal.
// - stop (ThreadGroup's) lets running items finish and leaves queued items queued; they stay
//   outstanding until a later start runs them or clear deletes them.
// - clear deletes every queued item unrun and counts them as no longer outstanding; items
//   running at that moment still finish and are counted off as usual.
// - Destruction stops the workers (waiting for running items), then deletes queued items unrun.
// - lock_queue / unlock_queue take and leave the queue lock (recursive). Never hold it while
//   calling start or stop, destroying the pool or waiting in wait_idle: workers need it to
//   take their items, and those calls wait for workers.
// - Lock order: the queue lock before the group's records lock.
#pragma once

#include <cstdint>
#include <list>

#include "concurrency/event_win.h"
#include "concurrency/thread_group_win.h"

class WorkItem {
public:
    virtual ~WorkItem() = default;
    // The work; its result is ignored by the pool.
    virtual int32_t run() = 0;
    // A 32-bit note from the item's owner to the item, for its own use; the pool never calls it.
    virtual void notify(uint32_t /*code*/) {}

protected:
    WorkItem() = default;
    WorkItem(const WorkItem&) = delete;
    WorkItem& operator=(const WorkItem&) = delete;
};

class WorkerPool : public ThreadGroup {
public:
    explicit WorkerPool(uint32_t thread_count);
    ~WorkerPool() override;

    int32_t start() override;
    virtual int32_t post(WorkItem* item);
    int32_t post_all(WorkItem* const* items, uint32_t count);
    virtual int32_t wait_idle(uint32_t milliseconds);
    virtual int32_t lock_queue();
    virtual int32_t unlock_queue();
    void clear();
    // No posted item waits for a worker: a moment's answer, which a post may change at once.
    bool queue_empty();

    // One permit's work on a worker: runs and deletes the front item, if any.
    int32_t run() override;

private:
    std::list<WorkItem*> queue_; // data_lock(); owns its items
    Event done_;                 // auto-reset; set when outstanding_ comes to 0
    volatile long outstanding_;  // interlocked: posted and neither completed nor cleared
};

// The time left of a wait that began at deadline - timeout, on a 32-bit millisecond tick count
// that wraps: false when the deadline has passed, else true with *remaining set.
bool ticks_remaining(uint32_t deadline, uint32_t now, uint32_t timeout, uint32_t* remaining);
