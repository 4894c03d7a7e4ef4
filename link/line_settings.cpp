#include "link/line_settings.h"

#include <cstddef>
#include <cstring>

namespace {
// The flags are bit fields in the DWORD that follows BaudRate.
constexpr std::size_t kFlagWordOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
}

void ApplyLineSettings(DCB& dcb) {
    dcb.BaudRate = CBR_19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    DWORD flags;
    unsigned char* raw = reinterpret_cast<unsigned char*>(&dcb);
    std::memcpy(&flags, raw + kFlagWordOffset, sizeof flags);
    flags = (flags & ~kDcbFlagsCleared) | kDcbFlagsSet;
    std::memcpy(raw + kFlagWordOffset, &flags, sizeof flags);
}

COMMTIMEOUTS ConnectionTimeouts() {
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 1000;
    return timeouts;
}
