// Text from outside the program (a process's name, a port's name, a country
// from the table, a modem's answer) as a message on a terminal may show it:
// control characters, which the terminal would obey, are written as \xHH.
#pragma once
#include <string>

// The text with each C0 control character and DEL, and each C1 control
// character in UTF-8 (C2 80 to C2 9F), written as \xHH escapes. Printable
// text, escapes included, comes back as it was.
std::string PrintableText(const std::string& text);
