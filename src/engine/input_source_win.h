// The bytes of one digest run, delivered chunk by chunk: a file opened from the main window's
// path field, or the text field's text as UTF-8 (Windows only).
//
// Window controls read: option buttons 1001 (file) and 1002 (text), path field 1003, text
// field 1004; each field is read up to 4095 characters (UTF-16 units).
//
// - The file is opened read-only, others may read it meanwhile, existing files only, by the
//   name path_to_open gives for the field (quotes and white space dropped, relative paths
//   resolved, long paths in their \\?\ form, device names refused; input_path_win.h). Only a
//   file on disk counts: a handle of another type (console, pipe, raw device), a folder, or a
//   file whose size or information cannot be taken counts as not opened: has_data is false
//   (the job reports no input data), and the handle is closed at once.
// - The text is the first 4095 UTF-16 units of the field, as UTF-8 up to the first unit that
//   cannot be encoded (a lone surrogate). An empty text has data: zero bytes.
// - read_chunk delivers the next min(CHUNK_SIZE, total - delivered) bytes and returns their
//   count; 0 once total bytes are delivered (so an input whose size is a multiple of
//   CHUNK_SIZE ends with a call that returns 0).
// - A file read that fails, or ends before the bytes that total promised (the file shrank,
//   a device or network error), sets failed(): read_chunk then returns only the bytes it did
//   read (fewer than asked, possibly 0) and 0 ever after. The caller checks failed() after
//   every read_chunk, and a run whose source failed must not produce a digest.
// - A file that changed while it was read fails too, on the read that finds the end (the one
//   that returns 0): when its size or last-write time, taken through the reading handle,
//   differs from what they were at the open, or when its name now leads to another file
//   or none (replaced or removed by another machine or program that does not respect the
//   sharing). The bytes delivered may then mix old and new contents. Only a proven change
//   fails: where the identity cannot be had (the second open by name is refused, the query
//   fails, the file system reports no file index, as some network shares and FAT do), the
//   bytes read stand. An adopted handle is checked for size and time only.
// - Used by one thread at a time. The window constructor reads the controls by messages that
//   the window's thread must serve; read_input_selection lets that thread read them instead,
//   ahead of time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/smart_ptr.h"

// A reference-counted holder of one system handle, closed by CloseHandle when its last owner
// drops it. Empty: every field 0; holding: a handle that differs from the no-handle value.
class HandleHolder {
public:
    HandleHolder() = default;
    HandleHolder(const HandleHolder& other);
    HandleHolder& operator=(const HandleHolder& other);
    ~HandleHolder();

    // Drops the held handle, then holds handle with a count of 1; INVALID_HANDLE_VALUE (a
    // failed open) leaves the holder empty.
    void take(HANDLE handle);
    // Drops the held handle (closing it when this was its last owner); empty afterwards.
    void reset();

    bool is_open() const { return handle_ != no_handle_; }
    HANDLE get() const { return handle_; }

private:
    // How close_ is called: 2 = a system call (WINAPI), the only kind this holder is given.
    static constexpr int32_t system_call = 2;

    HANDLE handle_ = nullptr;
    HANDLE no_handle_ = nullptr;
    int32_t* count_ref_ = nullptr;
    BOOL(WINAPI* close_)(HANDLE) = nullptr;
    int32_t close_kind_ = 0;
};

// The calls of the end-of-read check: the file information query and the second open by
// name. Tests put failing ones in their place.
struct FileChecks {
    BOOL(WINAPI* information)(HANDLE, LPBY_HANDLE_FILE_INFORMATION) = GetFileInformationByHandle;
    HANDLE(WINAPI* open)
    (LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) = CreateFileW;
};

// What the input panel says at the moment it is read.
struct InputSelection {
    bool file_chosen = false; // option 1001 checked
    bool text_chosen = false; // option 1002 checked
    std::wstring path;        // field 1003, read only when file_chosen
    std::wstring text;        // field 1004, read only when text_chosen
};

// Reads the four controls of the window. Call on the window's thread, or from another thread
// only while the window's thread serves messages.
InputSelection read_input_selection(HWND window);

class InputSource {
public:
    static constexpr uint32_t CHUNK_SIZE = 2097152;
    // Units of the text that are digested; longer texts are cut there.
    static constexpr size_t max_text_units = 4095;

    // From the window's controls: InputSource(read_input_selection(window)).
    explicit InputSource(HWND window);
    // The file when file_chosen, then, independently, the text when text_chosen.
    explicit InputSource(const InputSelection& selection);
    // Adopts a file opened elsewhere, whose size in bytes the caller has taken.
    InputSource(const HandleHolder& file, uint64_t total);
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;
    ~InputSource();

    // An open file, or a text (possibly of 0 bytes).
    bool has_data() const;
    // Copies the next chunk (at most CHUNK_SIZE bytes) to destination; see the contract above.
    uint32_t read_chunk(void* destination);
    // The input's size in bytes; 0 without data.
    uint64_t total() const { return total_; }
    // True once a file read failed or came up short: the bytes delivered are not the file.
    bool failed() const { return failed_; }
    // The calls the end-of-read check makes from now on (the open's own are made already).
    void set_file_checks(const FileChecks& checks) { checks_ = checks; }

private:
    // What tells one state of a file from another: its identity, size and last-write time.
    struct FileStamp {
        DWORD volume = 0;
        uint64_t index = 0;
        uint64_t size = 0;
        uint64_t written = 0;
    };

    void open_file(const std::wstring& field);
    void take_text(const std::wstring& text);
    uint32_t read_file(uint8_t* destination, uint32_t length);
    static bool stamp_of(HANDLE file, FileStamp* stamp,
                         BOOL(WINAPI* information)(HANDLE, LPBY_HANDLE_FILE_INFORMATION) =
                             GetFileInformationByHandle);
    // A file index that tells files apart: not 0 and not all ones.
    static bool known_identity(const FileStamp& stamp);
    // The file is still the one opened, unchanged; looked at once, at the end.
    bool unchanged_since_open() const;

    HandleHolder file_;
    smart_ptr<uint8_t> text_;
    uint64_t position_ = 0;
    uint64_t total_ = 0;
    bool failed_ = false;
    std::wstring opened_name_; // the name the file was opened by; empty for an adopted handle
    FileStamp opened_;
    bool stamped_ = false; // opened_ holds the file's state at the open
    bool end_checked_ = false;
    FileChecks checks_;
};
