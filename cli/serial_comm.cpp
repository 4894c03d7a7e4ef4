#include "cli/serial_comm.h"

#include <windows.h>

#include "win32/scoped_handle.h"

namespace {

// A port name is ASCII ("COM12"): anything else is no name the program opens.
std::string AsciiName(const wchar_t* text, DWORD bytes) {
    std::string name;
    for (DWORD i = 0; i < bytes / sizeof(wchar_t) && text[i]; ++i)
        name += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return name;
}

}  // namespace

std::vector<std::string> SerialCommPorts() {
    std::vector<std::string> ports;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return ports;
    const ScopedRegistryKey key(opened);
    for (DWORD index = 0;; ++index) {
        wchar_t device[256], port[64];
        DWORD deviceLength = 256, type = 0, bytes = sizeof port;
        const LONG status = RegEnumValueW(key.Get(), index, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(port), &bytes);
        // A value too long for a port's name (ERROR_MORE_DATA), or of another type, names no port.
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) break;
        if (status == ERROR_SUCCESS && type == REG_SZ) ports.push_back(AsciiName(port, bytes));
    }
    return ports;
}
