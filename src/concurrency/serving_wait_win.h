// wait_serving_sent_messages: waits for a thread to end (or any other waitable object) while
// serving the messages that other threads send to the waiting thread.
//
// Contract:
// - For a thread that calls into the waiting thread's windows synchronously (SendMessage,
//   SetDlgItemText, a progress bar's messages) while it is waited for: a plain join would
//   wait for a thread that waits for the joiner. Every message sent to the waiting thread
//   meanwhile is served (its window procedure runs inside this call); posted messages stay
//   queued, in their order, for the message loop.
// - Returns true once the object is signalled (a semaphore's permit is then taken, as by any
//   wait); true at once for a null handle or the calling thread's own handle; false when
//   milliseconds (0xFFFFFFFF: no time-out) ran out first or the wait failed.
#pragma once

#include <windows.h>

#include <cstdint>

bool wait_serving_sent_messages(HANDLE object, uint32_t milliseconds = INFINITE);
