#include "cli/cli_run.h"

#include <cstdio>

#include "cli/cli_parts.h"

namespace {

// The table; false, with the reason, when it gives no country.
bool LoadTable(CliPlatform& platform, const CliOptions& options, CountryRecord* table, int& count,
               std::string& error) {
    count = 0;
    const std::string path = platform.TablePath(options.table, error);
    if (path.empty()) return false;
    count = -1;
    if (std::FILE* file = platform.OpenTable(path)) {
        count = ReadCountryTable(file, table);
        std::fclose(file);
    }
    if (count < 0) error = "the country table could not be read: " + path;
    if (count == 0) error = "the country table holds no country: " + path;
    if (count > 0 && options.verbose)
        std::fprintf(stderr, "korvane-cli: country table %s (%d countries)\n", path.c_str(), count);
    return count > 0;
}

// The pace asked for: the window's, or the prompt one; either with its own settling pause.
ModemTiming TimingOf(const CliOptions& options) {
    ModemTiming timing = options.paced ? kProgramPace : kPromptPace;
    if (options.settleMs >= 0) timing.settle = ModemTiming::Ms(options.settleMs);
    return timing;
}

}  // namespace

int CliFail(int code, const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n", message.c_str());
    return code;
}

int RunCli(const CliOptions& options, CliPlatform& platform) {
    static CountryRecord table[kMaxCountries];
    CliContext context{options, platform, TimingOf(options), table, 0};
    std::string error;
    if (options.command == CliCommand::List) {
        if (!LoadTable(platform, options, table, context.count, error)) return CliFail(kBadInput, error);
        for (int i = 0; i < context.count; ++i) std::printf("%-2s  %s\n", table[i].code, table[i].name);
        return kDone;
    }
    const std::string blocker = platform.Blocker();
    if (!blocker.empty()) return CliFail(kBusy, blocker);
    if (options.command == CliCommand::Detect) {
        const Detection found = Detect(context, true);
        return !found.first.empty() ? kDone : found.inUse ? kBusy : found.noPermission ? kNoPermission : kNoModem;
    }
    if (!LoadTable(platform, options, table, context.count, error)) return CliFail(kBadInput, error);
    int country = -1;
    if (options.command == CliCommand::Set) {
        country = FindCountryByNameOrCode(options.country.c_str(), table, context.count);
        if (country < 0)
            return CliFail(kBadInput,
                           "unknown country '" + options.country + "' (korvane-cli list shows the table)");
    }
    // The port given, in the dialect given; or the first modem found, in the dialect it answered in.
    std::string port = options.port;
    Dialect dialect = options.dialect;
    if (port.empty()) {
        const Detection found = Detect(context, false);
        if (found.first.empty()) return DetectionFailure(found);
        port = found.first;
        dialect = found.dialect;
    }
    switch (options.command) {
    case CliCommand::Query: return QueryCommand(context, port, dialect);
    case CliCommand::Supported: return SupportedCommand(context, port, dialect);
    default: return SetCommand(context, port, dialect, country);
    }
}
