#include "reliability_window_win.h"

#include "ui/resource.h"

const wchar_t* const status_failed = L"エラー: ダイジェスト取得処理に失敗しました。";

bool final_status(const std::wstring& status)
{
    return !status.empty() && status.compare(0, 3, L"計算中") != 0 && status != L"<no answer>";
}

bool ReliabilityTest::wait_for_end(std::wstring* status, DWORD timeout_ms)
{
    const DWORD begin = GetTickCount();
    for (;;) {
        *status = dravik_.text(IDC_STATUS);
        if (final_status(*status) && idle())
            break;
        if (GetTickCount() - begin >= timeout_ms)
            return false;
        Sleep(5);
    }
    if (!handle_posted(timeout_ms))
        return false;
    *status = dravik_.text(IDC_STATUS);
    return final_status(*status) && idle();
}

bool ReliabilityTest::handle_posted(DWORD timeout_ms)
{
    const wchar_t* const marker = L"<posted messages pending>";
    if (!dravik_.set_text(IDC_ROW4_VERIFY, marker) ||
        !PostMessageW(dravik_.item(IDC_ROW4_DOWN), BM_CLICK, 0, 0))
        return false;
    return wait_until([&] { return dravik_.text(IDC_ROW4_VERIFY) != marker; }, timeout_ms);
}

::testing::AssertionResult ReliabilityTest::press_start()
{
    if (!dravik_.set_text(IDC_STATUS, L"") || !dravik_.click(IDC_START))
        return ::testing::AssertionFailure() << "Start could not be pressed";
    return ::testing::AssertionSuccess();
}

bool ReliabilityTest::results_empty() const
{
    for (const std::wstring& result : results())
        if (!result.empty())
            return false;
    return true;
}
