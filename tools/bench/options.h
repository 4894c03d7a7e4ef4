// The benchmark's command line.
#pragma once
#include <string>

namespace bench {

struct Options {
    int runs = 5;
    bool quick = false;
    int idleSeconds = 30;
    int portSeconds = 10;
    int probeResolution = 1;  // ms, bisection stops at this interval
    int settingResolution = 1;
    bool verbose = false;
    std::string only;  // one part: size, link, none, held, modem, probe
    std::string out;

    bool Runs(const char* part) const { return only.empty() || only == part; }
};

constexpr char kUsage[] =
    "usage: korvane_bench.exe [--quick] [--verbose] [--only size|link|none|held|modem|probe] [--runs N]\n"
    "                         [--idle-seconds S] [--port-seconds S] [--out FILE]\n";

// False on an unknown option or a missing or bad value.
bool ParseOptions(int argc, char** argv, Options* opt);

}  // namespace bench
