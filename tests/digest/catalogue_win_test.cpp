// fill_algorithm_combo on a real drop-down list.
#include <gtest/gtest.h>

#include <windows.h>

#include "digest/catalogue_win.h"
#include "support/vectors.h"

namespace {

std::wstring item_text(HWND combo, int index)
{
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(CatalogueWin, ComboListsNoAlgorithmAndEveryNameAtTheirIds)
{
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 100, 300,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(combo, nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"left over"));
    fill_algorithm_combo(combo);
    fill_algorithm_combo(combo);

    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), algorithm_end);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(item_text(combo, 0), L"--------");
    EXPECT_EQ(item_text(combo, 3), L"SHA1");
    EXPECT_EQ(item_text(combo, algorithm_count), L"Whirlpool");
    for (int i = 0; i < algorithm_end; ++i)
        EXPECT_EQ(algorithm_id_from_name(item_text(combo, i).c_str()), i) << i;
    DestroyWindow(combo);
}

} // namespace
