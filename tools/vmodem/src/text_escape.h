#pragma once

#include <optional>
#include <string>
#include <string_view>

// Value of one hex digit (either case), or -1.
int hex_digit_value(char c);

// Decodes \r \n \t \\ and \xHH in control-channel text; nullopt on a bad escape.
std::optional<std::string> unescape(std::string_view text);

// The inverse of unescape: printable ASCII stays, everything else is escaped.
std::string escape(std::string_view bytes);

// Lower-case hex pairs without separators.
std::string to_hex(std::string_view bytes);
