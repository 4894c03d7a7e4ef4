// korvane-cli: detects the modem, queries and sets its country from a script,
// with the modem core's operations on the Windows port and the program's
// country table. Progress goes to standard error, results to standard output.
//
// Exit codes: 0 done; 1 no modem, or no acknowledgement; 2 bad usage, an
// unknown country or a bad table; 3 the port is in use, or the program that
// owns the modem is running.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "cli/json_text.h"
#include "core/country_table.h"
#include "core/modem_operations.h"
#include "cli/module_folder.h"
#include "core/probe_order.h"
#include "framework/dll_search.h"
#include "link/port_connection.h"

namespace {

enum ExitCode { kDone = 0, kNoModem = 1, kBadInput = 2, kBusy = 3 };

const char kBlockingWindow[] = "Vantoria Select";

// What became of a port, as the output names it.
enum class PortState {
    Answered,    // the port was worked (a probe: the modem identified itself)
    Silent,      // the port was worked, but no supported modem answered
    CannotOpen,  // no such port, or a handle that is no working serial port
    InUse,       // another program holds the port
};

PortState StateOf(const LinkReport& report, bool answered) {
    if (report.open.fault == PortFault::InUse) return PortState::InUse;
    if (!report.usable) return PortState::CannotOpen;
    return answered ? PortState::Answered : PortState::Silent;
}

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n", message.c_str());
    return code;
}

const char* StateText(PortState state) {
    switch (state) {
    case PortState::Answered: return "modem";
    case PortState::Silent: return "no modem";
    case PortState::InUse: return "in use";
    case PortState::CannotOpen: break;
    }
    return "cannot open";
}

// The table beside the executable, wherever it was started from; false, with
// the reason, when it gives no country.
bool LoadTable(CountryRecord* table, int& count, std::string& error) {
    const std::wstring path = ModuleFolder() + L"korvane.ini";
    count = -1;
    if (std::FILE* file = _wfopen(path.c_str(), L"r")) {
        count = ReadCountryTable(file, table);
        std::fclose(file);
    }
    if (count < 0) error = "the country table could not be read: " + PathForMessage(path);
    if (count == 0) error = "the country table holds no country: " + PathForMessage(path);
    return count > 0;
}

// Probes the ports in the program's order, printing each verdict; returns
// the first port whose modem answered, or 0. inUse tells whether a port was held.
int Detect(ModemPort& link, bool print, bool json, bool& inUse) {
    int first = 0;
    inUse = false;
    std::string entries;
    for (int port : kProbeOrder) {
        const std::string name = ComPortName(port);
        std::fprintf(stderr, "probing %s...\n", name.c_str());
        const ProbeResult probe = ProbePort(link, name.c_str());
        const PortState state = StateOf(probe.report, probe.identified);
        inUse = inUse || state == PortState::InUse;
        if (state == PortState::Answered && first == 0) first = port;
        if (!print) {
            if (first) break;  // a query or setting needs only the first modem
            continue;
        }
        if (json)
            entries += std::string(entries.empty() ? "" : ",") + "{\"port\":\"" + name + "\",\"state\":\"" +
                       StateText(state) + "\"}";
        else
            std::printf("%s: %s\n", name.c_str(), StateText(state));
    }
    if (print && json) std::printf("{\"ports\":[%s]}\n", entries.c_str());
    return first;
}

// The port a query or a setting works on: the one given, or the first modem found.
int ChoosePort(ModemPort& link, const CliOptions& options, int& exitCode) {
    if (options.port) return options.port;
    bool inUse = false;
    const int port = Detect(link, false, false, inUse);
    if (!port) exitCode = inUse ? Fail(kBusy, "no modem answered, and a port is in use")
                                : Fail(kNoModem, "no modem found on COM1 to COM6");
    return port;
}

int PortFailure(const std::string& name, PortState state) {
    switch (state) {
    case PortState::InUse: return Fail(kBusy, name + " is in use by another program");
    case PortState::Silent: return Fail(kNoModem, "no modem answered on " + name);
    default: return Fail(kNoModem, name + " cannot be opened");
    }
}

int Run(const CliOptions& options) {
    static CountryRecord table[kMaxCountries];
    int count = 0;
    std::string error;
    if (options.command == CliCommand::List) {
        if (!LoadTable(table, count, error)) return Fail(kBadInput, error);
        for (int i = 0; i < count; ++i) std::printf("%-2s  %s\n", table[i].code, table[i].name);
        return kDone;
    }
    if (FindWindowA(nullptr, kBlockingWindow))
        return Fail(kBusy, std::string("a window titled \"") + kBlockingWindow +
                               "\" is open: its program owns the modem");
    std::atomic<int> stop{0};
    PortConnection link(stop);
    if (options.command == CliCommand::Detect) {
        bool inUse = false;
        const int found = Detect(link, true, options.json, inUse);
        return found ? kDone : inUse ? kBusy : kNoModem;
    }
    if (!LoadTable(table, count, error)) return Fail(kBadInput, error);
    int country = -1;
    if (options.command == CliCommand::Set) {
        country = FindCountryByNameOrCode(options.country.c_str(), table, count);
        if (country < 0)
            return Fail(kBadInput, "unknown country '" + options.country + "' (korvane-cli list shows the table)");
    }
    int exitCode = kDone;
    const int port = ChoosePort(link, options, exitCode);
    if (!port) return exitCode;
    const std::string portName = ComPortName(port);

    if (options.command == CliCommand::Query) {
        std::fprintf(stderr, "querying the country on %s...\n", portName.c_str());
        const QueryResult query = QueryCountry(link, portName.c_str(), table, count);
        const PortState state = StateOf(query.report, query.answer.answered);
        if (state != PortState::Answered) return PortFailure(portName, state);
        country = query.answer.country;
        const char* name = country < 0 ? nullptr : table[country].name;
        if (options.json)
            std::printf("{\"port\":\"%s\",\"country\":%s,\"code\":%s}\n", portName.c_str(),
                        JsonString(name).c_str(), JsonString(name ? table[country].code : nullptr).c_str());
        else
            std::printf("%s\n", name ? name : "unknown");
        return kDone;
    }

    std::fprintf(stderr, "setting %s (%s) on %s...\n", table[country].name, table[country].code,
                 portName.c_str());
    const SetResult set = SetCountry(link, portName.c_str(), table[country].code);
    if (!set.report.usable) return PortFailure(portName, StateOf(set.report, false));
    const char* result = set.acknowledged ? "set" : "not acknowledged";
    if (options.json)
        std::printf("{\"port\":\"%s\",\"country\":%s,\"code\":%s,\"result\":\"%s\"}\n", portName.c_str(),
                    JsonString(table[country].name).c_str(), JsonString(table[country].code).c_str(), result);
    else
        std::printf("%s\n", result);
    return set.acknowledged ? kDone : kNoModem;
}

}  // namespace

int main(int argc, char** argv) {
    LoadSystemDllsFromSystemFolderOnly();
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korvane-cli: %s\n%s", error.c_str(), kCliUsage);
        return kBadInput;
    }
    const int code = Run(options);
    std::fflush(stdout);
    return code;
}
