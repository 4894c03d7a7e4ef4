// The test's side of the spy hook: hooks the program's UI thread, reads
// the log of texts and progress positions it set, and has the hook read the
// program's menus and bitmaps.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/driver/spy_shared.h"
#include "win32/scoped_handle.h"

namespace drv {

// The program's GDI and USER objects, as the spy counts them inside it.
struct GuiObjects {
    bool ok = false;
    int gdi = 0;  // all types
    int bitmaps = 0, dcs = 0, brushes = 0, fonts = 0;
    int windows = 0, menus = 0, cursors = 0;  // cursors: icons and cursors
    unsigned long long heapBytes = 0;         // busy in the C runtime's heap, where the program allocates
    int user() const { return windows + menus + cursors; }
};

struct MenuEntry {
    UINT id = 0;
    bool separator = false;
    std::string text;
};

class ProgramSpy {
public:
    ProgramSpy() = default;
    ~ProgramSpy();
    ProgramSpy(const ProgramSpy&) = delete;
    ProgramSpy& operator=(const ProgramSpy&) = delete;

    // Hooks the thread before it creates a window (start the process
    // suspended). The hook DLL lies beside the test program.
    bool Attach(DWORD pid, DWORD threadId, std::string* error);

    // Everything logged so far, oldest first.
    std::vector<spy::Event> Events() const;

    // Menus and bitmaps, read inside the program by a query to one of its
    // UI thread's windows. Empty / {0,0} when the query failed.
    std::vector<MenuEntry> SystemMenu(HWND window);
    std::vector<MenuEntry> Menu(HWND anyProgramWindow, HMENU menu);
    SIZE BitmapSize(HWND anyProgramWindow, HBITMAP bitmap);
    // HashBits of the bitmap's bits (GetBitmapBits), 0 when the query failed.
    unsigned long long BitmapBitsHash(HWND anyProgramWindow, HBITMAP bitmap);
    // Whether the UI thread shows the wait cursor; nullopt when the query
    // failed. Answered only once the thread handles sent messages again.
    std::optional<bool> WaitCursorShown(HWND anyProgramWindow);
    // The IDI_* id (32513..32517) of a system icon the program loaded, or 0.
    int SystemIconId(HWND anyProgramWindow, HICON icon);
    // Counted by the UI thread when it next handles sent messages.
    GuiObjects CountGuiObjects(HWND anyProgramWindow);
    // The box, in window's client coordinates, of the pixels of area (in the
    // same) that differ from its top-left one, as the window shows them:
    // where something is drawn on a plain background. Empty when nothing is.
    RECT DrawnBox(HWND window, const RECT& area);

private:
    bool Ask(HWND window, spy::QueryKind kind, DWORD handle, const RECT& box = {});
    std::vector<MenuEntry> MenuAnswer() const;

    ScopedHandle mapping_;
    spy::Shared* shared_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    UINT queryMessage_ = 0;
};

// The popup menu window (#32768) the process shows, or null.
HWND FindPopupMenu(DWORD pid);
// The menu a popup menu window shows (MN_GETHMENU).
HMENU PopupMenuHandle(HWND popup);

}  // namespace drv
