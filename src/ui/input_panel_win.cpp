#include "ui/input_panel_win.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "engine/input_path_win.h"
#include "ui/resource.h"

namespace {

const int file_name_buffer_size = 2048;

// Relabels the confirm button once the open-file dialog is ready; leaves everything else to
// the system dialog.
UINT_PTR CALLBACK file_dialog_hook(HWND hook_dialog, UINT message, WPARAM, LPARAM lparam)
{
    if (message != WM_NOTIFY)
        return 0;
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->code == CDN_INITDONE) {
        SendMessageW(GetParent(hook_dialog), CDM_SETCONTROLTEXT, IDOK,
                     reinterpret_cast<LPARAM>(L"選択(&S)"));
    }
    return 0;
}

} // namespace

void update_character_counter(HWND dialog)
{
    wchar_t text[text_field_limit + 1] = {};
    GetDlgItemTextW(dialog, IDC_TEXT, text, text_field_limit + 1);
    wchar_t count[16] = {};
    _snwprintf(count, 15, L"%d", static_cast<int>(wcslen(text)));
    SetDlgItemTextW(dialog, IDC_CHARACTER_COUNT, count);
}

// The folder part of a path (C:\a\b.bin gives C:\a\), when that folder exists; else
// empty.
std::wstring existing_folder_of(const std::wstring& path)
{
    const size_t end = path.find_last_of(L"\\/");
    if (end == std::wstring::npos)
        return std::wstring();
    const std::wstring folder = path.substr(0, end + 1);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::wstring();
    return folder;
}

void browse_for_file(HWND dialog, const FileDialogCalls& calls)
{
    std::vector<wchar_t> field(path_field_limit + 1);
    GetDlgItemTextW(dialog, IDC_PATH, field.data(), path_field_limit + 1);
    // The path as a run takes it: "Copy as path" quotes, which the dialog refuses, dropped.
    const std::wstring name = unquoted_path(field.data());
    wchar_t file_name[file_name_buffer_size] = {};
    wcsncpy(file_name, name.c_str(), file_name_buffer_size - 1);

    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    // Display text and pattern, then the empty pair that ends the list.
    request.lpstrFilter = L"すべてのファイル (*.*)\0*\0";
    request.nFilterIndex = 1;
    request.lpstrFile = file_name;
    request.nMaxFile = file_name_buffer_size;
    request.lpstrTitle = L"ハッシュを計算するファイルを選択する";
    // The current folder stays where the program started: a relative path typed later is
    // taken from there, not from the folder last browsed.
    request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                    OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    request.lpfnHook = file_dialog_hook;
    if (calls.show(&request)) {
        SetDlgItemTextW(dialog, IDC_PATH, file_name);
        return;
    }
    // A name the dialog refuses (characters no file name has) would end it before it shows:
    // it is shown without one, in the name's folder where that exists.
    if (calls.error() != FNERR_INVALIDFILENAME)
        return;
    const std::wstring folder = existing_folder_of(name);
    file_name[0] = L'\0';
    request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    if (calls.show(&request))
        SetDlgItemTextW(dialog, IDC_PATH, file_name);
}

void accept_dropped_files(HWND dialog, HDROP drop)
{
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        wchar_t path[dropped_path_limit + 1] = {};
        DragQueryFileW(drop, 0, path, dropped_path_limit + 1);
        open_path(dialog, path);
    }
    DragFinish(drop);
}

void open_path(HWND dialog, const wchar_t* path)
{
    SetDlgItemTextW(dialog, IDC_PATH, path);
    CheckDlgButton(dialog, IDC_FILE_OPTION, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TEXT_OPTION, BST_UNCHECKED);
}

std::wstring command_line_path(const wchar_t* command_line)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(command_line, &count);
    if (arguments == nullptr)
        return std::wstring();
    std::wstring path = count >= 2 ? arguments[1] : L"";
    LocalFree(arguments);
    if (path.empty())
        return path;
    // GetFullPathNameW only works on the text (nothing is opened); it tells the size it needs
    // when the buffer is short, and long paths get what they need.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}
