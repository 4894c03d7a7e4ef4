// The samples of one figure, the benchmark's log and the rows made from samples.
#pragma once
#include <string>
#include <vector>

#include "tools/bench/report.h"

namespace bench {

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fixed(double value, int decimals = 1);

struct Samples {
    std::vector<double> values;
    std::string failure;  // the first reason a run gave no sample
    void Fail(const std::string& why);
};

Row MakeRow(const std::string& name, const std::string& what, const std::string& unit, const Samples& s,
            Goal goal = Goal::kNone, double nominal = 0, const std::string& heldAgainst = "—");

// "label: median … (min …, max …, n runs)", or nothing without samples.
void AddNote(std::vector<std::string>& notes, const std::string& label, const Samples& s, const std::string& unit);

}  // namespace bench
