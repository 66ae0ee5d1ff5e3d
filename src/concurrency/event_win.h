// Event: an unnamed Win32 event, manual- or auto-reset, with a software flag that tells
// whether it was last set or reset.
//
// Contract:
// - set and reset always return 1 (even when the event could not be created); wait returns 1
//   when the event was signalled within the given milliseconds (0xFFFFFFFF: no time-out) and 0
//   on time-out, on failure or without an event. None throws.
// - is_set reports the flag: 1 after set, 0 after reset. Waits never change it, so after an
//   auto-reset event has released one waiter, is_set still returns 1 while the next wait
//   times out. The flag is the last value written; it carries no ordering of its own beyond
//   the event calls around it.
// - EventBase has no virtual destructor (nothing is deleted through it); Event adds one after
//   the interface operations.
// - A failed creation is not reported: the object holds a null handle.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

class EventBase {
public:
    virtual int32_t set() = 0;
    virtual int32_t reset() = 0;
    virtual int32_t wait(uint32_t milliseconds) = 0;
    virtual int32_t is_set() = 0;
    virtual HANDLE native_handle() = 0;

protected:
    EventBase() = default;
    ~EventBase() = default;
    EventBase(const EventBase&) = delete;
    EventBase& operator=(const EventBase&) = delete;
};

class Event : public EventBase {
public:
    explicit Event(bool manual_reset);
    int32_t set() override;
    int32_t reset() override;
    int32_t wait(uint32_t milliseconds) override;
    int32_t is_set() override;
    HANDLE native_handle() override;
    virtual ~Event();

private:
    HANDLE handle_; // null when creation failed
    std::atomic<int32_t> signalled_;
};
