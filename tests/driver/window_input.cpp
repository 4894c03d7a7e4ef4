#include "tests/driver/window_input.h"

#include "tests/driver/window_query.h"

namespace drv {

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void SendCommand(HWND dialog, int controlId, int notification) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, notification),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

void ChooseComboItem(HWND combo, int index) {
    SendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void PressKey(HWND window, UINT virtualKey) {
    HWND target = FocusedWindowOf(window);
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

}  // namespace drv
