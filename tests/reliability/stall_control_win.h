// The Windows side of the stalling file system (stall_fs.c), which stalls.sh mounts under Wine:
// its files as Windows paths and its control files (see stall_fs.c), through which a test holds
// the opens or reads of big.bin in the kernel and lets them go again.
//
// stalls.sh hands the two folders over as DRAVIK_STALL_CONTROL and DRAVIK_STALL_MOUNT (Linux
// paths); without them available() is false and the tests skip. Every wait here is bounded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class StallFs {
public:
    static const uint64_t big_size = uint64_t(64) << 20; // big.bin, the one that is held
    static const uint64_t small_size = 5000000;          // small.bin, never held

    StallFs();
    bool available() const { return !control_.empty() && !mount_.empty(); }

    std::wstring big_file() const { return mount_ + L"big.bin"; }
    std::wstring small_file() const { return mount_ + L"small.bin"; }

    // The mode file: "none", "open" or "read OFFSET"; written whole and renamed into place.
    bool set_mode(const std::string& mode) const;
    bool hold_open() const { return set_mode("open"); }
    bool hold_reads_past(uint64_t offset) const
    {
        return set_mode("read " + std::to_string(offset));
    }
    bool release() const { return set_mode("none"); }

    // At least one request is held now.
    bool stalled() const;
    bool wait_stalled(DWORD timeout_ms) const;
    // The held requests, one per line, as the file system lists them; empty when none is.
    std::string stalled_requests() const;

    // Handles of name ("big.bin", "small.bin") open now and opened in all since the mount;
    // false when the count cannot be read.
    bool open_count(const std::string& name, int* open_now, int* opened) const;
    int open_now(const std::string& name) const; // -1 when unknown
    int opened(const std::string& name) const;   // -1 when unknown
    // Until name has no handle open (and, with opened_at_least, was opened that often).
    bool wait_closed(const std::string& name, DWORD timeout_ms, int opened_at_least = 0) const;
    // Requests the file system held and then answered as interrupted.
    int interrupted() const;

    // Asks stalls.sh to kill the file system's process, as a share goes away, and waits until
    // it has; afterwards every request to the mount fails. gone() tells it later.
    bool kill_file_system(DWORD timeout_ms) const;
    bool gone() const;

private:
    std::string read_control(const wchar_t* name) const;

    std::wstring control_; // Windows paths ending in a backslash
    std::wstring mount_;
};

// Milliseconds of a steady clock with sub-millisecond resolution (QueryPerformanceCounter).
double steady_ms();

class RemoteDialog;
// A control's text read with a short wait of its own: a window that does not answer shows as
// "<no answer>" after 200 ms instead of holding the caller for RemoteDialog's 10 s.
std::wstring quick_text(const RemoteDialog& dialog, int id);
// Every input of the idle window (options, fields, browse, the four lists) is usable.
bool inputs_enabled(const RemoteDialog& dialog);
