#include "cli/serial_comm.h"

#include <windows.h>

namespace {

// An open registry key, closed when it goes.
class RegistryKey {
public:
    RegistryKey(HKEY parent, const wchar_t* path) {
        if (RegOpenKeyExW(parent, path, 0, KEY_QUERY_VALUE, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~RegistryKey() {
        if (m_key) RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

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
    const RegistryKey key(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
    if (!key.Get()) return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t device[256], port[64];
        DWORD deviceLength = 256, type = 0, bytes = sizeof port;
        const LONG status = RegEnumValueW(key.Get(), index, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(port), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A value too long for a port's name, or of another type, names no port.
        if (status == ERROR_SUCCESS && type == REG_SZ) ports.push_back(AsciiName(port, bytes));
    }
    return ports;
}
