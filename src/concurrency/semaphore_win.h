// Counting semaphore: SemaphoreBase, the interface, and Semaphore, an unnamed Win32 semaphore.
//
// Contract:
// - Operations return 1 for success or true and 0 for failure or false; none throws.
// - release adds count permits, or none at all when that would pass the maximum (result 0).
// - wait takes one permit, waiting at most the given milliseconds (0xFFFFFFFF: no time-out);
//   it returns 0 on time-out, on failure and when the semaphore could not be created.
// - A failed creation is not reported: the object then holds a null handle and every
//   operation returns 0.
// - Any thread may release and wait at any time while the object lives.
#pragma once

#include <windows.h>

#include <cstdint>

class SemaphoreBase {
public:
    virtual ~SemaphoreBase() = default;
    virtual int32_t release(int32_t count) = 0;
    virtual int32_t release_one() = 0;
    virtual int32_t wait(uint32_t milliseconds) = 0;
    virtual HANDLE native_handle() = 0;

protected:
    SemaphoreBase() = default;
    SemaphoreBase(const SemaphoreBase&) = delete;
    SemaphoreBase& operator=(const SemaphoreBase&) = delete;
};

class Semaphore : public SemaphoreBase {
public:
    Semaphore(int32_t initial_count, int32_t maximum_count);
    ~Semaphore() override;
    int32_t release(int32_t count) override;
    int32_t release_one() override;
    int32_t wait(uint32_t milliseconds) override;
    HANDLE native_handle() override;

private:
    HANDLE handle_; // null when creation failed
};
