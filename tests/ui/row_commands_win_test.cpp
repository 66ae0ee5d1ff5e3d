// The row commands through the dialog's buttons: copy, "↓" and verify.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "dialog_fixture_win.h"
#include "engine/job_protocol.h"
#include "ui/resource.h"
#include "ui/row_commands_win.h"

namespace {

const wchar_t* const digest = L"A9993E364706816ABA3E25717850C26C9CD0D89D";
const wchar_t* const copied = L"情報: クリップボードへのダイジェスト文字列のコピーを行いました。";
const wchar_t* const copy_failed =
    L"エラー: クリップボードへのダイジェスト文字列のコピーに失敗しました。";

// The clipboard's Unicode text, or "<none>" when it holds none.
std::wstring clipboard_text()
{
    std::wstring text = L"<none>";
    for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt)
        Sleep(20);
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* characters = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = characters;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void put_clipboard_text(const wchar_t* text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text, bytes);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

void press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

TEST_F(MainDialogTest, CopyPutsEachRowsResultOnTheClipboard)
{
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot) {
        std::wstring text = std::wstring(digest) + std::to_wstring(slot->result);
        set_item_text(dialog_, slot->result, text);
        set_item_text(dialog_, 1082, L"");
        press(dialog_, slot->copy_button);
        EXPECT_EQ(clipboard_text(), text) << "row of " << slot->result;
        EXPECT_EQ(item_text(dialog_, 1082), copied);
    }
}

TEST_F(MainDialogTest, CopyOfAnEmptyResultPutsAnEmptyText)
{
    put_clipboard_text(L"left over");
    EXPECT_EQ(copy_row_text(dialog_, SlotControls[0].result), 0);
    EXPECT_EQ(clipboard_text(), L"");
    EXPECT_EQ(item_text(dialog_, 1082), copied);
}

TEST_F(MainDialogTest, CopyFailsWhileAnotherThreadHoldsTheClipboard)
{
    put_clipboard_text(L"theirs");
    set_item_text(dialog_, SlotControls[1].result, digest);
    std::atomic<int> phase{0};
    std::thread holder([&] {
        HWND owner =
            CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        bool opened = OpenClipboard(owner) != FALSE;
        phase = opened ? 1 : -1;
        for (int i = 0; i < 500 && phase != 2; ++i)
            Sleep(10);
        if (opened)
            CloseClipboard();
        DestroyWindow(owner);
    });
    for (int i = 0; i < 500 && phase == 0; ++i)
        Sleep(10);
    ASSERT_EQ(phase, 1) << "the other thread could not open the clipboard";
    int result = copy_row_text(dialog_, SlotControls[1].result);
    phase = 2;
    holder.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(item_text(dialog_, 1082), copy_failed);
    EXPECT_EQ(clipboard_text(), L"theirs");
}

TEST_F(MainDialogTest, DownArrowCopiesIntoTheSameRowsVerifyField)
{
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot)
        set_item_text(dialog_, slot->result, std::to_wstring(slot->result));
    set_item_text(dialog_, 1082, L"unchanged");
    press(dialog_, 1045);
    EXPECT_EQ(item_text(dialog_, 1044), L"1042") << "row 4's verify field is 1044";
    EXPECT_EQ(item_text(dialog_, 1043), L"コピー");
    for (int other : {1013, 1023, 1033})
        EXPECT_EQ(item_text(dialog_, other), L"");
    press(dialog_, 1015);
    EXPECT_EQ(item_text(dialog_, 1013), L"1012");
    EXPECT_EQ(item_text(dialog_, 1082), L"unchanged") << "\"↓\" reports nothing";
}

TEST_F(MainDialogTest, VerifyReportsMatchMismatchAndNothingToVerify)
{
    const HashSlot& row = SlotControls[3];
    struct Case {
        const wchar_t* result;
        const wchar_t* verify;
        int expected;
        const wchar_t* status;
    } cases[] = {
        {L"", L"", -1, L"警告: 検証対象のダイジェストがありません。"},
        {digest, L"", -1, L"警告: 検証対象のダイジェストがありません。"},
        {L"", digest, -1, L"警告: 検証対象のダイジェストがありません。"},
        {digest, L"a9993e364706816aba3e25717850c26c9cd0d89d", 0,
         L"情報: ダイジェスト文字列は一致しています。"},
        {digest, L"A9993E364706816ABA3E25717850C26C9CD0D89E", 1,
         L"エラー: ダイジェスト文字列が一致しません。"},
        {digest, L"A9993E364706816ABA3E25717850C26C9CD0D89D\r\n", 1,
         L"エラー: ダイジェスト文字列が一致しません。"},
        {digest, L" A9993E364706816ABA3E25717850C26C9CD0D89D", 1,
         L"エラー: ダイジェスト文字列が一致しません。"},
    };
    for (const Case& c : cases) {
        set_item_text(dialog_, row.result, c.result);
        set_item_text(dialog_, row.verify, c.verify);
        EXPECT_EQ(compare_row_texts(dialog_, row.result, row.verify), c.expected) << c.verify;
        EXPECT_EQ(item_text(dialog_, 1082), c.status) << c.verify;
    }
}

TEST_F(MainDialogTest, DownArrowThenVerifyMatchesOnEveryRow)
{
    for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot) {
        set_item_text(dialog_, slot->result, digest);
        set_item_text(dialog_, 1082, L"");
        press(dialog_, slot->down_button);
        press(dialog_, slot->verify_button);
        EXPECT_EQ(item_text(dialog_, 1082), L"情報: ダイジェスト文字列は一致しています。")
            << slot->verify_button;
    }
}

// After a run the results belong to the input that was read: any change of the input takes
// them away (so that Verify says there is nothing to verify and Copy copies nothing), one
// row's algorithm changed takes that row's; the verify fields and the status line stay.
TEST_F(MainDialogTest, ChangingTheInputAfterARunClearsTheResultsItMade)
{
    using Change = void (*)(HWND dialog);
    const struct {
        const char* what;
        Change change;
        std::vector<int> cleared; // rows
    } cases[] = {
        {"path edited", [](HWND d) { set_item_text(d, IDC_PATH, L"C:\\other.bin"); }, {0, 1, 2, 3}},
        {"text edited", [](HWND d) { set_item_text(d, IDC_TEXT, L"abd"); }, {0, 1, 2, 3}},
        {"text option chosen",
         [](HWND d) { SendDlgItemMessageW(d, IDC_TEXT_OPTION, BM_CLICK, 0, 0); },
         {0, 1, 2, 3}},
        {"file option clicked again",
         [](HWND d) { SendDlgItemMessageW(d, IDC_FILE_OPTION, BM_CLICK, 0, 0); },
         {}},
        {"file dropped",
         [](HWND d) {
             const wchar_t name[] = L"C:\\dropped.bin";
             HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                         sizeof(DROPFILES) + sizeof name + sizeof(wchar_t));
             auto* header = static_cast<DROPFILES*>(GlobalLock(block));
             header->pFiles = sizeof(DROPFILES);
             header->fWide = TRUE;
             memcpy(header + 1, name, sizeof name);
             GlobalUnlock(block);
             SendMessageW(d, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
         },
         {0, 1, 2, 3}},
        {"row 2's algorithm changed",
         [](HWND d) {
             SendDlgItemMessageW(d, SlotControls[1].combo, CB_SETCURSEL, 5, 0);
             SendMessageW(d, WM_COMMAND, MAKEWPARAM(SlotControls[1].combo, CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(GetDlgItem(d, SlotControls[1].combo)));
         },
         {1}},
        {"row 1's digest moved down", [](HWND d) { press(d, SlotControls[0].down_button); }, {}},
        {"path edited during a run",
         [](HWND d) {
             main_dialog(d)->current_job = reinterpret_cast<HashJob*>(d); // never reached
             set_item_text(d, IDC_PATH, L"C:\\during.bin");
             main_dialog(d)->current_job = nullptr;
         },
         {}},
    };
    for (const auto& c : cases) {
        // The window as a run over a file left it.
        CheckRadioButton(dialog_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_FILE_OPTION);
        for (const HashSlot* slot = SlotControls; slot->combo != 0; ++slot) {
            set_item_text(dialog_, slot->result, digest);
            set_item_text(dialog_, slot->verify, L"typed");
        }
        set_item_text(dialog_, IDC_STATUS, L"情報: ダイジェスト取得処理が完了しました。");
        c.change(dialog_);
        for (int row = 0; row < slot_count; ++row) {
            const bool cleared =
                std::find(c.cleared.begin(), c.cleared.end(), row) != c.cleared.end();
            EXPECT_EQ(item_text(dialog_, SlotControls[row].result), cleared ? L"" : digest)
                << c.what << ", row " << row + 1;
            if (row > 0 || std::string(c.what) != "row 1's digest moved down") {
                EXPECT_EQ(item_text(dialog_, SlotControls[row].verify), L"typed") << c.what;
            }
        }
        EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理が完了しました。")
            << c.what;
    }
    // Verify now has nothing to compare, not a match of what was never read.
    set_item_text(dialog_, IDC_PATH, L"C:\\b.bin");
    set_item_text(dialog_, SlotControls[0].verify, digest);
    press(dialog_, SlotControls[0].verify_button);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"警告: 検証対象のダイジェストがありません。");
}

} // namespace
