#include "concurrency/event_win.h"

Event::Event(bool manual_reset)
    : handle_(CreateEventW(nullptr, manual_reset ? TRUE : FALSE, FALSE, nullptr)), signalled_(0)
{
}

Event::~Event()
{
    if (signalled_.load() == 1 && handle_ != nullptr)
        ResetEvent(handle_);
    if (handle_ != nullptr)
        CloseHandle(handle_);
}

int32_t Event::set()
{
    // The flag goes up first, so that whoever the event wakes already sees it.
    signalled_.store(1);
    if (handle_ != nullptr)
        SetEvent(handle_);
    return 1;
}

int32_t Event::reset()
{
    if (handle_ != nullptr)
        ResetEvent(handle_);
    signalled_.store(0);
    return 1;
}

int32_t Event::wait(uint32_t milliseconds)
{
    if (handle_ == nullptr)
        return 0;
    return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

int32_t Event::is_set() { return signalled_.load(); }

HANDLE Event::native_handle() { return handle_; }
