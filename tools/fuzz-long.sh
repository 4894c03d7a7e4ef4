#!/usr/bin/env bash
# Longer fuzz runs of the country table reader and of a modem's reply as the
# line matcher and the reading of +GCI answers take it (tests/fuzz/run.sh runs both).
# Usage: tools/fuzz-long.sh [seconds per fuzzer, default 600]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S tests/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
tests/fuzz/run.sh build-fuzz "${1:-600}"
