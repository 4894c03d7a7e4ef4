// korvane.exe's operations after a run that found the modem on COM4: the
// query, the idle window, the settings, memory and the setting window's edge.
#pragma once
#include "tools/bench/bench_context.h"
#include "tools/bench/figures.h"

namespace bench {

void RunWithModem(Context& context, DetectionFigures& detection, OperationFigures& figures);

}  // namespace bench
