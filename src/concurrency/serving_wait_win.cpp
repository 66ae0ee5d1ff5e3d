#include "concurrency/serving_wait_win.h"

void wait_serving_sent_messages(HANDLE thread)
{
    if (thread == nullptr || GetThreadId(thread) == GetCurrentThreadId())
        return;
    for (;;) {
        MSG message;
        // Serves what is already waiting: the wait below wakes for messages sent later, and,
        // with MWMO_INPUTAVAILABLE, also for one that a queue check inside a served call has
        // already seen but left; without it the two threads could wait for each other.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1)
            return;
    }
}
