#include "concurrency/interlocked_win.h"

#include <windows.h>

static_assert(sizeof(long) == sizeof(LONG) && sizeof(LONG) == 4, "LONG is a 32-bit long");

int32_t atomic_increment(volatile long* target) { return InterlockedIncrement(target); }

int32_t atomic_decrement(volatile long* target) { return InterlockedDecrement(target); }

int32_t atomic_equals(volatile long* target, int32_t value)
{
    return InterlockedCompareExchange(target, value, value) == value ? 1 : 0;
}
