// Inputs a user can give the real window that are not an ordinary file or text: folders,
// device names, empty and blank paths, a file another program holds exclusively, paths longer
// than 260 characters, relative and quoted paths, texts with lone surrogates, more than 4095
// units or control characters. Each ends promptly with the status the window owes.
#include <gtest/gtest.h>

#include <vector>

#include "process_usage_win.h"
#include "reliability_window_win.h"
#include "support/vectors.h"
#include "ui/resource.h"

namespace {

const DWORD prompt_ms = 10000; // a refused input is reported well within this

// UTF-8 of the first 4095 units of text, up to the first unit that cannot be encoded (a lone
// surrogate), as the program digests its text field.
std::string field_utf8(const std::wstring& text)
{
    const size_t end = text.size() < 4095 ? text.size() : 4095;
    std::string out;
    for (size_t i = 0; i < end; ++i) {
        uint32_t c = text[i];
        if (c >= 0xDC00 && c <= 0xDFFF)
            break;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= end || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                break;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool write_file(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
}

class BadInputs : public ReliabilityTest {
protected:
    // Runs the input set up, expecting the status; the time it took goes to elapsed_ms.
    ::testing::AssertionResult run_expecting(const wchar_t* expected_status,
                                             DWORD* elapsed_ms = nullptr)
    {
        const DWORD begin = GetTickCount();
        ::testing::AssertionResult started = press_start();
        if (!started)
            return started;
        std::wstring status;
        if (!wait_for_end(&status, 120000))
            return ::testing::AssertionFailure() << "no end: " << utf8(status);
        if (elapsed_ms != nullptr)
            *elapsed_ms = GetTickCount() - begin;
        if (status != expected_status)
            return ::testing::AssertionFailure() << "status " << utf8(status);
        return ::testing::AssertionSuccess();
    }

    void expect_file_digests(const std::wstring& field, uint64_t pattern_length)
    {
        ASSERT_TRUE(use_file(field));
        ASSERT_TRUE(run_expecting(status_completed)) << utf8(field);
        EXPECT_EQ(results()[0], expected_pattern_digest(L"SHA256", pattern_length));
        EXPECT_EQ(results()[1], expected_pattern_digest(L"MD5", pattern_length));
    }

    void expect_text_digests(const std::wstring& text)
    {
        ASSERT_TRUE(use_text(text));
        const std::string bytes = field_utf8(dravik_.text(IDC_TEXT));
        ASSERT_TRUE(run_expecting(status_completed));
        EXPECT_EQ(results()[0], own_digest(L"SHA256", bytes)) << bytes.size() << " bytes";
        EXPECT_EQ(results()[1], own_digest(L"MD5", bytes)) << bytes.size() << " bytes";
    }
};

TEST_F(BadInputs, FoldersDevicesAndBlankPathsReportNoInputPromptly)
{
    ASSERT_TRUE(choose_rows({L"SHA256", L"MD5", no_algorithm, no_algorithm}));
    for (const std::wstring& field :
         {driver_folder(), std::wstring(L"C:\\"), std::wstring(L"CON"), std::wstring(L"NUL"),
          std::wstring(L"CONIN$"), std::wstring(L"\\\\.\\PhysicalDrive0"),
          std::wstring(L"\\\\.\\C:"), std::wstring(L""), std::wstring(L"     "),
          std::wstring(L"\"\""), std::wstring(L"\\\\.\\pipe\\dravik_none")}) {
        ASSERT_TRUE(use_file(field));
        DWORD elapsed = 0;
        EXPECT_TRUE(run_expecting(status_no_input, &elapsed)) << "[" << utf8(field) << "]";
        EXPECT_LT(elapsed, prompt_ms) << "[" << utf8(field) << "]";
        EXPECT_TRUE(results_empty());
    }
}

TEST_F(BadInputs, AFileHeldExclusivelyFailsPromptlyAndLeavesNothingOpen)
{
    ASSERT_TRUE(choose_rows({L"SHA256", L"MD5", no_algorithm, no_algorithm}));
    const std::wstring path = pattern_file(1000);
    expect_file_digests(path, 1000); // a first run makes what the program keeps for good
    const long handles_before = settled_usage(dravik_.process()).handles;
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(use_file(path));
    DWORD elapsed = 0;
    EXPECT_TRUE(run_expecting(status_no_input, &elapsed));
    EXPECT_LT(elapsed, prompt_ms);
    EXPECT_TRUE(results_empty());
    EXPECT_EQ(settled_usage(dravik_.process()).handles, handles_before);
    CloseHandle(held);
    expect_file_digests(path, 1000); // once released, the same file is read
}

TEST_F(BadInputs, LongRelativeAndQuotedPathsOpen)
{
    ASSERT_TRUE(choose_rows({L"SHA256", L"MD5", no_algorithm, no_algorithm}));
    // Folders nested through the extended form until the file's name has about 4000 characters.
    std::wstring folder = driver_folder() + L"deep";
    std::vector<std::wstring> folders;
    while (folder.size() < 3940) {
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << folder.size();
        folders.push_back(folder);
        folder += L"\\" + std::wstring(40, wchar_t(L'a' + folders.size() % 26));
    }
    const std::wstring deep = folders.back() + L"\\file 65536.bin";
    ASSERT_TRUE(write_file(L"\\\\?\\" + deep, pattern_message(65536)));
    ASSERT_GT(deep.size(), 3900u);
    expect_file_digests(deep, 65536);
    expect_file_digests(L"  \"" + deep + L"\" ", 65536);

    // Relative to the program's current folder, which it inherits from this one.
    const std::wstring relative = L"reliability input 1000.bin";
    ASSERT_TRUE(write_file(relative, pattern_message(1000)));
    expect_file_digests(relative, 1000);
    expect_file_digests(L"\t\".\\" + relative + L"\"\r\n", 1000);
    DeleteFileW(relative.c_str());

    DeleteFileW((L"\\\\?\\" + deep).c_str());
    for (auto f = folders.rbegin(); f != folders.rend(); ++f)
        RemoveDirectoryW((L"\\\\?\\" + *f).c_str());
}

TEST_F(BadInputs, TextsWithLoneSurrogatesLongTextsAndControlCharacters)
{
    ASSERT_TRUE(choose_rows({L"SHA256", L"MD5", no_algorithm, no_algorithm}));
    const std::wstring lone_high(1, wchar_t(0xD800)), lone_low(1, wchar_t(0xDC00));
    const std::wstring pair = L"\U0001F600";
    for (const std::wstring& text :
         {L"ab" + lone_high + L"cd", lone_low + L"abc", L"ab" + lone_low, L"x" + pair + lone_high,
          std::wstring(5000, L'x'), std::wstring(4094, L'a') + pair,
          std::wstring(4095, L'a') + lone_high,
          std::wstring(L"a\tb\u0001c\u001B\u007F d\u0085\u00A0\u3000 e\r\nf"),
          std::wstring(4000, L'\x1F') + L"\x0B\x0C"}) {
        SCOPED_TRACE(::testing::Message() << text.size() << " units");
        expect_text_digests(text);
    }
    // The field keeps the control characters the window was given: they are digested.
    ASSERT_TRUE(use_text(L"a\tb\u0001c"));
    EXPECT_EQ(dravik_.text(IDC_TEXT), L"a\tb\u0001c");
}

} // namespace
