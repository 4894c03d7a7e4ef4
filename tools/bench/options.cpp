#include "tools/bench/options.h"

#include <cstdlib>

namespace bench {

namespace {
bool PositiveNumber(const char* text, int* value) { return text && (*value = std::atoi(text)) >= 1; }
}  // namespace

bool ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--quick") {
            opt->quick = true;
            opt->runs = 1;
            opt->idleSeconds = 5;
            opt->portSeconds = 2;
            opt->probeResolution = 8;
            opt->settingResolution = 16;
            continue;
        }
        if (arg == "--verbose") {
            opt->verbose = true;
            continue;
        }
        bool ok = value != nullptr;
        if (arg == "--only" && ok)
            opt->only = value;
        else if (arg == "--out" && ok)
            opt->out = value;
        else if (arg == "--runs")
            ok = PositiveNumber(value, &opt->runs);
        else if (arg == "--idle-seconds")
            ok = PositiveNumber(value, &opt->idleSeconds);
        else if (arg == "--port-seconds")
            ok = PositiveNumber(value, &opt->portSeconds);
        else
            ok = false;
        if (!ok) return false;
        ++i;
    }
    return true;
}

}  // namespace bench
