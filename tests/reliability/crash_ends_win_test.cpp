// A crash ends the test program at once, with its exception code, and no debugger runs: every
// Wine prefix of the project names a debugger that does not exist, so Wine ends a crashing
// program itself. Wine's own debugger, the default, may show a dialog that holds the program
// until the test's time-out, and without the dialog sometimes ends it with exit code 0, a crash
// passing for success; when it runs, its register dump shows in the program's output.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring crasher()
{
    const std::string unix_path = DRAVIK_CRASHER;
    return L"Z:" + std::wstring(unix_path.begin(), unix_path.end());
}

// What the pipe holds now, without waiting for more (a debugger may still hold its end).
std::string available(HANDLE pipe)
{
    std::string text;
    DWORD ready = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr) && ready > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, ready < sizeof buffer ? ready : sizeof buffer, &got, nullptr))
            break;
        text.append(buffer, got);
    }
    return text;
}

TEST(CrashEndsAtOnce, EveryCrashEndsWithTheAccessViolationsCodeAndNoDebugger)
{
    for (int i = 0; i < 10; ++i) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE read_end = nullptr, write_end = nullptr;
        ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 1 << 16));
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + crasher() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = write_end;
        PROCESS_INFORMATION process = {};
        const BOOL created = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &process);
        CloseHandle(write_end);
        ASSERT_TRUE(created) << "error " << GetLastError();
        CloseHandle(process.hThread);
        const DWORD waited = WaitForSingleObject(process.hProcess, 20000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        const std::string output = available(read_end);
        CloseHandle(read_end);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "crash " << i + 1 << " held for 20 s";
        ASSERT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << "crash " << i + 1;
        ASSERT_NE(output.find("crashing on purpose"), std::string::npos) << output;
        ASSERT_EQ(output.find("Register dump"), std::string::npos) << "a debugger ran:\n" << output;
    }
}

} // namespace
