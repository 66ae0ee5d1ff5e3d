#include "ui/status_line_win.h"

#include <cstdarg>
#include <cwchar>

#include "engine/job_protocol.h"
#include "ui/resource.h"
#include "ui/taskbar_progress_win.h"

const wchar_t* const status_information = L"情報";
const wchar_t* const status_warning = L"警告";
const wchar_t* const status_error = L"エラー";

namespace {

const wchar_t* const message_table[result_code_count] = {
    L"",
    L"",
    L"終了します。よろしいですか？",
    L"計算中... %4.2f%% (%g%s)",
    L"計算中... %4.2f%% ([%s]:%g%s)",
    L"ダイジェスト取得処理を中止しました。",
    L"ダイジェスト取得処理に失敗しました。",
    L"ダイジェスト取得処理が完了しました。",
    L"クリップボードへのダイジェスト文字列のコピーに失敗しました。",
    L"クリップボードへのダイジェスト文字列のコピーを行いました。",
    L"検証対象のダイジェストがありません。",
    L"ダイジェスト文字列が一致しません。",
    L"ダイジェスト文字列は一致しています。",
    L"ハッシュ方式が一つも選択されていません。",
    L"ハッシュ取得データを確認できません。",
    L"ハッシュ計算領域を初期化できません。",
};

// The C runtime's own wide formatting, where %s takes a wide string; the output is always
// terminated, and cut when it would not fit.
void format_line(wchar_t (&out)[status_text_size], const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    _vsnwprintf(out, status_text_size - 1, format, args);
    va_end(args);
    out[status_text_size - 1] = L'\0';
}

} // namespace

void show_status(HWND dialog, const wchar_t* title, const wchar_t* text)
{
    wchar_t line[status_text_size] = {};
    format_line(line, L"%s: %s", title, text);
    SetDlgItemTextW(dialog, IDC_STATUS, line);
}

const wchar_t* result_message(int32_t code)
{
    if (code < 0 || code >= result_code_count)
        return nullptr;
    return message_table[code];
}

void show_run_failure(HWND dialog, uintptr_t code)
{
    if (code == 0)
        code = static_cast<uintptr_t>(ResultCode::Failed);
    const wchar_t* text =
        code < result_code_count ? result_message(static_cast<int32_t>(code)) : nullptr;
    if (text != nullptr)
        show_status(dialog, status_error, text);
}

void format_progress_text(wchar_t (&out)[status_text_size], uint64_t done, uint64_t total)
{
    double percent =
        total == 0 ? 0.0 : static_cast<double>(done) / static_cast<double>(total) * 100.0;
    double value = static_cast<double>(done);
    const wchar_t* unit = L"bytes";
    if (done >= 1048576) {
        value = value / 1024 / 1024;
        unit = L"MB";
    } else if (done >= 1024) {
        value = value / 1024;
        unit = L"kB";
    }
    format_line(out, result_message(static_cast<int32_t>(ResultCode::ProgressText)), percent, value,
                unit);
}

namespace {

void show_progress_text(HWND dialog, const TaskbarProgress& progress)
{
    wchar_t line[status_text_size] = {};
    format_progress_text(line, progress.done(), progress.total());
    SetDlgItemTextW(dialog, IDC_STATUS, line);
}

} // namespace

void show_progress_step(HWND dialog, TaskbarProgress& progress, uint64_t bytes)
{
    if (progress.step(bytes))
        show_progress_text(dialog, progress);
}

void show_pending_progress(HWND dialog, TaskbarProgress& progress)
{
    if (progress.redraw())
        show_progress_text(dialog, progress);
}
