// Whole runs through the digest job (HashJob) from the real main dialog (template 101): the
// wall time of one file's run with one row and with four rows, set against
// - the ideal: the slowest row's update time alone when rows <= processors, else the rows'
//   total update time / processors, each row's time measured here by feeding the same file's
//   bytes through HashAlgorithm::update in 2 MiB chunks (only the update calls are timed);
//   the job's figure is the faster of two runs;
// - the page-cache read time: ReadFile of the whole file in 2 MiB pieces.
// The file is written, read once to warm the page cache, and removed at the end.
//
// Usage: job_bench [MiB, default 1024] [ROWS...]
//   ROWS: algorithm names joined by '+' (default: SHA256, MD5, SHA256+SHA512+BLAKE2b_512+SHA3_256).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "digest/catalogue.h"
#include "digest/cpu_features.h"
#include "engine/hash_job_win.h"
#include "engine/job_protocol.h"
#include "ui/main_dialog_win.h"
#include "ui/resource.h"
#include "ui/taskbar_progress_win.h"

namespace {

using Clock = std::chrono::steady_clock;
const DWORD piece = 2097152;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring wide(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

bool write_file(const std::wstring& path, uint64_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> bytes(piece);
    uint32_t x = 2463534242u; // xorshift32: bytes no digest can take a short cut over
    for (uint8_t& byte : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t>(x);
    }
    bool ok = true;
    for (uint64_t done = 0; ok && done < size;) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(size - done, piece));
        DWORD wrote = 0;
        ok = WriteFile(file, bytes.data(), want, &wrote, nullptr) && wrote == want;
        done += wrote;
    }
    CloseHandle(file);
    return ok;
}

// Reads the whole file in 2 MiB pieces, handing each to `use`; seconds spent in ReadFile.
template <class Use> double read_file(const std::wstring& path, Use use)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    std::vector<uint8_t> buffer(piece);
    double reading = 0;
    for (;;) {
        DWORD got = 0;
        const Clock::time_point start = Clock::now();
        const BOOL ok = ReadFile(file, buffer.data(), piece, &got, nullptr);
        reading += seconds_since(start);
        if (!ok || got == 0)
            break;
        use(buffer.data(), got);
    }
    CloseHandle(file);
    return reading;
}

// One algorithm alone over the file: seconds spent in update (reading not counted).
double update_seconds(const std::wstring& path, AlgorithmId id)
{
    std::unique_ptr<HashAlgorithm> digest(create_algorithm(id));
    double updating = 0;
    read_file(path, [&](const uint8_t* data, DWORD length) {
        const Clock::time_point start = Clock::now();
        digest->update(data, length);
        updating += seconds_since(start);
    });
    return updating;
}

// The job's own messages, seen before the dialog procedure handles them.
WNDPROC dialog_proc = nullptr;
bool job_ended = false;
bool job_done = false;

LRESULT CALLBACK watching_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PROGRESS_END || (message == WM_JOB_FAILED && !job_done))
        job_ended = true;
    if (message == WM_JOB_DONE)
        job_done = true;
    return CallWindowProcW(dialog_proc, window, message, wparam, lparam);
}

// Chooses the rows (the rest "--------"), runs one job over the file, pumping the dialog's
// messages until the job ends; wall seconds from start to WM_PROGRESS_END, -1 on failure.
double job_seconds(HWND dialog, const std::vector<AlgorithmId>& rows)
{
    for (int row = 0; row < slot_count; ++row) {
        const AlgorithmId id = row < static_cast<int>(rows.size()) ? rows[row] : algorithm_none;
        SendDlgItemMessageW(dialog, SlotControls[row].combo, CB_SETCURSEL, id, 0);
    }
    job_ended = job_done = false;
    const Clock::time_point start = Clock::now();
    std::unique_ptr<HashJob> job(new HashJob(dialog, taskbar_progress(dialog)));
    if (job->start() == 0)
        return -1;
    MSG message;
    while (!job_ended && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    const double elapsed = seconds_since(start);
    job.reset();
    return job_done ? elapsed : -1;
}

void report(HWND dialog, const std::wstring& path, uint64_t size, double read_s,
            const std::vector<AlgorithmId>& rows, unsigned processors)
{
    std::string names;
    double slowest = 0, total = 0;
    for (AlgorithmId id : rows) {
        const double alone = update_seconds(path, id);
        slowest = std::max(slowest, alone);
        total += alone;
        char line[96];
        std::snprintf(line, sizeof line, "%s%ls %.3f s", names.empty() ? "" : ", ",
                      AlgorithmCatalogue[id - 1].name, alone);
        names += line;
    }
    const double ideal = rows.size() <= processors ? slowest : total / processors;
    // The faster of two runs: the machine may be shared.
    const double first = job_seconds(dialog, rows);
    const double second = job_seconds(dialog, rows);
    const double wall = first < 0 || second < 0 ? -1 : std::min(first, second);
    const double mb = double(size) / 1e6;
    std::printf("%zu row%s (alone: %s)\n", rows.size(), rows.size() == 1 ? "" : "s", names.c_str());
    if (wall < 0) {
        std::printf("  the job failed\n");
        return;
    }
    std::printf("  job %.3f s (%.0f MB/s); ideal %.3f s: job/ideal %.2f; "
                "page-cache read %.3f s: job/read %.2f\n",
                wall, mb / wall, ideal, wall / ideal, read_s, wall / read_s);
}

} // namespace

int main(int argc, char** argv)
{
    const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const uint64_t size = (mib == 0 ? 1 : mib) << 20;
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(L"job_bench_input.bin", MAX_PATH, full, nullptr);
    const std::wstring path = full;

    HWND dialog = create_main_dialog(GetModuleHandleW(nullptr));
    if (dialog == nullptr || !write_file(path, size)) {
        std::fprintf(stderr, "job_bench: no dialog or no input file\n");
        return 1;
    }
    TaskbarProgress progress(dialog, GetDlgItem(dialog, IDC_PROGRESS), nullptr);
    attach_taskbar_progress(dialog, &progress);
    dialog_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watching_proc)));
    CheckDlgButton(dialog, IDC_FILE_OPTION, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TEXT_OPTION, BST_UNCHECKED);
    SetDlgItemTextW(dialog, IDC_PATH, path.c_str());

    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const unsigned processors = std::max<unsigned>(1, system.dwNumberOfProcessors);
    read_file(path, [](const uint8_t*, DWORD) {}); // warms the page cache
    const double read_s = read_file(path, [](const uint8_t*, DWORD) {});
    std::printf("file %llu MiB, %u processors, features %s; page-cache read %.3f s (%.0f MB/s)\n",
                static_cast<unsigned long long>(size >> 20), processors,
                cpu_feature_names(cpu_features()), read_s, double(size) / 1e6 / read_s);

    std::vector<std::string> sets(argv + std::min(argc, 2), argv + argc);
    if (sets.empty())
        sets = {"SHA256", "MD5", "SHA256+SHA512+BLAKE2b_512+SHA3_256"};
    for (const std::string& set : sets) {
        std::vector<AlgorithmId> rows;
        for (size_t begin = 0; begin <= set.size();) {
            const size_t plus = std::min(set.find('+', begin), set.size());
            const std::string name = set.substr(begin, plus - begin);
            rows.push_back(algorithm_id_from_name(wide(name.c_str()).c_str()));
            begin = plus + 1;
        }
        if (std::find(rows.begin(), rows.end(), algorithm_none) != rows.end() || rows.size() > 4) {
            std::fprintf(stderr, "job_bench: %s is not one to four algorithm names\n", set.c_str());
            return 2;
        }
        report(dialog, path, size, read_s, rows, processors);
    }

    attach_taskbar_progress(dialog, nullptr);
    DestroyWindow(dialog);
    DeleteFileW(path.c_str());
    return 0;
}
