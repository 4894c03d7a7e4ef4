// Switches on the themed ("three-dimensional") look of dialog controls and
// registers the common control classes the dialogs use (the progress bar).
#pragma once
#include <windows.h>

BOOL Enable3dControlsStatic();
