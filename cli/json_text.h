// JSON string literals for the command-line companion's --json output.
#pragma once
#include <string>

// The text (in the system's code page) as a quoted JSON string: quotes,
// backslashes and control characters escaped, non-ASCII as \uXXXX, so the
// output is plain ASCII whatever the code page. nullptr gives null.
std::string JsonString(const char* text);
