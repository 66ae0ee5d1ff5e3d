#include "driver_fixture_win.h"

#include <algorithm>
#include <map>

#include "digest/catalogue.h"
#include "support/vectors.h"
#include "ui/resource.h"

const wchar_t* const status_completed = L"情報: ダイジェスト取得処理が完了しました。";
const wchar_t* const status_aborted = L"情報: ダイジェスト取得処理を中止しました。";
const wchar_t* const status_no_input = L"エラー: ハッシュ取得データを確認できません。";
const wchar_t* const status_no_algorithm = L"エラー: ハッシュ方式が一つも選択されていません。";
const wchar_t* const status_match = L"情報: ダイジェスト文字列は一致しています。";
const wchar_t* const status_mismatch = L"エラー: ダイジェスト文字列が一致しません。";
const wchar_t* const status_nothing_to_verify = L"警告: 検証対象のダイジェストがありません。";
const wchar_t* const status_copied =
    L"情報: クリップボードへのダイジェスト文字列のコピーを行いました。";
const wchar_t* const start_caption = L"開始(&S)";
const wchar_t* const abort_caption = L"中断(&A)";
const wchar_t* const no_algorithm = L"--------";
const int combo_ids[4] = {IDC_ROW1_COMBO, IDC_ROW2_COMBO, IDC_ROW3_COMBO, IDC_ROW4_COMBO};
const int input_ids[9] = {IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_PATH,
                          IDC_TEXT,        IDC_BROWSE,      IDC_ROW1_COMBO,
                          IDC_ROW2_COMBO,  IDC_ROW3_COMBO,  IDC_ROW4_COMBO};

namespace {

const DWORD launch_timeout_ms = 30000;
const uint64_t long_run_size = uint64_t(1) << 30; // zeros; seconds of digesting, were it let go
const int result_ids[4] = {IDC_ROW1_RESULT, IDC_ROW2_RESULT, IDC_ROW3_RESULT, IDC_ROW4_RESULT};

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end()); // ASCII only: digests and names
}

// Makes the folder on first use and removes it, with every file in it, when the program ends.
class DriverFiles : public ::testing::Environment {
public:
    static DriverFiles* instance;

    const std::wstring& folder()
    {
        if (folder_.empty()) {
            wchar_t temp[MAX_PATH] = {};
            GetTempPathW(MAX_PATH, temp);
            folder_ = std::wstring(temp) + L"dravik-driver-" +
                      std::to_wstring(GetCurrentProcessId()) + L"\\";
            CreateDirectoryW(folder_.c_str(), nullptr);
        }
        return folder_;
    }

    std::wstring file(const std::wstring& name, const std::vector<uint8_t>& bytes,
                      uint64_t sparse_size)
    {
        std::wstring path = folder() + name;
        if (made_.count(path) != 0)
            return path;
        // Folders on the way are made too, and every name is used in its \\?\ form, so that
        // paths of any length can be made.
        for (size_t end = name.find(L'\\'); end != std::wstring::npos;
             end = name.find(L'\\', end + 1)) {
            const std::wstring sub = folder() + name.substr(0, end);
            if (CreateDirectoryW((L"\\\\?\\" + sub).c_str(), nullptr))
                folders_.push_back(sub);
        }
        HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return L"<cannot create " + path + L">";
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (sparse_size != 0) {
            // The end moved without writing: a hole that reads as zeros and takes no disk.
            LARGE_INTEGER end;
            end.QuadPart = static_cast<LONGLONG>(sparse_size);
            SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
            SetEndOfFile(file);
        }
        CloseHandle(file);
        made_[path] = true;
        return path;
    }

    void TearDown() override
    {
        for (const auto& entry : made_)
            DeleteFileW((L"\\\\?\\" + entry.first).c_str());
        for (auto sub = folders_.rbegin(); sub != folders_.rend(); ++sub)
            RemoveDirectoryW((L"\\\\?\\" + *sub).c_str());
        if (!folder_.empty())
            RemoveDirectoryW(folder_.c_str());
    }

private:
    std::wstring folder_;
    std::map<std::wstring, bool> made_;
    std::vector<std::wstring> folders_; // made on the way to files, outermost first
};

DriverFiles* DriverFiles::instance =
    static_cast<DriverFiles*>(::testing::AddGlobalTestEnvironment(new DriverFiles));

} // namespace

std::wstring dravik_exe() { return windows_path(L"" DRAVIK_EXE); }

std::wstring dravik_held_exe() { return windows_path(L"" DRAVIK_HELD_EXE); }

std::wstring expected_pattern_digest(const std::wstring& name, uint64_t length)
{
    for (const KnownAnswer& answer : load_vectors(utf8(name)))
        if (answer.length == length && (answer.set == "pattern" || answer.set == "large_pattern"))
            return widen(answer.hex);
    return std::wstring();
}

std::wstring own_digest(const std::wstring& name, const std::string& bytes)
{
    AlgorithmId id = algorithm_id_from_name(name.c_str());
    if (id == algorithm_none)
        return L"<no algorithm " + name + L">";
    return widen(one_shot_hex(id, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::wstring lower_case(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; });
    return text;
}

std::wstring driver_folder() { return DriverFiles::instance->folder(); }

std::wstring pattern_file(uint64_t length)
{
    return DriverFiles::instance->file(L"pattern_" + std::to_wstring(length) + L".bin",
                                       pattern_message(static_cast<size_t>(length)), 0);
}

std::wstring driver_file(const std::wstring& name, const std::vector<uint8_t>& bytes)
{
    return DriverFiles::instance->file(name, bytes, 0);
}

std::wstring long_run_file()
{
    return DriverFiles::instance->file(L"zeros.bin", {}, long_run_size);
}

void DriverTest::SetUp()
{
    ASSERT_TRUE(dravik_.launch(program(), launch_timeout_ms)) << utf8(dravik_.error());
}

void DriverTest::TearDown()
{
    dravik_.terminate();
    hold_.reset();
}

std::wstring DriverTest::program() const { return dravik_exe(); }

::testing::AssertionResult DriverTest::choose_rows(const Rows& names)
{
    for (int row = 0; row < 4; ++row) {
        if (!dravik_.choose(combo_ids[row], names[row]))
            return ::testing::AssertionFailure()
                   << "row " << row + 1 << " has no entry " << utf8(names[row]);
        if (dravik_.text(combo_ids[row]) != names[row])
            return ::testing::AssertionFailure()
                   << "row " << row + 1 << " shows " << utf8(dravik_.text(combo_ids[row]));
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DriverTest::use_file(const std::wstring& path)
{
    if (!dravik_.click(IDC_FILE_OPTION) || !dravik_.set_text(IDC_PATH, path))
        return ::testing::AssertionFailure() << "the file option or path field did not answer";
    if (!dravik_.checked(IDC_FILE_OPTION) || dravik_.checked(IDC_TEXT_OPTION))
        return ::testing::AssertionFailure() << "the file option is not the one chosen";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DriverTest::use_text(const std::wstring& text)
{
    if (!dravik_.click(IDC_TEXT_OPTION) || !dravik_.set_text(IDC_TEXT, text))
        return ::testing::AssertionFailure() << "the text option or text field did not answer";
    if (!dravik_.checked(IDC_TEXT_OPTION) || dravik_.checked(IDC_FILE_OPTION))
        return ::testing::AssertionFailure() << "the text option is not the one chosen";
    return ::testing::AssertionSuccess();
}

bool DriverTest::idle() const { return dravik_.text(IDC_START) == start_caption; }

::testing::AssertionResult DriverTest::run(std::wstring* status, DWORD timeout_ms)
{
    hold_.reset();
    if (!dravik_.set_text(IDC_STATUS, L"") || !dravik_.click(IDC_START))
        return ::testing::AssertionFailure() << "Start could not be pressed";
    bool ended = wait_until(
        [&] {
            *status = dravik_.text(IDC_STATUS);
            return idle() && !status->empty() && status->compare(0, 3, L"計算中") != 0;
        },
        timeout_ms);
    if (!ended)
        return ::testing::AssertionFailure()
               << "the run did not end in time; button " << utf8(dravik_.text(IDC_START))
               << ", status " << utf8(*status);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DriverTest::start_long_run()
{
    hold_.reset(new ReaderHold(GetProcessId(dravik_.process()), 2));
    if (!hold_->armed())
        return ::testing::AssertionFailure() << "the reader hold could not be armed";
    if (!dravik_.click(IDC_START))
        return ::testing::AssertionFailure() << "Start could not be pressed";
    if (dravik_.text(IDC_START) != abort_caption)
        return ::testing::AssertionFailure()
               << "not running: button " << utf8(dravik_.text(IDC_START)) << ", status "
               << utf8(dravik_.text(IDC_STATUS));
    if (!hold_->held(30000))
        return ::testing::AssertionFailure()
               << "the reader was not held after its second read (is this dravik_held.exe?); "
               << "status " << utf8(dravik_.text(IDC_STATUS));
    // The first chunk's step was posted before the second read.
    if (!wait_until([&] { return dravik_.text(IDC_STATUS).compare(0, 3, L"計算中") == 0; }, 30000))
        return ::testing::AssertionFailure()
               << "no progress shown; status " << utf8(dravik_.text(IDC_STATUS));
    return ::testing::AssertionSuccess();
}

DriverTest::Rows DriverTest::results() const
{
    Rows shown;
    for (int row = 0; row < 4; ++row)
        shown[row] = dravik_.text(result_ids[row]);
    return shown;
}
