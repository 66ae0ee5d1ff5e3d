// One run through the real Dravik.exe window, for a machine without a screen (tools/run.sh):
// types a text, picks four algorithms, presses Start, prints the digests the window shows and
// keeps the window open until the caller has taken its screenshot.
//
// Usage: dravik_demo PROGRAM.exe [RELEASE_FILE]
//   Prints "demo: ready" once the digests are shown; then, given RELEASE_FILE, waits (at most
//   60 s) until that file exists before closing the window. Exit code 0 when the run completed.
#include <windows.h>

#include <string>

#include "remote_dialog_win.h"
#include "ui/resource.h"

namespace {

const wchar_t* const demo_text = L"abc";
const wchar_t* const demo_rows[4] = {L"MD5", L"SHA1", L"SHA256", L"SHA3_256"};
const int combo_ids[4] = {IDC_ROW1_COMBO, IDC_ROW2_COMBO, IDC_ROW3_COMBO, IDC_ROW4_COMBO};
const int result_ids[4] = {IDC_ROW1_RESULT, IDC_ROW2_RESULT, IDC_ROW3_RESULT, IDC_ROW4_RESULT};
const wchar_t* const start_caption = L"開始(&S)";

void print(const std::wstring& line)
{
    std::string bytes = utf8(line + L"\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

bool fail(const std::wstring& why)
{
    print(L"demo: " + why);
    return false;
}

// Sets the inputs as a user would, presses Start and waits for the end of the run.
bool drive_one_run(const RemoteDialog& dravik)
{
    if (!dravik.click(IDC_TEXT_OPTION) || !dravik.type(IDC_TEXT, demo_text, 5000))
        return fail(L"the text could not be typed");
    for (int row = 0; row < 4; ++row)
        if (!dravik.choose(combo_ids[row], demo_rows[row]))
            return fail(L"no entry " + std::wstring(demo_rows[row]));
    if (!dravik.set_text(IDC_STATUS, L"") || !dravik.click(IDC_START))
        return fail(L"Start could not be pressed");
    bool ended = wait_until(
        [&] {
            std::wstring status = dravik.text(IDC_STATUS);
            return dravik.text(IDC_START) == start_caption && !status.empty() &&
                   status.compare(0, 3, L"計算中") != 0;
        },
        60000);
    if (!ended)
        return fail(L"the run did not end within 60 s");
    print(L"text:   \"" + std::wstring(demo_text) + L"\" (" + dravik.text(IDC_CHARACTER_COUNT) +
          L" 文字)");
    for (int row = 0; row < 4; ++row)
        print(L"row " + std::to_wstring(row + 1) + L":  " + dravik.text(combo_ids[row]) + L" " +
              dravik.text(result_ids[row]));
    print(L"status: " + dravik.text(IDC_STATUS));
    return dravik.text(IDC_STATUS) == L"情報: ダイジェスト取得処理が完了しました。";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        print(L"usage: dravik_demo PROGRAM.exe [RELEASE_FILE]");
        return 2;
    }
    RemoteDialog dravik;
    if (!dravik.launch(windows_path(argv[1]), 30000)) {
        print(L"demo: " + dravik.error());
        return 1;
    }
    bool completed = drive_one_run(dravik);
    print(L"demo: ready");
    if (argc > 2) {
        std::wstring release = windows_path(argv[2]);
        wait_until([&] { return GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   60000);
    }
    PostMessageW(dravik.window(), WM_CLOSE, 0, 0);
    if (!dravik.wait_for_exit(5000))
        completed = fail(L"Dravik.exe still ran 5 s after WM_CLOSE");
    return completed ? 0 : 1;
}
