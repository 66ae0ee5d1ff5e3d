// The dialog at 144 and 192 DPI, as the program's manifest has it (per-monitor v2 awareness):
// every control inside the dialog and no caption or text cut off (its text's extent in the
// control's font against the control's size). Runs in the Wine prefixes that CTest's entries
// ui_dpi_144 and ui_dpi_192 make with that DPI (DRAVIK_WINE_DPI); elsewhere it is skipped. Their
// script (dpi_layout.sh) saves a screenshot of the dialog in the build folder's screenshots/.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_fixture_win.h"

namespace {

// The manifest's awareness, for this test program, which has no manifest of its own: per
// monitor v2 (systems without it take system awareness, which is not what is tested here);
// true also when the process is per-monitor aware already (Wine makes every process so).
bool become_per_monitor_aware()
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    auto context = reinterpret_cast<HANDLE(WINAPI*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(reinterpret_cast<void (*)()>(
        GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (set == nullptr || context == nullptr || awareness == nullptr)
        return false;
    if (set(reinterpret_cast<HANDLE>(-4)))
        return true;
    return awareness(context()) == 2; // DPI_AWARENESS_PER_MONITOR_AWARE
}

std::wstring class_of(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Width and height of text drawn on one line in the control's font.
SIZE text_extent(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT box = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {box.right - box.left, box.bottom - box.top};
}

// Room for text in a control of this class and style: a radio button's circle and gap, a
// push button's edges.
int text_room(HWND control, const RECT& box)
{
    const int width = box.right - box.left;
    const LONG style = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (class_of(control) != L"Button")
        return width;
    if (style == BS_AUTORADIOBUTTON || style == BS_RADIOBUTTON)
        return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    if (style == BS_GROUPBOX)
        return width - 16;
    return width - 4;
}

// A callback of the system's (CALLBACK: stdcall on 32-bit x86, which a lambda cannot be).
BOOL CALLBACK collect_child(HWND child, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

TEST(Dpi, EveryControlInsideTheDialogAndNoTextCutOff)
{
    const char* wanted = std::getenv("DRAVIK_WINE_DPI");
    if (wanted == nullptr)
        GTEST_SKIP() << "runs in the prefixes with 144 and 192 DPI (ui_dpi_144, ui_dpi_192)";
    const int dpi = std::atoi(wanted);
    ASSERT_TRUE(become_per_monitor_aware());
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), dpi) << "the prefix's DPI did not take";
    ReleaseDC(nullptr, screen);

    HWND dialog = create_main_dialog(GetModuleHandleW(nullptr));
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOWNORMAL);
    pump_messages(200);
    RECT client;
    GetClientRect(dialog, &client);
    // At 96 DPI the dialog is 440 x 400 units of its 10-point font; it grows with the DPI.
    EXPECT_GT(client.right, 440 * dpi / 96) << "the dialog did not grow with the DPI";

    std::vector<HWND> children;
    EnumChildWindows(dialog, collect_child, reinterpret_cast<LPARAM>(&children));
    ASSERT_GT(children.size(), 30u);
    for (HWND child : children) {
        RECT box;
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
        const std::wstring text = window_text(child);
        const std::string what = std::to_string(GetDlgCtrlID(child));
        EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= client.right &&
                    box.bottom <= client.bottom)
            << "control " << what << " lies outside the dialog";
        const std::wstring kind = class_of(child);
        if (text.empty() || (kind != L"Button" && kind != L"Static"))
            continue;
        const SIZE extent = text_extent(child, text);
        EXPECT_LE(extent.cx, text_room(child, box)) << "control " << what << ": text cut off";
        EXPECT_LE(extent.cy, box.bottom - box.top) << "control " << what << ": text too tall";
    }
    // Shown for a while in the screen's corner, for dpi_layout.sh's screenshot.
    if (const char* show = std::getenv("DRAVIK_DPI_SHOW_MS")) {
        SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        pump_messages(500);
        std::printf("dpi: shown\n");
        std::fflush(stdout);
        pump_messages(static_cast<DWORD>(std::atoi(show)));
    }
    DestroyWindow(dialog);
    pump_messages(100);
    take_quit_message();
}

} // namespace
