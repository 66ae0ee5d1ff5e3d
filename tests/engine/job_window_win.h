// The window side of the digest job's tests: the real main dialog (template 101, its own
// dialog procedure) with a progress display attached and its window procedure wrapped so
// that the job's private messages are recorded in the order they are handled; input files
// written for a test; bounded message loops.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "digest/catalogue.h"
#include "engine/hash_job_win.h"
#include "ui/taskbar_progress_win.h"

// One private message as the dialog received it; full_bars counts the times the progress
// bar had been set full (the job completing it) before.
struct JobMessage {
    uint32_t message;
    uint64_t wparam;
    int full_bars;
    bool operator==(const JobMessage& other) const
    {
        return message == other.message && wparam == other.wparam;
    }
};
std::ostream& operator<<(std::ostream& out, const JobMessage& message);

JobMessage begin_message();
JobMessage step_message(uint64_t bytes);
JobMessage done_message();
JobMessage failed_message(int32_t code);
JobMessage end_message();

// A file of the test's own in the working folder, removed when the object goes.
class TestFile {
public:
    TestFile(const std::string& name, const std::vector<uint8_t>& bytes);
    ~TestFile();
    TestFile(const TestFile&) = delete;
    TestFile& operator=(const TestFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

class JobWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Row 0..3 shows the algorithm (0 = "--------").
    void choose(int row, AlgorithmId id);
    void choose_rows(const std::vector<AlgorithmId>& ids); // rows not named get 0
    void use_file(const std::wstring& path);
    void use_text(const std::wstring& text);
    void fill_results(const std::wstring& text);
    std::wstring result(int row) const;
    std::wstring status() const;

    // A job for the dialog whose messages the dialog acts on (its current run); not started.
    HashJob* new_job(HashJob::SourceOpener opener = nullptr);
    // Starts a job and runs the message loop until it reports its end (WM_PROGRESS_END, or
    // WM_JOB_FAILED before any WM_PROGRESS_BEGIN), then deletes it and takes what it left
    // queued. False when the job did not end in time.
    bool run_job(HashJob::SourceOpener opener = nullptr);
    // Deletes job, failing the test when the deletion does not return in time.
    void delete_job(HashJob* job);

    // Dispatches messages until condition holds, for at most milliseconds.
    bool pump_until(const std::function<bool()>& condition, DWORD milliseconds = 20000);
    // Dispatches whatever is queued now (the job's thread has ended: all it posted is here).
    void drain();
    // Serves only messages sent to this thread (the job's calls into the window) until one
    // of the given kind has been posted to the dialog; posted messages stay queued. What the
    // job sends after posting it is served only if it comes within the same serving pass:
    // give the job enough input that it cannot.
    bool serve_until_posted(uint32_t message, DWORD milliseconds = 20000);
    // Waits, serving nothing, until a message sent by another thread is pending here.
    bool wait_for_sent_message(DWORD milliseconds = 20000);

    // Forgets the messages and full bars recorded so far.
    void clear_record();
    size_t count(uint32_t message) const;
    bool received(uint32_t message) const { return count(message) > 0; }

    HWND dialog_ = nullptr;
    std::unique_ptr<TaskbarProgress> progress_;
    static std::vector<JobMessage> messages_;
    static int full_bars_;

private:
    static LRESULT CALLBACK recording_proc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK recording_bar_proc(HWND, UINT, WPARAM, LPARAM);
    static WNDPROC dialog_proc_;
    static WNDPROC bar_proc_;
};

// Upper-case digest text of an algorithm's known-answer vector, as a wide string.
std::wstring vector_digest(AlgorithmId id, const std::string& set, uint64_t length);
std::wstring wide(const std::string& text);
