#include "cli/cli_options.h"

#include <cstdlib>
#include <cstring>

namespace {

bool ParseCommand(const char* word, CliCommand& command) {
    static const struct {
        const char* name;
        CliCommand command;
    } kCommands[] = {{"list", CliCommand::List},
                     {"detect", CliCommand::Detect},
                     {"query", CliCommand::Query},
                     {"set", CliCommand::Set},
                     {"supported", CliCommand::Supported}};
    for (const auto& entry : kCommands)
        if (std::strcmp(word, entry.name) == 0) {
            command = entry.command;
            return true;
        }
    return false;
}

// The comma-separated ports of --ports, each checked; false at the first bad one.
bool ParsePortList(const char* list, PortNameCheck checkPort, std::vector<std::string>& ports,
                   std::string& error) {
    const std::string text = list;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) {
            const std::string port = checkPort(text.substr(start, comma - start), error);
            if (port.empty()) return false;
            ports.push_back(port);
        }
        start = comma + 1;
    }
    if (ports.empty()) error = "--ports needs at least one port";
    return !ports.empty();
}

// The longest settling pause taken: a minute.
constexpr long kSettleLimit = 60000;

// The whole number in text, from 0 to limit; false with one line in error otherwise.
bool ParseCount(const char* option, const char* unit, long limit, const char* text, int& count,
                std::string& error) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > limit) {
        error = std::string(option) + " needs " + unit + " from 0 to " + std::to_string(limit) + ", not '" + text +
                "'";
        return false;
    }
    count = static_cast<int>(value);
    return true;
}

// The longest wait for a lock: an hour, longer than any fax.
constexpr long kWaitLimit = 3600;

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, PortNameCheck checkPort, CliOptions& options,
                     std::string& error) {
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    if (!ParseCommand(argv[1], options.command)) {
        error = std::string("unknown command '") + argv[1] + "'";
        return false;
    }
    const bool takesPort = options.command != CliCommand::List && options.command != CliCommand::Detect;
    const bool talks = options.command != CliCommand::List;
    const bool takesTable = options.command != CliCommand::Detect;
    bool haveCountry = false;
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (talks && std::strcmp(arg, "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (takesPort && std::strcmp(arg, "--port") == 0) {
            if (!hasValue) {
                error = "--port needs a port";
                return false;
            }
            options.port = checkPort(argv[++i], error);
            if (options.port.empty()) return false;
        } else if (talks && std::strcmp(arg, "--dialect") == 0) {
            if (!hasValue || !ParseDialect(argv[i + 1], options.dialect)) {
                error = "--dialect needs auto, t19 or gci";
                return false;
            }
            ++i;
        } else if (talks && std::strcmp(arg, "--paced") == 0) {
            options.paced = true;
        } else if (options.command == CliCommand::Set && std::strcmp(arg, "--force") == 0) {
            options.force = true;
        } else if (talks && std::strcmp(arg, "--settle") == 0) {
            if (!hasValue) {
                error = "--settle needs milliseconds";
                return false;
            }
            if (!ParseCount("--settle", "milliseconds", kSettleLimit, argv[++i], options.settleMs, error))
                return false;
        } else if (talks && std::strcmp(arg, "--wait") == 0) {
            if (!hasValue) {
                error = "--wait needs seconds";
                return false;
            }
            if (!ParseCount("--wait", "seconds", kWaitLimit, argv[++i], options.waitSeconds, error)) return false;
        } else if (talks && std::strcmp(arg, "--ports") == 0) {
            if (!hasValue) {
                error = "--ports needs a comma-separated list of ports";
                return false;
            }
            if (!ParsePortList(argv[++i], checkPort, options.ports, error)) return false;
        } else if (takesTable && std::strcmp(arg, "--table") == 0) {
            if (!hasValue || !*argv[i + 1]) {
                error = "--table needs a file";
                return false;
            }
            options.table = argv[++i];
        } else if (options.command == CliCommand::Set && !haveCountry && arg[0] != '-') {
            options.country = arg;
            haveCountry = true;
        } else {
            error = std::string("unexpected argument '") + arg + "'";
            return false;
        }
    }
    if (options.command == CliCommand::Set && (!haveCountry || options.country.empty())) {
        error = "set needs a country: a name from the table or its code";
        return false;
    }
    return true;
}
