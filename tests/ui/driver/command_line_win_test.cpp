// Dravik.exe started with a path on its command line, as Explorer starts it for a file dropped
// on its icon, "Open with" or Send To: the path only fills the path field (made absolute,
// whatever its length or characters), the rest of the window starts as always, nothing runs
// by itself, and Start digests the file exactly as for a path typed by hand.
#include "driver_fixture_win.h"

#include "support/vectors.h"
#include "ui/resource.h"

namespace {

struct CommandLineCase {
    const char* name;
    // The command line's arguments and the path the field must then hold, for a test folder
    // (ending in a backslash) whose files exist.
    std::wstring (*arguments)(const std::wstring& folder);
    std::wstring (*expected_field)(const std::wstring& folder);
    bool relative;               // started in the test folder
    const wchar_t* status_after; // Start's status, or null when Start is not pressed
};

// Cases are named by their name in gtest's messages.
void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.name; }

const uint64_t file_length = 1000;

std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring japanese_path(const std::wstring& folder)
{
    return folder + L"名前 のある フォルダ\\データ ファイル.bin";
}

std::wstring long_path(const std::wstring& folder)
{
    const std::wstring part(100, L'd');
    return folder + part + L"\\" + part + L"\\" + part + L"\\long.bin";
}

const CommandLineCase cases[] = {
    {"QuotedWithSpacesAndJapanese", [](const std::wstring& f) { return quoted(japanese_path(f)); },
     japanese_path, false, status_completed},
    {"Relative", [](const std::wstring&) { return std::wstring(L"相対\\rel.bin"); },
     [](const std::wstring& f) { return f + L"相対\\rel.bin"; }, true, nullptr},
    {"LongerThan260Characters", [](const std::wstring& f) { return quoted(long_path(f)); },
     long_path, false, status_completed},
    {"TwoPathsTheFirstMissing",
     [](const std::wstring& f) {
         return quoted(f + L"missing.bin") + L" " + quoted(japanese_path(f));
     },
     [](const std::wstring& f) { return f + L"missing.bin"; }, false, status_no_input},
    {"NoPath", [](const std::wstring&) { return std::wstring(); },
     [](const std::wstring&) { return std::wstring(); }, false, nullptr},
};

class CommandLine : public DriverTest, public ::testing::WithParamInterface<CommandLineCase> {
protected:
    void SetUp() override {} // each case launches the program with its own command line
};

TEST_P(CommandLine, FillsOnlyThePathFieldAndStartDigestsItAsTyped)
{
    const CommandLineCase& c = GetParam();
    const std::wstring folder = driver_folder();
    const std::vector<uint8_t> bytes = pattern_message(file_length);
    for (const std::wstring& path :
         {japanese_path(folder), long_path(folder), folder + L"相対\\rel.bin"})
        ASSERT_EQ(driver_file(path.substr(folder.size()), bytes), path);
    ASSERT_TRUE(dravik_.launch(dravik_exe(), 30000, c.arguments(folder),
                               c.relative ? folder : std::wstring()))
        << utf8(dravik_.error());
    Sleep(300); // a run that started by itself would show by now

    const std::wstring expected = c.expected_field(folder);
    EXPECT_EQ(dravik_.text(IDC_PATH), expected);
    EXPECT_TRUE(dravik_.checked(IDC_FILE_OPTION));
    EXPECT_FALSE(dravik_.checked(IDC_TEXT_OPTION));
    EXPECT_EQ(dravik_.text(IDC_ROW1_COMBO), L"SHA1");
    for (int row = 1; row < 4; ++row)
        EXPECT_EQ(dravik_.text(combo_ids[row]), no_algorithm) << "row " << row + 1;
    EXPECT_EQ(dravik_.text(IDC_STATUS), L"");
    EXPECT_EQ(dravik_.text(IDC_START), start_caption) << "no run starts by itself";
    for (const std::wstring& result : results())
        EXPECT_EQ(result, L"");
    if (c.status_after == nullptr)
        return;

    std::wstring status;
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, c.status_after);
    const std::wstring from_command_line = results()[0];
    if (c.status_after == status_completed) {
        EXPECT_EQ(from_command_line, own_digest(L"SHA1", std::string(bytes.begin(), bytes.end())));
    }
    // The same path typed by hand gives the same outcome.
    ASSERT_TRUE(use_file(expected));
    ASSERT_TRUE(run(&status));
    EXPECT_EQ(status, c.status_after);
    EXPECT_EQ(results()[0], from_command_line);
}

INSTANTIATE_TEST_SUITE_P(Paths, CommandLine, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<CommandLineCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
