#include "tools/bench/samples.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {

void Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void Samples::Fail(const std::string& why) {
    Log("  failed: %s", why.c_str());
    if (failure.empty()) failure = why;
}

Row MakeRow(const std::string& name, const std::string& what, const std::string& unit, const Samples& s, Goal goal,
            double nominal, const std::string& heldAgainst) {
    Row row;
    row.name = name;
    row.what = what;
    row.unit = unit;
    row.samples = s.values;
    row.goal = goal;
    row.nominal = nominal;
    row.heldAgainst = heldAgainst;
    row.failure = s.failure.empty() ? "no sample" : s.failure;
    return row;
}

void AddNote(std::vector<std::string>& notes, const std::string& label, const Samples& s,
             const std::string& unit) {
    if (s.values.empty()) return;
    const auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
    notes.push_back(label + ": median " + Fixed(Median(s.values)) + " " + unit + " (min " + Fixed(*lo) + ", max " +
                    Fixed(*hi) + ", " + std::to_string(s.values.size()) + " runs)");
}

}  // namespace bench
