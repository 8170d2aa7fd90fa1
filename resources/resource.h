// Resource numbers shared by the resource script and the code.
#pragma once

// Dialog templates.
#define IDD_TESSARO_DIALOG 102
#define IDD_DISPLAY 130
#define IDD_MAP 132
#define IDD_PROGRESS 135
#define IDD_INFORMATION 137
#define IDD_SELECT_DRIVE 138
#define IDD_NOTIFY 139
#define IDD_LOADING 140

// String table and icon.
#define IDS_SOCKETS_FAILED 103
#define IDR_MAINFRAME 128
