#include "tools/bench/rows.h"

namespace bench {

std::vector<Row> TableRows(const Options& opt, const Figures& f) {
    const DetectionFigures& d = f.detection;
    const OperationFigures& o = f.operations;
    const std::string nominalRun = "nominal " + Fixed(kDetectionNominal, 0) + " ms (1 + 6 × (1500 + 300 + 300))";
    return {
        MakeRow(
            "Detection run, no modem",
            "progress dialog created (WM_INITDIALOG, right after the detecting tray record) to the main window "
            "shown (WM_SHOWWINDOW)",
            "ms", d.none, Goal::kDuration, kDetectionNominal, nominalRun),
        MakeRow(
            "Detection run, six lines holding writes",
            "the same, every port with a modem whose line holds writes back (XOFF on the pty), as a port with no "
            "device and CTS low does: nothing is found, and no probe may wait for its write",
            "ms", d.held, Goal::kDuration, kDetectionNominal, nominalRun),
        MakeRow("Detection run, one modem on COM4", "the same, the modem found on COM4", "ms", d.modem,
                Goal::kDuration, kDetectionNominal, nominalRun),
        MakeRow("Query",
                "the press of Current (WM_COMMAND handled) to the cursor restored (UI thread back in its "
                "message loop, wait cursor gone)",
                "ms", o.query, Goal::kDuration, kQueryNominal, "nominal 1800 ms (1500 + 200 + 100)"),
        MakeRow("Setting, success", "the press of Set to the message box shown (WM_SHOWWINDOW); OK at once", "ms",
                o.setOk, Goal::kDuration, kSetOkNominal, "nominal 1600 ms (1500 + reply delay 0 + 100)"),
        MakeRow("Setting, failure", "the same with a silent modem", "ms", o.setFail, Goal::kDuration,
                kSetFailNominal, "nominal 3600 ms (1500 + 2000 + 100)"),
        MakeRow(
            "Probe window edge",
            "largest reply delay after \"ati3\" that the run still finds (vmodem `delay`, COM3, bisection to " +
                std::to_string(opt.probeResolution) + " ms)",
            "ms", d.probeEdge, Goal::kEdge, kProbeWindow, "nominal 300 ms"),
        MakeRow("Setting window edge",
                "largest \"OK\" delay that still succeeds (bisection to " + std::to_string(opt.settingResolution) +
                    " ms)",
                "ms", o.settingEdge, Goal::kEdge, kAnswerWindow, "nominal 2000 ms"),
        MakeRow("Reply latency",
                "modem's reply write (transcript tx time, clocks aligned with `now`) to the identification seen "
                "through the link (the core's ModemLink on link/'s port, in the benchmark, probe mode)",
                "ms", f.link.latency, Goal::kBelow, kLatencyTarget, "target under 20 ms"),
        MakeRow("CPU while idle",
                "CPU time of the korvane.exe process over " + std::to_string(opt.idleSeconds) +
                    " s with the window idle after the run and the query (/proc/<pid>/stat, 10 ms resolution)",
                "ms", o.idleCpu, Goal::kZero, 0, "0 ms"),
        MakeRow("CPU with a port open",
                "CPU time of the benchmark process while its link (link/'s port under the core's ModemLink) holds "
                "a port open with the modem silent, over " +
                    std::to_string(opt.portSeconds) + " s (/proc/self/stat), as % of one core",
                "%", f.link.portCpu, Goal::kBelow, kPortCpuTarget, "target under 2 % of one core"),
        MakeRow("Memory, peak working set",
                "PeakWorkingSetSize (GetProcessMemoryInfo) after the run, query and two settings", "bytes",
                o.peakWorkingSet, Goal::kNone),
        MakeRow("Memory, private bytes",
                o.privateUsageZero
                    ? "PagefileUsage (GetProcessMemoryInfo) at the same point: Wine leaves PrivateUsage "
                      "0 and fills PagefileUsage, which Windows keeps equal to it"
                    : "PrivateUsage (GetProcessMemoryInfo) at the same point",
                "bytes", o.privateBytes, Goal::kNone),
        MakeRow("Size, with the flags", "korvane.exe as built (MinSizeRel, stripped)", "bytes", f.size.exeSize,
                Goal::kNone),
        MakeRow("Size, without the flags", "korvane_noflags.exe: the same program built without the flag bitmaps",
                "bytes", f.size.exeNoFlags, Goal::kNone),
        MakeRow("Size, flag resources",
                "sum of the " + std::to_string(f.size.flagCount) +
                    " named bitmap resources read from korvane.exe's PE",
                "bytes", f.size.flagBytes, Goal::kNone),
        MakeRow("Start-up", "CreateProcess called to the progress dialog shown (WM_SHOWWINDOW)", "ms", d.startup,
                Goal::kNone),
    };
}

std::vector<std::string> TableNotes(const Figures& f) {
    const DetectionFigures& d = f.detection;
    const OperationFigures& o = f.operations;
    const LinkFigures& l = f.link;
    std::vector<std::string> notes;
    AddNote(
        notes,
        "CPU of korvane.exe during a detection run without a modem (progress dialog shown to main window shown)",
        d.cpuNone, "ms");
    AddNote(notes, "CPU of korvane.exe during a detection run with the modem", d.cpuModem, "ms");
    AddNote(notes, "CPU of korvane.exe during the query (press to cursor restored)", o.queryCpu, "ms");
    AddNote(notes, "Successful setting, the program's part: the press of Set to the message box created (its WM_CREATE)",
            o.setOkToBox, "ms");
    AddNote(notes, "Successful setting, the system's message box: its WM_CREATE to its WM_SHOWWINDOW", o.setOkBoxShowing,
            "ms");
    AddNote(notes, "CPU of korvane.exe during the failed setting (press to box shown)", o.setFailCpu, "ms");
    AddNote(notes, "GetProcessTimes on the korvane.exe process over the same failed setting", o.setFailRemoteCpu,
            "ms");
    AddNote(notes, "CPU of the benchmark process over the same window with no port open", l.portBaselineCpu,
            "% of one core");
    AddNote(notes, "GetProcessTimes of the benchmark process on itself while the port is open", l.portOwnTimes,
            "% of one core");
    AddNote(notes, "CPU of the session's wineserver while the port is open", l.serverPortCpu, "% of one core");
    AddNote(notes, "CPU of the session's wineserver over the same window with no port open", l.serverBaselineCpu,
            "% of one core");
    AddNote(notes, "Peak resident set of the korvane.exe host process (VmHWM)", o.hostPeakRss, "bytes");
    AddNote(notes, "Anonymous resident memory of the korvane.exe host process (RssAnon)", o.hostPrivate, "bytes");
    AddNote(notes, "PagefileUsage (GetProcessMemoryInfo)", o.pagefile, "bytes");
    return notes;
}

}  // namespace bench
