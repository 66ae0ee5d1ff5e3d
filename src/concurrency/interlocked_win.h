// Interlocked operations on a 32-bit signed integer (long is 32 bits on Windows). Each is a
// full memory barrier; none throws.
//
// - atomic_increment / atomic_decrement add 1 or -1 and return the new value.
// - atomic_equals returns 1 when the target holds value, else 0. It is a compare-exchange whose
//   exchange value equals its comparand, so it never changes the target: a read-and-compare
//   with a full barrier.
#pragma once

#include <cstdint>

int32_t atomic_increment(volatile long* target);
int32_t atomic_decrement(volatile long* target);
int32_t atomic_equals(volatile long* target, int32_t value);
