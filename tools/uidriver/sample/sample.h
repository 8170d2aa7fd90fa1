// Control ids of the UI driver's sample dialog (shared by the .rc and the code).
#pragma once
#define IDD_SAMPLE 100
#define IDD_POPUP 101
#define IDC_PRESS 1001
#define IDC_OPTION 1002
#define IDC_STATUS 1003
#define IDC_EDIT 1004
#define IDC_LIST 1005
#define IDC_COMBO 1006
#define IDC_ASK 1007
#define IDC_POPUP 1008
#define IDC_EVENT 1009
#define IDC_DISABLED 1010
#define IDC_HIDDEN 1011
#define IDC_POPUP_TEXT 1101
// A command with no control, sent as WM_COMMAND by id.
#define ID_SAMPLE_CMD 40001
