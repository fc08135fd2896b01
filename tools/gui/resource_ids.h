// Resource and control ids of Kestrune Packer (packer.rc, the window's code).
#pragma once

#define IDD_PACKER 100
#define IDI_PACKER 101

// A file, its installed name and the note under the name: main, second and
// extra in steps of ten.
#define IDC_MAIN 1001
#define IDC_MAIN_BROWSE 1002
#define IDC_MAIN_NAME 1003
#define IDC_MAIN_NOTE 1004
#define IDC_SECOND 1011
#define IDC_SECOND_BROWSE 1012
#define IDC_SECOND_NAME 1013
#define IDC_SECOND_NOTE 1014
#define IDC_EXTRA 1021
#define IDC_EXTRA_BROWSE 1022
#define IDC_EXTRA_NAME 1023
#define IDC_EXTRA_NOTE 1024
#define FILE_ID_STEP 10

#define IDC_COMPRESSED 1031
#define IDC_STORED 1032
#define IDC_BEST 1033
#define IDC_PARTS 1034
#define IDC_SILENT 1035

// Each text and the note under it that tells what an empty field means.
#define IDC_CONFIRM 1041
#define IDC_CONFIRM_NOTE 1042
#define IDC_DIALOG 1043
#define IDC_DIALOG_NOTE 1044
#define IDC_DONE 1045
#define IDC_DONE_NOTE 1046
#define IDC_FAILURE 1047
#define IDC_FAILURE_NOTE 1048
#define IDC_BAD_HEADER 1049
#define IDC_BAD_HEADER_NOTE 1050
#define IDC_NO_DONE 1051

#define IDC_OUTPUT 1061
#define IDC_OUTPUT_BROWSE 1062
#define IDC_ICON_FILE 1063
#define IDC_ICON_BROWSE 1064
#define IDC_ICON_PREVIEW 1065

#define IDC_PRODUCT_NAME 1071
#define IDC_PRODUCT_VERSION 1072
#define IDC_COMPANY 1073
#define IDC_COPYRIGHT 1074
#define IDC_DESCRIPTION 1075

#define IDC_PROGRESS 1081
#define IDC_SUMMARY 1082
#define IDC_OPEN 1083
#define IDC_SAVE 1084
// Build is IDOK (Enter), Close IDCANCEL (Esc), Help IDHELP (and F1, WM_HELP).
