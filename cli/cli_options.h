// The command line of korvane-cli.
#pragma once
#include <string>

enum class CliCommand { List, Detect, Query, Set };

struct CliOptions {
    CliCommand command = CliCommand::List;
    std::string country;  // set: a name or a code from the table
    int port = 0;         // --port COMn: 1 to 6; 0 when not given
    bool json = false;
};

// Parses argv[1..argc-1]. On bad usage returns false with one line in error.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The usage text, printed with every usage error.
extern const char kCliUsage[];
