#include "cli/cli_options.h"

#include <cstring>

const char kCliUsage[] =
    "usage: korvane-cli list\n"
    "       korvane-cli detect [--json]\n"
    "       korvane-cli query [--port COMn] [--json]\n"
    "       korvane-cli set COUNTRY [--port COMn] [--json]\n"
    "COUNTRY is a name from korvane.ini (letter case ignored) or its code; n is 1 to 6.\n";

namespace {

// "COM1" to "COM6", letter case ignored; anything else names no port we probe.
int ParsePort(const char* text) {
    if (std::strlen(text) != 4 || (text[0] | 0x20) != 'c' || (text[1] | 0x20) != 'o' ||
        (text[2] | 0x20) != 'm' || text[3] < '1' || text[3] > '6')
        return 0;
    return text[3] - '0';
}

bool ParseCommand(const char* word, CliCommand& command) {
    static const struct { const char* name; CliCommand command; } kCommands[] = {
        {"list", CliCommand::List}, {"detect", CliCommand::Detect},
        {"query", CliCommand::Query}, {"set", CliCommand::Set}};
    for (const auto& entry : kCommands)
        if (std::strcmp(word, entry.name) == 0) {
            command = entry.command;
            return true;
        }
    return false;
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    if (!ParseCommand(argv[1], options.command)) {
        error = std::string("unknown command '") + argv[1] + "'";
        return false;
    }
    const bool takesPort = options.command == CliCommand::Query || options.command == CliCommand::Set;
    const bool takesJson = options.command != CliCommand::List;
    bool haveCountry = false;
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        if (takesJson && std::strcmp(arg, "--json") == 0) {
            options.json = true;
        } else if (takesPort && std::strcmp(arg, "--port") == 0) {
            if (i + 1 >= argc) {
                error = "--port needs a port name, COM1 to COM6";
                return false;
            }
            options.port = ParsePort(argv[++i]);
            if (options.port == 0) {
                error = std::string("'") + argv[i] + "' is not a port Korvane uses: COM1 to COM6";
                return false;
            }
        } else if (options.command == CliCommand::Set && !haveCountry && arg[0] != '-') {
            options.country = arg;
            haveCountry = true;
        } else {
            error = std::string("unexpected argument '") + arg + "'";
            return false;
        }
    }
    if (options.command == CliCommand::Set && !haveCountry) {
        error = "set needs a country: a name from the table or its code";
        return false;
    }
    return true;
}
