// Reading and acting on another process's windows as a user would. Input is
// posted, so a handler that opens a modal loop never blocks the test. Texts
// are read as wide strings: Wine hands the ANSI texts of another process's
// controls back in UTF-16 whatever the message's character set.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace drv {

// How long a message to the program may wait for its UI thread, which
// blocks for up to 1.5 s while it opens a port.
constexpr DWORD kSendTimeout = 5000;  // ms

// SendMessageTimeoutW; onFailure when the window did not answer or is gone.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT onFailure = 0);
std::string Narrow(const std::wstring& wide);

// Top-level windows of a process, in z-order.
std::vector<HWND> TopWindowsOf(DWORD pid);
// The first top-level window of the process with this title (any when null)
// and class (any when null).
HWND FindTopWindow(DWORD pid, const char* title, const char* className);
std::string ClassOf(HWND window);
// The window's text as the window manager keeps it: never waits for the program.
std::string TextOf(HWND window);
std::string ControlText(HWND dialog, int id);
bool IsVisible(HWND window);
bool IsEnabled(HWND window);
// Lines of a combo box or list box.
std::vector<std::string> ComboItems(HWND combo);
std::vector<std::string> ListItems(HWND list);
int ComboSelection(HWND combo);  // CB_ERR for none

// A click on a push button (BM_CLICK: the button notifies its parent).
void Click(HWND button);
// Selects a combo box entry and tells the parent, as a choice with the mouse does.
void ChooseComboItem(HWND combo, int index);
// A key press and release at the focused window of the window's thread.
void PressKey(HWND window, UINT virtualKey);
// The same, addressed to exactly this window (a dialog takes Escape and Enter
// addressed to itself).
void PressKeyOn(HWND window, UINT virtualKey);
// Returns true once the UI thread of the combo box's program has taken every
// message posted or sent to it before.
bool WaitForPostedMessages(HWND combo, DWORD timeoutMs);

}  // namespace drv
