#include "dialog_fixture_win.h"

#include <vector>

std::wstring window_text(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return text.data();
}

std::wstring item_text(HWND dialog, int id) { return window_text(GetDlgItem(dialog, id)); }

void set_item_text(HWND dialog, int id, const std::wstring& text)
{
    SetDlgItemTextW(dialog, id, text.c_str());
}

void pump_messages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int take_quit_message()
{
    MSG message;
    // WM_QUIT is not a queued message as such; PeekMessage hands it out once the queue allows.
    for (int i = 0; i < 100; ++i) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            return -1;
        if (message.message == WM_QUIT)
            return static_cast<int>(message.wParam);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return -1;
}

void MainDialogTest::SetUp()
{
    dialog_ = create_main_dialog(GetModuleHandleW(nullptr));
    ASSERT_NE(dialog_, nullptr) << GetLastError();
}

void MainDialogTest::TearDown()
{
    if (dialog_ != nullptr && IsWindow(dialog_))
        DestroyWindow(dialog_);
    take_quit_message();
}
