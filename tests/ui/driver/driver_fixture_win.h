// The end-to-end tests' fixture: a fresh Dravik.exe per test, worked through RemoteDialog,
// and the input files the runs digest (made once per test program in a temporary folder).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "remote_dialog_win.h"
#include "support/reader_hold_win.h"

// Status texts exactly as the window shows them ("%s: %s" of title and message).
extern const wchar_t* const status_completed;
extern const wchar_t* const status_aborted;
extern const wchar_t* const status_no_input;
extern const wchar_t* const status_no_algorithm;
extern const wchar_t* const status_match;
extern const wchar_t* const status_mismatch;
extern const wchar_t* const status_nothing_to_verify;
extern const wchar_t* const status_copied;
extern const wchar_t* const start_caption; // "開始(&S)"
extern const wchar_t* const abort_caption; // "中断(&A)"
extern const wchar_t* const no_algorithm;  // "--------"
// The rows' algorithm lists, rows 1 to 4.
extern const int combo_ids[4];
// Disabled during a run: the options, both fields, the browse button, the four lists.
extern const int input_ids[9];

// Upper-case digest of length bytes of the vectors' pattern (byte i = (i * 7 + 3) mod 256)
// from vectors/<name>.txt; empty when the file has no such line.
std::wstring expected_pattern_digest(const std::wstring& name, uint64_t length);
// Upper-case digest of bytes computed by our own digest code.
std::wstring own_digest(const std::wstring& name, const std::string& bytes);
std::wstring lower_case(std::wstring text);

// The programs under test, as Windows paths: Dravik.exe, and the same program built with the
// reader hold (support/reader_hold_win.h).
std::wstring dravik_exe();
std::wstring dravik_held_exe();

// The temporary folder of this test program and its files (Windows paths).
std::wstring driver_folder();
// A file of length pattern bytes; made on first use.
std::wstring pattern_file(uint64_t length);
// A file of these bytes at name inside that folder (backslashes make the folders on the way;
// any length); made on first use, its plain full path returned.
std::wstring driver_file(const std::wstring& name, const std::vector<uint8_t>& bytes);
// A sparse file of zero bytes, many chunks long, for runs that start_long_run holds.
std::wstring long_run_file();

class DriverTest : public ::testing::Test {
protected:
    using Rows = std::array<std::wstring, 4>;

    void SetUp() override;
    void TearDown() override;

    // The program SetUp launches: Dravik.exe; dravik_held.exe where a test holds a run.
    virtual std::wstring program() const;

    // Picks each row's algorithm by its list text ("--------" for none).
    ::testing::AssertionResult choose_rows(const Rows& names);
    // The file option with path, or the text option with text, the way a user sets them.
    ::testing::AssertionResult use_file(const std::wstring& path);
    ::testing::AssertionResult use_text(const std::wstring& text);
    // Empties the status line, presses Start and waits until the window is idle again with a
    // status set; status receives it. Drops the hold of an earlier start_long_run first.
    ::testing::AssertionResult run(std::wstring* status, DWORD timeout_ms = 60000);
    // Arms hold_ after the second read of the next run, presses Start and waits until the
    // run's reader is held there and the window shows progress: the run is reading, and stays
    // so until it is aborted, the window closes or the hold is released, however slow or fast
    // the machine. The input must be longer than two chunks and the program dravik_held.exe.
    ::testing::AssertionResult start_long_run();
    Rows results() const;
    bool idle() const;

    RemoteDialog dravik_;
    std::unique_ptr<ReaderHold> hold_;
};
