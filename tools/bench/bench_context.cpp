#include "tools/bench/bench_context.h"

#include <windows.h>

#include "tools/bench/timed_program.h"
#include "tools/driver/korvane_process.h"

namespace bench {

bool Context::Setup(std::string* error) {
    const std::optional<int> port = drv::VModemClient::SessionPort();
    if (!port) {
        *error = "the session has no virtual modem (KORVANE_VMODEM_PORT)";
        return false;
    }
    if (!modem.Connect(*port, error) || !tray.Start(error)) return false;
    exe = drv::KorvaneBinDir() + "korvane.exe";
    if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *error = "no program at " + exe;
        return false;
    }
    return true;
}

bool Context::DetachAll() {
    for (int com = 1; com <= 6; ++com)
        if (!modem.Detach(com)) return false;
    return true;
}

bool Context::OnlyModemOn(int com) { return DetachAll() && modem.Attach(com); }

double Context::ModemClockOffset(double* roundTrip) {
    double offset = 0, best = 1e9;
    for (int k = 0; k < 7; ++k) {
        const double before = NowMs();
        const std::optional<std::int64_t> now = modem.Now();
        const double after = NowMs();
        if (now && after - before < best) {
            best = after - before;
            offset = (before + after) / 2 - static_cast<double>(*now);
        }
    }
    if (roundTrip) *roundTrip = best;
    return offset;
}

}  // namespace bench
