// Measures two figures of a connection against the virtual modem on COM2:
// the process CPU time over 10 s while the port is open and the modem silent
// (with an idle 10 s beside it), and the delay from the modem's last reply
// byte to a polling thread seeing found.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/main_dialog.h"
#include "tests/link/link_support.h"

namespace {

constexpr int kPort = 2;
constexpr DWORD kCpuWindow = 10000;
const char kId[] = "QTRXFM330HWNF1*GEN";

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return lnk::FileTimeMs(kernel) + lnk::FileTimeMs(user);
}

double CpuOver(DWORD ms) {
    const double before = ProcessCpuMs();
    Sleep(ms);
    return ProcessCpuMs() - before;
}

// Polls found without pause from its own thread; records when it saw it.
class FoundWatch {
public:
    explicit FoundWatch(const CPortReader* const* reader) : reader_(reader) {
        thread_ = CreateThread(nullptr, 0, &FoundWatch::Run, this, 0, nullptr);
    }
    // The system time found was first seen, or nothing within the limit.
    std::optional<double> Wait(DWORD limit) {
        const bool ended = WaitForSingleObject(thread_, limit) == WAIT_OBJECT_0;
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        if (!ended) return std::nullopt;
        return seen_;
    }

private:
    static DWORD WINAPI Run(void* self) {
        FoundWatch& w = *static_cast<FoundWatch*>(self);
        while (!w.stop_) {
            const CPortReader* reader = *w.reader_;
            if (reader && reader->found.load() == 1) {
                w.seen_ = lnk::SystemMs();
                return 0;
            }
        }
        return 1;
    }

    const CPortReader* const* reader_;
    HANDLE thread_;
    std::atomic<bool> stop_{false};
    double seen_ = 0;
};

// The modem time of the write that ended the identification line.
std::optional<double> IdLineSent(drv::VModemClient& modem) {
    const auto line = modem.Transcript(kPort);
    if (!line) return std::nullopt;
    std::string sent;
    for (const drv::TranscriptEntry& e : *line) {
        if (e.received) continue;
        sent += e.bytes;
        const size_t id = sent.find(kId);
        if (id != std::string::npos && sent.find_first_of("\r\n", id) != std::string::npos)
            return static_cast<double>(e.ms);
    }
    return std::nullopt;
}

void Report(const char* what, std::vector<double> delays) {
    if (delays.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(delays.begin(), delays.end());
    std::printf("%s: n=%zu min %.1f median %.1f max %.1f ms\n", what, delays.size(), delays.front(),
                delays[delays.size() / 2], delays.back());
}

}  // namespace

int main() {
    drv::VModemClient modem;
    std::string error;
    const std::optional<int> control = drv::VModemClient::SessionPort();
    if (!control || !modem.Connect(*control, &error)) {
        std::printf("no virtual modem: %s\n", error.c_str());
        return 1;
    }
    for (int com = 1; com <= 6; ++com) modem.Detach(com);
    modem.Attach(kPort);
    lnk::ModemClock clock;
    CMainDlg dialog;

    const double idle = CpuOver(kCpuWindow);
    dialog.OpenPort(kPort, false);
    const double open = CpuOver(kCpuWindow);
    std::printf("process CPU over %lu ms: idle %.0f ms, port open and modem silent %.0f ms (%.1f%%)\n",
                kCpuWindow, idle, open, 100.0 * open / kCpuWindow);

    // The modem sends an identification line on the open connection.
    std::vector<double> sendDelays;
    dialog.m_reader->SetPattern(0, kId);
    for (int i = 0; i < 20; ++i) {
        dialog.m_reader->found = 0;
        modem.Clear(kPort);
        clock.Align(modem);
        FoundWatch watch(&dialog.m_reader);
        Sleep(static_cast<DWORD>(i * 7 % 11));  // spread over the reader's poll phase
        modem.Send(kPort, std::string("\\r\\n") + kId + "\\r\\n");
        const std::optional<double> seen = watch.Wait(5000);
        const std::optional<double> sent = IdLineSent(modem);
        if (seen && sent) sendDelays.push_back(clock.ToModem(*seen) - *sent);
    }
    dialog.ClosePort();
    Report("last reply byte to found, modem sends the line", sendDelays);

    // The probe of a detection run.
    std::vector<double> probeDelays;
    for (int i = 0; i < 5; ++i) {
        modem.Attach(kPort);
        clock.Align(modem);
        FoundWatch watch(&dialog.m_reader);
        dialog.OpenPort(kPort, true);
        const std::optional<double> seen = watch.Wait(5000);
        const std::optional<double> sent = IdLineSent(modem);
        if (seen && sent) probeDelays.push_back(clock.ToModem(*seen) - *sent);
        dialog.ClosePort();
    }
    Report("last reply byte to found, reply to the probe", probeDelays);
    return 0;
}
