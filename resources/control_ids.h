// Control ids of the dialog templates, shared by the resource script, the
// windows that own the controls, and the tests that drive them.
#pragma once

// Main window: window buttons.
#define IDC_CLOSE               1000
#define IDC_MINIMIZE            1001
#define IDC_FULL_SCREEN         1002
#define IDC_MAXIMIZE            1053

// Main window: device, export and information buttons.
#define IDC_FILE_OPEN           1033
#define IDC_SAVE                1003
#define IDC_PRINT               1022
#define IDC_VERSION             1024

// Main window: playback.
#define IDC_PLAY                1006
#define IDC_STOP                1007
#define IDC_PREVIOUS            1008
#define IDC_NEXT                1009
#define IDC_PAUSE               1010    // hidden; pauses like Play does while playing
#define IDC_POSITION_SLIDER     1011
#define IDC_ELAPSED             1146
#define IDC_DURATION            1147
#define IDC_CHANNEL1_SURFACE    1148
#define IDC_CHANNEL2_SURFACE    1149

// Main window: channel view, mirror, flip, sound.
#define IDC_CHANNEL_VIEW        1026
#define IDC_VIEW_ALL            1027    // hidden
#define IDC_MIRROR              1052
#define IDC_FLIP                1065
#define IDC_SOUND               1050    // hidden, no action
#define IDC_VOLUME_SLIDER       1051

// Main window: recording lists, list groups and type filters.
#define IDC_FILE_LIST           1066
#define IDC_DATE_LIST           1067
#define IDC_HOUR_LIST           1068
#define IDC_EVENT_LIST          1073
#define IDC_SHOW_FILE_GROUP     1054    // hidden
#define IDC_SHOW_EVENT_LIST     1055    // hidden
#define IDC_FILTER_NORMAL       1057
#define IDC_FILTER_EVENT        1058
#define IDC_FILTER_PARK         1059
#define IDC_FILTER_PHOTO        1060
#define IDC_LABEL_NORMAL        1069
#define IDC_LABEL_EVENT         1070
#define IDC_LABEL_PARK          1071
#define IDC_LABEL_PHOTO         1072

// Main window: map panel buttons.
#define IDC_MAP_HIDE            1061
#define IDC_MAP_SHOW            1062
#define IDC_MAP_EXPAND          1063

// Main window: sensor readouts and the clock.
#define IDC_GSENSOR_X           1015
#define IDC_GSENSOR_Y           1016
#define IDC_GSENSOR_Z           1017
#define IDC_GPS_TIME            1018
#define IDC_GPS_LONGITUDE       1019
#define IDC_GPS_LATITUDE        1020
#define IDC_TIME_RANGE          1021
#define IDC_GSENSOR_GRAPH       1023
#define IDC_CLOCK               1064

// Map window.
#define IDC_MAP_BROWSER         1005
#define IDC_MAP_SPARE_BUTTON    1012    // hidden

// Export progress dialog.
#define IDC_PROGRESS_LABEL      1034
#define IDC_PROGRESS_ALL        1035    // hidden overall bar
#define IDC_PROGRESS_STEP       1036    // visible activity bar

// Drive dialog.
#define IDC_DRIVE_CANCEL        1130
#define IDC_DRIVE_TITLE         1131
#define IDC_DRIVE_LABEL         1132
#define IDC_DRIVE_LIST          1133

// Notification dialog.
#define IDC_NOTIFY_YES          1135
#define IDC_NOTIFY_NO           1136
#define IDC_NOTIFY_TITLE        1137
#define IDC_NOTIFY_MESSAGE      1138

// Information dialog.
#define IDC_INFO_TITLE          1139
#define IDC_INFO_VIEWER         1140
#define IDC_INFO_FIRMWARE       1141
#define IDC_INFO_SERIAL         1142
#define IDC_INFO_VIEWER_HEADING 1143
#define IDC_INFO_FIRMWARE_HEADING 1144
#define IDC_INFO_SERIAL_HEADING 1145
