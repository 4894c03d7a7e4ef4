#include "tools/bench/report.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

constexpr double kDurationTolerance = 0.03;

std::string Format(double value, const std::string& unit) {
    char text[64];
    if (unit == "bytes") {
        std::snprintf(text, sizeof text, "%.0f B (%.1f KiB)", value, value / 1024.0);
    } else if (unit == "%") {
        std::snprintf(text, sizeof text, "%.2f %%", value);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", value, unit.c_str());
    }
    return text;
}

std::string Ratio(double value, double nominal) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value / nominal);
    return text;
}

std::string Status(const Row& row, double lo, double hi) {
    switch (row.goal) {
    case Goal::kNone: return "— (no goal)";
    case Goal::kDuration:
        if (lo < row.nominal) return "misses (below nominal)";
        if (hi > row.nominal * (1 + kDurationTolerance)) return "misses (more than 3 % above nominal)";
        return "meets";
    case Goal::kEdge:
        if (lo < row.nominal * (1 - kDurationTolerance) || hi > row.nominal * (1 + kDurationTolerance))
            return "misses (more than 3 % from nominal)";
        return "meets";
    case Goal::kBelow: return hi < row.nominal ? "meets" : "misses";
    case Goal::kZero: return hi == 0 ? "meets" : "misses";
    }
    return "";
}

}  // namespace

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string RenderTable(const std::vector<Row>& rows) {
    std::string out =
        "| Row | What is measured | Runs | Median | Min | Max | Held against | Ratio: median (min–max) | Status "
        "|\n"
        "|---|---|---|---|---|---|---|---|---|\n";
    for (const Row& row : rows) {
        out += "| " + row.name + " | " + row.what + " | ";
        if (row.samples.empty()) {
            out += "0 | not measured | | | " + row.heldAgainst + " | | misses (not measured: " + row.failure +
                   ") |\n";
            continue;
        }
        const double lo = *std::min_element(row.samples.begin(), row.samples.end());
        const double hi = *std::max_element(row.samples.begin(), row.samples.end());
        const double median = Median(row.samples);
        out += std::to_string(row.samples.size()) + " | " + Format(median, row.unit) + " | " +
               Format(lo, row.unit) + " | " + Format(hi, row.unit) + " | " + row.heldAgainst + " | ";
        if (row.goal == Goal::kDuration || row.goal == Goal::kEdge)
            out += Ratio(median, row.nominal) + " (" + Ratio(lo, row.nominal) + "–" + Ratio(hi, row.nominal) + ")";
        out += " | " + Status(row, lo, hi) + " |\n";
    }
    return out;
}

bool AllMeasured(const std::vector<Row>& rows) {
    for (const Row& row : rows)
        if (row.samples.empty()) return false;
    return true;
}

}  // namespace bench
