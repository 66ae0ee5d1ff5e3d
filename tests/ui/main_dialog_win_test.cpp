// The main dialog from the real template 101: its controls, its start-up state, the running
// state, and how it closes.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cwctype>
#include <string>
#include <vector>

#include "dialog_fixture_win.h"
#include "dialog_template_win.h"
#include "engine/job_protocol.h"
#include "ui/main_window_win.h"
#include "ui/resource.h"

namespace {

enum Kind { GroupBox, OptionButton, PushButton, EditField, StaticText, ComboList, ProgressBar };

struct ExpectedControl {
    int id;
    Kind kind;
    const wchar_t* text;
    int x, y, width, height;
    uint32_t type;     // the kind's type bits (button type, static alignment, combo type)
    uint32_t required; // further style bits that must be set
    uint32_t excluded; // style bits that must not be set
};

const uint32_t field = WS_BORDER | WS_TABSTOP;

// The template's controls in tab order; rows 2 to 4 are built from row 1.
std::vector<ExpectedControl> expected_controls()
{
    std::vector<ExpectedControl> controls = {
        {-1, GroupBox, L"検証データ", 5, 5, 430, 50, BS_GROUPBOX, 0, 0},
        {1001, OptionButton, L"ファイルデータ", 15, 15, 60, 14, BS_AUTORADIOBUTTON, 0, 0},
        {1003, EditField, L"", 85, 16, 300, 14, 0, field | ES_AUTOHSCROLL, ES_MULTILINE},
        {1005, PushButton, L"参照(&R)", 400, 15, 30, 15, BS_PUSHBUTTON, 0, 0},
        {1002, OptionButton, L"テキスト文字列", 15, 35, 60, 14, BS_AUTORADIOBUTTON, 0, 0},
        {1004, EditField, L"", 85, 36, 300, 14, 0, field | ES_AUTOHSCROLL, ES_MULTILINE},
        {1006, StaticText, L"0", 395, 39, 20, 11, SS_RIGHT, 0, 0},
        {-1, StaticText, L"文字", 415, 39, 15, 11, SS_LEFT, 0, 0},
        {-1, GroupBox, L"ハッシュ方式", 5, 60, 430, 270, BS_GROUPBOX, 0, 0},
    };
    for (int row = 0; row < slot_count; ++row) {
        const HashSlot& slot = SlotControls[row];
        int d = 65 * row;
        controls.push_back({slot.combo, ComboList, L"", 10, 93 + d, 60, 15, CBS_DROPDOWNLIST,
                            WS_VSCROLL, CBS_SORT});
        controls.push_back({slot.result, EditField, L"", 75, 70 + d, 320, 24, 0,
                            WS_BORDER | ES_MULTILINE | ES_READONLY, 0});
        controls.push_back(
            {slot.down_button, PushButton, L"↓", 230, 94 + d, 30, 12, BS_PUSHBUTTON, 0, 0});
        controls.push_back({slot.verify, EditField, L"", 75, 107 + d, 320, 24, 0,
                            WS_BORDER | ES_MULTILINE, ES_READONLY});
        controls.push_back(
            {slot.copy_button, PushButton, L"コピー", 400, 74 + d, 30, 16, BS_PUSHBUTTON, 0, 0});
        controls.push_back(
            {slot.verify_button, PushButton, L"検証", 400, 110 + d, 30, 16, BS_PUSHBUTTON, 0, 0});
    }
    controls.push_back({1082, StaticText, L"", 5, 340, 430, 12, SS_LEFT, 0, 0});
    controls.push_back(
        {1081, ProgressBar, L"", 5, 355, 430, 15, 0, PBS_SMOOTH | WS_BORDER | WS_DISABLED, 0});
    controls.push_back({1088, PushButton, L"開始(&S)", 215, 375, 100, 20, BS_PUSHBUTTON, 0, 0});
    controls.push_back({1089, PushButton, L"終了(&X)", 335, 375, 100, 20, BS_PUSHBUTTON, 0, 0});
    return controls;
}

const wchar_t* class_of(Kind kind)
{
    switch (kind) {
    case EditField:
        return L"edit";
    case StaticText:
        return L"static";
    case ComboList:
        return L"combobox";
    case ProgressBar:
        return L"msctls_progress32";
    default:
        return L"button";
    }
}

uint32_t type_mask(Kind kind)
{
    switch (kind) {
    case StaticText:
        return SS_TYPEMASK;
    case ComboList:
        return 3;
    case EditField:
    case ProgressBar:
        return 0;
    default:
        return BS_TYPEMASK;
    }
}

std::wstring lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring lower_class_name(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lower(name);
}

RECT rect_in_dialog(HWND dialog, HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool accepts_files(HWND dialog)
{
    return (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
}

bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

TEST(DialogTemplate, WindowIsTheFixedDravikDialog)
{
    DialogTemplate dialog;
    ASSERT_TRUE(read_dialog_template(IDD_MAIN, dialog));
    EXPECT_EQ(dialog.caption, L"Dravik");
    EXPECT_EQ(dialog.width, 440);
    EXPECT_EQ(dialog.height, 400);
    EXPECT_EQ(dialog.point_size, 10);
    EXPECT_EQ(dialog.typeface, L"ＭＳ Ｐゴシック");
    const uint32_t wanted =
        DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(dialog.style & wanted, wanted);
    EXPECT_EQ(dialog.style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "the size is fixed";
}

TEST(DialogTemplate, ControlsAsTheLayoutGivesThem)
{
    DialogTemplate dialog;
    ASSERT_TRUE(read_dialog_template(IDD_MAIN, dialog));
    std::vector<ExpectedControl> expected = expected_controls();
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ExpectedControl& want = expected[i];
        const TemplateItem& got = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << want.id);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(lower(got.class_name), class_of(want.kind));
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_EQ(got.style & (WS_CHILD | WS_VISIBLE),
                  static_cast<uint32_t>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(got.style & type_mask(want.kind), want.type);
        EXPECT_EQ(got.style & want.required, want.required);
        EXPECT_EQ(got.style & want.excluded, 0u);
    }
}

// The program's window thread, as the entry point runs it, on a thread of the test's own;
// the apartment is asked on that thread, through a subclass of the dialog.
const UINT ask_apartment = WM_APP + 0x77;
WNDPROC dialog_procedure = nullptr;
LRESULT CALLBACK apartment_asking_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != ask_apartment)
        return CallWindowProcW(dialog_procedure, window, message, wparam, lparam);
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    return CoGetApartmentType(&type, &qualifier) == S_OK ? type : -1;
}

DWORD WINAPI window_thread(void*)
{
    return static_cast<DWORD>(run_main_window(GetModuleHandleW(nullptr), L"Dravik.exe"));
}

BOOL CALLBACK take_dialog(HWND window, LPARAM found)
{
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (std::wstring(class_name) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

TEST(MainWindow, ItsThreadIsASingleThreadedApartment)
{
    // The shell's objects behind the open-file dialog cannot be made in a multithreaded one.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, window_thread, nullptr, 0, &id);
    ASSERT_NE(thread, nullptr);
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && dialog == nullptr; ++i) {
        Sleep(20);
        EnumThreadWindows(id, take_dialog, reinterpret_cast<LPARAM>(&dialog));
    }
    ASSERT_NE(dialog, nullptr) << "no main dialog";
    // The dialog exists before COM is set up: wait until the display is attached after it.
    for (int i = 0; i < 500 && taskbar_progress(dialog) == nullptr; ++i)
        Sleep(20);
    dialog_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(apartment_asking_proc)));
    DWORD_PTR type = 0;
    EXPECT_NE(SendMessageTimeoutW(dialog, ask_apartment, 0, 0, SMTO_BLOCK, 10000, &type), 0);
    EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << "apartment type " << type;
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(ProgramResources, IconAndManifest)
{
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APPLICATION_ICON)),
              nullptr);
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no application manifest";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                         SizeofResource(nullptr, found));
    for (const char* needle :
         {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true</longPathAware>",
          "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

TEST_F(MainDialogTest, ControlsSitWhereTheTemplatePutsThem)
{
    std::vector<ExpectedControl> expected = expected_controls();
    HWND control = GetWindow(dialog_, GW_CHILD);
    for (const ExpectedControl& item : expected) {
        ASSERT_NE(control, nullptr) << "missing control " << item.id;
        EXPECT_EQ(GetDlgCtrlID(control) & 0xFFFF, item.id & 0xFFFF) << item.id;
        EXPECT_EQ(lower_class_name(control), class_of(item.kind)) << item.id;
        if (item.kind != EditField && item.kind != ComboList) {
            EXPECT_EQ(window_text(control), item.text) << item.id;
        }
        // The dialog manager converts position and size separately, each rounded on its own.
        RECT want = {item.x, item.y, item.width, item.height};
        MapDialogRect(dialog_, &want);
        want.right += want.left;
        want.bottom += want.top;
        RECT got = rect_in_dialog(dialog_, control);
        EXPECT_EQ(got.left, want.left) << item.id;
        EXPECT_EQ(got.top, want.top) << item.id;
        EXPECT_EQ(got.right, want.right) << item.id;
        // A drop-down list's own height is that of its box, whatever the template says.
        if (item.kind != ComboList) {
            EXPECT_EQ(got.bottom, want.bottom) << item.id;
        }
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, nullptr) << "more controls than the template lists";
}

TEST_F(MainDialogTest, WindowHasItsCaptionFontAndSize)
{
    EXPECT_EQ(window_text(dialog_), L"Dravik");
    RECT client = {};
    GetClientRect(dialog_, &client);
    RECT want = {0, 0, 440, 400};
    MapDialogRect(dialog_, &want);
    EXPECT_EQ(client.right, want.right);
    EXPECT_EQ(client.bottom, want.bottom);
    EXPECT_EQ(GetWindowLongW(dialog_, GWL_STYLE) & WS_THICKFRAME, 0);

    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック");
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);
    EXPECT_FALSE(enabled(dialog_, IDC_PROGRESS)) << "the bar starts disabled";
    EXPECT_NE(SendMessageW(dialog_, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(dialog_, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(MainDialogTest, StartUpState)
{
    for (int row = 0; row < slot_count; ++row) {
        const HashSlot& slot = SlotControls[row];
        EXPECT_EQ(SendDlgItemMessageW(dialog_, slot.combo, CB_GETCOUNT, 0, 0), 24) << row;
        EXPECT_EQ(item_text(dialog_, slot.combo), row == 0 ? L"SHA1" : L"--------") << row;
        EXPECT_EQ(SendDlgItemMessageW(dialog_, slot.combo, CB_GETCURSEL, 0, 0), row == 0 ? 3 : 0);
        EXPECT_EQ(item_text(dialog_, slot.result), L"");
        EXPECT_EQ(item_text(dialog_, slot.verify), L"");
        // The combo box's full height, its list included, is 100 pixels. Windows reports the
        // dropped rectangle from the box's top; Wine reports it without the box's height.
        RECT box = {};
        RECT list = {};
        GetWindowRect(GetDlgItem(dialog_, slot.combo), &box);
        SendDlgItemMessageW(dialog_, slot.combo, CB_GETDROPPEDCONTROLRECT, 0,
                            reinterpret_cast<LPARAM>(&list));
        int dropped = list.bottom - list.top;
        EXPECT_TRUE(dropped == 100 || dropped + (box.bottom - box.top) == 100)
            << "drop-down list height of row " << row + 1 << ": " << dropped;
    }
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 1001), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 1002), BST_UNCHECKED);
    EXPECT_EQ(item_text(dialog_, 1082), L"");
    EXPECT_EQ(item_text(dialog_, 1006), L"0");
    EXPECT_EQ(item_text(dialog_, 1088), L"開始(&S)");
    EXPECT_TRUE(accepts_files(dialog_));
    ASSERT_NE(main_dialog(dialog_), nullptr);
    EXPECT_EQ(main_dialog(dialog_)->current_job, nullptr);
    EXPECT_EQ(main_dialog(GetDlgItem(dialog_, 1088)), nullptr) << "a control is no dialog";
}

TEST_F(MainDialogTest, RunningStateDisablesOnlyTheInputs)
{
    const int inputs[] = {1001, 1002, 1003, 1004, 1005, 1011, 1021, 1031, 1041};
    const int always[] = {1012, 1013, 1014, 1015, 1016, 1042, 1043, 1044, 1045, 1046, 1089};

    set_running_state(dialog_, false);
    for (int id : inputs)
        EXPECT_FALSE(enabled(dialog_, id)) << id;
    for (int id : always)
        EXPECT_TRUE(enabled(dialog_, id)) << id;
    EXPECT_TRUE(enabled(dialog_, 1088));
    EXPECT_EQ(item_text(dialog_, 1088), L"中断(&A)");
    EXPECT_FALSE(accepts_files(dialog_));

    set_running_state(dialog_, true);
    for (int id : inputs)
        EXPECT_TRUE(enabled(dialog_, id)) << id;
    EXPECT_EQ(item_text(dialog_, 1088), L"開始(&S)");
    EXPECT_TRUE(accepts_files(dialog_));
}

TEST_F(MainDialogTest, EnterAndEscapeLeaveItOpen)
{
    SendMessageW(dialog_, WM_COMMAND, IDOK, 0);
    SendMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        MSG press = {GetDlgItem(dialog_, 1003), WM_KEYDOWN, key, 0, 0, {0, 0}};
        IsDialogMessageW(dialog_, &press);
        MSG release = {GetDlgItem(dialog_, 1003), WM_KEYUP, key, 0, 0, {0, 0}};
        IsDialogMessageW(dialog_, &release);
    }
    pump_messages(100);
    EXPECT_TRUE(IsWindow(dialog_));
    EXPECT_EQ(take_quit_message(), -1);
}

TEST_F(MainDialogTest, CloseDestroysAtOnceAndQuitsWithZero)
{
    SendMessageW(dialog_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_EQ(take_quit_message(), 0);
}

TEST_F(MainDialogTest, ExitButtonDestroys)
{
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(1089, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_EQ(take_quit_message(), 0);
}

} // namespace
