// The size of korvane.exe with and without its flag bitmaps, and of the flags.
#pragma once
#include "tools/bench/bench_context.h"
#include "tools/bench/figures.h"

namespace bench {

void MeasureSize(const Context& context, SizeFigures& figures);

}  // namespace bench
