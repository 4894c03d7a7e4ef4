// korvane.exe's detection runs: without a modem, on six lines that hold every
// write back, with the modem, and the edge of the probe window.
#pragma once
#include <windows.h>

#include <memory>

#include "tools/bench/bench_context.h"
#include "tools/bench/figures.h"
#include "tools/bench/timed_program.h"

namespace bench {

// Starts the program and waits for its detection run to end with the main
// window shown. Records the start-up and, in run, the run's duration.
std::unique_ptr<TimedProgram> StartAndDetect(Context& context, DetectionFigures& figures, Samples& run, HWND* main,
                                             double* runCpuMs);
void RunWithoutModem(Context& context, DetectionFigures& figures);
// Every port has a modem whose line holds writes back (XOFF), as a port with
// no device and CTS low does: nothing is found, and no probe may wait.
void RunWithHeldLines(Context& context, DetectionFigures& figures);
void MeasureProbeEdge(Context& context, DetectionFigures& figures, bool checkBracket);

HWND WindowOf(const timing::Event& e);
// Whether the program set the text on any window.
bool ProgramShowed(const TimedProgram& program, const char* text);

}  // namespace bench
