#include "tools/driver/window_input.h"

#include "tools/driver/wait_for.h"
#include "tools/driver/window_query.h"

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

void PressKey(HWND window, UINT virtualKey) { PressKeyOn(FocusedWindowOf(window), virtualKey); }

void PressKeyOn(HWND target, UINT virtualKey) {
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

namespace {

// The middle of a line of a list box scrolled to its top, in client coordinates.
LPARAM ListItemPoint(HWND list, int index) {
    const int height = static_cast<int>(SendWithTimeout(list, LB_GETITEMHEIGHT, 0, 0));
    return MAKELPARAM(4, index * height + height / 2);
}

}  // namespace

void ClickListItem(HWND list, int index) {
    const LPARAM point = ListItemPoint(list, index);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
}

void DoubleClickListItem(HWND list, int index) {
    const LPARAM point = ListItemPoint(list, index);
    ClickListItem(list, index);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
}

bool WaitForPostedMessages(HWND combo, DWORD timeoutMs) {
    // Read again until the program answers: a failed read must not pick the
    // selection it already has.
    constexpr LRESULT kNoAnswer = -2;
    LRESULT count = 0, selection = kNoAnswer;
    const bool read = WaitUntil(
        [&] {
            count = SendWithTimeout(combo, CB_GETCOUNT, 0, 0, kNoAnswer);
            selection = SendWithTimeout(combo, CB_GETCURSEL, 0, 0, kNoAnswer);
            return count != kNoAnswer && selection != kNoAnswer;
        },
        timeoutMs);
    if (!read || count < 2) return false;
    const int next = static_cast<int>((selection + 1) % count);
    PostMessageW(combo, CB_SETCURSEL, next, 0);
    return WaitUntil([&] { return ComboSelection(combo) == next; }, timeoutMs);
}

}  // namespace drv
