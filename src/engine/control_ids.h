// Ids of the main dialog's controls that the digest job reads and writes: the input panel and
// the four algorithm rows. Plain definitions, so that the dialog template (through
// ui/resource.h) and the code share them.
#pragma once

#define IDC_FILE_OPTION 1001
#define IDC_TEXT_OPTION 1002
#define IDC_PATH 1003
#define IDC_TEXT 1004

#define IDC_ROW1_COMBO 1011
#define IDC_ROW1_RESULT 1012
#define IDC_ROW1_VERIFY 1013
#define IDC_ROW1_COPY 1014
#define IDC_ROW1_DOWN 1015
#define IDC_ROW1_CHECK 1016
#define IDC_ROW2_COMBO 1021
#define IDC_ROW2_RESULT 1022
#define IDC_ROW2_VERIFY 1023
#define IDC_ROW2_COPY 1024
#define IDC_ROW2_DOWN 1025
#define IDC_ROW2_CHECK 1026
#define IDC_ROW3_COMBO 1031
#define IDC_ROW3_RESULT 1032
#define IDC_ROW3_VERIFY 1033
#define IDC_ROW3_COPY 1034
#define IDC_ROW3_DOWN 1035
#define IDC_ROW3_CHECK 1036
// Row 4 has its copy button and verify field the other way round.
#define IDC_ROW4_COMBO 1041
#define IDC_ROW4_RESULT 1042
#define IDC_ROW4_COPY 1043
#define IDC_ROW4_VERIFY 1044
#define IDC_ROW4_DOWN 1045
#define IDC_ROW4_CHECK 1046
