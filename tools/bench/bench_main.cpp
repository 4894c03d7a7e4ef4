// The benchmark: runs the real korvane.exe against the virtual modem and
// measures its waits, the edges of its reply windows, its latency, CPU,
// memory and size. Prints a Markdown table and writes it to --out.
//
//   korvane_bench.exe [--quick] [--verbose] [--only size|link|none|modem|probe] [--runs N]
//                     [--idle-seconds S] [--port-seconds S] [--out FILE]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/port_connection.h"
#include "tools/bench/report.h"
#include "tools/bench/timed_program.h"
#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/message_box.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace {

using bench::NowMs;
using bench::QpcToMs;

constexpr char kMainTitle[] = "Korvane 2.6";
constexpr char kDetectTitle[] = "Automatic Modem Detection";
constexpr int kSet = 1005;
constexpr int kCurrent = 1023;
constexpr int kModemCom = 4;
constexpr int kProbeCom = 3;  // probed first, so a trial ends early

// The design's waits (ms).
constexpr double kOpen = 1000 + 500;
constexpr double kProbeWindow = 300;
constexpr double kDetectionNominal = 1 + 6 * (kOpen + kProbeWindow + kProbeWindow);
constexpr double kQueryNominal = kOpen + 200 + 100;
constexpr double kAnswerWindow = 2000;
constexpr double kSetOkNominal = kOpen + 100;  // + the modem's reply delay, 0 here
constexpr double kSetFailNominal = kOpen + kAnswerWindow + 100;
constexpr double kLatencyTarget = 20;
constexpr double kPortCpuTarget = 2;  // % of one core

struct Options {
    int runs = 5;
    bool quick = false;
    int idleSeconds = 30;
    int portSeconds = 10;
    int probeResolution = 1;    // ms, bisection stops at this interval
    int settingResolution = 1;
    bool verbose = false;
    std::string only;  // one part: size, link, none, modem, probe
    std::string out;
};

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string Fixed(double value, int decimals = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct Samples {
    std::vector<double> values;
    std::string failure;
    void Fail(const std::string& why) {
        Log("  failed: %s", why.c_str());
        if (failure.empty()) failure = why;
    }
};

HWND WindowOf(const timing::Event& e) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(e.hwnd)); }

// The texts the program set and the top-level windows it showed, in ms from origin.
void LogTimeline(const bench::TimedProgram& program, double origin) {
    for (const timing::Event& e : program.Events()) {
        if (e.message == WM_SETTEXT)
            Log("    %+9.1f ms text \"%s\"", QpcToMs(e.qpc) - origin, e.text);
        else if (e.message == WM_SHOWWINDOW && !(GetWindowLongA(WindowOf(e), GWL_STYLE) & WS_CHILD))
            Log("    %+9.1f ms %s \"%s\"", QpcToMs(e.qpc) - origin, e.wParam ? "shown" : "hidden", e.text);
    }
}

class Bench {
public:
    explicit Bench(const Options& options) : opt_(options) {}

    bool Setup(std::string* error) {
        const std::optional<int> port = drv::VModemClient::SessionPort();
        if (!port) {
            *error = "the session has no virtual modem (KORVANE_VMODEM_PORT)";
            return false;
        }
        if (!modem_.Connect(*port, error) || !tray_.Start(error)) return false;
        exe_ = drv::KorvaneBinDir() + "korvane.exe";
        if (GetFileAttributesA(exe_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            *error = "no program at " + exe_;
            return false;
        }
        return true;
    }

    void Run() {
        auto part = [&](const char* name) { return opt_.only.empty() || opt_.only == name; };
        if (part("size")) MeasureSize();
        if (part("link")) MeasureLink();
        for (int i = 0; part("none") && i < opt_.runs; ++i) {
            Log("detection run without a modem %d/%d", i + 1, opt_.runs);
            RunWithoutModem();
        }
        for (int i = 0; part("modem") && i < opt_.runs; ++i) {
            Log("detection run with a modem on COM%d, then its operations %d/%d", kModemCom, i + 1, opt_.runs);
            RunWithModem();
        }
        for (int i = 0; part("probe") && i < opt_.runs; ++i) {
            Log("probe window edge %d/%d", i + 1, opt_.runs);
            MeasureProbeEdge(i == 0);
        }
        DetachAll();
    }

    std::vector<bench::Row> Rows() const;
    std::vector<std::string> Notes() const;

private:
    bool DetachAll() {
        for (int com = 1; com <= 6; ++com)
            if (!modem_.Detach(com)) return false;
        return true;
    }
    bool OnlyModemOn(int com) { return DetachAll() && modem_.Attach(com); }

    // Starts the program and waits for its detection run to end with the
    // main window shown. Records the start-up and the run.
    std::unique_ptr<bench::TimedProgram> StartAndDetect(Samples& run, HWND* main, double* runCpuMs);
    void RunWithoutModem();
    void RunWithModem();
    // Waits for the tray record that ends an operation, then for the UI thread.
    bool WaitForOperationEnd(bench::TimedProgram& program, HWND main, size_t trayBefore, size_t records);
    // One press of Set: the time to the message box, and its verdict.
    bool PressSet(bench::TimedProgram& program, HWND main, bool* success, double* ms, double* cpuMs,
                  double* remoteCpuMs);
    bool ProbeTrial(int delayMs, bool* found);
    // Our clock minus the modem's, from the exchange with the shortest round trip.
    double ModemClockOffset(double* roundTrip = nullptr);
    void MeasureProbeEdge(bool checkBracket);
    void MeasureSettingEdge(bench::TimedProgram& program, HWND main, bool checkBracket);
    void MeasureLink();
    void MeasureSize();

    Options opt_;
    drv::VModemClient modem_;
    drv::FakeTray tray_;
    std::string exe_;

    Samples detectNone_, detectModem_, startup_, query_, setOk_, setFail_, probeEdge_, settingEdge_;
    Samples latency_, idleCpu_, portCpu_, peakWorkingSet_, privateBytes_, exeSize_, exeNoFlags_, flagBytes_;
    // Further figures for the notes.
    Samples detectCpuNone_, detectCpuModem_, queryCpu_, setFailCpu_, setFailRemoteCpu_, portBaselineCpu_;
    Samples hostPeakRss_, hostPrivate_, pagefile_, serverBaselineCpu_, serverPortCpu_, portOwnTimes_;
    int flagCount_ = 0;
    bool privateUsageZero_ = false;
};

std::unique_ptr<bench::TimedProgram> Bench::StartAndDetect(Samples& run, HWND* main, double* runCpuMs) {
    auto program = std::make_unique<bench::TimedProgram>();
    std::string error;
    if (!program->Start(exe_, &error)) {
        run.Fail(error);
        return nullptr;
    }
    auto init = program->WaitEvent(
        0, [](const timing::Event& e) { return e.message == WM_INITDIALOG && !std::strcmp(e.text, kDetectTitle); },
        20000);
    if (!init) {
        run.Fail("the progress dialog was not created");
        return nullptr;
    }
    auto shown = program->WaitEvent(
        0, [&](const timing::Event& e) { return e.message == WM_SHOWWINDOW && e.wParam && e.hwnd == init->hwnd; },
        20000);
    if (shown)
        startup_.values.push_back(QpcToMs(shown->qpc) - program->StartMs());
    else
        startup_.Fail("the progress dialog was not shown");
    const int host = program->HostPid();
    const double cpu0 = bench::HostCpuMs(host);
    auto mainShown = program->WaitEvent(
        0,
        [](const timing::Event& e) {
            return e.message == WM_SHOWWINDOW && e.wParam && e.parent == 0 && !std::strcmp(e.text, kMainTitle);
        },
        40000);
    const double cpu1 = bench::HostCpuMs(host);
    if (!mainShown) {
        run.Fail("the main window was not shown after the run");
        return nullptr;
    }
    const double ms = QpcToMs(mainShown->qpc) - QpcToMs(init->qpc);
    run.values.push_back(ms);
    if (cpu0 >= 0 && cpu1 >= 0) *runCpuMs = cpu1 - cpu0;
    Log("  start-up %.1f ms, run %.1f ms", shown ? QpcToMs(shown->qpc) - program->StartMs() : -1.0, ms);
    if (opt_.verbose) LogTimeline(*program, QpcToMs(init->qpc));
    *main = WindowOf(*mainShown);
    return program;
}

void Bench::RunWithoutModem() {
    if (!DetachAll()) {
        detectNone_.Fail("the virtual modem did not detach its ports");
        return;
    }
    HWND main = nullptr;
    double cpu = -1;
    auto program = StartAndDetect(detectNone_, &main, &cpu);
    if (!program) return;
    if (cpu >= 0) detectCpuNone_.values.push_back(cpu);
    // The run must have found nothing, or it measured something else.
    bool none = false;
    for (const timing::Event& e : program->Events())
        none = none || (e.message == WM_SETTEXT && !std::strcmp(e.text, "No Modem in your system!"));
    if (!none) {
        detectNone_.values.pop_back();
        detectNone_.Fail("the run did not end with no modem");
    }
}

bool Bench::WaitForOperationEnd(bench::TimedProgram& program, HWND main, size_t trayBefore, size_t records) {
    if (records && !drv::WaitUntil([&] { return tray_.Records().size() >= trayBefore + records; }, 10000))
        return false;
    // The tray call is a sent message, during which the UI thread would
    // answer the query; after it, the thread only sleeps and closes the port.
    Sleep(30);
    auto answer = program.Ask(main, 10000);
    return answer && !answer->waitCursor;
}

bool Bench::PressSet(bench::TimedProgram& program, HWND main, bool* success, double* ms, double* cpuMs,
                     double* remoteCpuMs) {
    const size_t from = program.EventCount();
    const int host = program.HostPid();
    const double cpu0 = bench::HostCpuMs(host);
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetProcessTimes(program.Process(), &created, &exited, &kernel0, &user0);
    drv::Click(GetDlgItem(main, kSet));
    const DWORD mainId = HandleToULong(main);
    auto press = program.WaitEvent(
        from,
        [&](const timing::Event& e) {
            return e.message == WM_COMMAND && e.hwnd == mainId && e.wParam == MAKEWPARAM(kSet, BN_CLICKED);
        },
        5000);
    auto shown = program.WaitEvent(
        from,
        [&](const timing::Event& e) {
            return e.message == WM_SHOWWINDOW && e.wParam && e.hwnd != mainId && !std::strcmp(e.className, "#32770");
        },
        15000);
    const double cpu1 = bench::HostCpuMs(host);
    GetProcessTimes(program.Process(), &created, &exited, &kernel1, &user1);
    if (!press || !shown) return false;
    const HWND box = drv::WaitFor([&] { return drv::FindMessageBox(program.Pid(), nullptr, nullptr); },
                                  [](HWND w) { return w != nullptr; }, 5000)
                         .last;
    if (!box) return false;
    const std::string text = drv::MessageBoxText(box);
    *success = text.find("successfully") != std::string::npos;
    const bool failed = text.find("failed") != std::string::npos;
    drv::AnswerMessageBox(box, IDOK);
    if (!drv::WaitUntil([&] { return !IsWindow(box); }, 5000)) return false;
    if (!WaitForOperationEnd(program, main, 0, 0)) return false;
    *ms = QpcToMs(shown->qpc) - QpcToMs(press->qpc);
    if (cpuMs && cpu0 >= 0 && cpu1 >= 0) *cpuMs = cpu1 - cpu0;
    if (remoteCpuMs) {
        auto total = [](const FILETIME& k, const FILETIME& u) {
            return (static_cast<double>((static_cast<ULONGLONG>(k.dwHighDateTime) << 32) | k.dwLowDateTime) +
                    static_cast<double>((static_cast<ULONGLONG>(u.dwHighDateTime) << 32) | u.dwLowDateTime)) /
                   10000.0;
        };
        *remoteCpuMs = total(kernel1, user1) - total(kernel0, user0);
    }
    return *success || failed;
}

void Bench::RunWithModem() {
    if (!OnlyModemOn(kModemCom)) {
        detectModem_.Fail("the virtual modem did not attach COM4");
        return;
    }
    const size_t trayBefore = tray_.Records().size();
    HWND main = nullptr;
    double cpu = -1;
    auto program = StartAndDetect(detectModem_, &main, &cpu);
    if (!program) return;
    if (cpu >= 0) detectCpuModem_.values.push_back(cpu);
    bool found = false;
    for (const timing::Event& e : program->Events())
        found = found || (e.message == WM_SETTEXT && !std::strcmp(e.text, "Modem connected to COM4"));
    if (!found) {
        detectModem_.values.pop_back();
        detectModem_.Fail("the run did not find the modem on COM4");
        return;
    }
    // The query that follows the run: icon added, detecting, country.
    if (!WaitForOperationEnd(*program, main, trayBefore, 3)) {
        query_.Fail("the query after the run did not end");
        return;
    }

    // Query: the press of Current to the cursor restored.
    {
        const size_t from = program->EventCount();
        const size_t trayNow = tray_.Records().size();
        const int host = program->HostPid();
        const double cpu0 = bench::HostCpuMs(host);
        drv::Click(GetDlgItem(main, kCurrent));
        const DWORD mainId = HandleToULong(main);
        auto press = program->WaitEvent(
            from,
            [&](const timing::Event& e) {
                return e.message == WM_COMMAND && e.hwnd == mainId && e.wParam == MAKEWPARAM(kCurrent, BN_CLICKED);
            },
            5000);
        if (drv::WaitUntil([&] { return tray_.Records().size() > trayNow; }, 10000)) {
            Sleep(30);
            auto answer = program->Ask(main, 10000);
            const double cpu1 = bench::HostCpuMs(host);
            if (press && answer && !answer->waitCursor) {
                const double ms = answer->ms - QpcToMs(press->qpc);
                query_.values.push_back(ms);
                if (cpu0 >= 0 && cpu1 >= 0) queryCpu_.values.push_back(cpu1 - cpu0);
                Log("  query %.1f ms", ms);
            } else {
                query_.Fail("the press or the restored cursor was not seen");
            }
        } else {
            query_.Fail("the query made no tray record");
        }
    }

    // Idle: nothing happens in the window.
    {
        const int host = program->HostPid();
        const size_t from = program->EventCount();
        const double cpu0 = bench::HostCpuMs(host);
        Sleep(static_cast<DWORD>(opt_.idleSeconds) * 1000);
        const double cpu1 = bench::HostCpuMs(host);
        if (cpu0 < 0 || cpu1 < 0)
            idleCpu_.Fail("the program's host process was not found");
        else if (program->EventCount() != from)
            idleCpu_.Fail("the program was not idle");
        else {
            idleCpu_.values.push_back(cpu1 - cpu0);
            Log("  idle CPU %.0f ms over %d s", cpu1 - cpu0, opt_.idleSeconds);
        }
    }

    // Setting: success, then failure with a silent modem.
    {
        bool success = false;
        double ms = 0;
        if (PressSet(*program, main, &success, &ms, nullptr, nullptr) && success) {
            setOk_.values.push_back(ms);
            Log("  setting, success: %.1f ms", ms);
        } else {
            setOk_.Fail("the setting did not succeed");
        }
        modem_.Set(kModemCom, "silent", "1");
        double cpu = -1, remote = -1;
        if (PressSet(*program, main, &success, &ms, &cpu, &remote) && !success) {
            setFail_.values.push_back(ms);
            if (cpu >= 0) setFailCpu_.values.push_back(cpu);
            setFailRemoteCpu_.values.push_back(remote);
            Log("  setting, failure: %.1f ms (CPU %.0f ms; GetProcessTimes says %.0f ms)", ms, cpu, remote);
        } else {
            setFail_.Fail("the setting did not fail with a silent modem");
        }
        modem_.Set(kModemCom, "silent", "0");
    }

    // Memory after start-up, the run and every operation.
    {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(program->Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
            peakWorkingSet_.values.push_back(static_cast<double>(counters.PeakWorkingSetSize));
            // Wine fills only PagefileUsage, which Windows keeps equal to PrivateUsage.
            const SIZE_T privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
            if (privateBytes) privateBytes_.values.push_back(static_cast<double>(privateBytes));
            else privateBytes_.Fail("PrivateUsage and PagefileUsage are 0");
            privateUsageZero_ = counters.PrivateUsage == 0;
            pagefile_.values.push_back(static_cast<double>(counters.PagefileUsage));
        } else {
            peakWorkingSet_.Fail("GetProcessMemoryInfo failed");
        }
        const int host = program->HostPid();
        const double hwm = bench::HostStatusBytes(host, "VmHWM");
        if (hwm >= 0) hostPeakRss_.values.push_back(hwm);
        const double anon = bench::HostStatusBytes(host, "RssAnon");
        if (anon >= 0) hostPrivate_.values.push_back(anon);
    }

    MeasureSettingEdge(*program, main, settingEdge_.values.empty() && settingEdge_.failure.empty());
}

void Bench::MeasureSettingEdge(bench::TimedProgram& program, HWND main, bool checkBracket) {
    auto trial = [&](int delay, bool* success) {
        double ms = 0;
        return modem_.Attach(kModemCom) && modem_.Set(kModemCom, "delay", std::to_string(delay)) &&
               PressSet(program, main, success, &ms, nullptr, nullptr);
    };
    int lo = static_cast<int>(kAnswerWindow) - 200, hi = static_cast<int>(kAnswerWindow) + 200;
    bool success = false;
    if (checkBracket) {
        if (!trial(lo, &success) || !success) {
            settingEdge_.Fail("a reply after " + std::to_string(lo) + " ms did not succeed");
            return;
        }
        if (!trial(hi, &success) || success) {
            settingEdge_.Fail("a reply after " + std::to_string(hi) + " ms still succeeded");
            return;
        }
    }
    while (hi - lo > opt_.settingResolution) {
        const int mid = (lo + hi) / 2;
        if (!trial(mid, &success)) {
            settingEdge_.Fail("a setting trial did not end");
            modem_.Attach(kModemCom);
            return;
        }
        (success ? lo : hi) = mid;
    }
    modem_.Attach(kModemCom);
    settingEdge_.values.push_back(lo);
    Log("  setting window edge %d ms", lo);
}

bool Bench::ProbeTrial(int delayMs, bool* found) {
    if (!OnlyModemOn(kProbeCom) || !modem_.Set(kProbeCom, "delay", std::to_string(delayMs))) return false;
    bench::TimedProgram program;
    std::string error;
    if (!program.Start(exe_, &error)) return false;
    const std::string hit = "Modem connected to COM" + std::to_string(kProbeCom);
    const std::string miss = "No modem on COM" + std::to_string(kProbeCom);
    auto verdict = program.WaitEvent(
        0, [&](const timing::Event& e) { return e.message == WM_SETTEXT && (e.text == hit || e.text == miss); },
        20000);
    program.Kill();
    if (!verdict) return false;
    *found = verdict->text == hit;
    if (opt_.verbose) {
        // Where the window goes: the probe written (the open tick's text,
        // set right after the write), the modem's receipt, the check.
        auto written = program.WaitEvent(
            0, [](const timing::Event& e) { return e.message == WM_SETTEXT && !std::strncmp(e.text, "Detecting", 9); },
            0);
        const double offset = ModemClockOffset();
        const auto transcript = modem_.Transcript(kProbeCom);
        double received = -1, replied = -1;
        if (transcript)
            for (const drv::TranscriptEntry& e : *transcript) {
                if (e.received && received < 0) received = static_cast<double>(e.ms) + offset;
                if (!e.received && e.bytes.find(kModemId1) != std::string::npos) replied = static_cast<double>(e.ms) + offset;
            }
        if (written && received >= 0)
            Log("    delay %d: %s; modem received %.1f ms after the open tick's text, replied %.1f ms after that, "
                "check %.1f ms after receipt",
                delayMs, *found ? "found" : "missed", received - QpcToMs(written->qpc),
                replied >= 0 ? replied - received : -1.0, QpcToMs(verdict->qpc) - received);
    }
    return true;
}

void Bench::MeasureProbeEdge(bool checkBracket) {
    int lo = static_cast<int>(kProbeWindow) - 100, hi = static_cast<int>(kProbeWindow) + 100;
    bool found = false;
    if (checkBracket) {
        if (!ProbeTrial(lo, &found) || !found) {
            probeEdge_.Fail("a reply after " + std::to_string(lo) + " ms was not found");
            return;
        }
        if (!ProbeTrial(hi, &found) || found) {
            probeEdge_.Fail("a reply after " + std::to_string(hi) + " ms was still found");
            return;
        }
    }
    while (hi - lo > opt_.probeResolution) {
        const int mid = (lo + hi) / 2;
        if (!ProbeTrial(mid, &found)) {
            probeEdge_.Fail("a probe trial did not end");
            return;
        }
        (found ? lo : hi) = mid;
    }
    probeEdge_.values.push_back(lo);
    Log("  probe window edge %d ms", lo);
}

double Bench::ModemClockOffset(double* roundTrip) {
    double offset = 0, best = 1e9;
    for (int k = 0; k < 7; ++k) {
        const double before = NowMs();
        const std::optional<std::int64_t> now = modem_.Now();
        const double after = NowMs();
        if (now && after - before < best) {
            best = after - before;
            offset = (before + after) / 2 - static_cast<double>(*now);
        }
    }
    if (roundTrip) *roundTrip = best;
    return offset;
}

double OwnCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// The program's link layer in this process: a port opened in probe mode
// as a detection run opens it, and one held open with a silent modem.
void Bench::MeasureLink() {
    std::atomic<int> stop{0};
    PortConnection link(stop);
    // As the program opens a port, without the pause before the settings.
    auto open = [&](bool probe) {
        link.Open(kModemCom);
        link.Configure();
        stop = 0;
        link.StartReader(probe ? kModemId1 : "", probe ? kModemId2 : "");
        Sleep(500);  // the program's pause before its probe: the reader is at its first wait
        if (probe) link.Write(kProbeCommand, kProbeCommandLength);
    };
    auto close = [&] {
        link.RequestStop();
        link.End();
    };
    for (int i = 0; i < opt_.runs; ++i) {
        Log("reply latency %d/%d", i + 1, opt_.runs);
        if (!OnlyModemOn(kModemCom) || !modem_.Clear(kModemCom)) {
            latency_.Fail("the virtual modem did not attach COM4");
            break;
        }
        open(true);
        double foundMs = -1;
        for (const double end = NowMs() + 2000; NowMs() < end;) {
            if (link.Reader() && link.Reader()->found.load() == 1) {
                foundMs = NowMs();
                break;
            }
        }
        double bestRoundTrip = 0;
        const double offset = ModemClockOffset(&bestRoundTrip);
        close();
        const auto transcript = modem_.Transcript(kModemCom);
        double sentMs = -1;
        if (transcript)
            for (const drv::TranscriptEntry& e : *transcript)
                if (!e.received && e.bytes.find(kModemId1) != std::string::npos && sentMs < 0)
                    sentMs = static_cast<double>(e.ms) + offset;
        if (foundMs < 0 || sentMs < 0 || bestRoundTrip > 5) {
            latency_.Fail(foundMs < 0 ? "the reply was not found" : "the reply was not in the transcript");
            continue;
        }
        latency_.values.push_back(foundMs - sentMs);
        Log("  %.2f ms (clock exchange round trip %.2f ms)", foundMs - sentMs, bestRoundTrip);
    }

    // The same window with no port, for this process's own share and the wineserver's.
    const int self = bench::OwnHostPid(), server = bench::WineserverHostPid();
    {
        const double cpu0 = bench::HostCpuMs(self), server0 = bench::HostCpuMs(server);
        Sleep(static_cast<DWORD>(opt_.portSeconds) * 1000);
        const double cpu1 = bench::HostCpuMs(self), server1 = bench::HostCpuMs(server);
        if (cpu0 >= 0 && cpu1 >= 0) portBaselineCpu_.values.push_back((cpu1 - cpu0) / (opt_.portSeconds * 10.0));
        if (server0 >= 0 && server1 >= 0)
            serverBaselineCpu_.values.push_back((server1 - server0) / (opt_.portSeconds * 10.0));
    }
    for (int i = 0; i < opt_.runs; ++i) {
        Log("CPU with a port open %d/%d", i + 1, opt_.runs);
        if (!OnlyModemOn(kModemCom) || !modem_.Set(kModemCom, "silent", "1")) {
            portCpu_.Fail("the virtual modem did not attach COM4");
            break;
        }
        open(false);
        const double cpu0 = bench::HostCpuMs(self), server0 = bench::HostCpuMs(server);
        const double own0 = OwnCpuMs();
        Sleep(static_cast<DWORD>(opt_.portSeconds) * 1000);
        const double cpu1 = bench::HostCpuMs(self), server1 = bench::HostCpuMs(server);
        const double own1 = OwnCpuMs();
        const bool opened = link.IsOpen() && link.ReaderThread() != nullptr;
        close();
        if (!opened) {
            portCpu_.Fail("the port did not open");
            continue;
        }
        if (cpu0 < 0 || cpu1 < 0) {
            portCpu_.Fail("this process's /proc/self/stat could not be read");
            continue;
        }
        const double percent = (cpu1 - cpu0) / (opt_.portSeconds * 10.0);
        portCpu_.values.push_back(percent);
        portOwnTimes_.values.push_back((own1 - own0) / (opt_.portSeconds * 10.0));
        if (server0 >= 0 && server1 >= 0) serverPortCpu_.values.push_back((server1 - server0) / (opt_.portSeconds * 10.0));
        Log("  %.2f %% of one core (GetProcessTimes on itself: %.2f %%; wineserver %.2f %%)", percent,
            (own1 - own0) / (opt_.portSeconds * 10.0),
            server0 >= 0 && server1 >= 0 ? (server1 - server0) / (opt_.portSeconds * 10.0) : -1.0);
    }
    DetachAll();
}

BOOL CALLBACK CountFlag(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data) {
    // The flags are the named bitmaps; the pictures have numbers.
    if (IS_INTRESOURCE(name)) return TRUE;
    auto* total = reinterpret_cast<std::pair<double, int>*>(data);
    if (HRSRC resource = FindResourceA(module, name, type)) {
        total->first += SizeofResource(module, resource);
        ++total->second;
    }
    return TRUE;
}

double FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

void Bench::MeasureSize() {
    const double with = FileBytes(exe_);
    if (with >= 0) exeSize_.values.push_back(with);
    else exeSize_.Fail("korvane.exe not found");
    const double without = FileBytes(drv::KorvaneBinDir() + "korvane_noflags.exe");
    if (without >= 0) exeNoFlags_.values.push_back(without);
    else exeNoFlags_.Fail("korvane_noflags.exe not built");
    HMODULE module = LoadLibraryExA(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::pair<double, int> flags{0, 0};
    if (module) {
        EnumResourceNamesA(module, RT_BITMAP, CountFlag, reinterpret_cast<LONG_PTR>(&flags));
        FreeLibrary(module);
    }
    flagCount_ = flags.second;
    if (flags.second) flagBytes_.values.push_back(flags.first);
    else flagBytes_.Fail("no named bitmaps in the program's resources");
}

bench::Row MakeRow(const std::string& name, const std::string& what, const std::string& unit, const Samples& s,
                   bench::Goal goal, double nominal, const std::string& heldAgainst) {
    bench::Row row;
    row.name = name;
    row.what = what;
    row.unit = unit;
    row.samples = s.values;
    row.goal = goal;
    row.nominal = nominal;
    row.heldAgainst = heldAgainst;
    row.failure = s.failure.empty() ? "no sample" : s.failure;
    return row;
}

std::vector<bench::Row> Bench::Rows() const {
    using bench::Goal;
    const std::string nominalRun = "nominal " + Fixed(kDetectionNominal, 0) + " ms (1 + 6 × (1500 + 300 + 300))";
    return {
        MakeRow("Detection run, no modem",
                "progress dialog created (WM_INITDIALOG, right after the detecting tray record) to the main window "
                "shown (WM_SHOWWINDOW)",
                "ms", detectNone_, Goal::kDuration, kDetectionNominal, nominalRun),
        MakeRow("Detection run, one modem on COM4", "the same, the modem found on COM4", "ms", detectModem_,
                Goal::kDuration, kDetectionNominal, nominalRun),
        MakeRow("Query", "the press of Current (WM_COMMAND handled) to the cursor restored (UI thread back in its "
                         "message loop, wait cursor gone)",
                "ms", query_, Goal::kDuration, kQueryNominal, "nominal 1800 ms (1500 + 200 + 100)"),
        MakeRow("Setting, success", "the press of Set to the message box shown (WM_SHOWWINDOW); OK at once", "ms",
                setOk_, Goal::kDuration, kSetOkNominal, "nominal 1600 ms (1500 + reply delay 0 + 100)"),
        MakeRow("Setting, failure", "the same with a silent modem", "ms", setFail_, Goal::kDuration, kSetFailNominal,
                "nominal 3600 ms (1500 + 2000 + 100)"),
        MakeRow("Probe window edge",
                "largest reply delay after \"ati3\" that the run still finds (vmodem `delay`, COM3, bisection to " +
                    std::to_string(opt_.probeResolution) + " ms)",
                "ms", probeEdge_, Goal::kEdge, kProbeWindow, "nominal 300 ms"),
        MakeRow("Setting window edge",
                "largest \"OK\" delay that still succeeds (bisection to " + std::to_string(opt_.settingResolution) +
                    " ms)",
                "ms", settingEdge_, Goal::kEdge, kAnswerWindow, "nominal 2000 ms"),
        MakeRow("Reply latency",
                "modem's reply write (transcript tx time, clocks aligned with `now`) to `found` seen by the link "
                "layer (korvane_core in the benchmark, probe mode)",
                "ms", latency_, Goal::kBelow, kLatencyTarget, "target under 20 ms"),
        MakeRow("CPU while idle",
                "CPU time of the korvane.exe process over " + std::to_string(opt_.idleSeconds) +
                    " s with the window idle after the run and the query (/proc/<pid>/stat, 10 ms resolution)",
                "ms", idleCpu_, Goal::kZero, 0, "0 ms"),
        MakeRow("CPU with a port open",
                "CPU time of the benchmark process while its link layer (korvane_core) holds a port open with the "
                "modem silent, over " + std::to_string(opt_.portSeconds) +
                    " s (/proc/self/stat), as % of one core",
                "%", portCpu_, Goal::kBelow, kPortCpuTarget, "target under 2 % of one core"),
        MakeRow("Memory, peak working set",
                "PeakWorkingSetSize (GetProcessMemoryInfo) after the run, query and two settings", "bytes",
                peakWorkingSet_, Goal::kNone, 0, "—"),
        MakeRow("Memory, private bytes",
                privateUsageZero_ ? "PagefileUsage (GetProcessMemoryInfo) at the same point: Wine leaves PrivateUsage "
                                    "0 and fills PagefileUsage, which Windows keeps equal to it"
                                  : "PrivateUsage (GetProcessMemoryInfo) at the same point",
                "bytes", privateBytes_, Goal::kNone, 0, "—"),
        MakeRow("Size, with the flags", "korvane.exe as built (MinSizeRel, stripped)", "bytes", exeSize_,
                Goal::kNone, 0, "—"),
        MakeRow("Size, without the flags", "korvane_noflags.exe: the same program built without the flag bitmaps",
                "bytes", exeNoFlags_, Goal::kNone, 0, "—"),
        MakeRow("Size, flag resources", "sum of the " + std::to_string(flagCount_) +
                                            " named bitmap resources read from korvane.exe's PE",
                "bytes", flagBytes_, Goal::kNone, 0, "—"),
        MakeRow("Start-up", "CreateProcess called to the progress dialog shown (WM_SHOWWINDOW)", "ms", startup_,
                Goal::kNone, 0, "—"),
    };
}

std::vector<std::string> Bench::Notes() const {
    std::vector<std::string> notes;
    auto add = [&](const std::string& label, const Samples& s, const std::string& unit) {
        if (s.values.empty()) return;
        const auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
        notes.push_back(label + ": median " + Fixed(bench::Median(s.values)) + " " + unit + " (min " + Fixed(*lo) +
                        ", max " + Fixed(*hi) + ", " + std::to_string(s.values.size()) + " runs)");
    };
    add("CPU of korvane.exe during a detection run without a modem (progress dialog shown to main window shown)",
        detectCpuNone_, "ms");
    add("CPU of korvane.exe during a detection run with the modem", detectCpuModem_, "ms");
    add("CPU of korvane.exe during the query (press to cursor restored)", queryCpu_, "ms");
    add("CPU of korvane.exe during the failed setting (press to box shown)", setFailCpu_, "ms");
    add("GetProcessTimes on the korvane.exe process over the same failed setting", setFailRemoteCpu_, "ms");
    add("CPU of the benchmark process over the same window with no port open", portBaselineCpu_, "% of one core");
    add("GetProcessTimes of the benchmark process on itself while the port is open", portOwnTimes_, "% of one core");
    add("CPU of the session's wineserver while the port is open", serverPortCpu_, "% of one core");
    add("CPU of the session's wineserver over the same window with no port open", serverBaselineCpu_,
        "% of one core");
    add("Peak resident set of the korvane.exe host process (VmHWM)", hostPeakRss_, "bytes");
    add("Anonymous resident memory of the korvane.exe host process (RssAnon)", hostPrivate_, "bytes");
    add("PagefileUsage (GetProcessMemoryInfo)", pagefile_, "bytes");
    return notes;
}

bool ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--quick") {
            opt->quick = true;
            opt->runs = 1;
            opt->idleSeconds = 5;
            opt->portSeconds = 2;
            opt->probeResolution = 8;
            opt->settingResolution = 16;
        } else if (arg == "--verbose") {
            opt->verbose = true;
        } else if (arg == "--only") {
            const char* v = value();
            if (!v) return false;
            opt->only = v;
        } else if (arg == "--runs") {
            const char* v = value();
            if (!v || (opt->runs = std::atoi(v)) < 1) return false;
        } else if (arg == "--idle-seconds") {
            const char* v = value();
            if (!v || (opt->idleSeconds = std::atoi(v)) < 1) return false;
        } else if (arg == "--port-seconds") {
            const char* v = value();
            if (!v || (opt->portSeconds = std::atoi(v)) < 1) return false;
        } else if (arg == "--out") {
            const char* v = value();
            if (!v) return false;
            opt->out = v;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        std::fprintf(stderr,
                     "usage: korvane_bench.exe [--quick] [--verbose] [--only PART] [--runs N] [--idle-seconds S] [--port-seconds S] "
                     "[--out FILE]\n");
        return 2;
    }
    if (!bench::LoadTimingHook()) {
        std::fprintf(stderr, "bench: cannot load the timing hook DLL\n");
        return 1;
    }
    Bench bench(opt);
    std::string error;
    if (!bench.Setup(&error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    bench.Run();
    const std::vector<bench::Row> rows = bench.Rows();
    std::string text = bench::RenderTable(rows);
    const std::vector<std::string> notes = bench.Notes();
    if (!notes.empty()) {
        text += "\nFurther measurements:\n\n";
        for (const std::string& note : notes) text += "- " + note + "\n";
    }
    std::fputs(text.c_str(), stdout);
    if (!opt.out.empty()) {
        std::FILE* file = std::fopen(opt.out.c_str(), "wb");
        if (!file) {
            std::fprintf(stderr, "bench: cannot write %s\n", opt.out.c_str());
            return 1;
        }
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    return bench::AllMeasured(rows) ? 0 : 1;
}
