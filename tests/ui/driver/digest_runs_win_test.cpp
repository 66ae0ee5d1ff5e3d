// Dravik.exe end to end: the window after start-up, and whole runs of files and texts through
// its controls, checked against the known-answer vectors and our own digest code.
#include "driver_fixture_win.h"

#include <commctrl.h>

#include "ui/resource.h"

namespace {

struct FileRun {
    uint64_t length;
    std::array<std::wstring, 4> rows;
};

// Every algorithm once, four rows at a time, over lengths that meet the block and chunk
// borders differently: nothing, part of a block, 64 KiB, one and a half 2 MiB chunks, a
// million bytes, and exactly three chunks (the read after the last one delivers nothing). The
// last run leaves row 2 empty, so the digests must land in rows 1, 3 and 4.
const FileRun file_runs[] = {
    {0, {L"CRC32", L"MD5", L"SHA1", L"SHA224"}},
    {1000, {L"SHA256", L"SHA384", L"SHA512", L"SHA3_224"}},
    {65536, {L"SHA3_256", L"SHA3_384", L"SHA3_512", L"RIPEMD128"}},
    {3145728, {L"RIPEMD160", L"RIPEMD256", L"RIPEMD320", L"BLAKE224"}},
    {1000000, {L"BLAKE256", L"BLAKE384", L"BLAKE512", L"BLAKE2s_256"}},
    {6291456, {L"BLAKE2b_512", L"--------", L"SM3", L"Whirlpool"}},
};

} // namespace

TEST_F(DriverTest, StartsWithSha1InRowOneAndTheFileOptionChosen)
{
    EXPECT_EQ(dravik_.text(IDC_ROW1_COMBO), L"SHA1");
    for (int row = 1; row < 4; ++row)
        EXPECT_EQ(dravik_.text(combo_ids[row]), no_algorithm) << "row " << row + 1;
    for (int combo : combo_ids) {
        LRESULT entries = 0;
        ASSERT_TRUE(dravik_.send_to(combo, CB_GETCOUNT, 0, 0, &entries));
        EXPECT_EQ(entries, 24) << "\"--------\" and the 23 algorithms in list " << combo;
    }
    EXPECT_TRUE(dravik_.checked(IDC_FILE_OPTION));
    EXPECT_FALSE(dravik_.checked(IDC_TEXT_OPTION));
    EXPECT_EQ(dravik_.text(IDC_STATUS), L"");
    EXPECT_EQ(dravik_.text(IDC_START), start_caption);
    EXPECT_EQ(dravik_.text(IDC_EXIT), L"終了(&X)");
    EXPECT_EQ(dravik_.text(IDC_CHARACTER_COUNT), L"0");
    for (const std::wstring& result : results())
        EXPECT_EQ(result, L"");
    for (int id : input_ids)
        EXPECT_TRUE(dravik_.enabled(id)) << id;
    EXPECT_FALSE(dravik_.enabled(IDC_PROGRESS));
}

TEST_F(DriverTest, FileRunsGiveEveryAlgorithmsKnownDigest)
{
    for (const FileRun& file_run : file_runs) {
        SCOPED_TRACE("file of " + std::to_string(file_run.length) + " bytes");
        ASSERT_TRUE(use_file(pattern_file(file_run.length)));
        ASSERT_TRUE(choose_rows(file_run.rows));
        std::wstring status;
        ASSERT_TRUE(run(&status));
        EXPECT_EQ(status, status_completed);
        Rows shown = results();
        for (int row = 0; row < 4; ++row) {
            std::wstring expected;
            if (file_run.rows[row] != no_algorithm) {
                expected = expected_pattern_digest(file_run.rows[row], file_run.length);
                ASSERT_FALSE(expected.empty()) << "no vector for " << row + 1;
            }
            EXPECT_EQ(shown[row], expected) << utf8(file_run.rows[row]);
        }
        // Idle again: inputs usable, the bar switched off at 0.
        for (int id : input_ids)
            EXPECT_TRUE(dravik_.enabled(id)) << id;
        EXPECT_TRUE(wait_until([&] { return !dravik_.enabled(IDC_PROGRESS); }, 5000));
        LRESULT position = -1;
        EXPECT_TRUE(dravik_.send_to(IDC_PROGRESS, PBM_GETPOS, 0, 0, &position));
        EXPECT_EQ(position, 0);
    }
}

TEST_F(DriverTest, TextRunsDigestTheUtf8BytesOfTheTypedText)
{
    // Typed key by key, as a user does.
    ASSERT_TRUE(dravik_.click(IDC_TEXT_OPTION));
    ASSERT_TRUE(dravik_.type(IDC_TEXT, L"abc", 5000));
    ASSERT_TRUE(choose_rows({L"SHA1", L"SHA256", L"MD5", L"SHA3_256"}));
    std::wstring status;
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, status_completed);
    Rows shown = results();
    EXPECT_EQ(shown[0], L"A9993E364706816ABA3E25717850C26C9CD0D89D"); // FIPS 180-4's example
    EXPECT_EQ(shown[1], L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(shown[2], L"900150983CD24FB0D6963F7D28E17F72"); // RFC 1321's example
    EXPECT_EQ(shown[3], own_digest(L"SHA3_256", "abc"));

    // Japanese with a character outside the basic plane, pasted in one piece.
    const std::wstring japanese = L"ダイジェスト計算の試験：日本語テキスト\U00020BB7";
    ASSERT_TRUE(use_text(japanese));
    ASSERT_TRUE(choose_rows({L"SHA256", L"SM3", L"BLAKE2b_512", L"CRC32"}));
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, status_completed);
    shown = results();
    std::string bytes = utf8(japanese);
    ASSERT_EQ(bytes.size(), 19u * 3 + 4); // 19 three-byte characters and one four-byte one
    // Python's hashlib over the same UTF-8 bytes.
    EXPECT_EQ(shown[0], L"42385F75C6AA24A3D927846D79EB5BA6AC62C53B8AE8F9D8D93DD8CECFE2333F");
    EXPECT_EQ(shown[0], own_digest(L"SHA256", bytes));
    EXPECT_EQ(shown[1], own_digest(L"SM3", bytes));
    EXPECT_EQ(shown[2], own_digest(L"BLAKE2b_512", bytes));
    EXPECT_EQ(shown[3], own_digest(L"CRC32", bytes));

    // An empty text digests zero bytes.
    ASSERT_TRUE(use_text(L""));
    ASSERT_TRUE(choose_rows({L"SHA1", L"--------", L"MD5", L"SHA3_512"}));
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, status_completed);
    shown = results();
    EXPECT_EQ(shown[0], expected_pattern_digest(L"SHA1", 0));
    EXPECT_EQ(shown[1], L"");
    EXPECT_EQ(shown[2], expected_pattern_digest(L"MD5", 0));
    EXPECT_EQ(shown[3], expected_pattern_digest(L"SHA3_512", 0));
}

TEST_F(DriverTest, CounterShowsTheTextsUtf16Units)
{
    ASSERT_TRUE(dravik_.type(IDC_TEXT, L"abc", 5000));
    EXPECT_EQ(dravik_.text(IDC_CHARACTER_COUNT), L"3");
    // Two kanji and one character outside the basic plane, which takes two units.
    ASSERT_TRUE(dravik_.type(IDC_TEXT, L"日本\U00020BB7", 5000));
    EXPECT_EQ(dravik_.text(IDC_CHARACTER_COUNT), L"7");
    ASSERT_TRUE(dravik_.set_text(IDC_TEXT, std::wstring(5000, L'x')));
    EXPECT_EQ(dravik_.text(IDC_CHARACTER_COUNT), L"4095");
    ASSERT_TRUE(dravik_.set_text(IDC_TEXT, L""));
    EXPECT_EQ(dravik_.text(IDC_CHARACTER_COUNT), L"0");
}
