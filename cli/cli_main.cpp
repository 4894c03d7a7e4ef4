// korvane-cli on Windows: the shared commands over the Windows port. Ports
// are COM1 to COM6, probed in the program's order; the country table lies
// beside the executable; nothing touches a modem while the program that owns
// it has its window open.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "cli/cli_run.h"
#include "core/country_table.h"
#include "core/probe_order.h"
#include "framework/app_dir.h"
#include "link/port_connection.h"

const char kCliUsage[] =
    "usage: korvane-cli list [--table FILE] [--verbose]\n"
    "       korvane-cli detect [--ports COMn,...] [--json] [--verbose]\n"
    "       korvane-cli query [--port COMn | --ports COMn,...] [--table FILE] [--json] [--verbose]\n"
    "       korvane-cli set COUNTRY [--port COMn | --ports COMn,...] [--table FILE] [--json] [--verbose]\n"
    "COUNTRY is a name from korvane.ini (letter case ignored) or its code; n is 1 to 6.\n";

namespace {

const char kBlockingWindow[] = "Vantoria Select";

class WindowsCli : public CliPlatform {
public:
    ModemPort& Port() override { return m_port; }
    std::vector<std::string> SystemPorts() override {
        std::vector<std::string> ports;
        for (int port : kProbeOrder) ports.push_back(ComPortName(port));
        return ports;
    }
    std::string TablePath(const std::string& given, std::string& /*error*/) override {
        if (!given.empty()) return given;
        char path[MAX_PATH + sizeof kCountryTableFile];
        ExeDirFromCommandLine(GetCommandLineA(), path, MAX_PATH);
        lstrcatA(path, kCountryTableFile);
        return path;
    }
    std::string Blocker() override {
        if (!FindWindowA(nullptr, kBlockingWindow)) return "";
        return std::string("a window titled \"") + kBlockingWindow + "\" is open: its program owns the modem";
    }

private:
    std::atomic<int> m_stop{0};
    PortConnection m_port{m_stop};
};

// "COM1" to "COM6", letter case ignored; anything else names no port we probe.
std::string CheckComPort(const std::string& text, std::string& error) {
    if (text.size() == 4 && (text[0] | 0x20) == 'c' && (text[1] | 0x20) == 'o' && (text[2] | 0x20) == 'm' &&
        text[3] >= '1' && text[3] <= '6')
        return ComPortName(text[3] - '0');
    error = "'" + text + "' is not a port Korvane uses: COM1 to COM6";
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, CheckComPort, options, error)) {
        std::fprintf(stderr, "korvane-cli: %s\n%s", error.c_str(), kCliUsage);
        return kBadInput;
    }
    WindowsCli platform;
    const int code = RunCli(options, platform);
    std::fflush(stdout);
    return code;
}
