#include "text_escape.h"

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case '\\': out.push_back('\\'); break;
        case 'x': {
            int high = i + 1 < text.size() ? hex_digit_value(text[i + 1]) : -1;
            int low = i + 2 < text.size() ? hex_digit_value(text[i + 2]) : -1;
            if (high < 0 || low < 0) return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

std::string escape(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u >= 0x7f) {
            out += "\\x";
            out.push_back(kHexDigits[u >> 4]);
            out.push_back(kHexDigits[u & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string to_hex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto u = static_cast<unsigned char>(c);
        out.push_back(kHexDigits[u >> 4]);
        out.push_back(kHexDigits[u & 15]);
    }
    return out;
}
