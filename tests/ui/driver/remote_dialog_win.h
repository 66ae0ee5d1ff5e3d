// Dravik.exe in a process of its own, worked from outside through its dialog's controls the
// way a user (or an accessibility tool) would: window messages that Windows marshals between
// processes (WM_SETTEXT, WM_GETTEXT, BM_CLICK, CB_FINDSTRINGEXACT, ...), posted keystrokes and
// WM_CLOSE.
//
// Contract:
// - Every call is bounded: sent messages go through SendMessageTimeout (message_timeout_ms),
//   waits poll against a deadline. A call that runs out of time reports failure; it never
//   hangs the caller.
// - launch() starts the program and finds its visible dialog (caption "Dravik", class
//   #32770, same process id). The destructor ends a program that is still running
//   (TerminateProcess), so a failed check never leaves Dravik.exe behind.
// - Not thread-safe; one RemoteDialog per program instance.
#pragma once

#include <windows.h>

#include <map>
#include <string>

class RemoteDialog {
public:
    static const DWORD message_timeout_ms = 10000;

    RemoteDialog() = default;
    ~RemoteDialog();
    RemoteDialog(const RemoteDialog&) = delete;
    RemoteDialog& operator=(const RemoteDialog&) = delete;

    // Starts program (a Windows path) and waits up to timeout_ms for its dialog. On failure
    // error() says why and the program, if it started, is ended. A program that ends with an
    // exception code before its dialog appears is started once more (and it is said on
    // standard error): Wine under load sometimes faults while it sets a process up.
    // arguments follow the quoted program on its command line as given; folder, when not
    // empty, is its current folder.
    bool launch(const std::wstring& program, DWORD timeout_ms, const std::wstring& arguments = L"",
                const std::wstring& folder = L"");
    HWND window() const { return window_; }
    HANDLE process() const { return process_; }
    const std::wstring& error() const { return error_; }

    // The control; looked up once per launch and kept (the dialog's controls never change):
    // under Wine each lookup in another process's dialog asks the server about every child.
    HWND item(int id) const;
    // The control's text; "<no answer>" when the dialog did not answer in time.
    std::wstring text(int id) const;
    bool set_text(int id, const std::wstring& text) const;
    // BM_CLICK, answered once the dialog has handled the command. Fails for a disabled or
    // missing control, since a user could not press it either.
    bool click(int id) const;
    bool checked(int id) const;
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    // Picks the list entry whose text is exactly name; false when there is none.
    bool choose(int combo_id, const std::wstring& name) const;
    // Posts one WM_CHAR per UTF-16 unit to the control, as typing does (the dialog's message
    // loop sees them), then waits until the control's text has grown by them.
    bool type(int id, const std::wstring& characters, DWORD timeout_ms) const;
    // Posts WM_KEYDOWN/WM_KEYUP of virtual_key to the control through the message loop.
    bool post_key(int id, UINT virtual_key) const;
    // Sends any message with a bounded wait; false when unanswered.
    bool send(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) const;
    bool send_to(int id, UINT message, WPARAM wparam, LPARAM lparam,
                 LRESULT* result = nullptr) const;

    // True once the process has ended within timeout_ms; exit_code receives its code.
    bool wait_for_exit(DWORD timeout_ms, DWORD* exit_code = nullptr) const;
    bool running() const;
    // Ends the program at once if it still runs and closes the handles.
    void terminate();

private:
    bool start(const std::wstring& program, DWORD timeout_ms, const std::wstring& arguments,
               const std::wstring& folder);
    HWND find_dialog() const;

    HANDLE process_ = nullptr;
    DWORD process_id_ = 0;
    HWND window_ = nullptr;
    DWORD crashed_at_start_ = 0; // exception code of a start that ended before its dialog
    mutable std::map<int, HWND> items_;
    std::wstring error_;
};

// A Windows path for a path that may be written the Unix way (build paths handed over by CMake
// or a shell script): "/a/b" becomes "Z:\a\b", Wine's drive for the Unix root.
std::wstring windows_path(const std::wstring& path);

// UTF-8 form of a wide text, for printing and for digesting text the way the program does.
std::string utf8(const std::wstring& text);

// Polls condition every 20 ms until it holds or timeout_ms has passed; returns its last value.
template <typename Condition> bool wait_until(Condition condition, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeout_ms)
            return condition();
        Sleep(20);
    }
}
