#include "options.h"

#include <string_view>

#include "country_table.h"
#include "text_escape.h"

const char* const kUsage =
    "usage: vmodem --dir <dir> [--control <tcp-port>] [--modem <n>[:<hh>]]... "
    "[--ready-file <path>]\n";

namespace {

std::optional<Options::Modem> parse_modem(std::string_view text) {
    if (text.empty() || text[0] < '1' || text[0] > '6') return std::nullopt;
    Options::Modem modem{text[0] - '0', kDefaultCountry};
    if (text.size() == 1) return modem;
    if (text.size() != 4 || text[1] != ':') return std::nullopt;
    int high = hex_digit_value(text[2]);
    int low = hex_digit_value(text[3]);
    if (high < 0 || low < 0 || !country_name(static_cast<std::uint8_t>(high * 16 + low))) return std::nullopt;
    modem.country = static_cast<std::uint8_t>(high * 16 + low);
    return modem;
}

std::optional<std::uint16_t> parse_port(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Options> parse_options(int argc, const char* const* argv, std::string& error) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view flag = argv[i];
        if (i + 1 >= argc) {
            error = "missing value for " + std::string(flag);
            return std::nullopt;
        }
        std::string_view value = argv[++i];
        if (flag == "--dir") {
            options.dir = value;
        } else if (flag == "--control") {
            options.control_port = parse_port(value);
            if (!options.control_port) {
                error = "bad control port: " + std::string(value);
                return std::nullopt;
            }
        } else if (flag == "--modem") {
            std::optional<Options::Modem> modem = parse_modem(value);
            if (!modem) {
                error = "bad modem (want <1-6>[:<known T.35 hex code>]): " + std::string(value);
                return std::nullopt;
            }
            options.modems.push_back(*modem);
        } else if (flag == "--ready-file") {
            options.ready_file = value;
        } else {
            error = "unknown option " + std::string(flag);
            return std::nullopt;
        }
    }
    if (options.dir.empty()) {
        error = "--dir is required";
        return std::nullopt;
    }
    return options;
}
