// Shared by the reliability tests that work Dravik.exe from outside: the end-to-end driver's
// fixture (tests/ui/driver) with a few more helpers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "driver_fixture_win.h"

// "エラー: ダイジェスト取得処理に失敗しました。", the status of a run whose input failed.
extern const wchar_t* const status_failed;

// A status that ends a run: set, and not a progress text.
bool final_status(const std::wstring& status);

class ReliabilityTest : public DriverTest {
protected:
    // Waits (polling every 5 ms) until the window is idle with a final status, then until the
    // notifications still queued behind it have been handled (an abort that met a run that had
    // just completed shows the abort, then the completion); status receives the final text.
    // False after timeout_ms.
    bool wait_for_end(std::wstring* status, DWORD timeout_ms);
    // Returns once every message posted to the window before the call has been handled: a
    // posted "↓" of row 4 comes after them, and its effect shows. Changes row 4's verify field.
    bool handle_posted(DWORD timeout_ms);
    // Presses Start on an idle window with an empty status line.
    ::testing::AssertionResult press_start();
    // Every row's result is empty.
    bool results_empty() const;
};
