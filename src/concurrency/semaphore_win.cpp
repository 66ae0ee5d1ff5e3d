#include "concurrency/semaphore_win.h"

Semaphore::Semaphore(int32_t initial_count, int32_t maximum_count)
    : handle_(CreateSemaphoreW(nullptr, initial_count, maximum_count, nullptr))
{
}

Semaphore::~Semaphore()
{
    if (handle_ != nullptr)
        CloseHandle(handle_);
}

int32_t Semaphore::release(int32_t count)
{
    if (handle_ == nullptr)
        return 0;
    return ReleaseSemaphore(handle_, count, nullptr) ? 1 : 0;
}

int32_t Semaphore::release_one() { return release(1); }

int32_t Semaphore::wait(uint32_t milliseconds)
{
    if (handle_ == nullptr)
        return 0;
    return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

HANDLE Semaphore::native_handle() { return handle_; }
