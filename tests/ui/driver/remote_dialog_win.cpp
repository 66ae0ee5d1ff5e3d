#include "remote_dialog_win.h"

#include <cstdio>
#include <vector>

namespace {

struct DialogSearch {
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK match_dialog(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process_id || !IsWindowVisible(window))
        return TRUE;
    wchar_t class_name[16] = {};
    wchar_t caption[16] = {};
    GetClassNameW(window, class_name, 16);
    // The caption of a window of another process comes from the system's copy, no message.
    GetWindowTextW(window, caption, 16);
    if (wcscmp(class_name, L"#32770") != 0 || wcscmp(caption, L"Dravik") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

RemoteDialog::~RemoteDialog() { terminate(); }

bool RemoteDialog::launch(const std::wstring& program, DWORD timeout_ms,
                          const std::wstring& arguments, const std::wstring& folder)
{
    if (start(program, timeout_ms, arguments, folder))
        return true;
    if (crashed_at_start_ == 0)
        return false;
    // Wine under load now and then faults while it sets a process up (seen: gdi32 before any
    // of the program's code had a window); such a start is tried once more, and said.
    std::fprintf(stderr,
                 "RemoteDialog: the program ended with 0x%08lX before its dialog "
                 "appeared; starting it once more\n",
                 crashed_at_start_);
    return start(program, timeout_ms, arguments, folder);
}

bool RemoteDialog::start(const std::wstring& program, DWORD timeout_ms,
                         const std::wstring& arguments, const std::wstring& folder)
{
    terminate();
    crashed_at_start_ = 0;
    if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error_ = L"no program at " + program;
        return false;
    }
    std::wstring command_line = L"\"" + program + L"\"";
    if (!arguments.empty())
        command_line += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &created)) {
        error_ = L"CreateProcessW failed, error " + std::to_wstring(GetLastError());
        return false;
    }
    CloseHandle(created.hThread);
    process_ = created.hProcess;
    process_id_ = created.dwProcessId;
    bool found = wait_until(
        [this] {
            window_ = find_dialog();
            return window_ != nullptr || !running();
        },
        timeout_ms);
    if (found && window_ != nullptr)
        return true;
    DWORD code = STILL_ACTIVE;
    if (!running() && GetExitCodeProcess(process_, &code) && code >= 0xC0000000)
        crashed_at_start_ = code;
    error_ = running() ? L"no dialog \"Dravik\" appeared in time"
                       : L"the program ended at once, code " + std::to_wstring(code);
    terminate();
    return false;
}

HWND RemoteDialog::item(int id) const
{
    auto known = items_.find(id);
    if (known != items_.end())
        return known->second;
    HWND control = GetDlgItem(window_, id);
    if (control != nullptr)
        items_[id] = control;
    return control;
}

HWND RemoteDialog::find_dialog() const
{
    DialogSearch search = {process_id_, nullptr};
    EnumWindows(match_dialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool RemoteDialog::send(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) const
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window_, message, wparam, lparam, SMTO_NORMAL, message_timeout_ms,
                             &answer))
        return false;
    if (result != nullptr)
        *result = static_cast<LRESULT>(answer);
    return true;
}

bool RemoteDialog::send_to(int id, UINT message, WPARAM wparam, LPARAM lparam,
                           LRESULT* result) const
{
    HWND control = item(id);
    DWORD_PTR answer = 0;
    if (control == nullptr || !SendMessageTimeoutW(control, message, wparam, lparam, SMTO_NORMAL,
                                                   message_timeout_ms, &answer))
        return false;
    if (result != nullptr)
        *result = static_cast<LRESULT>(answer);
    return true;
}

std::wstring RemoteDialog::text(int id) const
{
    LRESULT length = 0;
    if (!send_to(id, WM_GETTEXTLENGTH, 0, 0, &length))
        return L"<no answer>";
    // Room for a text that grows between the two messages.
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 64, L'\0');
    if (!send_to(id, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())))
        return L"<no answer>";
    buffer.back() = L'\0';
    return buffer.data();
}

bool RemoteDialog::set_text(int id, const std::wstring& text) const
{
    LRESULT done = 0;
    return send_to(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done) && done;
}

bool RemoteDialog::click(int id) const { return enabled(id) && send_to(id, BM_CLICK, 0, 0); }

bool RemoteDialog::checked(int id) const
{
    LRESULT state = 0;
    return send_to(id, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

bool RemoteDialog::choose(int combo_id, const std::wstring& name) const
{
    LRESULT index = CB_ERR;
    if (!send_to(combo_id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(name.c_str()), &index) ||
        index == CB_ERR)
        return false;
    LRESULT chosen = CB_ERR;
    return send_to(combo_id, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &chosen) &&
           chosen == index;
}

bool RemoteDialog::type(int id, const std::wstring& characters, DWORD timeout_ms) const
{
    size_t expected = text(id).size() + characters.size();
    for (wchar_t unit : characters)
        if (!PostMessageW(item(id), WM_CHAR, unit, 1))
            return false;
    return wait_until([&] { return text(id).size() >= expected; }, timeout_ms);
}

bool RemoteDialog::post_key(int id, UINT virtual_key) const
{
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    LPARAM released = scan | 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    return PostMessageW(item(id), WM_KEYDOWN, virtual_key, scan | 1) &&
           PostMessageW(item(id), WM_KEYUP, virtual_key, released);
}

bool RemoteDialog::running() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool RemoteDialog::wait_for_exit(DWORD timeout_ms, DWORD* exit_code) const
{
    if (process_ == nullptr || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0)
        return false;
    if (exit_code != nullptr)
        GetExitCodeProcess(process_, exit_code);
    return true;
}

void RemoteDialog::terminate()
{
    if (process_ == nullptr)
        return;
    if (running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    process_id_ = 0;
    window_ = nullptr;
    items_.clear();
}

std::wstring windows_path(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    std::wstring converted = L"Z:" + path;
    for (wchar_t& c : converted)
        if (c == L'/')
            c = L'\\';
    return converted;
}

std::string utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
    return bytes;
}
