#pragma once

#include <optional>
#include <string>

// The line settings a terminal currently has, as
// "baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1"; nullopt if unreadable.
// On a Linux pty the kernel forces 8 data bits and no parity, so only speed,
// stop bits and flow control reflect what the host set.
std::optional<std::string> describe_line_settings(int tty_fd);
