#!/bin/bash
# Runs a Windows program of the tests under Wine in the session that
# tools/wine-session.sh started: run.sh <build-dir> <program> [args...]
# Wine's output goes to a file first, so no process Wine leaves behind can
# hold the caller's pipe; the file is printed afterwards. Exits with the
# program's exit code.
set -u
[ $# -ge 2 ] || { echo "usage: run.sh <build-dir> <program> [args...]" >&2; exit 2; }
build=$1
program=$2
shift 2
env_file=$build/session/session.env
[ -f "$env_file" ] || { echo "run.sh: no session (missing $env_file)" >&2; exit 2; }
# shellcheck disable=SC1090
. "$env_file"

log_dir=$build/session/logs
mkdir -p "$log_dir"
log=$log_dir/$(basename "$program" .exe).log
wine "$program" "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
exit $rc
