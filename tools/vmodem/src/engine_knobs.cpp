#include "engine_knobs.h"

#include <cstdio>

#include "text_escape.h"

namespace {

std::optional<std::uint32_t> parse_uint(std::string_view text, std::uint32_t max) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

// A country the modem can be set to: one it has a name for, or for the gci
// personality any code in its list.
std::optional<std::uint8_t> parse_country(const ModemSettings& s, std::string_view text) {
    if (text.size() != 2) return std::nullopt;
    int high = hex_digit_value(text[0]);
    int low = hex_digit_value(text[1]);
    if (high < 0 || low < 0) return std::nullopt;
    auto code = static_cast<std::uint8_t>(high * 16 + low);
    if (s.personality == Personality::Gci) {
        std::optional<SupportedCodes> supported = parse_gci_list(s.gcilist);
        if (supported && supported->test(code)) return code;
    }
    if (!country_name(code)) return std::nullopt;
    return code;
}

struct Knob {
    const char* name;
    enum class Kind { Flag, Number, Text, Id, Country, Personality, GciList } kind;
    std::uint32_t max;  // Number only
    bool ModemSettings::*flag;
    std::uint32_t ModemSettings::*number;
    std::string ModemSettings::*text;
};

constexpr Knob flag(const char* name, bool ModemSettings::*member) {
    return {name, Knob::Kind::Flag, 1, member, nullptr, nullptr};
}
constexpr Knob number(const char* name, std::uint32_t max, std::uint32_t ModemSettings::*member) {
    return {name, Knob::Kind::Number, max, nullptr, member, nullptr};
}
constexpr Knob text(const char* name, std::string ModemSettings::*member) {
    return {name, Knob::Kind::Text, 0, nullptr, nullptr, member};
}

const Knob kKnobs[] = {
    flag("echo", &ModemSettings::echo),
    flag("quiet", &ModemSettings::quiet),
    flag("verbose", &ModemSettings::verbose),
    flag("bare", &ModemSettings::bare),
    flag("deafkeep", &ModemSettings::deafkeep),
    flag("silent", &ModemSettings::silent),
    flag("cronly", &ModemSettings::cronly),
    flag("ignoreset", &ModemSettings::ignoreset),
    flag("seterror", &ModemSettings::seterror),
    flag("gcispace", &ModemSettings::gcispace),
    flag("gcireset", &ModemSettings::gcireset),
    flag("gcierror", &ModemSettings::gcierror),
    number("delay", 600000, &ModemSettings::delay_ms),
    number("split", 1 << 20, &ModemSettings::split),
    number("gap", 60000, &ModemSettings::gap_ms),
    number("ring", 600000, &ModemSettings::ring_ms),
    number("deaf", 600000, &ModemSettings::deaf_ms),
    text("idtext", &ModemSettings::idtext),
    text("junk", &ModemSettings::junk),
    text("okword", &ModemSettings::okword),
    {"id", Knob::Kind::Id, 0, nullptr, nullptr, nullptr},
    {"country", Knob::Kind::Country, 0, nullptr, nullptr, nullptr},
    {"personality", Knob::Kind::Personality, 0, nullptr, nullptr, nullptr},
    {"gcilist", Knob::Kind::GciList, 0, nullptr, nullptr, &ModemSettings::gcilist},
};

const Knob* find_knob(std::string_view name) {
    for (const Knob& k : kKnobs)
        if (name == k.name) return &k;
    return nullptr;
}

}  // namespace

std::optional<std::string> set_knob(ModemSettings& s, std::string_view name, std::string_view value) {
    const Knob* knob = find_knob(name);
    if (!knob) return "unknown knob";
    switch (knob->kind) {
    case Knob::Kind::Flag:
        if (value != "0" && value != "1") return "expected 0 or 1";
        s.*knob->flag = value == "1";
        return std::nullopt;
    case Knob::Kind::Number: {
        std::optional<std::uint32_t> n = parse_uint(value, knob->max);
        if (!n) return "expected a number from 0 to " + std::to_string(knob->max);
        s.*knob->number = *n;
        return std::nullopt;
    }
    case Knob::Kind::Text: {
        std::optional<std::string> bytes = unescape(value);
        if (!bytes) return "bad escape";
        s.*knob->text = std::move(*bytes);
        return std::nullopt;
    }
    case Knob::Kind::Id:
        if (value != "1" && value != "2") return "expected 1 or 2";
        s.id = value == "1" ? 1 : 2;
        s.idtext.clear();
        return std::nullopt;
    case Knob::Kind::Country: {
        std::optional<std::uint8_t> code = parse_country(s, value);
        if (!code) return "unknown country";
        s.country = *code;
        return std::nullopt;
    }
    case Knob::Kind::Personality:
        if (value != "card" && value != "gci") return "expected card or gci";
        s.personality = value == "card" ? Personality::Card : Personality::Gci;
        return std::nullopt;
    case Knob::Kind::GciList:
        if (!parse_gci_list(value)) return "expected codes and ranges of two hex digits, comma-separated";
        s.gcilist = std::string(value);
        return std::nullopt;
    }
    return "unknown knob";
}

std::optional<std::string> get_knob(const ModemSettings& s, std::string_view name) {
    const Knob* knob = find_knob(name);
    if (!knob) return std::nullopt;
    switch (knob->kind) {
    case Knob::Kind::Flag: return std::string(s.*knob->flag ? "1" : "0");
    case Knob::Kind::Number: return std::to_string(s.*knob->number);
    case Knob::Kind::Text:
    case Knob::Kind::GciList: return escape(s.*knob->text);
    case Knob::Kind::Personality: return std::string(s.personality == Personality::Card ? "card" : "gci");
    case Knob::Kind::Id: return std::to_string(s.id);
    case Knob::Kind::Country: {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", s.country);
        return std::string(hex);
    }
    }
    return std::nullopt;
}
