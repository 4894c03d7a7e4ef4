#include "tools/driver/serial_port.h"

namespace drv {

namespace {
constexpr DWORD kReadSlice = 100;  // ms one read waits for bytes
}  // namespace

bool TestSerialPort::Open(int com, std::string* error) {
    const std::string name = "\\\\.\\COM" + std::to_string(com);
    handle_.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_.Valid()) {
        *error = "cannot open COM" + std::to_string(com) + ": error " + std::to_string(GetLastError());
        return false;
    }
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadSlice;
    SetCommTimeouts(handle_.Get(), &timeouts);
    return true;
}

std::string TestSerialPort::ReadUntil(const std::string& text, DWORD timeoutMs) {
    std::string got;
    const DWORD start = GetTickCount();
    while (got.find(text) == std::string::npos && GetTickCount() - start < timeoutMs) {
        char buffer[256];
        DWORD count = 0;
        if (!ReadFile(handle_.Get(), buffer, sizeof buffer, &count, nullptr)) break;
        got.append(buffer, count);
    }
    return got;
}

}  // namespace drv
