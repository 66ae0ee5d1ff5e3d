// InputSource built from a real window holding the input panel's controls, over real files;
// failed and short reads through handles adopted with a size that the handle cannot deliver.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "engine/control_ids.h"
#include "engine/input_source_win.h"
#include "support/vectors.h"

namespace {

const uint32_t chunk = InputSource::CHUNK_SIZE;

// A top-level window with the panel's option buttons and edit fields, as the dialog has them.
class PanelWindow {
public:
    PanelWindow()
    {
        window_ = CreateWindowExW(0, L"STATIC", L"panel", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        add(L"BUTTON", IDC_FILE_OPTION, BS_AUTORADIOBUTTON | WS_GROUP);
        add(L"BUTTON", IDC_TEXT_OPTION, BS_AUTORADIOBUTTON);
        add(L"EDIT", IDC_PATH, ES_AUTOHSCROLL | WS_BORDER);
        add(L"EDIT", IDC_TEXT, ES_AUTOHSCROLL | WS_BORDER);
    }
    ~PanelWindow() { DestroyWindow(window_); }

    HWND handle() const { return window_; }
    void choose_file(const std::wstring& path)
    {
        CheckRadioButton(window_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_FILE_OPTION);
        SetDlgItemTextW(window_, IDC_PATH, path.c_str());
    }
    void choose_text(const std::wstring& text)
    {
        CheckRadioButton(window_, IDC_FILE_OPTION, IDC_TEXT_OPTION, IDC_TEXT_OPTION);
        SetDlgItemTextW(window_, IDC_TEXT, text.c_str());
    }

private:
    void add(const wchar_t* window_class, int id, DWORD style)
    {
        CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | style, 0, 30 * (id - 1000),
                        300, 24, window_, reinterpret_cast<HMENU>(INT_PTR(id)),
                        GetModuleHandleW(nullptr), nullptr);
    }

    HWND window_;
};

std::wstring file_path(const char* name)
{
    const std::string narrow = std::string("input_source_") + name;
    return std::wstring(narrow.begin(), narrow.end());
}

std::wstring write_file(const char* name, const std::vector<uint8_t>& bytes)
{
    const std::wstring path = file_path(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    CloseHandle(file);
    return path;
}

// Every chunk until read_chunk returns 0 (at most limit calls), with the bytes delivered.
std::vector<uint32_t> read_all(InputSource& source, std::vector<uint8_t>* bytes = nullptr,
                               int limit = 8)
{
    std::vector<uint8_t> buffer(chunk);
    std::vector<uint32_t> lengths;
    for (int i = 0; i < limit; ++i) {
        const uint32_t n = source.read_chunk(buffer.data());
        lengths.push_back(n);
        if (n == 0)
            break;
        if (bytes != nullptr)
            bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + n);
    }
    return lengths;
}

std::vector<uint8_t> text_bytes(const std::wstring& text)
{
    PanelWindow panel;
    panel.choose_text(text);
    InputSource source(panel.handle());
    EXPECT_TRUE(source.has_data());
    std::vector<uint8_t> bytes;
    read_all(source, &bytes);
    EXPECT_EQ(source.total(), bytes.size());
    EXPECT_FALSE(source.failed());
    return bytes;
}

TEST(InputSourceText, TextFieldAsUtf8)
{
    EXPECT_EQ(text_bytes(L"abc"), (std::vector<uint8_t>{0x61, 0x62, 0x63}));
    EXPECT_EQ(text_bytes(L"\u30CF"), (std::vector<uint8_t>{0xE3, 0x83, 0x8F}));
    EXPECT_EQ(text_bytes(std::wstring(5000, L'a')), std::vector<uint8_t>(4095, 0x61));
    // The 4096th unit is the second half of a pair: the first half alone is not encoded.
    EXPECT_EQ(text_bytes(std::wstring(4094, L'a') + L"\xD83D\xDE00"),
              std::vector<uint8_t>(4094, 0x61));
    EXPECT_EQ(text_bytes(L"ab" + std::wstring(1, 0xDC00) + L"cd"),
              (std::vector<uint8_t>{0x61, 0x62}));
}

TEST(InputSourceText, EmptyTextHasZeroBytesOfData)
{
    PanelWindow panel;
    panel.choose_text(L"");
    InputSource source(panel.handle());
    EXPECT_TRUE(source.has_data());
    EXPECT_EQ(source.total(), 0u);
    EXPECT_EQ(read_all(source), std::vector<uint32_t>{0});
}

TEST(InputSourceFile, ChunksOfAFileAndItsBytes)
{
    const struct {
        size_t size;
        std::vector<uint32_t> chunks;
    } cases[] = {
        {0, {0}},
        {chunk + 1, {chunk, 1, 0}},
        {chunk, {chunk, 0}},
        {2 * chunk + 7, {chunk, chunk, 7, 0}},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> content = pattern_message(c.size);
        PanelWindow panel;
        panel.choose_file(write_file("chunks", content));
        InputSource source(panel.handle());
        EXPECT_TRUE(source.has_data());
        EXPECT_EQ(source.total(), c.size);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(read_all(source, &bytes), c.chunks);
        EXPECT_TRUE(bytes == content) << c.size;
        EXPECT_FALSE(source.failed());
        EXPECT_EQ(source.read_chunk(bytes.data()), 0u); // stays at the end
    }
    DeleteFileW(file_path("chunks").c_str());
}

TEST(InputSourceFile, WhatDoesNotOpenHasNoData)
{
    CreateDirectoryW(file_path("folder").c_str(), nullptr);
    for (const std::wstring& path :
         {file_path("missing"), file_path("folder"), std::wstring(), std::wstring(L"?*")}) {
        PanelWindow panel;
        panel.choose_file(path);
        InputSource source(panel.handle());
        EXPECT_FALSE(source.has_data());
        EXPECT_EQ(source.total(), 0u);
        EXPECT_EQ(read_all(source), std::vector<uint32_t>{0});
    }
    RemoveDirectoryW(file_path("folder").c_str());

    PanelWindow neither;
    CheckDlgButton(neither.handle(), IDC_FILE_OPTION, BST_UNCHECKED);
    EXPECT_FALSE(InputSource(neither.handle()).has_data());
}

// A pipe opens like a file but has no size: it must not count as an input.
TEST(InputSourceFile, AHandleWithoutSizeCountsAsNotOpened)
{
    const wchar_t* name = L"\\\\.\\pipe\\dravik_input_source_test";
    HANDLE server =
        CreateNamedPipeW(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    PanelWindow panel;
    panel.choose_file(name);
    InputSource source(panel.handle());
    EXPECT_FALSE(source.has_data());
    EXPECT_EQ(source.total(), 0u);
    CloseHandle(server);
}

TEST(InputSourceFile, OthersMayReadButNotWriteUntilTheSourceIsGone)
{
    const std::wstring path = write_file("shared", {1, 2, 3});
    auto open = [&](DWORD access) {
        HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool opened = h != INVALID_HANDLE_VALUE;
        if (opened)
            CloseHandle(h);
        return opened;
    };
    {
        InputSource source(InputSelection{true, false, path, L""});
        ASSERT_TRUE(source.has_data());
        EXPECT_TRUE(open(GENERIC_READ));
        EXPECT_FALSE(open(GENERIC_WRITE));
    }
    EXPECT_TRUE(open(GENERIC_WRITE)); // closed with its last owner
    DeleteFileW(path.c_str());
}

HandleHolder open_for_reading(const std::wstring& path)
{
    HandleHolder file;
    file.take(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.is_open());
    return file;
}

// No handle is open on the file: it can be opened for writing without sharing.
bool nothing_holds(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

// The file shrank after its size was taken: the bytes that are there, then failed().
TEST(InputSourceFailure, ShortReadIsReportedAsRead)
{
    const std::wstring path = write_file("short", pattern_message(100));
    {
        InputSource source(open_for_reading(path), chunk + 100);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(read_all(source, &bytes), (std::vector<uint32_t>{100, 0}));
        EXPECT_TRUE(source.failed());
        EXPECT_EQ(bytes, pattern_message(100));
    }
    {
        InputSource source(open_for_reading(path), 100 + chunk / 2); // short in the first chunk
        EXPECT_EQ(read_all(source), (std::vector<uint32_t>{100, 0}));
        EXPECT_TRUE(source.failed());
    }
    {
        InputSource source(open_for_reading(path), 100); // the right size: no failure
        EXPECT_EQ(read_all(source), (std::vector<uint32_t>{100, 0}));
        EXPECT_FALSE(source.failed());
    }
    EXPECT_TRUE(nothing_holds(path)); // each source closed the handle it was the last owner of
    DeleteFileW(path.c_str());
}

// The end-of-read check's calls, failing or telling of another file, in place of the system's.
std::wstring other_file;

BOOL WINAPI information_fails(HANDLE, LPBY_HANDLE_FILE_INFORMATION)
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI information_without_index(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (!GetFileInformationByHandle(file, info))
        return FALSE;
    info->nFileIndexHigh = info->nFileIndexLow = 0;
    return TRUE;
}

BOOL WINAPI information_one_byte_longer(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (!GetFileInformationByHandle(file, info))
        return FALSE;
    ++info->nFileSizeLow;
    return TRUE;
}

HANDLE WINAPI open_refused(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI open_finds_nothing(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI open_other_file(LPCWSTR, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model)
{
    return CreateFileW(other_file.c_str(), access, share, security, disposition, flags, model);
}

// A good file must not fail because its identity cannot be had; a change that is proven must.
TEST(InputSourceFailure, OnlyAProvenChangeFailsAtTheEnd)
{
    const std::wstring path = write_file("end_check", pattern_message(1000));
    other_file = write_file("end_check_other", pattern_message(1000));
    const struct {
        const char* name;
        FileChecks checks;
        bool fails;
    } cases[] = {
        {"unchanged", {}, false},
        {"identity query fails", {information_fails, CreateFileW}, false},
        {"no file index", {information_without_index, CreateFileW}, false},
        {"second open refused", {GetFileInformationByHandle, open_refused}, false},
        {"name finds nothing", {GetFileInformationByHandle, open_finds_nothing}, true},
        {"name leads to another file", {GetFileInformationByHandle, open_other_file}, true},
        {"size moved", {information_one_byte_longer, CreateFileW}, true},
    };
    for (const auto& c : cases) {
        PanelWindow panel;
        panel.choose_file(path);
        InputSource source(panel.handle());
        source.set_file_checks(c.checks);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(read_all(source, &bytes), (std::vector<uint32_t>{1000, 0})) << c.name;
        EXPECT_EQ(source.failed(), c.fails) << c.name;
    }
    DeleteFileW(path.c_str());
    DeleteFileW(other_file.c_str());
}

TEST(InputSourceFailure, FailedReadDeliversNothingMore)
{
    // A handle opened for writing only: every ReadFile fails.
    const std::wstring path = write_file("unreadable", pattern_message(100));
    HandleHolder file;
    file.take(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    {
        InputSource source(file, 100);
        EXPECT_EQ(read_all(source), std::vector<uint32_t>{0});
        EXPECT_TRUE(source.failed());
    }
    file.reset();
    DeleteFileW(path.c_str());

    // A pipe whose writer goes away after 10 bytes: ReadFile fails with a broken pipe.
    HANDLE reader = nullptr, writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 4096));
    DWORD written = 0;
    WriteFile(writer, "0123456789", 10, &written, nullptr);
    CloseHandle(writer);
    file.take(reader);
    InputSource source(file, 20);
    file.reset();
    std::vector<uint8_t> bytes;
    EXPECT_EQ(read_all(source, &bytes), (std::vector<uint32_t>{10, 0}));
    EXPECT_TRUE(source.failed());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
}

TEST(HandleHolder, SharedHandleClosesWithItsLastOwner)
{
    const std::wstring path = write_file("holder", {1});
    HandleHolder a;
    EXPECT_FALSE(a.is_open());
    EXPECT_EQ(a.get(), nullptr);
    a.take(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(a.is_open());
    EXPECT_EQ(a.get(), nullptr);

    a.take(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(a.is_open());
    const HANDLE handle = a.get();
    HandleHolder b(a);
    b = b;
    HandleHolder c;
    c = b;
    a.reset();
    b.reset();
    EXPECT_EQ(c.get(), handle);
    EXPECT_FALSE(nothing_holds(path)); // c still holds it
    c = a;
    EXPECT_FALSE(c.is_open());
    EXPECT_TRUE(nothing_holds(path));
    DeleteFileW(path.c_str());
}

// Sizes and positions are 64-bit: a sparse file just over 4 GiB is read to its last byte.
TEST(InputSourceFile, FileOverFourGiB)
{
    const std::wstring path = file_path("large");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (int64_t(1) << 32) + 5;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);

    {
        InputSource source(InputSelection{true, false, path, L""});
        EXPECT_EQ(source.total(), (uint64_t(1) << 32) + 5);
        std::vector<uint8_t> buffer(chunk);
        uint64_t delivered = 0;
        uint32_t n = 0;
        while ((n = source.read_chunk(buffer.data())) == chunk)
            delivered += n;
        EXPECT_EQ(delivered, uint64_t(1) << 32);
        EXPECT_EQ(n, 5u);
        EXPECT_EQ(source.read_chunk(buffer.data()), 0u);
        EXPECT_FALSE(source.failed());
    }
    DeleteFileW(path.c_str());
}

} // namespace
