#include "engine/input_path_win.h"

#include <windows.h>

#include <vector>

namespace {

const wchar_t extended_prefix[] = L"\\\\?\\";          // \\?\ .
const wchar_t extended_unc_prefix[] = L"\\\\?\\UNC\\"; // \\?\UNC\ .

bool is_blank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

bool starts_with(const std::wstring& text, const wchar_t* prefix, size_t at = 0)
{
    for (size_t i = 0; prefix[i] != L'\0'; ++i)
        if (at + i >= text.size() || text[at + i] != prefix[i])
            return false;
    return true;
}

bool starts_with_no_case(const std::wstring& text, const wchar_t* prefix, size_t at)
{
    for (size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (at + i >= text.size())
            return false;
        const wchar_t a = text[at + i], b = prefix[i];
        if (a != b && !(a >= L'a' && a <= L'z' && a - 32 == b) &&
            !(a >= L'A' && a <= L'Z' && a + 32 == b))
            return false;
    }
    return true;
}

bool is_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "C:\" at position at: a drive's root, the start of every full drive path.
bool drive_root_at(const std::wstring& path, size_t at)
{
    return path.size() >= at + 3 && is_letter(path[at]) && path[at + 1] == L':' &&
           path[at + 2] == L'\\';
}

// "Volume{...}\name" at position at: a file on a volume named by its GUID. The volume itself
// (nothing after the brace) is a device.
bool volume_file_at(const std::wstring& path, size_t at)
{
    if (!starts_with_no_case(path, L"Volume{", at))
        return false;
    const size_t close = path.find(L"}\\", at);
    return close != std::wstring::npos && close + 2 < path.size();
}

// GetFullPathNameW into a buffer of the size it asks for; empty when it fails.
std::wstring full_path_of(const std::wstring& path)
{
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    for (int attempt = 0; attempt < 2 && size != 0; ++attempt) {
        std::vector<wchar_t> buffer(size);
        const DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
        if (length != 0 && length < size)
            return std::wstring(buffer.data(), length);
        size = length; // the current folder changed in between: one more try
    }
    return std::wstring();
}

} // namespace

std::wstring unquoted_path(const std::wstring& field)
{
    size_t begin = 0, end = field.size();
    while (begin < end && is_blank(field[begin]))
        ++begin;
    while (end > begin && is_blank(field[end - 1]))
        --end;
    if (end - begin >= 2 && field[begin] == L'"' && field[end - 1] == L'"') {
        ++begin;
        --end;
    }
    return field.substr(begin, end - begin);
}

std::wstring extended_path(const std::wstring& full_path)
{
    const std::wstring& p = full_path;
    if (starts_with(p, extended_prefix)) {
        const size_t at = 4;
        if (drive_root_at(p, at) || starts_with_no_case(p, L"UNC\\", at) || volume_file_at(p, at))
            return p;
        return std::wstring(); // \\?\GLOBALROOT\..., a bare volume, a pipe: devices
    }
    if (drive_root_at(p, 0))
        return extended_prefix + p;
    // \\server\share\...; \\.\ and \??\ are the device namespaces, not shares.
    if (starts_with(p, L"\\\\") && p.size() > 2 && p[2] != L'.' && p[2] != L'?')
        return extended_unc_prefix + p.substr(2);
    return std::wstring();
}

std::wstring path_to_open(const std::wstring& field)
{
    const std::wstring path = unquoted_path(field);
    if (path.empty() || starts_with(path, L"\\??\\"))
        return std::wstring(); // \??\ is the native device namespace
    return extended_path(full_path_of(path));
}
