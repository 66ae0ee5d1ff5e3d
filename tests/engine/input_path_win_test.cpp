// The path field's text as the name a file is opened by (quotes, white space, relative and
// long paths, device names), and InputSource over such names; a file that changes while it
// is read.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/input_path_win.h"
#include "engine/input_source_win.h"
#include "support/vectors.h"

namespace {

const uint32_t chunk = InputSource::CHUNK_SIZE;

std::wstring current_folder()
{
    wchar_t folder[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, folder);
    std::wstring path(folder);
    if (path.back() != L'\\')
        path += L'\\';
    return path;
}

bool write_file(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

// Every byte of the source, until read_chunk returns 0 (or 64 calls).
std::vector<uint8_t> read_all(InputSource& source)
{
    std::vector<uint8_t> buffer(chunk), bytes;
    for (int i = 0; i < 64; ++i) {
        const uint32_t n = source.read_chunk(buffer.data());
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
    }
    return bytes;
}

InputSource* file_source(const std::wstring& field)
{
    return new InputSource(InputSelection{true, false, field, L""});
}

TEST(InputPath, QuotesAndWhiteSpaceAroundAPathAreDropped)
{
    EXPECT_EQ(unquoted_path(L"\"C:\\a b\\c.txt\""), L"C:\\a b\\c.txt");
    EXPECT_EQ(unquoted_path(L"  \t\"C:\\a b\\c.txt\" \r\n"), L"C:\\a b\\c.txt");
    EXPECT_EQ(unquoted_path(L"  C:\\a b\\c.txt  "), L"C:\\a b\\c.txt");
    EXPECT_EQ(unquoted_path(L"\"\"x\"\""), L"\"x\"");       // one pair only
    EXPECT_EQ(unquoted_path(L"\"C:\\open"), L"\"C:\\open"); // unmatched: left to fail
    EXPECT_EQ(unquoted_path(L"\""), L"\"");
    EXPECT_EQ(unquoted_path(L"\"\""), L"");
    EXPECT_EQ(unquoted_path(L"     "), L"");
    EXPECT_EQ(unquoted_path(L""), L"");
}

TEST(InputPath, DriveAndSharePathsTakeTheExtendedForm)
{
    EXPECT_EQ(extended_path(L"C:\\a\\b.txt"), L"\\\\?\\C:\\a\\b.txt");
    EXPECT_EQ(extended_path(L"\\\\server\\share\\b.txt"), L"\\\\?\\UNC\\server\\share\\b.txt");
    const std::wstring long_path = L"D:\\" + std::wstring(300, L'x') + L"\\y";
    EXPECT_EQ(extended_path(long_path), L"\\\\?\\" + long_path);
    for (const wchar_t* kept : {L"\\\\?\\C:\\a", L"\\\\?\\UNC\\s\\share\\f", L"\\\\?\\unc\\s\\t",
                                L"\\\\?\\Volume{0123-45}\\dir\\f"})
        EXPECT_EQ(extended_path(kept), kept);
}

TEST(InputPath, DevicesAndWhatIsNotAFullPathGiveNothing)
{
    for (const wchar_t* device :
         {L"\\\\.\\CON", L"\\\\.\\nul", L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:", L"\\\\.\\pipe\\p",
          L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition0", L"\\\\?\\Volume{0123-45}\\",
          L"\\\\?\\Volume{0123-45}", L"\\\\?\\pipe\\p", L"relative\\f", L"C:relative", L"",
          L"\\\\"})
        EXPECT_EQ(extended_path(device), L"") << narrow(device);
    for (const wchar_t* field : {L"CON", L"nul", L"  AUX  ", L"\"COM1\"", L"\\??\\C:\\f",
                                 L"\\\\.\\PhysicalDrive0", L"", L"    ", L"\"\""})
        EXPECT_EQ(path_to_open(field), L"") << narrow(field);
}

TEST(InputPath, RelativePathsResolveAgainstTheCurrentFolder)
{
    const std::wstring here = current_folder();
    EXPECT_EQ(path_to_open(L"input_path_a.bin"), L"\\\\?\\" + here + L"input_path_a.bin");
    EXPECT_EQ(path_to_open(L" \".\\sub\\..\\input_path_a.bin\" "),
              L"\\\\?\\" + here + L"input_path_a.bin");
    EXPECT_EQ(path_to_open(L"sub/x.bin"), L"\\\\?\\" + here + L"sub\\x.bin");
}

TEST(InputPathSource, QuotedRelativeAndSpacedPathsOpenTheFile)
{
    const std::wstring name = L"input path spaced.bin";
    ASSERT_TRUE(write_file(name, pattern_message(3000)));
    for (const std::wstring& field :
         {name, L"\"" + name + L"\"", L"  \"" + current_folder() + name + L"\"\t", L".\\" + name,
          L"  " + name + L"  "}) {
        std::unique_ptr<InputSource> source(file_source(field));
        ASSERT_TRUE(source->has_data()) << narrow(field.c_str());
        EXPECT_EQ(read_all(*source), pattern_message(3000)) << narrow(field.c_str());
        EXPECT_FALSE(source->failed());
    }
    DeleteFileW(name.c_str());
}

// Folders nested until the file's full name has at least length characters (at most 50 more),
// made through the extended form, which has no 260-character limit.
struct DeepFile {
    explicit DeepFile(size_t length)
    {
        std::wstring folder = current_folder() + L"deep";
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
        folders.push_back(folder);
        while (folder.size() + 10 < length) {
            folder += L"\\" + std::wstring(50, wchar_t(L'a' + folders.size() % 26));
            CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
            folders.push_back(folder);
        }
        path = folder + L"\\file.bin";
        written = write_file(L"\\\\?\\" + path, pattern_message(5000));
    }
    ~DeepFile()
    {
        DeleteFileW((L"\\\\?\\" + path).c_str());
        for (auto f = folders.rbegin(); f != folders.rend(); ++f)
            RemoveDirectoryW((L"\\\\?\\" + *f).c_str());
    }
    std::wstring path;
    std::vector<std::wstring> folders;
    bool written = false;
};

TEST(InputPathSource, PathsBeyond260CharactersOpen)
{
    for (size_t length : {300u, 1200u, 4000u}) {
        DeepFile deep(length);
        ASSERT_TRUE(deep.written) << length;
        ASSERT_GT(deep.path.size(), 260u);
        ASSERT_LE(deep.path.size(), InputSource::max_text_units);
        std::unique_ptr<InputSource> source(file_source(deep.path));
        ASSERT_TRUE(source->has_data()) << deep.path.size() << " characters";
        EXPECT_EQ(read_all(*source), pattern_message(5000));
        EXPECT_FALSE(source->failed());
    }
}

TEST(InputPathSource, DevicesFoldersAndEmptyPathsHaveNoData)
{
    CreateDirectoryW(L"input_path_folder", nullptr);
    const DWORD begin = GetTickCount();
    for (const wchar_t* field :
         {L"CON", L"NUL", L"CONIN$", L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:", L"C:\\",
          L"input_path_folder", L"\"input_path_folder\\\"", L"", L"   ", L"\"  \"",
          L"\\\\?\\GLOBALROOT\\Device\\Null", L"missing_file.bin"}) {
        std::unique_ptr<InputSource> source(file_source(field));
        EXPECT_FALSE(source->has_data()) << narrow(field);
        EXPECT_EQ(source->total(), 0u) << narrow(field);
    }
    EXPECT_LT(GetTickCount() - begin, 5000u); // nothing waited on a device
    RemoveDirectoryW(L"input_path_folder");
}

// A handle shared for writing, so that this test can change the file the way another machine
// can change a file on a share while it is being read.
HandleHolder open_shared(const std::wstring& path)
{
    HandleHolder file;
    file.take(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file;
}

bool change_file(const std::wstring& path, bool grow)
{
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE)
        return false;
    bool done;
    if (grow) {
        DWORD written = 0;
        SetFilePointer(writer, 0, nullptr, FILE_END);
        done = WriteFile(writer, "more", 4, &written, nullptr) != 0;
    } else { // the same size, a later time: rewritten in place
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        time.dwHighDateTime += 1;
        done = SetFileTime(writer, nullptr, nullptr, &time) != 0;
    }
    CloseHandle(writer);
    return done;
}

TEST(InputSourceChange, ASizeOrTimeChangedByTheEndFailsTheRead)
{
    const std::wstring path = L"input_path_changing.bin";
    for (bool grow : {true, false}) {
        ASSERT_TRUE(write_file(path, pattern_message(chunk + 10)));
        const HandleHolder file = open_shared(path);
        ASSERT_TRUE(file.is_open());
        InputSource source(file, chunk + 10);
        std::vector<uint8_t> buffer(chunk);
        EXPECT_EQ(source.read_chunk(buffer.data()), chunk);
        ASSERT_TRUE(change_file(path, grow));
        EXPECT_EQ(source.read_chunk(buffer.data()), 10u);
        EXPECT_FALSE(source.failed()); // every promised byte came
        EXPECT_EQ(source.read_chunk(buffer.data()), 0u);
        EXPECT_TRUE(source.failed()) << (grow ? "grown" : "rewritten");
    }
    {
        ASSERT_TRUE(write_file(path, pattern_message(100)));
        InputSource source(open_shared(path), 100); // unchanged: no failure
        EXPECT_EQ(read_all(source).size(), 100u);
        EXPECT_FALSE(source.failed());
    }
    DeleteFileW(path.c_str());
}

} // namespace
