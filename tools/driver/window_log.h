// The top-level windows a process showed while the test watched: a poll
// loop samples them, so a window that came and went between two polls of
// a wait is still noticed.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace drv {

class WindowLog {
public:
    explicit WindowLog(DWORD pid) : pid_(pid) {}
    DWORD Pid() const { return pid_; }
    // Notes the process's visible top-level windows now.
    void Sample();
    // Distinct windows with this title seen visible, first seen first.
    std::vector<HWND> Seen(const std::string& title) const;
    // Distinct windows of this class seen visible (popup menus: "#32768").
    std::vector<HWND> SeenOfClass(const std::string& className) const;

private:
    struct Entry {
        HWND window;
        std::string title;
        std::string className;
    };
    DWORD pid_;
    std::vector<Entry> seen_;
};

}  // namespace drv
