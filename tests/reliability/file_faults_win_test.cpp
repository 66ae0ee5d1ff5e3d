// A file changed while Dravik.exe reads it: truncated, grown, or replaced by another file under
// the same name. Every run must end as failed ("エラー: ダイジェスト取得処理に失敗しました。")
// with no digest shown, never with a digest of a mixture of old and new bytes.
//
// The program opens the file shared for reading only, so no Windows program can change it
// meanwhile; a program outside those rules can (another machine through a share, or here a
// Linux process). tests/reliability/file_faults.sh runs these tests with DRAVIK_FAULT_DIR set
// to a folder of its own and does the changing: each test makes <dir>/<Test>.bin, starts a
// run on it in dravik_held.exe, whose reader it holds after the second of three reads, then
// creates <Test>.running; the script changes the file and answers with <Test>.changed, and
// the test lets the reader go on. Without DRAVIK_FAULT_DIR the tests are skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "reliability_window_win.h"
#include "ui/resource.h"

namespace {

const uint64_t fault_file_size = 3 * 2097152; // three chunks of zeros

std::wstring fault_folder()
{
    const char* dir = std::getenv("DRAVIK_FAULT_DIR");
    if (dir == nullptr || *dir == '\0')
        return std::wstring();
    const std::string unix_path(dir);
    return windows_path(std::wstring(unix_path.begin(), unix_path.end())) + L"\\";
}

bool make_file(const std::wstring& path, uint64_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class FileFaults : public ReliabilityTest {
protected:
    std::wstring program() const override { return dravik_held_exe(); }

    // One run on <dir>/<name>.bin that the script changes once it is under way.
    void run_changed_file()
    {
        const std::wstring dir = fault_folder();
        if (dir.empty())
            GTEST_SKIP() << "DRAVIK_FAULT_DIR is not set: run through file_faults.sh";
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::wstring base = dir + std::wstring(name.begin(), name.end());
        ASSERT_TRUE(make_file(base + L".bin", fault_file_size));
        ASSERT_TRUE(choose_rows({L"SHA256", L"--------", L"--------", L"--------"}));
        ASSERT_TRUE(use_file(base + L".bin"));
        ASSERT_TRUE(start_long_run()); // held after the second read, before the end's checks
        ASSERT_TRUE(make_file(base + L".running", 0));
        ASSERT_TRUE(wait_until([&] { return exists(base + L".changed"); }, 60000))
            << "the script did not change the file";
        ASSERT_EQ(dravik_.text(IDC_START), abort_caption);
        hold_->release();
        std::wstring status;
        ASSERT_TRUE(wait_for_end(&status, 300000)) << utf8(status);
        EXPECT_EQ(status, status_failed);
        EXPECT_TRUE(results_empty());
        DeleteFileW((base + L".bin").c_str());
    }
};

// The third read comes up short.
TEST_F(FileFaults, Truncated) { run_changed_file(); }

// Every byte of the size taken at the open is read, but the file is larger at the end.
TEST_F(FileFaults, Grown) { run_changed_file(); }

// Another file of the same size and time takes the name; the run reads the old one to its
// end, but the name no longer leads to it.
TEST_F(FileFaults, Replaced) { run_changed_file(); }

} // namespace
