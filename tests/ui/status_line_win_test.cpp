// The status line: "title: text", the message table and the progress text with its units.
#include "dialog_fixture_win.h"
#include "engine/job_protocol.h"
#include "ui/resource.h"
#include "ui/status_line_win.h"

namespace {

std::wstring progress_text(uint64_t done, uint64_t total)
{
    wchar_t text[status_text_size] = {};
    format_progress_text(text, done, total);
    return text;
}

TEST(ResultMessage, EveryCodeHasItsText)
{
    const wchar_t* const expected[16] = {
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
    for (int32_t code = 0; code < 16; ++code) {
        ASSERT_NE(result_message(code), nullptr) << code;
        EXPECT_STREQ(result_message(code), expected[code]) << code;
    }
    EXPECT_EQ(result_message(-1), nullptr);
    EXPECT_EQ(result_message(16), nullptr);
    EXPECT_EQ(result_message(0x7FFFFFFF), nullptr);
}

TEST(ResultMessage, NamesIndexTheTable)
{
    EXPECT_STREQ(result_message(static_cast<int32_t>(ResultCode::NoAlgorithm)),
                 L"ハッシュ方式が一つも選択されていません。");
    EXPECT_STREQ(result_message(static_cast<int32_t>(ResultCode::NoInputData)),
                 L"ハッシュ取得データを確認できません。");
    EXPECT_STREQ(result_message(static_cast<int32_t>(ResultCode::WorkAreaFailed)),
                 L"ハッシュ計算領域を初期化できません。");
    EXPECT_STREQ(result_message(static_cast<int32_t>(ResultCode::Match)),
                 L"ダイジェスト文字列は一致しています。");
}

TEST(ProgressText, UnitsChangeAtTheirThresholds)
{
    EXPECT_EQ(progress_text(0, 1000), L"計算中... 0.00% (0bytes)");
    EXPECT_EQ(progress_text(1023, 2048), L"計算中... 49.95% (1023bytes)");
    EXPECT_EQ(progress_text(1024, 4096), L"計算中... 25.00% (1kB)");
    EXPECT_EQ(progress_text(1536, 3072), L"計算中... 50.00% (1.5kB)");
    EXPECT_EQ(progress_text(1048575, 1048576), L"計算中... 100.00% (1024kB)");
    EXPECT_EQ(progress_text(1048576, 1048576 * 4), L"計算中... 25.00% (1MB)");
    EXPECT_EQ(progress_text(2097152, 6291456), L"計算中... 33.33% (2MB)");
    EXPECT_EQ(progress_text(0, 0), L"計算中... 0.00% (0bytes)");
}

TEST_F(MainDialogTest, StatusJoinsTitleAndText)
{
    show_status(dialog_, status_information, result_message(7));
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"情報: ダイジェスト取得処理が完了しました。");
    show_status(dialog_, status_warning, result_message(10));
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"警告: 検証対象のダイジェストがありません。");
    show_status(dialog_, status_error, result_message(8));
    EXPECT_EQ(item_text(dialog_, IDC_STATUS),
              L"エラー: クリップボードへのダイジェスト文字列のコピーに失敗しました。");
}

TEST_F(MainDialogTest, OverlongStatusIsCutNotOverrun)
{
    std::wstring text(400, L'字');
    show_status(dialog_, status_error, text.c_str());
    std::wstring shown = item_text(dialog_, IDC_STATUS);
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.substr(0, 5), L"エラー: ");
}

TEST_F(MainDialogTest, RunFailureShowsTheCodesText)
{
    show_run_failure(dialog_, 13);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"エラー: ハッシュ方式が一つも選択されていません。");
    show_run_failure(dialog_, 0);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"エラー: ダイジェスト取得処理に失敗しました。");
    show_run_failure(dialog_, 16);
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"エラー: ダイジェスト取得処理に失敗しました。")
        << "a code without a text leaves the line as it was";
    show_run_failure(dialog_, static_cast<uintptr_t>(-1));
    EXPECT_EQ(item_text(dialog_, IDC_STATUS), L"エラー: ダイジェスト取得処理に失敗しました。");
}

} // namespace
