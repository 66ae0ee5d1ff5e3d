// The job's read border of the programs whose reader a test may hold (the in-process job
// tests, dravik_held.exe): held while a ReaderHold of this process arms it, in place of the
// program's own border, which does nothing.
#include "engine/read_border_win.h"
#include "support/reader_hold_win.h"

namespace {

// How often a held reader looks at its job's stop signal, which it cannot wait on.
const DWORD stop_poll_ms = 2;

} // namespace

void at_read_border(Thread& job, uint64_t reads, uint32_t length)
{
    const std::wstring name = ReaderHold::event_name(
        GetCurrentProcessId(), length == 0 ? ReaderHold::end_of_input : reads);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (release == nullptr)
        return;
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-held").c_str());
    if (held != nullptr) {
        SetEvent(held);
        CloseHandle(held);
    }
    HANDLE deaf = OpenEventW(SYNCHRONIZE, FALSE, (name + L"-deaf").c_str());
    if (deaf != nullptr) {
        // A read that does not return: the stop is not looked at.
        CloseHandle(deaf);
        WaitForSingleObject(release, ReaderHold::stuck_limit_ms);
    }
    while (job.should_continue() != 0 &&
           WaitForSingleObject(release, stop_poll_ms) == WAIT_TIMEOUT) {
    }
    CloseHandle(release);
}
