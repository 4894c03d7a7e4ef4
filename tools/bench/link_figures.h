// Figures of the link layer itself, in the benchmark's own process: the
// delay from the modem's reply to `found`, and the CPU a connection costs
// while its port is open and the modem silent.
#pragma once
#include "tools/bench/bench_context.h"
#include "tools/bench/figures.h"

namespace bench {

void MeasureLink(Context& context, LinkFigures& figures);

}  // namespace bench
