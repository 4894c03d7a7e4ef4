// The benchmark's table rows and further notes, from the figures gathered.
#pragma once
#include <string>
#include <vector>

#include "tools/bench/bench_context.h"
#include "tools/bench/figures.h"

namespace bench {

std::vector<Row> TableRows(const Options& opt, const Figures& figures);
std::vector<std::string> TableNotes(const Figures& figures);

}  // namespace bench
