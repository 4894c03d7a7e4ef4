#!/usr/bin/env bash
# Runs every fuzzer for the given seconds each from the committed seed corpus;
# the table reader's seeds also take the shipped table, copied from the tree.
# New inputs go to a work directory beside the binaries, never into the sources.
# Usage: run.sh <fuzz-build-dir> <seconds>
set -euo pipefail
build=$1 seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
for fuzzer in country_table reply; do
  work=$build/corpus-$fuzzer
  mkdir -p "$work"
  if [ "$fuzzer" = country_table ]; then cp "$here/../../korvane.ini" "$work/shipped"; fi
  "$build/fuzz_$fuzzer" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    "$work" "$here/corpus/$fuzzer" >"$build/fuzz_$fuzzer.log" 2>&1 || {
    tail -40 "$build/fuzz_$fuzzer.log"
    exit 1
  }
  grep -E "stat::number_of_executed_units|Done" "$build/fuzz_$fuzzer.log" | sed "s/^/$fuzzer: /"
done
