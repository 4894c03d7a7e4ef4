// korvane-cli: detects the modem, queries and sets its country from a script,
// with the program's own link, steps and country table. Progress goes to
// standard error, results to standard output.
//
// Exit codes: 0 done; 1 no modem, or no acknowledgement; 2 bad usage, an
// unknown country or a bad table; 3 the port is in use, or the program that
// owns the modem is running.
#include <windows.h>

#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "cli/json_text.h"
#include "cli/modem_operations.h"
#include "cli/module_folder.h"
#include "country/country_file.h"
#include "detect/detected_modems.h"
#include "framework/dll_search.h"

namespace {

enum ExitCode { kDone = 0, kNoModem = 1, kBadInput = 2, kBusy = 3 };

const wchar_t kTableFile[] = L"korvane.ini";
const char kBlockingWindow[] = "Vantoria Select";

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n", message.c_str());
    return code;
}

std::string PortName(int port) { return "COM" + std::to_string(port); }

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
    const std::wstring path = ModuleFolder() + kTableFile;
    count = 0;
    std::FILE* file = _wfopen(path.c_str(), L"r");
    if (!file) {
        error = "the country table could not be read: " + PathForMessage(path);
        return false;
    }
    count = ReadCountryTable(file, table);
    std::fclose(file);
    if (count == 0) error = "the country table holds no country: " + PathForMessage(path);
    return count > 0;
}

// The first country whose name (ASCII letter case ignored) or code is text; -1 if none.
int FindByNameOrCode(const char* text, const CountryRecord* table, int count) {
    for (int i = 0; i < count; ++i)
        if (lstrcmpiA(table[i].name, text) == 0) return i;
    for (int i = 0; i < count; ++i)
        if (lstrcmpiA(table[i].code, text) == 0) return i;
    return -1;
}

// Probes the ports in the program's order, printing each verdict; returns
// the first port whose modem answered, or 0. inUse tells whether a port was held.
int Detect(bool print, bool json, bool& inUse) {
    FillProbeOrder();
    int first = 0;
    inUse = false;
    std::string entries;
    for (int port : g_probePorts) {
        std::fprintf(stderr, "probing %s...\n", PortName(port).c_str());
        const PortState state = ProbePort(port);
        inUse = inUse || state == PortState::InUse;
        if (state == PortState::Answered && first == 0) first = port;
        if (!print) {
            if (first) break;  // a query or setting needs only the first modem
            continue;
        }
        if (json)
            entries += std::string(entries.empty() ? "" : ",") + "{\"port\":\"" + PortName(port) +
                       "\",\"state\":\"" + StateText(state) + "\"}";
        else
            std::printf("%s: %s\n", PortName(port).c_str(), StateText(state));
    }
    if (print && json) std::printf("{\"ports\":[%s]}\n", entries.c_str());
    return first;
}

// The port a query or a setting works on: the one given, or the first modem found.
int ChoosePort(const CliOptions& options, int& exitCode) {
    if (options.port) return options.port;
    bool inUse = false;
    const int port = Detect(false, false, inUse);
    if (!port) exitCode = inUse ? Fail(kBusy, "no modem answered, and a port is in use")
                                : Fail(kNoModem, "no modem found on COM1 to COM6");
    return port;
}

int PortFailure(int port, PortState state) {
    switch (state) {
    case PortState::InUse: return Fail(kBusy, PortName(port) + " is in use by another program");
    case PortState::Silent: return Fail(kNoModem, "no modem answered on " + PortName(port));
    default: return Fail(kNoModem, PortName(port) + " cannot be opened");
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
    if (options.command == CliCommand::Detect) {
        bool inUse = false;
        const int found = Detect(true, options.json, inUse);
        return found ? kDone : inUse ? kBusy : kNoModem;
    }
    if (!LoadTable(table, count, error)) return Fail(kBadInput, error);
    int country = -1;
    if (options.command == CliCommand::Set) {
        country = FindByNameOrCode(options.country.c_str(), table, count);
        if (country < 0)
            return Fail(kBadInput, "unknown country '" + options.country + "' (korvane-cli list shows the table)");
    }
    int exitCode = kDone;
    const int port = ChoosePort(options, exitCode);
    if (!port) return exitCode;
    const std::string portName = PortName(port);

    if (options.command == CliCommand::Query) {
        std::fprintf(stderr, "querying the country on %s...\n", portName.c_str());
        const PortState state = QueryCountry(port, table, count, country);
        if (state != PortState::Answered) return PortFailure(port, state);
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
    bool acknowledged = false;
    const PortState state = SetCountry(port, table[country].code, acknowledged);
    if (state != PortState::Answered) return PortFailure(port, state);
    const char* result = acknowledged ? "set" : "not acknowledged";
    if (options.json)
        std::printf("{\"port\":\"%s\",\"country\":%s,\"code\":%s,\"result\":\"%s\"}\n", portName.c_str(),
                    JsonString(table[country].name).c_str(), JsonString(table[country].code).c_str(), result);
    else
        std::printf("%s\n", result);
    return acknowledged ? kDone : kNoModem;
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
