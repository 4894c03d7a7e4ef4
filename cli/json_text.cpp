#include "cli/json_text.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

std::string JsonString(const char* text) {
    if (!text) return "null";
    const int length = static_cast<int>(std::strlen(text));
    std::vector<wchar_t> wide(length + 1);
    const int count = MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length + 1);
    std::string out = "\"";
    for (int i = 0; i < count; ++i) {
        const unsigned c = wide[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
    }
    return out + "\"";
}
