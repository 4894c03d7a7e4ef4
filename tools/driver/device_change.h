// Device broadcasts as the system sends them to a top-level window: a
// WM_DEVICECHANGE with the record of the device that arrived or went.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace drv {

// A DEV_BROADCAST_PORT_A record for a port of this name, its size covering
// the name and its terminator. deviceType other than DBT_DEVTYP_PORT gives
// the same bytes under another type.
std::vector<unsigned char> PortRecord(const std::string& name, DWORD deviceType);

// Sends one WM_DEVICECHANGE (SendMessage, the record copied across) from a
// thread of its own: the program may handle an arrival with a whole
// detection run before it answers.
class DeviceChangeSend {
public:
    // An empty record sends a null lParam.
    DeviceChangeSend(HWND window, WPARAM event, std::vector<unsigned char> record);
    ~DeviceChangeSend();
    DeviceChangeSend(const DeviceChangeSend&) = delete;
    DeviceChangeSend& operator=(const DeviceChangeSend&) = delete;

    bool Done() const { return done_.load(); }
    // True once the program has answered within the timeout.
    bool WaitDone(DWORD timeoutMs) const;
    LRESULT Result() const { return result_.load(); }

private:
    std::vector<unsigned char> record_;
    std::atomic<bool> done_{false};
    std::atomic<LRESULT> result_{0};
    std::thread thread_;
};

}  // namespace drv
