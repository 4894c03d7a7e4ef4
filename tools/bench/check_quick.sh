#!/bin/bash
# Runs the benchmark once in its quick mode inside the test session and
# checks that every row of its table holds a measurement.
#   check_quick.sh <build-dir> <korvane_bench.exe> <table-file>
set -u
[ $# -eq 3 ] || { echo "usage: check_quick.sh <build-dir> <bench-exe> <table-file>" >&2; exit 2; }
build=$1 exe=$2 table=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -f "$table"
"$here/../../tests/harness/run.sh" "$build" "$exe" --quick --out "Z:$table"
rc=$?
[ -s "$table" ] || { echo "check: no table was written" >&2; exit 1; }
[ $rc -eq 0 ] || { echo "check: the benchmark failed ($rc)" >&2; exit 1; }

rows=(
  "Detection run, no modem"
  "Detection run, six lines holding writes"
  "Detection run, one modem on COM4"
  "Query"
  "Setting, success"
  "Setting, failure"
  "Probe window edge"
  "Setting window edge"
  "Reply latency"
  "CPU while idle"
  "CPU with a port open"
  "Memory, peak working set"
  "Memory, private bytes"
  "Size, with the flags"
  "Size, without the flags"
  "Size, flag resources"
  "Start-up"
)
status=0
for row in "${rows[@]}"; do
  line=$(grep -F "| $row | " "$table")
  if [ "$(printf '%s\n' "$line" | grep -c .)" -ne 1 ]; then
    echo "check: row \"$row\" appears $(printf '%s\n' "$line" | grep -c .) times" >&2
    status=1
    continue
  fi
  # Columns: row, what, runs, median, min, max, ...; each figure a number.
  IFS='|' read -r _ _ _ runs median min max _ <<<"$line"
  for cell in "$runs" "$median" "$min" "$max"; do
    if ! [[ $cell =~ ^\ *-?[0-9]+(\.[0-9]+)?\  ]] && ! [[ $cell =~ ^\ *[0-9]+\ *$ ]]; then
      echo "check: row \"$row\" is not filled by a measurement: \"$cell\"" >&2
      status=1
    fi
  done
done
[ $(grep -c '^| ' "$table") -eq $(( ${#rows[@]} + 1 )) ] || { echo "check: unexpected rows in the table" >&2; status=1; }
exit $status
