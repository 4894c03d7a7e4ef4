#include "core/modem_commands.h"

#include <cstring>

namespace {
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool IsOnlyEcho(const char* reply, const char* command) {
    char echo[kFramedCommandSize];
    const std::size_t length = FrameAtCommand(command, echo) - 2;  // the capture holds no CR and LF
    if (reply[0] == '\0') return true;
    std::size_t i = 0;
    for (; i < length && reply[i]; ++i)
        if (AsciiLower(reply[i]) != AsciiLower(echo[i])) return false;
    return i == length && reply[i] == '\0';
}

std::size_t FrameAtCommand(const char* command, char (&out)[kFramedCommandSize]) {
    constexpr std::size_t kRoom = kFramedCommandSize - 5;  // "at", CR, LF, zero
    std::size_t length = std::strlen(command);
    if (length > kRoom) length = kRoom;
    out[0] = 'a';
    out[1] = 't';
    std::memcpy(out + 2, command, length);
    std::memcpy(out + 2 + length, "\r\n", 3);
    return length + 4;
}
