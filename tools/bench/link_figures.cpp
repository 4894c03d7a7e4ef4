#include "tools/bench/link_figures.h"

#include <windows.h>

#include <atomic>

#include "core/modem_link.h"
#include "core/probe_order.h"
#include "link/port_connection.h"
#include "tools/bench/timed_program.h"

namespace bench {

namespace {

double OwnCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// A connection to the modem's port, opened as the program opens one but
// without the pause before the settings.
class Connection {
public:
    explicit Connection(bool probe) {
        // The program's pause before its probe: the reader is at its first wait.
        timing_.settle = ModemTiming::Ms(0);
        link_.Open(ComPortName(kModemCom).c_str(), probe ? LinkMode::Probe : LinkMode::Plain);
    }
    ~Connection() { link_.Release(Teardown::AfterProbe); }
    bool Found() { return link_.Identified(); }
    bool Listening() const { return link_.IsOpen() && port_.ReaderThread(); }

private:
    std::atomic<int> stop_{0};
    PortConnection port_{stop_};
    ModemTiming timing_;
    ModemLink link_{port_, timing_};
};

// The modem's write of the identification, in our clock; -1 when not sent.
double ReplySentMs(Context& context, double offset) {
    const auto transcript = context.modem.Transcript(kModemCom);
    if (!transcript) return -1;
    for (const drv::TranscriptEntry& e : *transcript)
        if (!e.received && e.bytes.find(kModemId1) != std::string::npos) return static_cast<double>(e.ms) + offset;
    return -1;
}

void MeasureLatency(Context& context, LinkFigures& figures) {
    for (int i = 0; i < context.opt.runs; ++i) {
        Log("reply latency %d/%d", i + 1, context.opt.runs);
        if (!context.OnlyModemOn(kModemCom) || !context.modem.Clear(kModemCom)) {
            figures.latency.Fail("the virtual modem did not attach COM4");
            break;
        }
        double foundMs = -1, bestRoundTrip = 0, offset = 0;
        {
            Connection probe(true);
            for (const double end = NowMs() + 2000; NowMs() < end;) {
                if (probe.Found()) {
                    foundMs = NowMs();
                    break;
                }
            }
            offset = context.ModemClockOffset(&bestRoundTrip);
        }
        const double sentMs = ReplySentMs(context, offset);
        if (foundMs < 0 || sentMs < 0 || bestRoundTrip > 5) {
            figures.latency.Fail(foundMs < 0 ? "the reply was not found" : "the reply was not in the transcript");
            continue;
        }
        figures.latency.values.push_back(foundMs - sentMs);
        Log("  %.2f ms (clock exchange round trip %.2f ms)", foundMs - sentMs, bestRoundTrip);
    }
}

// CPU of this process and of the wineserver over the port window, as % of one core.
struct CpuWindow {
    double self = -1, server = -1, own = -1;
    void Measure(int selfPid, int serverPid, int seconds) {
        const double self0 = HostCpuMs(selfPid), server0 = HostCpuMs(serverPid), own0 = OwnCpuMs();
        Sleep(static_cast<DWORD>(seconds) * 1000);
        const double self1 = HostCpuMs(selfPid), server1 = HostCpuMs(serverPid), own1 = OwnCpuMs();
        const double scale = seconds * 10.0;
        if (self0 >= 0 && self1 >= 0) self = (self1 - self0) / scale;
        if (server0 >= 0 && server1 >= 0) server = (server1 - server0) / scale;
        own = (own1 - own0) / scale;
    }
};

void MeasurePortCpu(Context& context, LinkFigures& figures) {
    const int self = OwnHostPid(), server = WineserverHostPid();
    const int seconds = context.opt.portSeconds;
    CpuWindow baseline;  // the same window with no port, for the notes
    baseline.Measure(self, server, seconds);
    if (baseline.self >= 0) figures.portBaselineCpu.values.push_back(baseline.self);
    if (baseline.server >= 0) figures.serverBaselineCpu.values.push_back(baseline.server);
    for (int i = 0; i < context.opt.runs; ++i) {
        Log("CPU with a port open %d/%d", i + 1, context.opt.runs);
        if (!context.OnlyModemOn(kModemCom) || !context.modem.Set(kModemCom, "silent", "1")) {
            figures.portCpu.Fail("the virtual modem did not attach COM4");
            break;
        }
        CpuWindow open;
        bool listening = false;
        {
            Connection silent(false);
            open.Measure(self, server, seconds);
            listening = silent.Listening();
        }
        if (!listening) {
            figures.portCpu.Fail("the port did not open");
            continue;
        }
        if (open.self < 0) {
            figures.portCpu.Fail("this process's /proc/self/stat could not be read");
            continue;
        }
        figures.portCpu.values.push_back(open.self);
        figures.portOwnTimes.values.push_back(open.own);
        if (open.server >= 0) figures.serverPortCpu.values.push_back(open.server);
        Log("  %.2f %% of one core (GetProcessTimes on itself: %.2f %%; wineserver %.2f %%)", open.self, open.own,
            open.server);
    }
}

}  // namespace

void MeasureLink(Context& context, LinkFigures& figures) {
    MeasureLatency(context, figures);
    MeasurePortCpu(context, figures);
    context.DetachAll();
}

}  // namespace bench
