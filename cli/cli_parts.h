// The parts of korvane-cli's run, shared by its files: what a command works
// with, the ports' states as the output names them, and the commands.
#pragma once
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "core/country_table.h"
#include "core/dialect_operations.h"

// What every command that talks to a modem works with.
struct CliContext {
    const CliOptions& options;
    CliPlatform& platform;
    ModemTiming timing;
    const CountryRecord* table = nullptr;
    int count = 0;
};

// The country table, read as the window reads it, with what the window's
// rules pass over (split lines, lines left out, records past the limit) said
// on standard error; CR at the ends of the fields taken off. False, with the
// reason, when it gives no country or is no regular file.
bool LoadTable(CliPlatform& platform, const CliOptions& options, CountryRecord* table, int& count,
               std::string& error);

// What became of a port, as the output names it.
enum class PortState {
    Answered,      // the port was worked (a probe: a modem answered)
    Silent,        // a probe only: the port was worked, but no modem answered
    CannotOpen,    // no such port, or a device that is no working serial port
    InUse,         // another program holds the port
    NoPermission,  // the user may not open it
};
PortState StateOf(const LinkReport& report, bool answered);
const char* StateText(PortState state);
// The exit for a port that could not be worked, with the reason on standard error.
int PortFailure(const std::string& name, const LinkReport& report);

// The detection: every port probed, each verdict printed when print is set.
struct Detection {
    std::string probed;               // the ports probed, as a message names them
    std::string first;                // the first port, in order, whose modem answered; "" when none did
    Dialect dialect = Dialect::Auto;  // the dialect the first modem speaks
    bool inUse = false;
    bool noPermission = false;
};
Detection Detect(const CliContext& context, bool print);
int DetectionFailure(const Detection& found);

// The commands on one port in the dialect given (Auto: asked of the modem).
int QueryCommand(const CliContext& context, const std::string& port, Dialect dialect);
int SupportedCommand(const CliContext& context, const std::string& port, Dialect dialect);
int SetCommand(const CliContext& context, const std::string& port, Dialect dialect, int country);
