// The border after each read of a run's input, on the job's thread: after read number `reads`
// of this run (1 for the first) has returned `length` bytes (0: the input is exhausted, or
// the read failed), before the job waits for the workers and hands the chunk out.
//
// The program's own definition returns at once. A test build links a definition of its own
// in its place, which may hold the reader there until the test has done what it must do while
// the run is provably in that phase (change the file, press Abort, close the window). Such a
// definition must return promptly once job.should_continue() is 0, or an abort would wait.
#pragma once

#include <cstdint>

#include "concurrency/thread_win.h"

void at_read_border(Thread& job, uint64_t reads, uint32_t length);
