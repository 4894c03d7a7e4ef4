// A stand-in for the shell's notification area: a topmost "Shell_TrayWnd"
// window, which Wine's Shell_NotifyIcon finds first and sends every icon
// change to as WM_COPYDATA. It records the changes, tells which of the
// program's icons each shows, and can click an icon as the shell does.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace drv {

// One Shell_NotifyIcon call as the notification area receives it.
struct TrayRecord {
    DWORD operation = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
    HWND owner = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    std::string tip;
    std::uint64_t iconHash = 0;  // spy::HashBits of the icon's mask and colour bits, 0 for none
};

class FakeTray {
public:
    FakeTray() = default;
    ~FakeTray();
    FakeTray(const FakeTray&) = delete;
    FakeTray& operator=(const FakeTray&) = delete;

    // Creates the window on its own thread.
    bool Start(std::string* error);
    std::vector<TrayRecord> Records() const;

    // Learns the tray icons (128, 189, 191) of the program file, loaded at
    // 16 x 16 as the program loads them.
    bool LearnIcons(const std::string& exePath, std::string* error);
    // The resource id of the icon a record shows, or 0.
    int IconOf(const TrayRecord& record) const;

    // Sends an icon's callback message as the shell does on a mouse event
    // (WM_LBUTTONDOWN, WM_RBUTTONDOWN...): wParam the icon's id.
    static void Notify(const TrayRecord& icon, UINT mouseMessage);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run(HANDLE ready);
    void Receive(HWND owner, const COPYDATASTRUCT& data);

    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    mutable std::mutex mutex_;
    std::vector<TrayRecord> records_;
    std::map<std::uint64_t, int> icons_;  // bits hash -> resource id
};

}  // namespace drv
