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

bool OnlyEchoOf(const char* capture, const char* command) {
    char framed[kFramedCommandSize];
    const std::size_t length = FrameAtCommand(command, framed);
    framed[length - 2] = '\0';  // the capture holds no CR and LF
    std::size_t i = 0;
    while (capture[i] && framed[i] && (capture[i] | 0x20) == (framed[i] | 0x20)) ++i;
    return capture[0] == '\0' || (capture[i] == '\0' && framed[i] == '\0');
}
