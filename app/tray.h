// State of the notification-area icon, and its icons.
#pragma once
#include <windows.h>

// What a left click on the icon does.
enum TrayState { kTrayNoModem = 0, kTrayModemKnown = 1, kTrayDetecting = 2 };

// Loads one of the program's icons at the notification area's 16 x 16 pixels.
HICON LoadTrayIcon(int id);
