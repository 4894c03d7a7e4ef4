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
// A key press and release posted to exactly this window (a dialog takes
// Escape and Enter addressed to itself).
void PressKeyOn(HWND window, UINT virtualKey);
// A mouse click, or a double click, on a list box line, as the mouse sends it.
void ClickListItem(HWND list, int index);
void DoubleClickListItem(HWND list, int index);
// Returns true once the UI thread of the combo box's program has taken every
// message posted or sent to it before: posts a change of the combo box's
// selection and waits for it. The selection moves on by one.
bool WaitForPostedMessages(HWND combo, DWORD timeoutMs);

}  // namespace drv
