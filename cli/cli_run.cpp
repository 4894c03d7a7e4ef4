#include "cli/cli_run.h"

#include <cstdio>

#include "cli/json_text.h"
#include "core/country_table.h"
#include "core/modem_operations.h"

namespace {

// What became of a port, as the output names it.
enum class PortState {
    Answered,      // the port was worked (a probe: the modem identified itself)
    Silent,        // a probe only: the port was worked, but no supported modem answered
    CannotOpen,    // no such port, or a device that is no working serial port
    InUse,         // another program holds the port
    NoPermission,  // the user may not open it
};

PortState StateOf(const LinkReport& report, bool answered) {
    if (report.open.fault == PortFault::InUse) return PortState::InUse;
    if (report.open.fault == PortFault::NoPermission) return PortState::NoPermission;
    if (!report.usable) return PortState::CannotOpen;
    return answered ? PortState::Answered : PortState::Silent;
}

const char* StateText(PortState state) {
    switch (state) {
    case PortState::Answered: return "modem";
    case PortState::Silent: return "no modem";
    case PortState::InUse: return "in use";
    case PortState::NoPermission: return "no permission";
    case PortState::CannotOpen: break;
    }
    return "cannot open";
}

// The table; false, with the reason, when it gives no country.
bool LoadTable(CliPlatform& platform, const CliOptions& options, CountryRecord* table, int& count,
               std::string& error) {
    count = 0;
    const std::string path = platform.TablePath(options.table, error);
    if (path.empty()) return false;
    count = LoadCountryFile(path.c_str(), table);
    if (count < 0) error = "the country table could not be read: " + path;
    if (count == 0) error = "the country table holds no country: " + path;
    if (count > 0 && options.verbose)
        std::fprintf(stderr, "korvane-cli: country table %s (%d countries)\n", path.c_str(), count);
    return count > 0;
}

struct Detection {
    std::string probed;  // the ports probed, as a message names them
    std::string first;   // the first port whose modem answered; "" when none did
    bool inUse = false;
    bool noPermission = false;
};

// Probes the ports in order, printing each verdict when print is set; a
// query or a setting needs only the first modem.
Detection Detect(CliPlatform& platform, const CliOptions& options, bool print) {
    const std::vector<std::string> ports = options.ports.empty() ? platform.SystemPorts() : options.ports;
    Detection found;
    std::string entries;
    for (const std::string& name : ports) {
        std::fprintf(stderr, "probing %s...\n", name.c_str());
        found.probed += (found.probed.empty() ? "" : ", ") + name;
        const ProbeResult probe = ProbePort(platform.Port(), name.c_str());
        const PortState state = StateOf(probe.report, probe.identified);
        found.inUse = found.inUse || state == PortState::InUse;
        found.noPermission = found.noPermission || state == PortState::NoPermission;
        if ((state == PortState::InUse || state == PortState::NoPermission) && !probe.report.open.detail.empty())
            std::fprintf(stderr, "korvane-cli: %s\n", probe.report.open.detail.c_str());
        if (state == PortState::Answered && found.first.empty()) found.first = name;
        if (!print) {
            if (!found.first.empty()) break;
            continue;
        }
        const std::string alias = platform.AlsoKnownAs(name);
        if (options.json)
            entries += std::string(entries.empty() ? "" : ",") + "{\"port\":" + JsonString(name.c_str()) +
                       ",\"state\":\"" + StateText(state) + "\"" +
                       (alias.empty() ? "" : ",\"by_id\":" + JsonString(alias.c_str())) + "}";
        else
            std::printf("%s%s: %s\n", name.c_str(), alias.empty() ? "" : (" (" + alias + ")").c_str(),
                        StateText(state));
    }
    if (print && options.json) std::printf("{\"ports\":[%s]}\n", entries.c_str());
    if (ports.empty()) std::fprintf(stderr, "korvane-cli: this system has no serial port to probe\n");
    return found;
}

int DetectionFailure(const Detection& found) {
    if (found.inUse) return CliFail(kBusy, "no modem answered, and a port is in use");
    if (found.noPermission) return CliFail(kNoPermission, "no modem answered, and a port may not be opened");
    return CliFail(kNoModem, "no modem found" + (found.probed.empty() ? "" : " on " + found.probed));
}

int PortFailure(const std::string& name, const LinkReport& report) {
    const std::string& detail = report.open.detail;
    switch (StateOf(report, false)) {
    case PortState::InUse: return CliFail(kBusy, detail.empty() ? name + " is in use by another program" : detail);
    case PortState::NoPermission:
        return CliFail(kNoPermission, detail.empty() ? "no permission to open " + name : detail);
    default: break;
    }
    const PortStatus& why = report.open.Ok() ? report.configure : report.open;
    return CliFail(kNoModem, name + " cannot be opened" + (why.detail.empty() ? "" : ": " + why.detail));
}

}  // namespace

int CliFail(int code, const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n", message.c_str());
    return code;
}

int RunCli(const CliOptions& options, CliPlatform& platform) {
    static CountryRecord table[kMaxCountries];
    int count = 0;
    std::string error;
    if (options.command == CliCommand::List) {
        if (!LoadTable(platform, options, table, count, error)) return CliFail(kBadInput, error);
        for (int i = 0; i < count; ++i) std::printf("%-2s  %s\n", table[i].code, table[i].name);
        return kDone;
    }
    const std::string blocker = platform.Blocker();
    if (!blocker.empty()) return CliFail(kBusy, blocker);
    if (options.command == CliCommand::Detect) {
        const Detection found = Detect(platform, options, true);
        return !found.first.empty() ? kDone : found.inUse ? kBusy : found.noPermission ? kNoPermission : kNoModem;
    }
    if (!LoadTable(platform, options, table, count, error)) return CliFail(kBadInput, error);
    int country = -1;
    if (options.command == CliCommand::Set) {
        country = FindCountryByNameOrCode(options.country.c_str(), table, count);
        if (country < 0)
            return CliFail(kBadInput, "unknown country '" + options.country + "' (korvane-cli list shows the table)");
    }
    std::string port = options.port;
    if (port.empty()) {
        const Detection found = Detect(platform, options, false);
        if (found.first.empty()) return DetectionFailure(found);
        port = found.first;
    }

    if (options.command == CliCommand::Query) {
        std::fprintf(stderr, "querying the country on %s...\n", port.c_str());
        const QueryResult query = QueryCountry(platform.Port(), port.c_str(), table, count);
        if (!query.report.usable) return PortFailure(port, query.report);
        country = query.answer.country;
        const char* name = country < 0 ? nullptr : table[country].name;
        if (options.json)
            std::printf("{\"port\":%s,\"country\":%s,\"code\":%s}\n", JsonString(port.c_str()).c_str(),
                        JsonString(name).c_str(), JsonString(name ? table[country].code : nullptr).c_str());
        else
            std::printf("%s\n", name ? name : "unknown");
        return kDone;
    }

    std::fprintf(stderr, "setting %s (%s) on %s...\n", table[country].name, table[country].code, port.c_str());
    const SetResult set = SetCountry(platform.Port(), port.c_str(), table[country].code);
    if (!set.report.usable) return PortFailure(port, set.report);
    const char* result = set.acknowledged ? "set" : "not acknowledged";
    if (options.json)
        std::printf("{\"port\":%s,\"country\":%s,\"code\":%s,\"result\":\"%s\"}\n", JsonString(port.c_str()).c_str(),
                    JsonString(table[country].name).c_str(), JsonString(table[country].code).c_str(), result);
    else
        std::printf("%s\n", result);
    return set.acknowledged ? kDone : kNoModem;
}
