// Dravik.exe end to end: failed starts, the row commands (verify, "↓", copy and the clipboard),
// abort and close during a long run, and the keys that must not close the dialog.
#include "driver_fixture_win.h"

#include <commctrl.h>

#include "ui/resource.h"

namespace {

// Stay usable during a run: the result and verify fields, the row buttons, Start/Abort, Exit.
const int running_ids[] = {IDC_ROW1_RESULT, IDC_ROW1_VERIFY, IDC_ROW1_COPY,   IDC_ROW1_DOWN,
                           IDC_ROW1_CHECK,  IDC_ROW4_RESULT, IDC_ROW4_VERIFY, IDC_ROW4_COPY,
                           IDC_ROW4_DOWN,   IDC_ROW4_CHECK,  IDC_START,       IDC_EXIT};

// The clipboard's Unicode text (the clipboard belongs to the whole session, so the driver
// sees what Dravik.exe put there), or "<none>".
std::wstring clipboard_text()
{
    std::wstring text = L"<none>";
    if (!wait_until([] { return OpenClipboard(nullptr) != FALSE; }, 2000))
        return L"<clipboard busy>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* characters = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = characters;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Runs that the test holds while it aborts or closes them.
class HeldRun : public DriverTest {
protected:
    std::wstring program() const override { return dravik_held_exe(); }
};

} // namespace

TEST_F(DriverTest, FailedStartsShowTheErrorAndClearTheResults)
{
    ASSERT_TRUE(use_text(L"abc"));
    ASSERT_TRUE(choose_rows({L"SHA1", L"MD5", L"CRC32", L"SM3"}));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    ASSERT_EQ(status, status_completed);
    ASSERT_EQ(results()[0], L"A9993E364706816ABA3E25717850C26C9CD0D89D");

    const std::wstring unreadable[] = {
        driver_folder() + L"no such file.bin",
        driver_folder().substr(0, driver_folder().size() - 1), // the folder itself
        L"",
    };
    for (const std::wstring& path : unreadable) {
        SCOPED_TRACE(utf8(L"path \"" + path + L"\""));
        ASSERT_TRUE(use_file(path));
        ASSERT_TRUE(run(&status));
        EXPECT_EQ(status, status_no_input);
        for (const std::wstring& result : results())
            EXPECT_EQ(result, L"");
        for (int id : input_ids)
            EXPECT_TRUE(dravik_.enabled(id)) << id;
        EXPECT_FALSE(dravik_.enabled(IDC_PROGRESS));
    }

    ASSERT_TRUE(use_text(L"abc"));
    ASSERT_TRUE(choose_rows({no_algorithm, no_algorithm, no_algorithm, no_algorithm}));
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, status_no_algorithm);
    EXPECT_EQ(dravik_.text(IDC_START), start_caption);
}

TEST_F(DriverTest, VerifyDownAndCopyWorkOnTheirOwnRow)
{
    ASSERT_TRUE(use_text(L"abc"));
    ASSERT_TRUE(choose_rows({L"SHA1", no_algorithm, L"MD5", L"SHA256"}));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    ASSERT_EQ(status, status_completed);
    Rows shown = results();
    ASSERT_EQ(shown[2], L"900150983CD24FB0D6963F7D28E17F72");

    // Row 1: a lower-case paste matches; a changed digit or a trailing line break does not.
    ASSERT_TRUE(dravik_.set_text(IDC_ROW1_VERIFY, lower_case(shown[0])));
    ASSERT_TRUE(dravik_.click(IDC_ROW1_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_match);
    std::wstring changed = shown[0];
    changed.back() = changed.back() == L'D' ? L'E' : L'D';
    ASSERT_TRUE(dravik_.set_text(IDC_ROW1_VERIFY, changed));
    ASSERT_TRUE(dravik_.click(IDC_ROW1_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_mismatch);
    ASSERT_TRUE(dravik_.set_text(IDC_ROW1_VERIFY, shown[0] + L"\r\n"));
    ASSERT_TRUE(dravik_.click(IDC_ROW1_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_mismatch);

    // Row 2 has no result, row 3 no expected digest: nothing to verify either way.
    ASSERT_TRUE(dravik_.set_text(IDC_ROW2_VERIFY, shown[0]));
    ASSERT_TRUE(dravik_.click(IDC_ROW2_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_nothing_to_verify);
    ASSERT_TRUE(dravik_.set_text(IDC_STATUS, L""));
    ASSERT_TRUE(dravik_.click(IDC_ROW3_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_nothing_to_verify);

    // Row 4 (verify field 1044, copy button 1043): "↓" then verify matches.
    ASSERT_TRUE(dravik_.set_text(IDC_STATUS, L""));
    ASSERT_TRUE(dravik_.click(IDC_ROW4_DOWN));
    EXPECT_EQ(dravik_.text(IDC_ROW4_VERIFY), shown[3]);
    EXPECT_EQ(dravik_.text(IDC_STATUS), L"") << "\"↓\" reports nothing";
    ASSERT_TRUE(dravik_.click(IDC_ROW4_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_match);

    // Copy puts exactly the row's digest on the clipboard.
    ASSERT_TRUE(dravik_.click(IDC_ROW4_COPY));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_copied);
    EXPECT_EQ(clipboard_text(), shown[3]);
    ASSERT_TRUE(dravik_.set_text(IDC_STATUS, L""));
    ASSERT_TRUE(dravik_.click(IDC_ROW3_COPY));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_copied);
    EXPECT_EQ(clipboard_text(), shown[2]);
}

TEST_F(DriverTest, AVerdictOnlyForTheInputThatWasHashed)
{
    const std::wstring path = pattern_file(1000);
    ASSERT_TRUE(choose_rows({L"MD5", no_algorithm, no_algorithm, no_algorithm}));
    ASSERT_TRUE(use_file(path));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    ASSERT_EQ(status, status_completed);
    // The digest moved down matches: nothing about the input changed.
    ASSERT_TRUE(dravik_.click(IDC_ROW1_DOWN));
    ASSERT_TRUE(dravik_.click(IDC_ROW1_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_match);
    // The same path typed again over the old one is an edited input: nothing was hashed for it.
    const std::wstring digest = dravik_.text(IDC_ROW1_RESULT);
    ASSERT_TRUE(dravik_.send_to(IDC_PATH, EM_SETSEL, 0, -1));
    ASSERT_TRUE(dravik_.post_key(IDC_PATH, VK_DELETE));
    ASSERT_TRUE(wait_until([&] { return dravik_.text(IDC_PATH).empty(); }, 10000));
    ASSERT_TRUE(dravik_.type(IDC_PATH, path, 10000));
    EXPECT_EQ(dravik_.text(IDC_PATH), path);
    EXPECT_EQ(dravik_.text(IDC_ROW1_RESULT), L"");
    EXPECT_EQ(dravik_.text(IDC_ROW1_VERIFY), digest) << "what the user pasted stays";
    ASSERT_TRUE(dravik_.click(IDC_ROW1_CHECK));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_nothing_to_verify);
}

TEST_F(HeldRun, AbortEndsALongRunAndFreesTheInputs)
{
    ASSERT_TRUE(use_file(long_run_file()));
    ASSERT_TRUE(choose_rows({L"Whirlpool", L"Whirlpool", L"Whirlpool", L"Whirlpool"}));
    ASSERT_TRUE(start_long_run());
    for (int id : input_ids)
        EXPECT_FALSE(dravik_.enabled(id)) << id << " is usable during a run";
    for (int id : running_ids)
        EXPECT_TRUE(dravik_.enabled(id)) << id << " is not usable during a run";
    EXPECT_TRUE(dravik_.enabled(IDC_PROGRESS));

    ASSERT_TRUE(dravik_.click(IDC_START));
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_aborted);
    EXPECT_EQ(dravik_.text(IDC_START), start_caption);
    for (const std::wstring& result : results())
        EXPECT_EQ(result, L"");
    for (int id : input_ids)
        EXPECT_TRUE(dravik_.enabled(id)) << id;
    EXPECT_TRUE(wait_until([&] { return !dravik_.enabled(IDC_PROGRESS); }, 5000));
    LRESULT position = -1;
    EXPECT_TRUE(dravik_.send_to(IDC_PROGRESS, PBM_GETPOS, 0, 0, &position));
    EXPECT_EQ(position, 0);
    // Nothing late overwrites the abort.
    Sleep(300);
    EXPECT_EQ(dravik_.text(IDC_STATUS), status_aborted);

    // The window is fit for the next run.
    ASSERT_TRUE(use_text(L"abc"));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, status_completed);
    EXPECT_EQ(results()[3], own_digest(L"Whirlpool", "abc"));
}

TEST_F(HeldRun, AFinishedRunsLateMessagesLeaveTheNextRunAlone)
{
    // Run 1 of this process completes; run 2 is then held while it reads. The end-of-run
    // messages of run 1 (its identity, 1, in lParam, as the program numbers its runs from 1),
    // such as could still be queued when Start is pressed, reach the window during run 2.
    ASSERT_TRUE(use_text(L"abc"));
    ASSERT_TRUE(choose_rows({L"MD5", no_algorithm, no_algorithm, no_algorithm}));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    ASSERT_EQ(status, status_completed);
    ASSERT_TRUE(use_file(long_run_file()));
    ASSERT_TRUE(start_long_run());
    const std::wstring progress = dravik_.text(IDC_STATUS);
    for (LPARAM stale : {LPARAM(1), LPARAM(0)}) {
        for (UINT message : {0x8012u, 0x8001u, 0x8002u}) // WM_PROGRESS_END, _JOB_DONE, _FAILED
            ASSERT_TRUE(dravik_.send(message, 6, stale));
    }
    EXPECT_EQ(dravik_.text(IDC_START), abort_caption);
    EXPECT_EQ(dravik_.text(IDC_STATUS), progress);
    EXPECT_TRUE(dravik_.enabled(IDC_PROGRESS));
    EXPECT_FALSE(dravik_.enabled(IDC_PATH));
}

TEST_F(HeldRun, ClosingDuringARunEndsTheProgramPromptly)
{
    ASSERT_TRUE(use_file(long_run_file()));
    ASSERT_TRUE(choose_rows({L"Whirlpool", L"Whirlpool", L"Whirlpool", L"Whirlpool"}));
    ASSERT_TRUE(start_long_run());
    ASSERT_TRUE(PostMessageW(dravik_.window(), WM_CLOSE, 0, 0));
    DWORD exit_code = 1;
    ASSERT_TRUE(dravik_.wait_for_exit(5000, &exit_code)) << "still running 5 s after WM_CLOSE";
    EXPECT_EQ(exit_code, 0u);
}

TEST_F(DriverTest, EnterAndEscapeLeaveTheDialogOpen)
{
    // Focus in the text field, as when the user has been typing there.
    ASSERT_TRUE(
        dravik_.send(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dravik_.item(IDC_TEXT)), TRUE));
    ASSERT_TRUE(dravik_.set_text(IDC_ROW1_RESULT, L"MARK"));
    ASSERT_TRUE(dravik_.post_key(IDC_TEXT, VK_RETURN));
    ASSERT_TRUE(dravik_.post_key(IDC_TEXT, VK_ESCAPE));
    // A posted "↓" after the keys: once its effect shows, the keys have been handled.
    ASSERT_TRUE(PostMessageW(dravik_.item(IDC_ROW1_DOWN), BM_CLICK, 0, 0));
    ASSERT_TRUE(wait_until([&] { return dravik_.text(IDC_ROW1_VERIFY) == L"MARK"; }, 10000));
    // The commands that the keys produce, sent directly.
    ASSERT_TRUE(dravik_.send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
    ASSERT_TRUE(dravik_.send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));

    EXPECT_TRUE(dravik_.running());
    EXPECT_TRUE(IsWindow(dravik_.window()));
    EXPECT_TRUE(IsWindowVisible(dravik_.window()));
    EXPECT_EQ(dravik_.text(IDC_START), start_caption) << "Enter started a run";
    EXPECT_EQ(dravik_.text(IDC_STATUS), L"");

    // Exit does close it, and the program ends with code 0.
    ASSERT_TRUE(dravik_.click(IDC_EXIT));
    DWORD exit_code = 1;
    ASSERT_TRUE(dravik_.wait_for_exit(5000, &exit_code));
    EXPECT_EQ(exit_code, 0u);
}
