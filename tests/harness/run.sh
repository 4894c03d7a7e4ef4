#!/bin/bash
# Runs a Windows program of the tests under Wine in the session that
# tools/wine-session.sh started: run.sh <build-dir> <program> [args...]
# Wine's output goes to a file first, so no process Wine leaves behind can
# hold the caller's pipe; the file is printed afterwards. Exits with the
# program's exit code.
set -u
build=$1 program=$2
shift 2
# shellcheck disable=SC1091
. "$build/session/session.env" 2>/dev/null || { echo "run.sh: no session in $build" >&2; exit 2; }
log=$build/session/logs/$(basename "$program" .exe).log
mkdir -p "${log%/*}"
wine "$program" "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
exit $rc
