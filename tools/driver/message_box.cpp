#include "tools/driver/message_box.h"

#include "tools/driver/window_input.h"

namespace drv {

namespace {

// The static control that holds a message box's text, on Windows as on Wine.
constexpr int kMessageTextId = 0xFFFF;

}  // namespace

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageTextId); }

HWND FindMessageBox(DWORD pid, const char* caption, const char* textPart) {
    for (HWND window : TopWindowsOf(pid)) {
        if (ClassOf(window) != "#32770" || !IsVisible(window) || !GetDlgItem(window, kMessageTextId)) continue;
        if (caption && TextOf(window) != caption) continue;
        if (textPart && MessageBoxText(window).find(textPart) == std::string::npos) continue;
        return window;
    }
    return nullptr;
}

void AnswerMessageBox(HWND box, int buttonId) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

}  // namespace drv
