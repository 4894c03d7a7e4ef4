// korvane-cli on Windows: the shared commands over the Windows port. A
// detection probes COM1 to COM6 in the program's order, then the other ports
// the system lists; a port given may be any of COM1 to COM256; the country
// table lies beside the executable; nothing touches a modem while the
// program that owns it has its window open.
// The country table lies beside the program's own module, wherever it was
// started from, under a name of any length and in any script.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_run.h"
#include "cli/module_folder.h"
#include "cli/serial_comm.h"
#include "core/country_table.h"
#include "core/probe_order.h"
#include "core/table_choice.h"
#include "win32/dll_search.h"
#include "win32/file_presence.h"
#include "link/port_connection.h"
#include "version.h"

namespace {

const char kBlockingWindow[] = "Vantoria Select";

// The caller's stop flag of a port connection, made before the connection.
struct StopFlag {
    std::atomic<int> stop{0};
};

// A COM port opened by its device name, \\.\COMn, which every COM port
// has; the plain name reaches COM1 to COM9 only.
class ComPort : private StopFlag, public PortConnection {
public:
    ComPort() : PortConnection(stop) {}
    PortStatus Open(const char* name) override {
        return PortConnection::Open(("\\\\.\\" + std::string(name)).c_str());
    }
};

// An ASCII file name as a wide string.
std::wstring Wide(const char* name) { return std::wstring(name, name + std::char_traits<char>::length(name)); }

class WindowsCli : public CliPlatform {
public:
    std::unique_ptr<ModemPort> NewPort() override { return std::make_unique<ComPort>(); }
    std::vector<std::string> SystemPorts() override { return ComPortsToProbe(SerialCommPorts()); }
    // The table given, or the one beside the program (korvane.ini, else
    // korvane-shipped.ini), named for messages in the console's code page and
    // opened by its full name.
    std::string TablePath(const std::string& given, std::string& /*error*/) override {
        if (!given.empty()) return given;
        const std::wstring folder = ModuleFolder(), table = folder + Wide(kCountryTableFile),
                           shipped = folder + Wide(kShippedTableFile);
        m_besideUs = ReadsShippedTable(!NothingAt(table.c_str()), !NothingAt(shipped.c_str())) ? shipped : table;
        m_besideUsText = PathForMessage(m_besideUs);
        return m_besideUsText;
    }
    std::FILE* OpenTable(const std::string& path) override {
        if (!m_besideUs.empty() && path == m_besideUsText) return _wfopen(m_besideUs.c_str(), L"r");
        return std::fopen(path.c_str(), "r");
    }
    std::string Blocker() override {
        if (!FindWindowA(nullptr, kBlockingWindow)) return "";
        return std::string("a window titled \"") + kBlockingWindow + "\" is open: its program owns the modem";
    }

private:
    std::wstring m_besideUs;
    std::string m_besideUsText;
};

// "COM1" to "COM256", letter case ignored, no leading zero; anything else names no COM port.
std::string CheckComPort(const std::string& text, std::string& error) {
    if (const int number = ComPortNumber(text)) return ComPortName(number);
    error = "'" + text + "' is not a COM port: COM1 to COM256";
    return "";
}

const CliSyntax kSyntax = {CheckComPort, "COM1 to COM256", KORVANE_VERSION_TEXT};

}  // namespace

int main(int argc, char** argv) {
    LoadSystemDllsFromSystemFolderOnly();
    CliOptions options;
    int code;
    if (!ParseCliOptions(argc, argv, kSyntax, options, code)) return code;
    WindowsCli platform;
    code = RunCli(options, platform);
    std::fflush(stdout);
    return code;
}
