// Message boxes of another process: finding one, reading it, answering it.
#pragma once
#include <windows.h>

#include <string>

namespace drv {

// A visible message box of the process whose caption matches (any caption
// when null) and whose text contains textPart (any when null).
HWND FindMessageBox(DWORD pid, const char* caption, const char* textPart);
std::string MessageBoxText(HWND box);
// Presses one of the box's buttons: IDOK, IDYES, IDNO, IDCANCEL...
void AnswerMessageBox(HWND box, int buttonId);

}  // namespace drv
