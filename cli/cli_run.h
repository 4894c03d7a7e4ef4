// The commands of korvane-cli over the modem core, the same on every
// platform: what they print, to which stream, and their exit codes. A
// platform supplies its port, the ports a detection probes and where the
// country table lies.
//
// Exit codes: 0 done; 1 no modem, no acknowledgement (or a country the modem
// did not take), or a port that cannot be opened; 2 bad usage, an unknown
// country, a country the modem does not support, a path that is not a serial
// port, or a bad table; 3 the port is in use, or the program that owns the
// modem is running; 4 no permission to open the port.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "core/modem_port.h"

enum CliExit { kDone = 0, kNoModem = 1, kBadInput = 2, kBusy = 3, kNoPermission = 4 };

class CliPlatform {
public:
    virtual ~CliPlatform() = default;
    // A port for the operations to drive: one for each connection a
    // detection makes at once, one for a command.
    virtual std::unique_ptr<ModemPort> NewPort() = 0;
    // The ports a detection probes, in order, when --ports gives none.
    virtual std::vector<std::string> SystemPorts() = 0;
    // What a port is, however it is named, so that a port named twice (a
    // device and a link to it) is worked once: by default, its name.
    virtual std::string PortIdentity(const std::string& port) { return port; }
    // Another name of the port that detect shows beside it ("" for none).
    virtual std::string AlsoKnownAs(const std::string& /*port*/) { return ""; }
    // The country table to read: the one given, or where the platform keeps it.
    // "" with the reason in error when there is none.
    virtual std::string TablePath(const std::string& given, std::string& error) = 0;
    // Opens the table that TablePath named, for reading as text.
    virtual std::FILE* OpenTable(const std::string& path) { return std::fopen(path.c_str(), "r"); }
    // Why no modem may be touched now ("" when nothing stands in the way).
    virtual std::string Blocker() { return ""; }
};

int RunCli(const CliOptions& options, CliPlatform& platform);

// Prints a line of progress or a note on standard error, formatted as
// printf does, with control characters escaped (printable_text.h) but for the
// line's end.
void CliSay(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Prints "korvane-cli: <message>" on standard error and returns code; with
// --json, also {"error":"<message>","exit":<code>} on standard output, so
// that a script reads one JSON object whatever happens.
int CliFail(int code, const std::string& message);
// A command line that could not be parsed: its error as CliFail says it
// (in JSON when --json is among the arguments), then the usage; bad input.
int CliUsageFailure(int argc, const char* const* argv, const std::string& error);
