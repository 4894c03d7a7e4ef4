// The figures the benchmark gathers, by the part that measures them.
#pragma once
#include "tools/bench/samples.h"

namespace bench {

// korvane.exe's detection runs and its probe window (detection_runs.cpp).
struct DetectionFigures {
    Samples none, held, modem, startup, probeEdge;
    Samples cpuNone, cpuModem;  // for the notes
};

// The operations after a run that found the modem (operations.cpp).
struct OperationFigures {
    Samples query, setOk, setFail, settingEdge, idleCpu, peakWorkingSet, privateBytes;
    Samples queryCpu, setFailCpu, setFailRemoteCpu, hostPeakRss, hostPrivate, pagefile;  // for the notes
    Samples setOkToBox, setOkBoxShowing;  // the successful setting's time split at the box's creation
    bool privateUsageZero = false;
};

// The link layer itself, in the benchmark's own process (link_figures.cpp).
struct LinkFigures {
    Samples latency, portCpu;
    Samples portBaselineCpu, serverBaselineCpu, serverPortCpu, portOwnTimes;  // for the notes
};

// The program's file and its flag resources (size_figures.cpp).
struct SizeFigures {
    Samples exeSize, exeNoFlags, flagBytes;
    int flagCount = 0;
};

struct Figures {
    DetectionFigures detection;
    OperationFigures operations;
    LinkFigures link;
    SizeFigures size;
};

}  // namespace bench
