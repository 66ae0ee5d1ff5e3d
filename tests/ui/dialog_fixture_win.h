// The real main dialog (template 101 linked into the test program) for the window tests,
// with helpers to read its controls and to run its message queue for a bounded time.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/main_dialog_win.h"

std::wstring window_text(HWND window);
std::wstring item_text(HWND dialog, int id);
void set_item_text(HWND dialog, int id, const std::wstring& text);

// Dispatches what is queued for this thread, for at most milliseconds (messages keep coming
// from timers, so it cannot wait for an empty queue). A WM_QUIT is counted, not dispatched.
void pump_messages(DWORD milliseconds);

// Removes a pending WM_QUIT; returns its code, or -1 when none was queued.
int take_quit_message();

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND dialog_ = nullptr;
};
