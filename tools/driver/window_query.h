// Finding another process's windows and reading what its controls show.
// Texts are read as wide strings: Wine hands ANSI texts of another process's
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

DWORD ProcessOf(HWND window);
DWORD ThreadOf(HWND window);

// Top-level windows of a process, in z-order.
std::vector<HWND> TopWindowsOf(DWORD pid);
// The first top-level window of the process whose title and class match;
// a null title or class matches any.
HWND FindTopWindow(DWORD pid, const char* title, const char* className);

std::string ClassOf(HWND window);
// The window's text as the window manager keeps it: never waits for the
// program's UI thread.
std::string TextOf(HWND window);
std::string ControlText(HWND dialog, int id);

bool IsEnabled(HWND window);
bool IsVisible(HWND window);
// The client area's size: a picture control without SS_REALSIZECONTROL
// takes the size of its picture.
SIZE ClientSize(HWND window);

std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);  // CB_ERR (-1) for none, or when the combo is gone
std::vector<std::string> ListItems(HWND list);
int ListSelection(HWND list);  // LB_ERR (-1) for none
int ProgressPosition(HWND progress);  // -1 when the control is gone
// The HBITMAP a picture control shows (a handle of the program's process).
HBITMAP PictureBitmap(HWND picture);

// The window that has the keyboard focus in the given window's thread, or
// that window itself.
HWND FocusedWindowOf(HWND window);

}  // namespace drv
