#include "gci_list.h"

#include <cstdio>

#include "country_table.h"
#include "text_escape.h"

namespace {

std::optional<int> parse_code(std::string_view text) {
    if (text.size() != 2) return std::nullopt;
    int high = hex_digit_value(text[0]);
    int low = hex_digit_value(text[1]);
    if (high < 0 || low < 0) return std::nullopt;
    return high * 16 + low;
}

}  // namespace

std::optional<SupportedCodes> parse_gci_list(std::string_view text) {
    SupportedCodes codes;
    while (true) {
        std::size_t comma = std::min(text.find(','), text.size());
        std::string_view item = text.substr(0, comma);
        std::size_t dash = item.find('-');
        std::optional<int> first = parse_code(item.substr(0, dash));
        std::optional<int> last = dash == std::string_view::npos ? first : parse_code(item.substr(dash + 1));
        if (!first || !last || *last < *first) return std::nullopt;
        for (int code = *first; code <= *last; ++code) codes.set(static_cast<std::size_t>(code));
        if (comma == text.size()) return codes;
        text.remove_prefix(comma + 1);
    }
}

std::string known_countries_list() {
    std::string list;
    for (int code = 0; code < 256; ++code) {
        if (!country_name(static_cast<std::uint8_t>(code))) continue;
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", code);
        list += (list.empty() ? "" : ",") + std::string(hex);
    }
    return list;
}
