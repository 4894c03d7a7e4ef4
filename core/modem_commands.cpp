#include "core/modem_commands.h"

#include <cstring>

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
