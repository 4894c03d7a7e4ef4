#include "at_command_executor.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

constexpr const char* kIdentification1 = "QTRXFM330HWNF1*GEN";
constexpr const char* kIdentification2 = "QTRXPM330HWTF1*GEN";
constexpr const char* kProductCode = "33600";
constexpr const char* kGciIdentification = "V.92 DATA/FAX USB MODEM";

// Reads a command line character by character; spaces are not significant.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool at_end() {
        skip_spaces();
        return pos_ >= text_.size();
    }

    // Next character in upper case, or 0 at the end.
    char next() {
        if (at_end()) return 0;
        return static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
    }

    bool accept(char expected) {
        if (at_end() || std::toupper(static_cast<unsigned char>(text_[pos_])) != expected) return false;
        ++pos_;
        return true;
    }

    // A decimal parameter; `fallback` when no digit follows, nullopt if absurdly long.
    std::optional<int> number(int fallback) {
        if (at_end() || !std::isdigit(static_cast<unsigned char>(text_[pos_]))) return fallback;
        int value = 0;
        for (int digits = 0; !at_end() && std::isdigit(static_cast<unsigned char>(text_[pos_])); ++digits) {
            if (digits == 6) return std::nullopt;
            value = value * 10 + (text_[pos_++] - '0');
        }
        return value;
    }

    std::optional<int> hex_digit() {
        if (at_end() || !std::isxdigit(static_cast<unsigned char>(text_[pos_]))) return std::nullopt;
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
        return c <= '9' ? c - '0' : c - 'a' + 10;
    }

private:
    void skip_spaces() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool set_flag(Cursor& in, bool& flag) {
    std::optional<int> value = in.number(0);
    if (value != 0 && value != 1) return false;
    flag = *value == 1;
    return true;
}

bool identify(Cursor& in, const ModemSettings& s, std::vector<std::string>& info) {
    const bool card = s.personality == Personality::Card;
    switch (in.number(0).value_or(-1)) {
    case 0: info.emplace_back(kProductCode); return true;
    case 3:
        if (!s.idtext.empty())
            info.push_back(s.idtext);
        else if (!card)
            info.emplace_back(kGciIdentification);
        else
            info.emplace_back(s.id == 2 ? kIdentification2 : kIdentification1);
        return true;
    case 9: {
        if (!card) return false;
        const char* name = country_name(s.country);
        info.emplace_back(name ? name : "UNKNOWN");
        return true;
    }
    default: return false;
    }
}

// %T19,0,<h[h]>: switch to the country with T.35 code hh; one digit is the code 0h.
bool set_country(Cursor& in, ModemSettings& s) {
    if (!in.accept('T') || in.number(-1) != 19 || !in.accept(',') || in.number(-1) != 0 || !in.accept(','))
        return false;
    std::optional<int> first = in.hex_digit();
    if (!first) return false;
    std::optional<int> second = in.hex_digit();
    auto code = static_cast<std::uint8_t>(second ? *first * 16 + *second : *first);
    if (s.seterror || !country_name(code)) return false;
    if (!s.ignoreset) s.country = code;
    return true;
}

// What ATZ and AT&F restore: the settings the host changes with commands.
// The country of installation stays.
void factory_defaults(ModemSettings& s) {
    const ModemSettings defaults;
    s.echo = defaults.echo;
    s.quiet = defaults.quiet;
    s.verbose = defaults.verbose;
}

std::string hex_code(std::uint8_t code) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", code);
    return hex;
}

// +GCI?, +GCI=? and +GCI=<hh>: the country of installation by its T.35 code,
// as the gci personality takes it. A code outside the modem's list fails.
bool country_of_installation(Cursor& in, ModemSettings& s, std::vector<std::string>& info) {
    if (!in.accept('G') || !in.accept('C') || !in.accept('I') || s.gcierror) return false;
    const std::string prefix = s.bare ? "" : s.gcispace ? "+GCI: " : "+GCI:";
    if (in.accept('?')) {
        info.push_back(prefix + hex_code(s.country));
        return true;
    }
    if (!in.accept('=')) return false;
    if (in.accept('?')) {
        info.push_back(s.bare ? s.gcilist : prefix + "(" + s.gcilist + ")");
        return true;
    }
    std::optional<int> first = in.hex_digit();
    if (!first) return false;
    std::optional<int> second = in.hex_digit();
    auto code = static_cast<std::uint8_t>(second ? *first * 16 + *second : *first);
    std::optional<SupportedCodes> supported = parse_gci_list(s.gcilist);
    if (!supported || !supported->test(code)) return false;
    if (s.ignoreset || code == s.country) return true;
    s.country = code;
    if (s.gcireset) factory_defaults(s);
    return true;
}

}  // namespace

CommandResult execute_command_line(std::string_view body, ModemSettings& settings) {
    CommandResult result;
    Cursor in(body);
    while (!in.at_end()) {
        bool good = false;
        switch (in.next()) {
        case 'E': good = set_flag(in, settings.echo); break;
        case 'Q': good = set_flag(in, settings.quiet); break;
        case 'V': good = set_flag(in, settings.verbose); break;
        case 'Z':  // back to defaults; the country survives, the rest of the line is dropped
            if (in.number(0) != 0) break;
            factory_defaults(settings);
            return result;
        case 'I': good = identify(in, settings, result.info); break;
        case '%': good = settings.personality == Personality::Card && set_country(in, settings); break;
        case '&':  // &F: factory defaults
            good = in.accept('F') && in.number(0) == 0;
            if (good) factory_defaults(settings);
            break;
        case '+':
            good = settings.personality == Personality::Gci && country_of_installation(in, settings, result.info);
            break;
        case ';':  // separates extended commands
            good = true;
            break;
        }
        if (!good) {
            result.ok = false;
            return result;
        }
    }
    return result;
}
