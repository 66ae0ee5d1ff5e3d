// What Dravik.exe says of itself: the version resource and the manifest carry the project's
// version (project() in CMakeLists.txt), and the manifest declares per-monitor DPI awareness.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The text of the manifest's first element of that name, or "<none>".
std::string element_text(const std::string& manifest, const std::string& name)
{
    const size_t open = manifest.find("<" + name + " ");
    const size_t start = open == std::string::npos ? open : manifest.find('>', open);
    const size_t end = manifest.find("</" + name + ">");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return "<none>";
    return manifest.substr(start + 1, end - start - 1);
}

std::wstring widen(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring version_string(const std::vector<char>& info, const wchar_t* name)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0)
        return L"(none)";
    return static_cast<const wchar_t*>(value);
}

TEST(Version, ResourceAndManifestCarryTheProjectVersion)
{
    const std::wstring exe = widen(DRAVIK_EXE);
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    EXPECT_EQ(version_string(info, L"FileVersion"), widen(DRAVIK_VERSION));
    EXPECT_EQ(version_string(info, L"ProductVersion"), widen(DRAVIK_VERSION));
    EXPECT_EQ(version_string(info, L"ProductName"), L"Dravik");
    EXPECT_EQ(version_string(info, L"OriginalFilename"), L"Dravik.exe");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ(numbers, DRAVIK_VERSION);

    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr) << "no manifest";
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(text, SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find(std::string("name=\"Dravik\" version=\"") + DRAVIK_VERSION + ".0\""),
              std::string::npos);
    // Per-monitor v2 where Windows has it, else system awareness: never per-monitor v1, which
    // Windows does not rescale and the dialog does not handle (WM_DPICHANGED).
    EXPECT_EQ(element_text(manifest, "dpiAwareness"), "PerMonitorV2");
    EXPECT_EQ(element_text(manifest, "dpiAware"), "true");
}

} // namespace
