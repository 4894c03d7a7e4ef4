// korvane-cli on Linux: the shared commands over the POSIX back end. Ports
// are device paths; a detection probes the serial ports the system really
// has; the country table is the administrator's, the package's or the one
// beside the program. Notes from the port (a stale lock removed, a lock
// directory we may not write to, ModemManager) go to standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "cli/cli_run.h"
#include "cli/posix/table_search.h"
#include "link/posix/detectable_ports.h"
#include "link/posix/exit_release.h"
#include "link/posix/posix_port.h"
#include "link/posix/serial_ports.h"

const char kCliUsage[] =
    "usage: korvane-cli list [--table FILE] [--verbose]\n"
    "       korvane-cli detect [--ports PORT,...] [TALK] [--json] [--verbose]\n"
    "       korvane-cli query [--port PORT | --ports PORT,...] [TALK] [--table FILE] [--json] [--verbose]\n"
    "       korvane-cli supported [--port PORT | --ports PORT,...] [TALK] [--table FILE] [--json] [--verbose]\n"
    "       korvane-cli set COUNTRY [--port PORT | --ports PORT,...] [TALK] [--force] [--table FILE] [--json]\n"
    "                   [--verbose]\n"
    "       korvane-cli --help | --version\n"
    "TALK is --dialect auto|t19|gci, --paced, --settle MS and --wait SECONDS. COUNTRY is a\n"
    "name from the table (letter case ignored) or its code; PORT is a device path\n"
    "(/dev/ttyUSB0), a name under /dev (ttyUSB0) or a /dev/serial/by-id link.\n";

namespace {

class PosixCli : public CliPlatform {
public:
    explicit PosixCli(PosixPortSettings settings) : m_settings(std::move(settings)) {}

    std::unique_ptr<ModemPort> NewPort() override { return std::make_unique<PosixPort>(m_settings); }
    // Never the console nor a login's terminal; --verbose says which were left out.
    std::vector<std::string> SystemPorts() override {
        return DetectablePorts([this](const std::string& device, const std::string& why) {
            if (m_settings.verbose) m_settings.say("left out " + device + ": " + why);
        });
    }
    // Its device number: two names of one device are one port.
    std::string PortIdentity(const std::string& port) override {
        struct stat info;
        if (stat(port.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return port;
        return "device " + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
    }
    std::string AlsoKnownAs(const std::string& port) override {
        const std::string byId = ByIdName(port);
        return byId == port ? "" : byId;
    }
    std::string TablePath(const std::string& given, std::string& error) override {
        const std::vector<std::string> candidates = TableCandidates(given, ProgramDirectory());
        const std::string path = FindTable(candidates);
        if (path.empty()) {
            error = "no country table: looked for";
            for (const std::string& candidate : candidates) error += " " + candidate;
        }
        return path;
    }

    // Without waiting: a FIFO given for a table would hold the open until
    // someone writes to it. Only a regular file is read.
    std::FILE* OpenTable(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "r");
        if (fd >= 0 && !file) close(fd);
        return file;
    }

private:
    PosixPortSettings m_settings;
};

// A note said once however many ports say it: a detection opens them all at once.
void SayOnce(const std::string& note) {
    static std::mutex lock;
    static std::set<std::string> said;
    const std::lock_guard<std::mutex> hold(lock);
    if (said.insert(note).second) CliSay("korvane-cli: %s\n", note.c_str());
}

// A port argument as its path. One that exists but is no serial port (a
// file, a folder, /dev/null) is refused at once, before any lock is looked
// at; a missing one is left to the open, which says that there is no such port.
std::string CheckPort(const std::string& text, std::string& error) {
    if (text.empty()) {
        error = "a port needs a name";
        return "";
    }
    const std::string path = PortPath(text);
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !(S_ISCHR(info.st_mode) && IsSerialDevice(info.st_rdev))) {
        error = "'" + text + "' is not a serial port";
        return "";
    }
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        std::fputs(argv[1][2] == 'h' ? kCliUsage : "korvane-cli " KORVANE_VERSION "\n", stdout);
        return kDone;
    }
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, CheckPort, options, error)) return CliUsageFailure(argc, argv, error);
    // From here on a signal that ends us takes our lock file with it.
    InstallExitRelease();
    PosixPortSettings settings;
    settings.verbose = options.verbose;
    settings.lockWait = std::chrono::seconds(options.waitSeconds);
    settings.say = SayOnce;
    PosixCli platform(std::move(settings));
    const int code = RunCli(options, platform);
    std::fflush(stdout);
    return code;
}
