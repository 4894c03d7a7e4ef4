#include "core/gci_reply.h"

#include <cctype>

namespace {

constexpr char kPrefix[] = "+GCI:";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

// The text after "+GCI:" and its blanks, when the line is such an answer.
bool AfterPrefix(const std::string& line, std::string& rest) {
    if (line.compare(0, kPrefixLength, kPrefix) != 0) return false;
    std::size_t at = kPrefixLength;
    while (at < line.size() && line[at] == ' ') ++at;
    rest = line.substr(at);
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// One or two hex digits at text[at], blanks around them skipped; -1 for anything else.
int ReadCode(const std::string& text, std::size_t& at) {
    while (at < text.size() && text[at] == ' ') ++at;
    int code = -1;
    for (int digits = 0; digits < 2 && at < text.size() && HexValue(text[at]) >= 0; ++digits, ++at)
        code = (code < 0 ? 0 : code * 16) + HexValue(text[at]);
    while (at < text.size() && text[at] == ' ') ++at;
    return code;
}

}  // namespace

int ParseGciCountry(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::string rest;
        if (!AfterPrefix(line, rest)) continue;
        std::size_t at = 0;
        const int code = ReadCode(rest, at);
        if (code >= 0 && at == rest.size()) return code;
    }
    return -1;
}

bool ParseGciList(const std::vector<std::string>& lines, GciCodeSet& codes, std::string& listed) {
    for (const std::string& line : lines) {
        std::string rest;
        if (!AfterPrefix(line, rest) || rest.size() < 2 || rest.front() != '(' || rest.back() != ')') continue;
        const std::string list = rest.substr(1, rest.size() - 2);
        GciCodeSet found;
        std::size_t at = 0;
        bool good = true;
        while (good) {
            const int first = ReadCode(list, at);
            int last = first;
            if (at < list.size() && list[at] == '-') last = ReadCode(list, ++at);
            good = first >= 0 && last >= first;
            for (int code = first; good && code <= last; ++code) found.set(static_cast<std::size_t>(code));
            if (!good || at == list.size()) break;
            good = list[at++] == ',';
        }
        if (!good) continue;
        codes = found;
        listed = list;
        return true;
    }
    return false;
}
