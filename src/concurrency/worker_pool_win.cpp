#include "concurrency/worker_pool_win.h"

#include <windows.h>

#include "concurrency/interlocked_win.h"

bool ticks_remaining(uint32_t deadline, uint32_t now, uint32_t timeout, uint32_t* remaining)
{
    // Modulo 2^32: once now passes the deadline the difference wraps above the time-out.
    const uint32_t left = deadline - now;
    if (left > timeout)
        return false;
    *remaining = left;
    return true;
}

WorkerPool::WorkerPool(uint32_t thread_count)
    : ThreadGroup(thread_count), done_(false), outstanding_(0)
{
}

WorkerPool::~WorkerPool()
{
    ThreadGroup::stop();
    clear();
}

int32_t WorkerPool::start()
{
    // Join the earlier workers first, without the queue lock: a worker that has just taken a
    // permit needs that lock to take its item, and the join would wait for it forever.
    if (stop() == 0)
        return 0;
    ScopedLock guard(&data_lock());
    if (ThreadGroup::start() == 0)
        return 0;
    const size_t waiting = queue_.size();
    if (waiting > 0)
        signal(waiting > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(waiting));
    return 1;
}

int32_t WorkerPool::post(WorkItem* item)
{
    if (item == nullptr)
        return 0;
    ScopedLock guard(&data_lock());
    // Queued before counting, so that a queue that cannot grow leaves the count as it was.
    queue_.push_back(item);
    atomic_increment(&outstanding_);
    signal_one();
    return 1;
}

int32_t WorkerPool::post_all(WorkItem* const* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (items[i] == nullptr)
            return 0;
    if (count == 0)
        return 1;
    ScopedLock guard(&data_lock());
    for (uint32_t i = 0; i < count; ++i) {
        queue_.push_back(items[i]);
        atomic_increment(&outstanding_);
    }
    signal(count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(count));
    return 1;
}

int32_t WorkerPool::run()
{
    WorkItem* item;
    {
        ScopedLock guard(&data_lock());
        if (queue_.empty())
            return 1;
        item = queue_.front();
        queue_.pop_front();
    }
    item->run();
    delete item;
    // Counted off only now, so that a waiter woken by done sees the item's writes.
    if (atomic_decrement(&outstanding_) == 0)
        done_.set();
    return 0;
}

int32_t WorkerPool::wait_idle(uint32_t milliseconds)
{
    if (milliseconds == INFINITE) {
        while (atomic_equals(&outstanding_, 0) == 0) {
            if (done_.wait(INFINITE) == 0)
                return 0;
        }
        return 1;
    }
    const uint32_t deadline = GetTickCount() + milliseconds;
    for (;;) {
        // A done left over from an earlier completion only costs one more test here.
        if (atomic_equals(&outstanding_, 0) != 0)
            return 1;
        uint32_t remaining = 0;
        if (!ticks_remaining(deadline, GetTickCount(), milliseconds, &remaining))
            return 0;
        if (done_.wait(remaining) == 0)
            return 0;
    }
}

int32_t WorkerPool::lock_queue() { return data_lock().lock(); }

int32_t WorkerPool::unlock_queue() { return data_lock().unlock(); }

bool WorkerPool::queue_empty()
{
    ScopedLock guard(&data_lock());
    return queue_.empty();
}

void WorkerPool::clear()
{
    bool now_idle = false;
    {
        ScopedLock guard(&data_lock());
        for (WorkItem* item : queue_) {
            delete item;
            // Per item, not a reset to 0: items running now will still count themselves off.
            now_idle = atomic_decrement(&outstanding_) == 0 || now_idle;
        }
        queue_.clear();
    }
    // A waiter may have been waiting for exactly these items.
    if (now_idle)
        done_.set();
}
