#include "stall_control_win.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "driver_fixture_win.h"
#include "remote_dialog_win.h"

namespace {

std::wstring folder_from(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0')
        return std::wstring();
    const std::string unix_path(value);
    return windows_path(std::wstring(unix_path.begin(), unix_path.end())) + L"\\";
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool write_whole(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool all = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
                     written == text.size();
    CloseHandle(file);
    return all;
}

} // namespace

double steady_ms()
{
    static const double per_ms = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return double(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) / per_ms;
}

std::wstring quick_text(const RemoteDialog& dialog, int id)
{
    wchar_t buffer[256] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(dialog.item(id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer),
                             SMTO_NORMAL, 200, &copied))
        return L"<no answer>";
    return buffer;
}

bool inputs_enabled(const RemoteDialog& dialog)
{
    for (int id : input_ids)
        if (!dialog.enabled(id))
            return false;
    return true;
}

StallFs::StallFs()
    : control_(folder_from("DRAVIK_STALL_CONTROL")), mount_(folder_from("DRAVIK_STALL_MOUNT"))
{
}

bool StallFs::set_mode(const std::string& mode) const
{
    // The file system must never see a half-written mode: written aside, then renamed.
    const std::wstring aside = control_ + L"mode.next";
    return write_whole(aside, mode + "\n") &&
           MoveFileExW(aside.c_str(), (control_ + L"mode").c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string StallFs::read_control(const wchar_t* name) const
{
    HANDLE file = CreateFileW((control_ + name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::vector<char> buffer(4096);
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), DWORD(buffer.size() - 1), &got, nullptr))
        got = 0;
    CloseHandle(file);
    return std::string(buffer.data(), got);
}

bool StallFs::stalled() const { return exists(control_ + L"stalled"); }

bool StallFs::wait_stalled(DWORD timeout_ms) const
{
    return wait_until([this] { return stalled(); }, timeout_ms);
}

std::string StallFs::stalled_requests() const { return read_control(L"stalled"); }

bool StallFs::open_count(const std::string& name, int* open_now, int* opened) const
{
    std::istringstream lines(read_control(L"open_count"));
    std::string file;
    int now = 0, all = 0;
    while (lines >> file >> now >> all) {
        if (file == name) {
            *open_now = now;
            *opened = all;
            return true;
        }
    }
    return false;
}

int StallFs::open_now(const std::string& name) const
{
    int now = -1, all = -1;
    return open_count(name, &now, &all) ? now : -1;
}

int StallFs::opened(const std::string& name) const
{
    int now = -1, all = -1;
    return open_count(name, &now, &all) ? all : -1;
}

bool StallFs::wait_closed(const std::string& name, DWORD timeout_ms, int opened_at_least) const
{
    return wait_until(
        [&] {
            int now = -1, all = -1;
            return open_count(name, &now, &all) && now == 0 && all >= opened_at_least;
        },
        timeout_ms);
}

int StallFs::interrupted() const
{
    const std::string text = read_control(L"interrupted");
    return text.empty() ? 0 : std::atoi(text.c_str());
}

bool StallFs::kill_file_system(DWORD timeout_ms) const
{
    return write_whole(control_ + L"kill", "") && wait_until([this] { return gone(); }, timeout_ms);
}

bool StallFs::gone() const { return exists(control_ + L"killed"); }
