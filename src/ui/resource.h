// Resource and control ids of the main dialog, shared by dravik.rc and the code; the ids of
// the controls that the digest job reads and writes come from engine/control_ids.h.
#pragma once

#include "engine/control_ids.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1) // labels and group boxes that no code refers to
#endif

#define IDD_MAIN 101
#define IDI_APPLICATION_ICON 102

#define IDC_BROWSE 1005
#define IDC_CHARACTER_COUNT 1006

#define IDC_PROGRESS 1081
#define IDC_STATUS 1082
#define IDC_START 1088
#define IDC_EXIT 1089
