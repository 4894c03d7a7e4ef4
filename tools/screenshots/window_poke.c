/* Operates Korvane's windows for the screenshot script, from inside the same
 * Wine prefix:
 *   window_poke rect <class|-> <title>          prints "WxH+X+Y" of the visible window
 *   window_poke command <class|-> <title> <id>  posts WM_COMMAND id
 *   window_poke select <class|-> <title> <control-id> <index>  selects a list box line
 *   window_poke tray <title>                    posts a left click on the tray icon
 *   window_poke count <class|-> <title> <control-id>  prints a combo box's item count
 * A class of "-" matches any class. Exit code 1 when the window is not found. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TRAY_ICON_ID 1008
#define WM_TRAYNOTIFY (WM_APP + 100)

static HWND Find(const char* className, const char* title) {
    return FindWindowA(strcmp(className, "-") == 0 ? NULL : className, title);
}

int main(int argc, char** argv) {
    /* Screen coordinates in real pixels whatever the DPI: the script crops
     * the X screen with them. */
    SetProcessDPIAware();
    if (argc >= 4 && strcmp(argv[1], "rect") == 0) {
        HWND window = Find(argv[2], argv[3]);
        RECT r;
        if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &r)) return 1;
        printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        return 0;
    }
    if (argc >= 5 && strcmp(argv[1], "command") == 0) {
        HWND window = Find(argv[2], argv[3]);
        return window && PostMessageA(window, WM_COMMAND, (WPARAM)atoi(argv[4]), 0) ? 0 : 1;
    }
    if (argc >= 6 && strcmp(argv[1], "select") == 0) {
        HWND window = Find(argv[2], argv[3]);
        HWND list = window ? GetDlgItem(window, atoi(argv[4])) : NULL;
        DWORD_PTR result = 0;
        return list && SendMessageTimeoutA(list, LB_SETCURSEL, (WPARAM)atoi(argv[5]), 0, SMTO_ABORTIFHUNG, 5000,
                                           &result)
                   ? 0
                   : 1;
    }
    if (argc >= 3 && strcmp(argv[1], "tray") == 0) {
        HWND window = Find("-", argv[2]);
        return window && PostMessageA(window, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDOWN) ? 0 : 1;
    }
    if (argc >= 5 && strcmp(argv[1], "count") == 0) {
        HWND window = Find(argv[2], argv[3]);
        HWND combo = window ? GetDlgItem(window, atoi(argv[4])) : NULL;
        DWORD_PTR count = 0;
        if (!combo || !SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return 1;
        printf("%ld\n", (long)count);
        return 0;
    }
    fprintf(stderr, "usage: window_poke rect|command|select|tray|count ...\n");
    return 2;
}
