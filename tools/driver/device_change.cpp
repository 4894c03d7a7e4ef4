#include "tools/driver/device_change.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>

#include "tools/driver/wait_for.h"

namespace drv {

namespace {
// Bounds the send should the program never answer; a run takes about 13 s.
constexpr UINT kSendLimit = 120000;  // ms
}  // namespace

std::vector<unsigned char> PortRecord(const std::string& name, DWORD deviceType) {
    const std::size_t nameOffset = offsetof(DEV_BROADCAST_PORT_A, dbcp_name);
    std::vector<unsigned char> record(nameOffset + name.size() + 1, 0);
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = static_cast<DWORD>(record.size());
    header.dbch_devicetype = deviceType;
    std::memcpy(record.data(), &header, sizeof header);
    std::memcpy(record.data() + nameOffset, name.c_str(), name.size() + 1);
    return record;
}

DeviceChangeSend::DeviceChangeSend(HWND window, WPARAM event, std::vector<unsigned char> record)
    : record_(std::move(record)) {
    thread_ = std::thread([this, window, event] {
        const LPARAM data = record_.empty() ? 0 : reinterpret_cast<LPARAM>(record_.data());
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_DEVICECHANGE, event, data, SMTO_NORMAL, kSendLimit, &answer);
        result_ = static_cast<LRESULT>(answer);
        done_ = true;
    });
}

DeviceChangeSend::~DeviceChangeSend() {
    if (thread_.joinable()) thread_.join();
}

bool DeviceChangeSend::WaitDone(DWORD timeoutMs) const {
    return WaitUntil([this] { return done_.load(); }, timeoutMs);
}

}  // namespace drv
