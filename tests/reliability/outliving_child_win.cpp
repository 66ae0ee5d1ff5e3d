// Ends at once and leaves behind a copy of itself that holds the same standard output and
// error for 30 s, as the system programs of a Wine session do when a program starts them. Its
// CTest entry passes only if the test is over when this program is over, not when the last
// holder of its output lets go.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        Sleep(30000);
        return 0;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {startup.hStdOutput, startup.hStdError})
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    char path[MAX_PATH];
    char command[MAX_PATH + 16];
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0)
        return 1;
    std::snprintf(command, sizeof command, "\"%s\" --child", path);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child)) {
        std::puts("the child could not be started");
        return 1;
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::puts("the child holds our output for 30 s");
    return 0;
}
