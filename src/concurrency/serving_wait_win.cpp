#include "concurrency/serving_wait_win.h"

#include "concurrency/worker_pool_win.h"

bool wait_serving_sent_messages(HANDLE object, uint32_t milliseconds)
{
    if (object == nullptr || GetThreadId(object) == GetCurrentThreadId())
        return true;
    const uint32_t deadline = GetTickCount() + milliseconds;
    for (;;) {
        uint32_t remaining = INFINITE;
        if (milliseconds != INFINITE &&
            !ticks_remaining(deadline, GetTickCount(), milliseconds, &remaining))
            return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        MSG message;
        // Serves what is already waiting: the wait below wakes for messages sent later, and,
        // with MWMO_INPUTAVAILABLE, also for one that a queue check inside a served call has
        // already seen but left; without it the two threads could wait for each other.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &object, remaining, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT)
            return false;
    }
}
