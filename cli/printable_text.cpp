#include "cli/printable_text.h"

#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned char byte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    out += escape;
}

}  // namespace

std::string PrintableText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9f;
        if (c1) {
            AppendEscape(out, byte);
            AppendEscape(out, static_cast<unsigned char>(text[++i]));
        } else if (byte < 0x20 || byte == 0x7f) {
            AppendEscape(out, byte);
        } else {
            out += text[i];
        }
    }
    return out;
}
