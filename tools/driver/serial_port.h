// A COM port opened by the test itself, as another program would open it.
#pragma once
#include <windows.h>

#include <string>

#include "tools/driver/unique_handle.h"

namespace drv {

class TestSerialPort {
public:
    // Opens COMn for reading and writing, shared with no one.
    bool Open(int com, std::string* error);
    void Close() { handle_.Reset(); }
    // Reads what arrives until text has been read or the timeout passed;
    // returns everything read.
    std::string ReadUntil(const std::string& text, DWORD timeoutMs);

private:
    UniqueHandle handle_;
};

}  // namespace drv
