// Identifiers of the program's resources, controls and commands, grouped by
// kind, and the main window's title. Within one group no two identifiers
// share a value. Read by the resource compiler, the program, its test driver
// and benchmark, and (the title) by the shell scripts through tools/common.sh.
#pragma once

// The main window's title, by which tools and tests find the program
#define MAIN_WINDOW_TITLE "Korvane 2.6"

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_DETECT 143
#define IDD_MODEM_LIST 200

// Icons
#define IDR_MAINFRAME 128
#define IDI_NO_MODEM 189
#define IDI_DETECTING 191

// Bitmaps (the flags are named resources)
#define IDB_DETECT 131
#define IDB_LOGO 188

// Strings
#define IDS_ABOUTBOX 101

// Controls of the main window
#define IDC_SET 1005
#define IDC_OTHER_MODEM 1007
#define IDC_COUNTRY_NAME 1008
#define IDC_FLAG 1009
#define IDC_COUNTRY_LIST 1011
#define IDC_COUNTRY_GROUP 1016
#define IDC_CURRENT 1023
#define IDC_MODEM_STATUS 1024
#define IDC_QUIT 1027

// Controls of the progress dialog
#define IDC_DETECT_PROGRESS 1000
#define IDC_DETECT_OK 1005
#define IDC_DETECT_STATUS 1008

// Controls of the modem selection dialog
#define IDC_MODEM_LIST 1030

// Commands of the system menu and the notification-area menu
#define IDM_ABOUTBOX 0x0010
#define ID_TRAY_AUTODETECT 1124
#define ID_TRAY_SHOW 1125
#define ID_TRAY_QUIT 1126

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
