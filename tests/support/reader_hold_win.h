// Holds a digest run's reader at one border between two reads, so that a test acts (changes
// the file, presses Abort, closes the window) while the run is provably in the phase it
// wants, however fast or slow the machine is.
//
// The hold works in any process whose program links held_read_border_win.cpp, which defines
// the job's at_read_border: the in-process job tests, and dravik_held.exe (Dravik.exe with that
// definition in place of the program's own, which does nothing). A ReaderHold arms one border
// of one process by two named events; the job's thread, on reaching that border, signals
// "held" and waits there until the hold is released or destroyed, or until the job is asked
// to stop (an abort or a close), whichever comes first. A hold made deaf to the stop stands
// for a read that does not return (a share whose server went away): the reader then waits
// for the release alone, at most stuck_limit_ms. A border nobody armed costs one failed event
// open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class ReaderHold {
public:
    // The border after the read that returns no byte: the input is exhausted (or the read
    // failed), and the job goes on to wait for the last chunk's digests and to report.
    static constexpr uint64_t end_of_input = 0;
    // The longest a reader deaf to the stop is held, so that a test that never releases it
    // cannot hang its program.
    static constexpr DWORD stuck_limit_ms = 60000;
    enum Stop { heeds_stop, deaf_to_stop };

    // Arms the border after read number `read` (1 = the first) of process_id's next runs.
    ReaderHold(DWORD process_id, uint64_t read, Stop stop = heeds_stop);
    ~ReaderHold(); // releases and disarms
    ReaderHold(const ReaderHold&) = delete;
    ReaderHold& operator=(const ReaderHold&) = delete;

    bool armed() const { return release_ != nullptr && held_ != nullptr; }
    // True once a reader has reached the border, waiting up to timeout_ms for it.
    bool held(DWORD timeout_ms = 0) const;
    // Lets the held reader go on, and every later one pass.
    void release();

    // The release event's name for a border of a process; "-held" is appended for the other,
    // "-deaf" for the one whose existence makes the hold deaf to the stop.
    static std::wstring event_name(DWORD process_id, uint64_t read);

private:
    HANDLE release_ = nullptr;
    HANDLE held_ = nullptr;
    HANDLE deaf_ = nullptr;
};
