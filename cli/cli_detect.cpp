// The detection and the states of ports, as korvane-cli prints them.
#include <cstdio>

#include "cli/cli_parts.h"
#include "cli/json_text.h"

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

namespace {

// The ports in order, each port once: a later name of a port already listed is left out, with a note.
std::vector<std::string> DistinctPorts(CliPlatform& platform, const std::vector<std::string>& names) {
    std::vector<std::string> ports, identities;
    for (const std::string& name : names) {
        const std::string identity = platform.PortIdentity(name);
        std::size_t i = 0;
        while (i < identities.size() && identities[i] != identity) ++i;
        if (i < identities.size()) {
            const std::string again = name == ports[i] ? name + " is given twice" : name + " is " + ports[i];
            CliSay("korvane-cli: %s: probed once\n", again.c_str());
            continue;
        }
        ports.push_back(name);
        identities.push_back(identity);
    }
    return ports;
}

}  // namespace

Detection Detect(const CliContext& context, bool print) {
    const CliOptions& options = context.options;
    const std::vector<std::string> ports =
        DistinctPorts(context.platform, options.ports.empty() ? context.platform.SystemPorts() : options.ports);
    Detection found;
    // A query or a setting needs only the first modem.
    const std::vector<DetectResult> results =
        DetectModems([&] { return context.platform.NewPort(); }, ports, options.dialect, context.timing, !print,
                     [&](const std::string& name) {
                         CliSay("probing %s...\n", name.c_str());
                         found.probed += (found.probed.empty() ? "" : ", ") + name;
                     });
    std::string entries;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const std::string& name = ports[i];
        const DetectResult& probe = results[i];
        const PortState state = StateOf(probe.report, probe.dialect != Dialect::Auto);
        found.inUse = found.inUse || state == PortState::InUse;
        found.noPermission = found.noPermission || state == PortState::NoPermission;
        // Why a port could not be worked, where the port says.
        const std::string& why = probe.report.open.Ok() ? probe.report.configure.detail : probe.report.open.detail;
        if (state != PortState::Answered && state != PortState::Silent && !why.empty())
            CliSay("korvane-cli: %s\n", why.c_str());
        if (state == PortState::Answered && found.first.empty()) {
            found.first = name;
            found.dialect = probe.dialect;
        }
        if (!print) continue;
        const std::string alias = context.platform.AlsoKnownAs(name);
        const bool modem = state == PortState::Answered;
        if (options.json)
            entries += std::string(entries.empty() ? "" : ",") + "{\"port\":" + JsonString(name.c_str()) +
                       ",\"state\":\"" + StateText(state) + "\"" +
                       (modem ? std::string(",\"dialect\":\"") + DialectName(probe.dialect) + "\"" : "") +
                       (alias.empty() ? "" : ",\"by_id\":" + JsonString(alias.c_str())) + "}";
        else
            std::printf("%s%s: %s%s\n", name.c_str(), alias.empty() ? "" : (" (" + alias + ")").c_str(),
                        StateText(state),
                        modem ? (std::string(" (") + DialectName(probe.dialect) + ")").c_str() : "");
    }
    if (print && options.json) std::printf("{\"ports\":[%s]}\n", entries.c_str());
    if (ports.empty()) CliSay("korvane-cli: this system has no serial port to probe\n");
    return found;
}

int DetectionFailure(const Detection& found) {
    if (found.inUse) return CliFail(kBusy, "no modem answered, and a port is in use");
    if (found.noPermission) return CliFail(kNoPermission, "no modem answered, and a port may not be opened");
    return CliFail(kNoModem, "no modem found" + (found.probed.empty() ? "" : " on " + found.probed));
}
