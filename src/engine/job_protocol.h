// What the digest job and the main dialog agree on: the controls of the four algorithm rows,
// the private window messages that the job posts to the dialog, and the result codes that
// index the status-line message table.
//
// Plain constants only (no windows.h), so that portable code and tests can use them too.
#pragma once

#include <cstdint>

#include "engine/control_ids.h"

// The control ids of one algorithm row (engine/control_ids.h).
struct HashSlot {
    int32_t combo;         // algorithm drop-down list
    int32_t result;        // read-only result field
    int32_t verify;        // expected-digest field
    int32_t copy_button;   // "コピー"
    int32_t down_button;   // "↓"
    int32_t verify_button; // "検証"
};

// Rows 1 to 4 in order, then an all-zero row that ends the table.
inline constexpr HashSlot SlotControls[5] = {
    {IDC_ROW1_COMBO, IDC_ROW1_RESULT, IDC_ROW1_VERIFY, IDC_ROW1_COPY, IDC_ROW1_DOWN,
     IDC_ROW1_CHECK},
    {IDC_ROW2_COMBO, IDC_ROW2_RESULT, IDC_ROW2_VERIFY, IDC_ROW2_COPY, IDC_ROW2_DOWN,
     IDC_ROW2_CHECK},
    {IDC_ROW3_COMBO, IDC_ROW3_RESULT, IDC_ROW3_VERIFY, IDC_ROW3_COPY, IDC_ROW3_DOWN,
     IDC_ROW3_CHECK},
    {IDC_ROW4_COMBO, IDC_ROW4_RESULT, IDC_ROW4_VERIFY, IDC_ROW4_COPY, IDC_ROW4_DOWN,
     IDC_ROW4_CHECK},
    {0, 0, 0, 0, 0, 0},
};

inline constexpr int slot_count = 4;

// Private messages that the job posts to the dialog (WM_APP based, fixed values).
inline constexpr uint32_t WM_JOB_DONE = 0x8001;       // wParam 0: digests are in the rows
inline constexpr uint32_t WM_JOB_FAILED = 0x8002;     // wParam: ResultCode 6, 13, 14 or 15
inline constexpr uint32_t WM_PROGRESS_BEGIN = 0x8011; // reading begins
inline constexpr uint32_t WM_PROGRESS_END = 0x8012;   // the job's thread is about to end
inline constexpr uint32_t WM_PROGRESS_STEP = 0x8013;  // wParam: bytes just digested by all rows

// Status of a job step and index of the status-line message table (0 to 15). Code 1 has no
// name; the texts of 2 and 4 exist but nothing shows them.
enum class ResultCode : int32_t {
    Ok = 0,
    ConfirmExit = 2,
    ProgressText = 3,
    ProgressTextNamed = 4,
    Aborted = 5,
    Failed = 6,
    Completed = 7,
    CopyFailed = 8,
    Copied = 9,
    NothingToVerify = 10,
    Mismatch = 11,
    Match = 12,
    NoAlgorithm = 13,
    NoInputData = 14,
    WorkAreaFailed = 15,
};

inline constexpr int32_t result_code_count = 16;
