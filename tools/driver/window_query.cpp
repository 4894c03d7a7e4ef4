#include "tools/driver/window_query.h"

#include <commctrl.h>

#include "tools/driver/text.h"

namespace drv {

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT onFailure) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeout, &result)) return onFailure;
    return static_cast<LRESULT>(result);
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

namespace {

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    if (ProcessOf(window) == search.pid) search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopWindow(DWORD pid, const char* title, const char* className) {
    for (HWND window : TopWindowsOf(pid)) {
        if (title && TextOf(window) != title) continue;
        if (className && ClassOf(window) != className) continue;
        return window;
    }
    return nullptr;
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return Narrow(name);
}

std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    InternalGetWindowText(window, text, 1024);
    return Narrow(text);
}

std::string ControlText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

SIZE ClientSize(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

namespace {

std::vector<std::string> Items(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendWithTimeout(control, countMessage, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendWithTimeout(control, lengthMessage, i, 0);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendWithTimeout(control, textMessage, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(wcslen(text.c_str()));
        items.push_back(Narrow(text));
    }
    return items;
}

}  // namespace

std::vector<std::string> ComboItems(HWND combo) {
    return Items(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int ComboSelection(HWND combo) { return static_cast<int>(SendWithTimeout(combo, CB_GETCURSEL, 0, 0, CB_ERR)); }

std::vector<std::string> ListItems(HWND list) { return Items(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); }

int ListSelection(HWND list) { return static_cast<int>(SendWithTimeout(list, LB_GETCURSEL, 0, 0, LB_ERR)); }

int ProgressPosition(HWND progress) { return static_cast<int>(SendWithTimeout(progress, PBM_GETPOS, 0, 0, -1)); }

HBITMAP PictureBitmap(HWND picture) {
    return reinterpret_cast<HBITMAP>(SendWithTimeout(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

HWND FocusedWindowOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(ThreadOf(window), &info) && info.hwndFocus) return info.hwndFocus;
    return window;
}

}  // namespace drv
