#pragma once
// Resource and control ids of the Windows wizard. The numbers the pages and
// dialogs have always had are kept; ids from 1040 on are this program's own
// additions (Detect, Verify, Save log, the note under the page). Included by
// the .rc file too: preprocessor definitions only.

// Dialog templates.
#define IDD_SCAN 129
#define IDD_SCAN_WAIT 131
#define IDD_SEARCH 132
#define IDD_FIRST 133
#define IDD_SUCCESS 135
#define IDD_MODE 136
#define IDD_MODE1 137
#define IDD_MODE_SUCCESS 138
#define IDD_CONNECTION 139
#define IDD_CONNECTING 140
#define IDD_PORT_SETTING 141
#define IDD_VERIFY 142
#define IDD_FAILURE 143
#define IDD_APPLYING 173
#define IDD_CHECKING 176

// Icons, bitmaps, the animation.
#define IDI_APP 128
#define IDI_MODULE 144
#define IDI_CONNECTOR 155
#define IDB_MODULE_PALE 169
#define IDR_CONNECTING_AVI 148

// Controls of the templates.
#define IDC_GATE_MODE1 1003
#define IDC_BAUD 1000
#define IDC_PARITY 1001
#define IDC_STOPBITS 1002
#define IDC_DEVICE_LIST 1005
#define IDC_CONNECT 1006
#define IDC_SEARCH_PROGRESS 1008
#define IDC_SEARCH 1011
#define IDC_CONNECTING_CANCEL 1012
#define IDC_CONNECTING_ANIMATE 1013
#define IDC_ADDRESS 1014
#define IDC_WIZARD_SETTING 1015
#define IDC_OK 1020
#define IDC_HEADING 1021
#define IDC_PORT 1022
#define IDC_JOBS_FINISHED 1022
#define IDC_INTRO 1024
#define IDC_MODE1_BAUD 1025
#define IDC_MODE1_PARITY 1026
#define IDC_MODE1_STOPBITS 1027
#define IDC_MODE_BAUD 1028
#define IDC_MODE_PARITY 1029
#define IDC_MODE_STOPBITS 1030
#define IDC_MODE1_NO_FLOW 1031
#define IDC_MODE_NO_FLOW 1032
#define IDC_GATE_MODE 1033
#define IDC_CONFIRM_SCAN 1034
#define IDC_CONFIRM_SEARCH 1035
#define IDC_PALE_UNIT2 1036
#define IDC_PALE_UNIT1 1037

// This program's own controls.
#define IDC_DETECT 1040
#define IDC_DETECT_TEXT 1041
#define IDC_PORT_TEXT 1042
#define IDC_VERIFY 1043
#define IDC_SAVE_LOG 1044
#define IDC_STORED_TEXT 1045
#define IDC_STEP_NOTE 1046
#define IDC_VERIFY_TEXT 1047
#define IDC_FAILURE_TEXT 1048
#define IDC_FAILURE_DETAILS 1049
#define IDC_BANNER_TEXT 1050
