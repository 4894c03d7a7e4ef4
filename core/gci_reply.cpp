#include "core/gci_reply.h"

namespace {

constexpr char kPrefix[] = "+GCI:";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

// The text after "+GCI:" and its blanks, or the whole line when it has no such prefix.
std::string AfterPrefix(const std::string& line) {
    if (line.compare(0, kPrefixLength, kPrefix) != 0) return line;
    std::size_t at = kPrefixLength;
    while (at < line.size() && line[at] == ' ') ++at;
    return line.substr(at);
}

// One or two hex digits at text[at], blanks around them skipped; -1 for anything else.
int ReadCode(const std::string& text, std::size_t& at) {
    while (at < text.size() && text[at] == ' ') ++at;
    int code = -1;
    for (int digits = 0; digits < 2 && at < text.size() && HexDigitValue(text[at]) >= 0; ++digits, ++at)
        code = (code < 0 ? 0 : code * 16) + HexDigitValue(text[at]);
    while (at < text.size() && text[at] == ' ') ++at;
    return code;
}

// The codes and ranges of a comma-separated list; false unless the whole text is one.
bool ReadList(const std::string& list, GciCodeSet& found) {
    std::size_t at = 0;
    for (;;) {
        const int first = ReadCode(list, at);
        int last = first;
        if (at < list.size() && list[at] == '-') last = ReadCode(list, ++at);
        if (first < 0 || last < first) return false;
        for (int code = first; code <= last; ++code) found.set(static_cast<std::size_t>(code));
        if (at == list.size()) return true;
        if (list[at++] != ',') return false;
    }
}

}  // namespace

int ParseGciCountry(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string rest = AfterPrefix(line);
        // Bare, the code must be the whole line: blanks around it are no modem's.
        const bool bare = rest.size() == line.size();
        std::size_t at = 0;
        const int code = ReadCode(rest, at);
        if (code >= 0 && at == rest.size() && (!bare || rest.size() <= 2)) return code;
    }
    return -1;
}

bool ParseGciList(const std::vector<std::string>& lines, GciCodeSet& codes, std::string& listed) {
    for (const std::string& line : lines) {
        std::string list = AfterPrefix(line);
        const bool open = !list.empty() && list.front() == '(', close = !list.empty() && list.back() == ')';
        if (open != close || (open && list.size() < 2)) continue;
        if (open) list = list.substr(1, list.size() - 2);
        GciCodeSet found;
        if (!ReadList(list, found)) continue;
        codes = found;
        listed = list;
        return true;
    }
    return false;
}
