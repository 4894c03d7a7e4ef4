// The test's side of the spy hook: hooks the program's UI thread, reads
// the log of texts it set, and has the hook read the
// program's bitmaps, cursor, objects and pixels.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tools/driver/spy_shared.h"
#include "win32/scoped_handle.h"

namespace drv {

// The program's GDI and USER objects, as the spy counts them inside it.
struct GuiObjects {
    bool ok = false;
    int gdi = 0, bitmaps = 0;                 // all types, and bitmaps
    int windows = 0, menus = 0, cursors = 0;  // cursors: icons and cursors
    unsigned long long heapBytes = 0;         // busy in the C runtime's heap, where the program allocates
    int user() const { return windows + menus + cursors; }
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

    // Has the hook answer a query inside the program, by a message to one of
    // its UI thread's windows: answered only once that thread handles sent
    // messages again. The answer, or null when the query failed.
    const spy::Query* Ask(HWND window, spy::QueryKind kind, DWORD handle = 0, const RECT& box = {});
    GuiObjects CountGuiObjects(HWND anyProgramWindow);

private:
    ScopedHandle mapping_;
    spy::Shared* shared_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    UINT queryMessage_ = 0;
};

// The popup menu window (#32768) the process shows, or null.
HWND FindPopupMenu(DWORD pid);

}  // namespace drv
