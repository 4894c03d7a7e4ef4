#include "tools/driver/window_input.h"

#include "tools/driver/wait_for.h"

namespace drv {

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT onFailure) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeout, &result))
        return onFailure;
    return static_cast<LRESULT>(result);
}

std::string Narrow(const std::wstring& wide) {
    std::string narrow(wide.size() * 2 + 1, '\0');
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), narrow.data(),
                                         static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size > 0 ? size : 0));
    return narrow;
}

namespace {

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search.first) search.second.push_back(window);
    return TRUE;
}

std::vector<std::string> Items(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendWithTimeout(control, countMessage, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendWithTimeout(control, lengthMessage, i, 0);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendWithTimeout(control, textMessage, i, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(Narrow(text.c_str()));
    }
    return items;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD pid) {
    std::pair<DWORD, std::vector<HWND>> search{pid, {}};
    EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND FindTopWindow(DWORD pid, const char* title, const char* className) {
    for (HWND window : TopWindowsOf(pid))
        if ((!title || TextOf(window) == title) && (!className || ClassOf(window) == className)) return window;
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
bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

std::vector<std::string> ComboItems(HWND combo) {
    return Items(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}
std::vector<std::string> ListItems(HWND list) { return Items(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); }
int ComboSelection(HWND combo) { return static_cast<int>(SendWithTimeout(combo, CB_GETCURSEL, 0, 0, CB_ERR)); }

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void ChooseComboItem(HWND combo, int index) {
    SendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void PressKey(HWND window, UINT virtualKey) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const bool focused = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus;
    PressKeyOn(focused ? info.hwndFocus : window, virtualKey);
}

void PressKeyOn(HWND target, UINT virtualKey) {
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

bool WaitForPostedMessages(HWND combo, DWORD timeoutMs) {
    // The horizontal extent of the combo box's list: a value nothing shows
    // and the program never sets, changed by a posted message and read back.
    static WPARAM mark = 1000;
    const WPARAM extent = ++mark;
    PostMessageW(combo, CB_SETHORIZONTALEXTENT, extent, 0);
    bool taken = false;
    WaitUntil(
        [&] {
            return !IsWindow(combo) ||
                   (taken = SendWithTimeout(combo, CB_GETHORIZONTALEXTENT, 0, 0) == LRESULT(extent));
        },
        timeoutMs);
    return taken;
}

}  // namespace drv
