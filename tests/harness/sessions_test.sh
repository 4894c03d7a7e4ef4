#!/usr/bin/env bash
# Wine sessions started at the same moment share nothing, and each ends only
# what it started: tools/wine-session.sh starts three at once, several rounds;
# each must get a display and a virtual modem of its own, and stopping one
# must leave the others' displays and modems answering. A session belongs to
# the process that started it while that process runs.
#
#   sessions_test.sh <work-dir> <vmodem-binary>       (KORVANE_TARGET: the target)
# The sessions' prefixes stay in <work-dir>, so only the first run makes them.
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: sessions_test.sh <work-dir> <vmodem-binary>" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
session=$top/tools/wine-session.sh
work=$1 vmodem=$2
rounds=3
# shellcheck source=rows.sh
. "$top/tests/harness/rows.sh"
# shellcheck source=vmodem_control.sh
. "$top/tests/harness/vmodem_control.sh"
# shellcheck source=../../tools/session-pids.sh
. "$top/tools/session-pids.sh"

# The display and the modem's control port of the session in $1.
display_of() { sed -n 's/^export DISPLAY=//p' "$1/session/session.env" 2>/dev/null; }
port_of() { sed -n 's/^export KORVANE_VMODEM_PORT=//p' "$1/session/session.env" 2>/dev/null; }
display_answers() { [ -n "$1" ] && xdpyinfo -display "$1" >/dev/null 2>&1; }
modem_answers() (
  reply=
  [ -n "$1" ] && exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1
  vm now >/dev/null && [ -n "$reply" ]
) 2>/dev/null
# Runs a command from another process: a shell that stays its parent.
as_other() { bash -c '"$@"; exit $?' as_other "$@"; }
distinct() { [ "$(printf '%s\n' "$@" | sort -u | grep -c .)" -eq $# ]; }
stop_all() {
  local d
  for d in "$work"/s[0-9]; do "$session" stop "$d" >/dev/null 2>&1 & done
  wait
}
trap stop_all EXIT

mkdir -p "$work"/s{1,2,3} || exit 2
for (( round = 1; round <= rounds; round++ )); do
  dirs=("$work"/s{1,2,3})
  pids=()
  for d in "${dirs[@]}"; do
    "$session" start "$d" "$vmodem" >"$d.start.log" 2>&1 &
    pids+=($!)
  done
  started=1
  for i in 0 1 2; do
    wait "${pids[$i]}" || { started=; echo "round $round: ${dirs[$i]} did not start: $(tail -n 3 "${dirs[$i]}.start.log")"; }
  done
  check "round $round: three sessions start at once" [ -n "$started" ]
  displays=() ports=()
  for d in "${dirs[@]}"; do displays+=("$(display_of "$d")"); ports+=("$(port_of "$d")"); done
  check "round $round: three displays (${displays[*]})" distinct "${displays[@]}"
  check "round $round: three modems (${ports[*]})" distinct "${ports[@]}"
  for i in 0 1 2; do
    check "round $round: ${dirs[$i]##*/}'s display ${displays[$i]} answers" display_answers "${displays[$i]}"
    check "round $round: ${dirs[$i]##*/}'s modem on ${ports[$i]} answers" modem_answers "${ports[$i]}"
  done

  # Each round stops another one first.
  gone=$(( (round - 1) % 3 ))
  # Its own X server and modem end. Their numbers are not looked at: another
  # session on the machine may take a freed display at once.
  cp "${dirs[$gone]}"/session/{xvfb,vmodem}.pid "$work/"
  check "round $round: ${dirs[$gone]##*/} stops" "$session" stop "${dirs[$gone]}"
  check "round $round: ${dirs[$gone]##*/}'s X server and modem have ended" \
    eval '! recorded_pid "$work/xvfb.pid" && ! recorded_pid "$work/vmodem.pid"'
  for i in 0 1 2; do
    [ "$i" -eq "$gone" ] && continue
    check "round $round: ${dirs[$i]##*/}'s display lives on" display_answers "${displays[$i]}"
    check "round $round: ${dirs[$i]##*/}'s modem lives on" modem_answers "${ports[$i]}"
  done
  stop_all
done

# The session belongs to its starter (this script) while it runs: another
# process can neither stop it nor start another in its place.
d=$work/s1
if "$session" start "$d" "$vmodem" >"$d.start.log" 2>&1; then
  own=$(display_of "$d")
  check "another process cannot stop it" eval '! as_other "$session" stop "$d" 2>"$work/refused.log"'
  check "... and is told whose it is" grep -q "belongs to PID $$ " "$work/refused.log"
  check "another process cannot replace it" eval '! as_other "$session" start "$d" "$vmodem" >/dev/null 2>&1'
  check "... and it lives on" display_answers "$own"
  check "its starter stops it" "$session" stop "$d"
else
  check "one session starts: $(tail -n 3 "$d.start.log")" false
fi
summary
