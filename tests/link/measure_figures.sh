#!/bin/bash
# Measures the link figures (CPU time while a port is open, reply-to-found
# delay) in a session of their own: measure_figures.sh <build-dir>
# The build must hold link_figures.exe and the virtual modem.
set -u
[ $# -eq 1 ] || { echo "usage: measure_figures.sh <build-dir>" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
harness=$(cd "$(dirname "$0")/../harness" && pwd)
"$harness/session.sh" start "$build" "$build/vmodem-build/vmodem" || exit 1
trap '"$harness/session.sh" stop "$build"' EXIT
"$harness/run.sh" "$build" "$build/bin/link_figures.exe"
