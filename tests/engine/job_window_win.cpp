#include "job_window_win.h"

#include "ui/dialog_state_win.h"

#include <commctrl.h>

#include <ostream>

#include "engine/job_protocol.h"
#include "support/vectors.h"
#include "ui/main_dialog_win.h"
#include "ui/resource.h"

std::vector<JobMessage> JobWindowTest::messages_;
int JobWindowTest::full_bars_ = 0;
WNDPROC JobWindowTest::dialog_proc_ = nullptr;
WNDPROC JobWindowTest::bar_proc_ = nullptr;

std::ostream& operator<<(std::ostream& out, const JobMessage& message)
{
    const char* name = "?";
    switch (message.message) {
    case WM_JOB_DONE:
        name = "done";
        break;
    case WM_JOB_FAILED:
        name = "failed";
        break;
    case WM_PROGRESS_BEGIN:
        name = "begin";
        break;
    case WM_PROGRESS_END:
        name = "end";
        break;
    case WM_PROGRESS_STEP:
        name = "step";
        break;
    }
    return out << name << "(" << message.wparam << ")";
}

JobMessage begin_message() { return {WM_PROGRESS_BEGIN, 0, 0}; }
JobMessage step_message(uint64_t bytes) { return {WM_PROGRESS_STEP, bytes, 0}; }
JobMessage done_message() { return {WM_JOB_DONE, 0, 0}; }
JobMessage failed_message(int32_t code) { return {WM_JOB_FAILED, static_cast<uint64_t>(code), 0}; }
JobMessage end_message() { return {WM_PROGRESS_END, 0, 0}; }

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring vector_digest(AlgorithmId id, const std::string& set, uint64_t length)
{
    for (const KnownAnswer& answer : load_vectors(algorithm_name(id))) {
        if (answer.set == set && answer.length == length)
            return wide(answer.hex);
    }
    ADD_FAILURE() << "no vector " << set << " " << length << " for " << algorithm_name(id);
    return L"?";
}

TestFile::TestFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::wstring relative = L"job_test_" + wide(name) + L".bin";
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    path_ = full;
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    size_t written = 0;
    while (written < bytes.size()) {
        DWORD piece = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1 << 20));
        if (!WriteFile(file, bytes.data() + written, want, &piece, nullptr) || piece == 0)
            break;
        written += piece;
    }
    EXPECT_EQ(written, bytes.size());
    CloseHandle(file);
}

TestFile::~TestFile() { DeleteFileW(path_.c_str()); }

LRESULT CALLBACK JobWindowTest::recording_proc(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam)
{
    if (message == WM_JOB_DONE || message == WM_JOB_FAILED || message == WM_PROGRESS_BEGIN ||
        message == WM_PROGRESS_END || message == WM_PROGRESS_STEP) {
        messages_.push_back({message, static_cast<uint64_t>(wparam), full_bars_});
    }
    return CallWindowProcW(dialog_proc_, window, message, wparam, lparam);
}

// The job completes the bar by a call from its own thread, served here: counted apart from
// the bar's position, which a late WM_PROGRESS_BEGIN would set back to 0.
LRESULT CALLBACK JobWindowTest::recording_bar_proc(HWND window, UINT message, WPARAM wparam,
                                                   LPARAM lparam)
{
    if (message == PBM_SETPOS && wparam == TaskbarProgress::bar_range)
        ++full_bars_;
    return CallWindowProcW(bar_proc_, window, message, wparam, lparam);
}

void JobWindowTest::SetUp()
{
    clear_record();
    dialog_ = create_main_dialog(GetModuleHandleW(nullptr));
    ASSERT_NE(dialog_, nullptr) << GetLastError();
    progress_.reset(new TaskbarProgress(dialog_, GetDlgItem(dialog_, IDC_PROGRESS), nullptr));
    attach_taskbar_progress(dialog_, progress_.get());
    dialog_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recording_proc)));
    bar_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(GetDlgItem(dialog_, IDC_PROGRESS), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(recording_bar_proc)));
}

void JobWindowTest::TearDown()
{
    if (dialog_ != nullptr && IsWindow(dialog_))
        DestroyWindow(dialog_);
    drain(); // takes the quit message that destruction posts
    progress_.reset();
}

void JobWindowTest::choose(int row, AlgorithmId id)
{
    SendDlgItemMessageW(dialog_, SlotControls[row].combo, CB_SETCURSEL, static_cast<WPARAM>(id), 0);
}

void JobWindowTest::choose_rows(const std::vector<AlgorithmId>& ids)
{
    for (int row = 0; row < slot_count; ++row)
        choose(row, row < static_cast<int>(ids.size()) ? ids[row] : algorithm_none);
}

void JobWindowTest::use_file(const std::wstring& path)
{
    CheckDlgButton(dialog_, IDC_FILE_OPTION, BST_CHECKED);
    CheckDlgButton(dialog_, IDC_TEXT_OPTION, BST_UNCHECKED);
    SetDlgItemTextW(dialog_, IDC_PATH, path.c_str());
}

void JobWindowTest::use_text(const std::wstring& text)
{
    CheckDlgButton(dialog_, IDC_FILE_OPTION, BST_UNCHECKED);
    CheckDlgButton(dialog_, IDC_TEXT_OPTION, BST_CHECKED);
    SetDlgItemTextW(dialog_, IDC_TEXT, text.c_str());
}

void JobWindowTest::fill_results(const std::wstring& text)
{
    for (int row = 0; row < slot_count; ++row)
        SetDlgItemTextW(dialog_, SlotControls[row].result, text.c_str());
}

namespace {

std::wstring text_of(HWND window)
{
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

} // namespace

std::wstring JobWindowTest::result(int row) const
{
    return text_of(GetDlgItem(dialog_, SlotControls[row].result));
}

std::wstring JobWindowTest::status() const { return text_of(GetDlgItem(dialog_, IDC_STATUS)); }

HashJob* JobWindowTest::new_job(HashJob::SourceOpener opener)
{
    HashJob* job = opener != nullptr ? new HashJob(dialog_, progress_.get(), opener)
                                     : new HashJob(dialog_, progress_.get());
    main_dialog(dialog_)->run = job->run_id();
    return job;
}

bool JobWindowTest::run_job(HashJob::SourceOpener opener)
{
    HashJob* job = new_job(opener);
    if (job->start() == 0) {
        delete job;
        ADD_FAILURE() << "the job's thread did not start";
        return false;
    }
    const bool ended = pump_until([this] {
        return received(WM_PROGRESS_END) ||
               (received(WM_JOB_FAILED) && !received(WM_PROGRESS_BEGIN));
    });
    delete_job(job);
    return ended;
}

void JobWindowTest::delete_job(HashJob* job)
{
    // Bounded by the watchdog of the test program: a deletion that hangs ends the program.
    delete job;
    drain();
}

bool JobWindowTest::pump_until(const std::function<bool()>& condition, DWORD milliseconds)
{
    const DWORD begin = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - begin > milliseconds)
            return false;
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void JobWindowTest::drain()
{
    MSG message;
    for (int i = 0; i < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool JobWindowTest::serve_until_posted(uint32_t message, DWORD milliseconds)
{
    const DWORD begin = GetTickCount();
    MSG queued;
    // Looked for without serving, then served apart: a message sent after the posted one
    // (the job's later calls) stays pending as long as the job's work between them lasts.
    while (!PeekMessageW(&queued, dialog_, message, message, PM_NOREMOVE | PM_QS_POSTMESSAGE)) {
        if (GetTickCount() - begin > milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE | QS_POSTMESSAGE);
        PeekMessageW(&queued, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

bool JobWindowTest::wait_for_sent_message(DWORD milliseconds)
{
    const DWORD begin = GetTickCount();
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0) {
        if (GetTickCount() - begin > milliseconds)
            return false;
        Sleep(1);
    }
    return true;
}

void JobWindowTest::clear_record()
{
    messages_.clear();
    full_bars_ = 0;
}

size_t JobWindowTest::count(uint32_t message) const
{
    size_t found = 0;
    for (const JobMessage& item : messages_)
        found += item.message == message ? 1 : 0;
    return found;
}
