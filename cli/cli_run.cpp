#include "cli/cli_run.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cli/cli_parts.h"
#include "cli/json_text.h"
#include "cli/printable_text.h"

namespace {

// Whether CliFail also prints the failure as JSON on standard output.
bool g_failuresInJson = false;

// The pace asked for: the window's, or the prompt one; either with its own settling pause.
ModemTiming TimingOf(const CliOptions& options) {
    ModemTiming timing = options.paced ? kProgramPace : kPromptPace;
    if (options.settleMs >= 0) timing.settle = ModemTiming::Ms(options.settleMs);
    return timing;
}

}  // namespace

void CliSay(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length <= 0) return;
    std::string line(static_cast<std::size_t>(length) + 1, '\0');
    va_start(arguments, format);
    std::vsnprintf(&line[0], line.size(), format, arguments);
    va_end(arguments);
    line.pop_back();
    const bool ended = line.back() == '\n';
    if (ended) line.pop_back();
    std::fprintf(stderr, "%s%s", PrintableText(line).c_str(), ended ? "\n" : "");
}

int CliFail(int code, const std::string& message) {
    CliSay("korvane-cli: %s\n", message.c_str());
    if (g_failuresInJson) std::printf("{\"error\":%s,\"exit\":%d}\n", JsonString(message.c_str()).c_str(), code);
    return code;
}

int CliUsageFailure(int argc, const char* const* argv, const std::string& error) {
    for (int i = 1; i < argc; ++i) g_failuresInJson = g_failuresInJson || std::strcmp(argv[i], "--json") == 0;
    CliFail(kBadInput, error);
    std::fputs(kCliUsage, stderr);
    return kBadInput;
}

int RunCli(const CliOptions& options, CliPlatform& platform) {
    g_failuresInJson = options.json;
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
