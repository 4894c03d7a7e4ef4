// Registers the common control classes the dialogs use (the progress bar),
// loading comctl32.dll from the system directory only.
#pragma once
#include <windows.h>

BOOL Enable3dControlsStatic();
