#include "tools/driver/window_log.h"

#include "tools/driver/window_query.h"

namespace drv {

void WindowLog::Sample() {
    for (HWND window : TopWindowsOf(pid_)) {
        if (!IsVisible(window)) continue;
        const std::string title = TextOf(window);
        const std::string className = ClassOf(window);
        bool known = false;
        for (const Entry& e : seen_)
            known = known || (e.window == window && e.title == title && e.className == className);
        if (!known) seen_.push_back({window, title, className});
    }
}

std::vector<HWND> WindowLog::Seen(const std::string& title) const {
    std::vector<HWND> found;
    for (const Entry& e : seen_) {
        if (e.title != title) continue;
        bool listed = false;
        for (HWND w : found) listed = listed || w == e.window;
        if (!listed) found.push_back(e.window);
    }
    return found;
}

std::vector<HWND> WindowLog::SeenOfClass(const std::string& className) const {
    std::vector<HWND> found;
    for (const Entry& e : seen_) {
        if (e.className != className) continue;
        bool listed = false;
        for (HWND w : found) listed = listed || w == e.window;
        if (!listed) found.push_back(e.window);
    }
    return found;
}

}  // namespace drv
