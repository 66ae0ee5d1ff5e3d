// wait_serving_sent_messages: waits for a thread to end while serving the messages that other
// threads send to the waiting thread.
//
// Contract:
// - For a thread that calls into the waiting thread's windows synchronously (SendMessage,
//   SetDlgItemText, a progress bar's messages) while it is waited for: a plain join would
//   wait for a thread that waits for the joiner. Every message sent to the waiting thread
//   meanwhile is served (its window procedure runs inside this call); posted messages stay
//   queued, in their order, for the message loop.
// - Returns once the thread has ended; at once for a null handle or the calling thread's own
//   handle; and when the wait fails (a join after it decides then). No time-out: raise the
//   thread's stop signal first.
#pragma once

#include <windows.h>

void wait_serving_sent_messages(HANDLE thread);
