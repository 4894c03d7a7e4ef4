#include "tools/bench/detection_runs.h"

#include <cstring>
#include <string>

#include "core/modem_commands.h"
#include "tools/bench/window_edge.h"

namespace bench {

namespace {

// The texts the program set and the top-level windows it showed, in ms from origin.
void LogTimeline(const TimedProgram& program, double origin) {
    for (const timing::Event& e : program.Events()) {
        if (e.message == WM_SETTEXT)
            Log("    %+9.1f ms text \"%s\"", QpcToMs(e.qpc) - origin, e.text);
        else if (e.message == WM_SHOWWINDOW && !(GetWindowLongA(WindowOf(e), GWL_STYLE) & WS_CHILD))
            Log("    %+9.1f ms %s \"%s\"", QpcToMs(e.qpc) - origin, e.wParam ? "shown" : "hidden", e.text);
    }
}

// Stops the output of COMn's line, from a handle of our own: Wine stops the
// tty (XOFF), and the stop outlives the handle until the modem's pty is made afresh.
bool HoldLine(int com) {
    const std::string name = "COM" + std::to_string(com);
    const HANDLE line = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (line == INVALID_HANDLE_VALUE) return false;
    const bool held = EscapeCommFunction(line, SETXOFF);
    CloseHandle(line);
    return held;
}

// Runs the program once; whether the probe of kProbeCom found the modem
// that answers after delayMs.
std::optional<bool> ProbeTrial(Context& context, int delayMs) {
    if (!context.OnlyModemOn(kProbeCom) || !context.modem.Set(kProbeCom, "delay", std::to_string(delayMs)))
        return std::nullopt;
    TimedProgram program;
    std::string error;
    if (!program.Start(context.exe, &error)) return std::nullopt;
    const std::string hit = "Modem connected to COM" + std::to_string(kProbeCom);
    const std::string miss = "No modem on COM" + std::to_string(kProbeCom);
    auto verdict = program.WaitEvent(
        0, [&](const timing::Event& e) { return e.message == WM_SETTEXT && (e.text == hit || e.text == miss); },
        20000);
    program.Kill();
    if (!verdict) return std::nullopt;
    const bool found = verdict->text == hit;
    if (context.opt.verbose) {
        // Where the window goes: the probe written (the open tick's text,
        // set right after the write), the modem's receipt, the check.
        auto written = program.WaitEvent(
            0,
            [](const timing::Event& e) {
                return e.message == WM_SETTEXT && !std::strncmp(e.text, "Detecting", 9);
            },
            0);
        const double offset = context.ModemClockOffset();
        const auto transcript = context.modem.Transcript(kProbeCom);
        double received = -1, replied = -1;
        if (transcript)
            for (const drv::TranscriptEntry& e : *transcript) {
                if (e.received && received < 0) received = static_cast<double>(e.ms) + offset;
                if (!e.received && e.bytes.find(kModemId1) != std::string::npos)
                    replied = static_cast<double>(e.ms) + offset;
            }
        if (written && received >= 0)
            Log("    delay %d: %s; modem received %.1f ms after the open tick's text, replied %.1f ms after that, "
                "check %.1f ms after receipt",
                delayMs, found ? "found" : "missed", received - QpcToMs(written->qpc),
                replied >= 0 ? replied - received : -1.0, QpcToMs(verdict->qpc) - received);
    }
    return found;
}

}  // namespace

HWND WindowOf(const timing::Event& e) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(e.hwnd)); }

bool ProgramShowed(const TimedProgram& program, const char* text) {
    for (const timing::Event& e : program.Events())
        if (e.message == WM_SETTEXT && !std::strcmp(e.text, text)) return true;
    return false;
}

std::unique_ptr<TimedProgram> StartAndDetect(Context& context, DetectionFigures& figures, Samples& run, HWND* main,
                                             double* runCpuMs) {
    auto program = std::make_unique<TimedProgram>();
    std::string error;
    if (!program->Start(context.exe, &error)) {
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
        figures.startup.values.push_back(QpcToMs(shown->qpc) - program->StartMs());
    else
        figures.startup.Fail("the progress dialog was not shown");
    const int host = program->HostPid();
    const double cpu0 = HostCpuMs(host);
    auto mainShown = program->WaitEvent(
        0,
        [](const timing::Event& e) {
            return e.message == WM_SHOWWINDOW && e.wParam && e.parent == 0 && !std::strcmp(e.text, kMainTitle);
        },
        40000);
    const double cpu1 = HostCpuMs(host);
    if (!mainShown) {
        run.Fail("the main window was not shown after the run");
        return nullptr;
    }
    const double ms = QpcToMs(mainShown->qpc) - QpcToMs(init->qpc);
    run.values.push_back(ms);
    if (cpu0 >= 0 && cpu1 >= 0) *runCpuMs = cpu1 - cpu0;
    Log("  start-up %.1f ms, run %.1f ms", shown ? QpcToMs(shown->qpc) - program->StartMs() : -1.0, ms);
    if (context.opt.verbose) LogTimeline(*program, QpcToMs(init->qpc));
    *main = WindowOf(*mainShown);
    return program;
}

void RunWithoutModem(Context& context, DetectionFigures& figures) {
    if (!context.DetachAll()) {
        figures.none.Fail("the virtual modem did not detach its ports");
        return;
    }
    HWND main = nullptr;
    double cpu = -1;
    auto program = StartAndDetect(context, figures, figures.none, &main, &cpu);
    if (!program) return;
    if (cpu >= 0) figures.cpuNone.values.push_back(cpu);
    // The run must have found nothing, or it measured something else.
    if (!ProgramShowed(*program, "No Modem in your system!")) {
        figures.none.values.pop_back();
        figures.none.Fail("the run did not end with no modem");
    }
}

void RunWithHeldLines(Context& context, DetectionFigures& figures) {
    for (int com = 1; com <= 6; ++com) {
        if (!context.modem.Attach(com) || !HoldLine(com)) {
            figures.held.Fail("COM" + std::to_string(com) + " could not be attached and held");
            context.DetachAll();
            return;
        }
    }
    HWND main = nullptr;
    double cpu = -1;
    auto program = StartAndDetect(context, figures, figures.held, &main, &cpu);
    bool reached = false;  // a probe that got through means the lines did not hold
    for (int com = 1; com <= 6; ++com) {
        const auto transcript = context.modem.Transcript(com);
        for (const drv::TranscriptEntry& e : transcript.value_or(std::vector<drv::TranscriptEntry>{}))
            reached = reached || e.received;
    }
    context.DetachAll();  // fresh ptys from here on
    if (!program) return;
    if (reached || !ProgramShowed(*program, "No Modem in your system!")) {
        figures.held.values.pop_back();
        figures.held.Fail(reached ? "a probe reached a held line" : "the run did not end with no modem");
    }
}

void MeasureProbeEdge(Context& context, DetectionFigures& figures, bool checkBracket) {
    std::string failure;
    const std::optional<int> edge = FindWindowEdge(
        static_cast<int>(kProbeWindow) - 100, static_cast<int>(kProbeWindow) + 100, context.opt.probeResolution,
        checkBracket, [&](int delay) { return ProbeTrial(context, delay); }, &failure);
    if (!edge) {
        figures.probeEdge.Fail(failure);
        return;
    }
    figures.probeEdge.values.push_back(*edge);
    Log("  probe window edge %d ms", *edge);
}

}  // namespace bench
