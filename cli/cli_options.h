// The command line of korvane-cli, the same on every platform.
#pragma once
#include <string>
#include <vector>

#include "core/dialect.h"

enum class CliCommand { List, Detect, Query, Set, Supported };

struct CliOptions {
    CliCommand command = CliCommand::List;
    std::string country;  // set: a name or a code from the table
    std::string port;     // --port, as the platform opens it; "" when not given
    // --ports: where detect probes, and where query and set look for the
    // modem when no --port is given, in order; empty when not given
    std::vector<std::string> ports;
    std::string table;                // --table FILE; "" when not given
    Dialect dialect = Dialect::Auto;  // --dialect
    bool paced = false;               // --paced: the window's pace, every window waited out
    int settleMs = -1;                // --settle MS: the bound of the wait for the modem; -1 when not given
    bool force = false;               // set --force: written even where the modem has the country already
    int waitSeconds = 0;              // --wait SECONDS: how long a port another program has locked is waited for
    bool json = false;
    bool verbose = false;
};

// The platform's reading of a port argument: the name it opens it by ("COM4",
// "/dev/ttyUSB0"), or "" with one line in error when the text names no port
// it can use.
using PortNameCheck = std::string (*)(const std::string& text, std::string& error);

// Parses argv[1..argc-1]. On bad usage returns false with one line in error.
bool ParseCliOptions(int argc, const char* const* argv, PortNameCheck checkPort, CliOptions& options,
                     std::string& error);

// The usage text, printed with every usage error; each platform has its own
// words for a port.
extern const char kCliUsage[];
