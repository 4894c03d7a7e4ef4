// The benchmark's table: one row per measured figure, with its median,
// minimum and maximum, what it is held against, and whether it meets its goal.
#pragma once
#include <string>
#include <vector>

namespace bench {

enum class Goal {
    kNone,      // reported only
    kDuration,  // never below nominal, at most 3 % above
    kEdge,      // within 3 % of nominal either way
    kBelow,     // every sample under the target
    kZero,      // every sample zero
};

struct Row {
    std::string name;
    std::string what;
    std::string unit;  // "ms", "%", "bytes"
    std::vector<double> samples;
    Goal goal = Goal::kNone;
    double nominal = 0;       // or the target
    std::string heldAgainst;  // as printed
    std::string failure;      // why it has no samples
};

double Median(std::vector<double> v);

// The Markdown table; every row without samples is marked as not measured.
std::string RenderTable(const std::vector<Row>& rows);
// Whether every row holds at least one sample.
bool AllMeasured(const std::vector<Row>& rows);

}  // namespace bench
