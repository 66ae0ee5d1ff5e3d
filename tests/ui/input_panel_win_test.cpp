// The input panel: the character counter, dropped files and the file browser.
#include <windows.h>

#include <cderr.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <thread>
#include <vector>

#include "dialog_fixture_win.h"
#include "ui/input_panel_win.h"
#include "ui/resource.h"

namespace {

// A drop of the given paths, built as the shell builds one: DROPFILES, then the wide paths,
// each terminated, then one more terminator.
HDROP make_drop(std::initializer_list<std::wstring> paths)
{
    size_t characters = 1;
    for (const std::wstring& path : paths)
        characters += path.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        wmemcpy(text, path.c_str(), path.size() + 1);
        text += path.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

// A file of our own to choose in the open-file dialog.
std::wstring make_temporary_file()
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"drv", 0, path);
    return path;
}

TEST_F(MainDialogTest, CounterCountsUtf16UnitsUpTo4095)
{
    set_item_text(dialog_, IDC_TEXT, L"abc");
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"3");
    set_item_text(dialog_, IDC_TEXT, L"");
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"0");
    set_item_text(dialog_, IDC_TEXT, L"日本\U0001D11E");
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"4") << "a surrogate pair counts 2";
    set_item_text(dialog_, IDC_TEXT, std::wstring(5000, L'x'));
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"4095");
}

TEST_F(MainDialogTest, CounterIgnoresOtherFieldsAndNotifications)
{
    set_item_text(dialog_, IDC_PATH, L"abc");
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"0");
    SendMessageW(GetDlgItem(dialog_, IDC_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ab"));
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_TEXT, EN_CHANGE), 0);
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_TEXT, EN_UPDATE), 0);
    EXPECT_EQ(item_text(dialog_, IDC_CHARACTER_COUNT), L"2");
}

TEST_F(MainDialogTest, OneDroppedFileSelectsTheFileOption)
{
    CheckRadioButton(dialog_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_TEXT_OPTION);
    HDROP drop = make_drop({L"C:\\data\\input.bin"});
    SendMessageW(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(item_text(dialog_, IDC_PATH), L"C:\\data\\input.bin");
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_FILE_OPTION), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_TEXT_OPTION), BST_UNCHECKED);

    // A folder is taken like a file.
    SendMessageW(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({L"C:\\data"})), 0);
    EXPECT_EQ(item_text(dialog_, IDC_PATH), L"C:\\data");
}

TEST_F(MainDialogTest, TwoDroppedFilesChangeNothing)
{
    set_item_text(dialog_, IDC_PATH, L"before");
    CheckRadioButton(dialog_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_TEXT_OPTION);
    HDROP drop = make_drop({L"C:\\a.txt", L"C:\\b.txt"});
    SendMessageW(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(item_text(dialog_, IDC_PATH), L"before");
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_TEXT_OPTION), BST_CHECKED);
}

TEST(DroppedFiles, TheDropIsReleasedEitherWay)
{
    for (HDROP drop : {make_drop({L"C:\\a.txt"}), make_drop({L"C:\\a.txt", L"C:\\b.txt"})}) {
        HWND dialog = create_main_dialog(GetModuleHandleW(nullptr));
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(GlobalSize(drop), 0u);
        accept_dropped_files(dialog, drop);
        // DragFinish frees the block: its handle is no longer valid.
        EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE));
        DestroyWindow(dialog);
        take_quit_message();
    }
}

const wchar_t* const file_dialog_title = L"ハッシュを計算するファイルを選択する";

BOOL CALLBACK take_file_dialog(HWND window, LPARAM result)
{
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (wcscmp(class_name, L"#32770") != 0 || window_text(window) != file_dialog_title)
        return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// The open-file dialog shown by the given thread, or null.
HWND find_file_dialog(DWORD thread_id)
{
    HWND found = nullptr;
    EnumThreadWindows(thread_id, take_file_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Plays the user of the open-file dialog from a second thread: waits (at most a minute, the
// machine may be busy) for the dialog of the test's thread, notes its confirm button's label,
// then confirms or cancels.
class FileDialogUser {
public:
    explicit FileDialogUser(bool confirm)
        : owner_thread_(GetCurrentThreadId()), thread_([this, confirm] { act(confirm); })
    {
    }
    ~FileDialogUser() { wait(); }
    void wait()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::wstring confirm_label() const { return confirm_label_; }
    bool found() const { return found_; }

private:
    void act(bool confirm)
    {
        HWND file_dialog = nullptr;
        for (int i = 0; i < 1200 && file_dialog == nullptr; ++i) {
            Sleep(50);
            file_dialog = find_file_dialog(owner_thread_);
        }
        if (file_dialog == nullptr)
            return;
        // The label is set when the dialog reports that its set-up is done.
        wchar_t label[64] = {};
        for (int i = 0; i < 200; ++i) {
            GetDlgItemTextW(file_dialog, IDOK, label, 64);
            if (wcscmp(label, L"選択(&S)") == 0)
                break;
            Sleep(50);
        }
        confirm_label_ = label;
        found_ = true;
        int button = confirm ? IDOK : IDCANCEL;
        PostMessageW(file_dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(file_dialog, button)));
    }

    DWORD owner_thread_;
    std::wstring confirm_label_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

TEST_F(MainDialogTest, BrowseConfirmsTheFileOfThePathField)
{
    std::wstring file = make_temporary_file();
    set_item_text(dialog_, IDC_PATH, file);
    CheckRadioButton(dialog_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_TEXT_OPTION);
    std::wstring label;
    {
        FileDialogUser user(true);
        browse_for_file(dialog_);
        user.wait();
        label = user.confirm_label();
        ASSERT_TRUE(user.found()) << "no open-file dialog with the expected title";
    }
    EXPECT_EQ(label, L"選択(&S)");
    // The chosen file's full path (the same file, possibly spelt in its long form).
    std::wstring chosen = item_text(dialog_, IDC_PATH);
    EXPECT_EQ(GetFileAttributesW(chosen.c_str()) != INVALID_FILE_ATTRIBUTES, true) << chosen;
    EXPECT_EQ(CompareStringOrdinal(chosen.c_str() + chosen.find_last_of(L'\\'), -1,
                                   file.c_str() + file.find_last_of(L'\\'), -1, TRUE),
              CSTR_EQUAL);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_TEXT_OPTION), BST_CHECKED)
        << "browsing never touches the options";
    DeleteFileW(file.c_str());
}

TEST_F(MainDialogTest, CancelledBrowseChangesNothing)
{
    set_item_text(dialog_, IDC_PATH, L"C:\\no such folder\\file.bin");
    {
        FileDialogUser user(false);
        browse_for_file(dialog_);
        user.wait();
        ASSERT_TRUE(user.found());
    }
    EXPECT_EQ(item_text(dialog_, IDC_PATH), L"C:\\no such folder\\file.bin");
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_FILE_OPTION), BST_CHECKED);
}

// An open-file dialog with Windows' rule for its first name: a name with a character that no
// file name has is refused (FNERR_INVALIDFILENAME) and nothing is shown; any other is
// "shown" and cancelled. Every call is recorded. (Wine's dialog shows whatever it is given.)
struct StrictFileDialog {
    struct Call {
        std::wstring name, folder;
        DWORD flags;
    };
    static std::vector<Call> calls;
    static DWORD error;
    static BOOL WINAPI show(LPOPENFILENAMEW request)
    {
        const std::wstring name = request->lpstrFile;
        calls.push_back({name, request->lpstrInitialDir != nullptr ? request->lpstrInitialDir : L"",
                         request->Flags});
        error = name.find_first_of(L"\"<>|") != std::wstring::npos ? FNERR_INVALIDFILENAME : 0;
        return FALSE;
    }
    static DWORD WINAPI last_error() { return error; }
};
std::vector<StrictFileDialog::Call> StrictFileDialog::calls;
DWORD StrictFileDialog::error = 0;

TEST_F(MainDialogTest, BrowseShowsTheDialogForWhateverThePathFieldHolds)
{
    const struct {
        const wchar_t* field;
        std::vector<std::wstring> names, folders; // of each dialog asked for
    } cases[] = {
        // "Copy as path": the dialog starts from the file, unquoted, as a run takes it.
        {L"\"C:\\windows\\some folder\\file name.bin\"",
         {L"C:\\windows\\some folder\\file name.bin"},
         {L""}},
        // Refused: shown again without a name, in the name's folder where it exists.
        {L"C:\\windows\\a<b>|c.bin", {L"C:\\windows\\a<b>|c.bin", L""}, {L"", L"C:\\windows\\"}},
        {L"C:\\no such folder\\a<b>.bin", {L"C:\\no such folder\\a<b>.bin", L""}, {L"", L""}},
    };
    FileDialogCalls strict;
    strict.show = StrictFileDialog::show;
    strict.error = StrictFileDialog::last_error;
    int number = 0;
    for (const auto& c : cases) {
        ++number;
        StrictFileDialog::calls.clear();
        set_item_text(dialog_, IDC_PATH, c.field);
        browse_for_file(dialog_, strict);
        ASSERT_EQ(StrictFileDialog::calls.size(), c.names.size()) << "case " << number;
        for (size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(StrictFileDialog::calls[i].name, c.names[i]) << "case " << number;
            EXPECT_EQ(StrictFileDialog::calls[i].folder, c.folders[i]) << "case " << number;
            EXPECT_NE(StrictFileDialog::calls[i].flags & OFN_NOCHANGEDIR, 0u);
        }
        EXPECT_EQ(StrictFileDialog::error, 0u) << "the last dialog was refused: nothing showed";
        EXPECT_EQ(item_text(dialog_, IDC_PATH), c.field) << "a cancel changes nothing";
    }
}

TEST_F(MainDialogTest, BrowsingLeavesTheCurrentFolder)
{
    // A relative path typed after browsing is taken from where the program started, not from
    // the folder the user browsed to.
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    const std::wstring file = make_temporary_file();
    ASSERT_NE(CompareStringOrdinal(file.substr(0, file.find_last_of(L'\\')).c_str(), -1, before, -1,
                                   TRUE),
              CSTR_EQUAL)
        << "the file must lie in another folder";
    set_item_text(dialog_, IDC_PATH, file);
    {
        FileDialogUser user(true);
        browse_for_file(dialog_);
        user.wait();
        ASSERT_TRUE(user.found());
    }
    wchar_t after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before);
    DeleteFileW(file.c_str());
}

} // namespace
