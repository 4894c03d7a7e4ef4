// JSON string literals on Linux, where the table's text is UTF-8: every
// character outside printable ASCII is written as \uXXXX (a surrogate pair
// above the BMP), and a byte that is no valid UTF-8 as U+FFFD, so the output
// is plain ASCII and valid JSON whatever a table holds.
#include <cstdio>

#include "cli/json_text.h"

namespace {

// How many bytes follow a lead byte (RFC 3629): C2 to DF one, E0 to EF two,
// F0 to F4 three; -1 for a byte that starts no character (80 to C1, F5 to FF).
int FollowingBytes(unsigned char lead) {
    if (lead >= 0xc2 && lead <= 0xdf) return 1;
    if (lead >= 0xe0 && lead <= 0xef) return 2;
    if (lead >= 0xf0 && lead <= 0xf4) return 3;
    return -1;
}

// Decodes one character at text; advances past it. Invalid: U+FFFD, one byte.
unsigned NextCodePoint(const unsigned char*& text) {
    const unsigned char lead = *text++;
    if (lead < 0x80) return lead;
    const int extra = FollowingBytes(lead);
    if (extra < 0) return 0xfffd;
    unsigned code = lead & (0x3f >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((text[i] & 0xc0) != 0x80) return 0xfffd;
        code = code << 6 | (text[i] & 0x3f);
    }
    // Overlong forms, surrogates and values beyond Unicode are no characters.
    static const unsigned kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || (code >= 0xd800 && code < 0xe000) || code > 0x10ffff) return 0xfffd;
    text += extra;
    return code;
}

void AppendEscape(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", unit);
    out += escape;
}

}  // namespace

std::string JsonString(const char* text) {
    if (!text) return "null";
    std::string out = "\"";
    for (auto at = reinterpret_cast<const unsigned char*>(text); *at;) {
        const unsigned c = NextCodePoint(at);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else if (c > 0xffff) {
            AppendEscape(out, 0xd800 + ((c - 0x10000) >> 10));
            AppendEscape(out, 0xdc00 + ((c - 0x10000) & 0x3ff));
        } else {
            AppendEscape(out, c);
        }
    }
    return out + "\"";
}
