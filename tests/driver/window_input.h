// Acting on another process's windows as a user would. Everything is
// posted, so a handler that opens a modal loop never blocks the test.
#pragma once
#include <windows.h>

namespace drv {

// A click on a push button (BM_CLICK: the button notifies its parent).
void Click(HWND button);
// The notification a control sends its parent, without the control.
void SendCommand(HWND dialog, int controlId, int notification = BN_CLICKED);
// Selects a combo box entry and tells the parent, as a choice with the mouse does.
void ChooseComboItem(HWND combo, int index);
// A key press and release at the focused window of the given window's thread.
void PressKey(HWND window, UINT virtualKey);

}  // namespace drv
