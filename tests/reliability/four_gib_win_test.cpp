// A file beyond 4 GiB through the real window: 2^32 + 1000 zero bytes (a sparse file, no disk
// taken) with CRC32, MD5, SHA1 and SHA256 must give the zeros4g vectors, which independent
// implementations computed. Sizes, positions and the digests' byte counters all cross 2^32.
// Its own CTest entry (reliability_four_gib): it reads 4 GiB.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include "reliability_window_win.h"
#include "support/vectors.h"

namespace {

const uint64_t zeros4g_length = (uint64_t(1) << 32) + 1000;

std::wstring zeros4g_digest(const std::wstring& name)
{
    for (const KnownAnswer& answer : load_vectors(utf8(name)))
        if (answer.set == "zeros4g" && answer.length == zeros4g_length)
            return std::wstring(answer.hex.begin(), answer.hex.end());
    return L"<no zeros4g vector>";
}

// Removes the file when the test ends, however it ends.
struct SparseFile {
    explicit SparseFile(const std::wstring& file_path) : path(file_path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        DWORD unused = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(zeros4g_length);
        made = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
    }
    ~SparseFile() { DeleteFileW(path.c_str()); }
    std::wstring path;
    bool made = false;
};

using FourGiB = ReliabilityTest;

TEST_F(FourGiB, ZerosThroughTheWindowGiveTheVectors)
{
    SparseFile file(driver_folder() + L"zeros4g.bin");
    ASSERT_TRUE(file.made);
    const Rows names = {L"CRC32", L"MD5", L"SHA1", L"SHA256"};
    ASSERT_TRUE(choose_rows(names));
    ASSERT_TRUE(use_file(file.path));
    ASSERT_TRUE(press_start());
    std::wstring status;
    ASSERT_TRUE(wait_for_end(&status, 600000)) << utf8(status);
    EXPECT_EQ(status, status_completed);
    const Rows shown = results();
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(shown[row], zeros4g_digest(names[row])) << utf8(names[row]);
}

} // namespace
