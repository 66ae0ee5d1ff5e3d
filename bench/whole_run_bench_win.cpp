// Whole runs of Dravik.exe as its user meets them: the program in a process of its own, worked
// through its window (rows chosen in the lists, the path typed into the path field), each run
// timed from the press of Start to the completion text in the status line. The status line is
// polled every 5 ms for the first half second, then every 20 ms (each look is a message the
// program's window must answer, which would otherwise take its share of the processors), so a
// run's figure is late by at most 5 ms or 1 %; the best of the repeats is printed with every
// repeat and the digests the window shows, for tools/bench.sh to set beside a peer's.
//
// Usage: whole_run_bench PROGRAM.exe FILE ROWS [REPEATS [PAUSE_MS]]
//   ROWS: one to four algorithm names joined by '+', as the lists show them.
//   PAUSE_MS: a pause after the launch and before every Start (default 300), so that the
//   program's start-up is over and a sampler can tell the run's threads from the others.
// Output, one line: "best S runs S,S,... digests D[,D...]"; exit code 0 when every run
// completed with a digest in every chosen row.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "remote_dialog_win.h"
#include "ui/resource.h"

namespace {

const wchar_t* const completed = L"情報: ダイジェスト取得処理が完了しました。";
const int combo_ids[4] = {IDC_ROW1_COMBO, IDC_ROW2_COMBO, IDC_ROW3_COMBO, IDC_ROW4_COMBO};
const int result_ids[4] = {IDC_ROW1_RESULT, IDC_ROW2_RESULT, IDC_ROW3_RESULT, IDC_ROW4_RESULT};
const DWORD poll_ms = 5, slow_poll_ms = 20;
const double slow_poll_after_s = 0.5;
const double run_limit_s = 600;

int fail(const std::wstring& why)
{
    std::printf("whole_run_bench: %s\n", utf8(why).c_str());
    return 1;
}

std::vector<std::wstring> split_rows(const std::wstring& rows)
{
    std::vector<std::wstring> names;
    size_t begin = 0;
    for (;;) {
        const size_t plus = rows.find(L'+', begin);
        names.push_back(rows.substr(begin, plus - begin));
        if (plus == std::wstring::npos)
            return names;
        begin = plus + 1;
    }
}

double now_seconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// Presses Start and waits for the completion text; the seconds, or -1 when the run ended
// otherwise or not in time.
double timed_run(const RemoteDialog& dravik)
{
    if (!dravik.set_text(IDC_STATUS, L""))
        return -1;
    const double begin = now_seconds();
    if (!dravik.click(IDC_START))
        return -1;
    for (;;) {
        const std::wstring status = dravik.text(IDC_STATUS);
        const double elapsed = now_seconds() - begin;
        if (status == completed)
            return elapsed;
        if ((!status.empty() && status.compare(0, 3, L"計算中") != 0) || elapsed > run_limit_s)
            return -1;
        Sleep(elapsed < slow_poll_after_s ? poll_ms : slow_poll_ms);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return fail(L"usage: whole_run_bench PROGRAM.exe FILE ROWS [REPEATS [PAUSE_MS]]");
    const std::vector<std::wstring> rows = split_rows(argv[3]);
    const int repeats = argc > 4 ? std::max(1, _wtoi(argv[4])) : 3;
    const DWORD pause_ms = argc > 5 ? DWORD(_wtoi(argv[5])) : 300;
    if (rows.size() > 4)
        return fail(L"at most four rows");

    RemoteDialog dravik;
    if (!dravik.launch(windows_path(argv[1]), 30000))
        return fail(dravik.error());
    for (size_t row = 0; row < 4; ++row) {
        const std::wstring name = row < rows.size() ? rows[row] : L"--------";
        if (!dravik.choose(combo_ids[row], name))
            return fail(L"no list entry " + name);
    }
    if (!dravik.click(IDC_FILE_OPTION) || !dravik.set_text(IDC_PATH, windows_path(argv[2])))
        return fail(L"the file could not be chosen");

    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        Sleep(pause_ms);
        const double seconds = timed_run(dravik);
        if (seconds < 0)
            return fail(L"the run did not complete; status: " + dravik.text(IDC_STATUS));
        times.push_back(seconds);
    }
    std::string line = "best " + std::to_string(*std::min_element(times.begin(), times.end()));
    for (size_t i = 0; i < times.size(); ++i)
        line += (i == 0 ? " runs " : ",") + std::to_string(times[i]);
    for (size_t row = 0; row < rows.size(); ++row) {
        const std::wstring digest = dravik.text(result_ids[row]);
        if (digest.empty())
            return fail(L"row " + std::to_wstring(row + 1) + L" shows no digest");
        line += (row == 0 ? " digests " : ",") + utf8(digest);
    }
    std::printf("%s\n", line.c_str());
    dravik.send(WM_CLOSE, 0, 0);
    dravik.wait_for_exit(10000);
    return 0;
}
