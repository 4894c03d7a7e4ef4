#!/usr/bin/env bash
# korvane-cli for Linux against the virtual modem, natively, one row a case.
# A row attaches the modems it names (port:country[:knob=value...]; "-"
# keeps those attached; a knob the modem refuses fails the row), runs the
# program and checks its exit code, its standard output and standard error
# (regular expressions; standard error's lines joined by spaces) and every
# byte a modem received (port:regex over their hex, matched whole: plain hex
# matches itself alone, a group with a count where the count of the sync
# command's tries depends on the time; port:- for nothing at all).
#
# The rows run in lanes side by side, each lane on ports of its own, with its
# own connection to the modem's control channel; a lane's rows run in turn.
#   cli_rows.sh <korvane-cli> <vmodem> <port_helper> <korvane.ini>
set -u
[ $# -eq 4 ] || { echo "usage: cli_rows.sh <korvane-cli> <vmodem> <port_helper> <korvane.ini>" >&2; exit 2; }
started=$SECONDS
scratch=$(mktemp -d /tmp/korvane-rows.XXXXXX)
vmodem_pid=
# A live process that the rows' lock files name.
sleep 3600 &
sleeper=$!
trap 'kill $vmodem_pid $sleeper 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
# Everything a row may run as nobody lies in the scratch directory, open to all.
chmod 755 "$scratch"
mkdir -p "$scratch/bin" "$scratch/ports" "$scratch/rolocks"
mkdir -m 1777 "$scratch/locks"
cp "$1" "$scratch/bin/korvane-cli"
cp "$3" "$scratch/bin/port_helper"
cp "$4" "$scratch/bin/korvane.ini"  # a build tree's table, beside the program
printf ',,,\n\x1a\x00\xff,\n%s\n' "$(head -c 3000 /dev/zero | tr '\0' ',')" >"$scratch/hostile.ini"
chmod -R a+rX "$scratch/bin" "$scratch"/*.ini
export KORVANE_LOCK_DIR=$scratch/locks
K=$scratch/bin/korvane-cli
NOBODY="setpriv --reuid=nobody --regid=nogroup --clear-groups"

"$2" --dir "$scratch/ports" --control 0 --ready-file "$scratch/ready" >"$scratch/vmodem.log" 2>&1 &
vmodem_pid=$!
for _ in $(seq 100); do [ -s "$scratch/ready" ] && break; sleep 0.05; done
control=$(sed -n 's/^control //p' "$scratch/ready" 2>/dev/null)
[ -n "$control" ] || { echo "the virtual modem did not start"; cat "$scratch/vmodem.log"; exit 2; }

# shellcheck source=../harness/vmodem_control.sh
. "$(dirname "$0")/../harness/vmodem_control.sh"
# transcript N: modem N's view of the bytes it has received since it was
# cleared, a line "MS HEX" each, in ms on its clock; fails, saying nothing,
# when no modem is attached there.
transcript() {
  local line
  printf 'transcript %s\n' "$1" >&3
  while IFS= read -r -t 5 line <&3; do
    line=${line%$'\r'}
    case $line in OK) return 0 ;; ERR*) return 1 ;; rx\ *) echo "${line#rx }" ;; esac
  done
}
# received N: the hex of every byte modem N has received, or fails.
received() {
  local all
  all=$(transcript "$1") || return 1
  cut -s -d' ' -f2 <<<"$all" | tr -d '\n'
}
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# The commands as the modem receives them.
S=$(hex $'atE0Q0V1\r\n') I3=$(hex $'ati3\r\n') I9=$(hex $'ati9\r\n') AT=$(hex $'at\r\n')
ASK=$(hex $'at+GCI?\r\n') LIST=$(hex $'at+GCI=?\r\n')
setg() { hex "at+GCI=$1"$'\r\n'; }
# tries LOW HIGH: the sync command, LOW to HIGH times, as a regex.
tries() { printf '(%s){%s,%s}' "$S" "$1" "$2"; }
device() { readlink -f "$scratch/ports/com$1"; }
# live_lock PATH: a lock file in the FHS form, naming the live $sleeper, whose holder is $locked_by.
live_lock() { printf '%10d\n' "$sleeper" >"$1" || set_up_failed "a live lock $1"; }
locked_by="PID $sleeper (sleep) in $KORVANE_LOCK_DIR"
lock_of() { local dev; dev=$(device "$1"); dev=${dev#/dev/}; echo "LCK..${dev//\//_}"; }

# ms_since START: the milliseconds since $EPOCHREALTIME was START.
ms_since() { echo $(( (${EPOCHREALTIME/./} - ${1/./}) / 1000 )); }
# row NAME MODEMS EXIT STDOUT-RE STDERR-RE RECEIVED COMMAND...: the command
# runs in the scratch directory as $pid, reading ${stdin:-/dev/null}. Two
# hooks, set for the call (meanwhile=... afterwards=... row ...), check more
# of its facts and say what fails with fault: meanwhile once the row's modem
# has received a byte, while the command runs; afterwards once it has ended,
# its time in ms in $took.
row() {
  local name=$1 attached=$2 want=$3 out_re=$4 err_re=$5 bytes=$6 status out err problem= n setup
  shift 6
  # shellcheck disable=SC2086
  setup=$(modems $attached 2>&1)
  [ -z "$setup" ] || problem="; setting up $attached failed: $setup"
  for n in $modem_ports; do vm clear "$n" >/dev/null 2>&1; done
  local start=$EPOCHREALTIME port=${bytes%%:*} rx=${bytes#*:} got
  (cd "$scratch" && exec "$@" >"$lane_dir/out" 2>"$lane_dir/err" <"${stdin:-/dev/null}") &
  pid=$!
  [ -z "${meanwhile:-}" ] || { spoken_to "$port"; eval "$meanwhile"; }
  wait "$pid"
  status=$? took=$(ms_since "$start")
  out=$(cat "$lane_dir/out")
  err=$(tr '\n' ' ' <"$lane_dir/err")
  [ "$status" = "$want" ] || fault "exit $status, want $want"
  [[ $out =~ $(printf '%b' "$out_re") ]] || fault "stdout does not match /$out_re/"
  [ -z "$err_re" ] || [[ $err =~ $err_re ]] || fault "stderr does not match /$err_re/"
  got=$(received "$port")
  [ "$rx" != - ] || rx=
  [[ $got =~ ^$rx$ ]] || fault "modem $port received ${got:-nothing}, want /$rx/"
  [ -z "${afterwards:-}" ] || eval "$afterwards"
  verdict "$name" "$problem" "--- stdout
$out
--- stderr
$(cat "$lane_dir/err")"
}
# fault TEXT: a fact of the row that failed.
fault() { problem+="; $*"; }
# verdict NAME PROBLEM [DETAILS]: one PASS or FAIL line, with details on failure.
verdict() {
  if [ -z "${2:-}" ]; then echo "PASS $1"; else printf 'FAIL %s: %s\n%s\n' "$1" "${2#; }" "${3:-}"; fi
}
# set_up_failed WHAT: a row's set-up failed; says so, as a failed row.
set_up_failed() { verdict "set-up: $1" "it failed"; }
# spoken_to P: waits (at most 2 s) until modem P has received a byte. By then
# the program has looked for other programs holding the port and set up the
# line, so a look at the port (which opens it) is not taken for a holder.
spoken_to() {
  for _ in $(seq 100); do [ -n "$(received "$1")" ] && return; sleep 0.02; done
}
# Hooks. span P FROM TO LOW HIGH: on modem P's clock, TO came LOW to HIGH ms
# after FROM (opened, first, closed: the host's open, the first byte it
# received, the host's close).
# present FILE, absent FILE: whether FILE is there.
span() {
  # shellcheck disable=SC2034  # read by name below
  local opened closed first ms
  vm host "$1" && read -r opened closed <<<"$reply"
  first=$(transcript "$1") first=${first%% *}
  ms=$((${!3} - ${!2}))
  [ "$ms" -ge "$4" ] && [ "$ms" -le "$5" ] || fault "$3 came $ms ms after $2, want $4 to $5"
}
present() { [ -e "$1" ] || fault "no $1 while the command ran"; }
absent() { [ ! -e "$1" ] || fault "$1 is still there"; }
# helper NAME PART ARGS...: port_helper under the command name NAME does PART
# (tests/posix/port_helper.cpp), run by ${as:-} (e.g. $NOBODY), in place of
# the helper before; its PID lands in $holder. helper_said [SECONDS]: what it
# said, its lines ended by "|", once it has ended by itself (within SECONDS,
# 0 by default) or been ended.
helper() {
  local name=$1
  shift
  unhold
  cp "$scratch/bin/port_helper" "$lane_dir/$name"
  : >"$lane_dir/holder"
  ${as:-} "$lane_dir/$name" "$@" >"$lane_dir/holder" 2>&1 &
  holder=$!
  for _ in $(seq 100); do grep -q ready "$lane_dir/holder" && return; sleep 0.02; done
  echo "FAIL $name did not start: $(cat "$lane_dir/holder")"
}
helper_said() {
  for _ in $(seq $((${1:-0} * 50))); do kill -0 "$holder" 2>/dev/null || break; sleep 0.02; done
  unhold
  tr '\n' '|' <"$lane_dir/holder"
}
unhold() { [ -z "${holder:-}" ] || { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; holder=; }; }
# state DEVICE: the line's exclusive mode and termios (stty -g), on one
# line. Exclusive mode refuses every open but root's: the device, opened to
# all, is opened as nobody. mark DEVICE: its state once given line settings
# that nobody else would choose (2400 bit/s, two stop bits, canonical input
# with echo), so that a row can tell whether a program put them back.
state() {
  local refused
  chmod o+rw "$1" && refused=$($NOBODY sh -c ': <>"$1"' sh "$1" 2>&1)
  echo "excl=$([[ $refused == *busy* ]] && echo 1 || echo 0) $(stty -g -F "$1")"
}
mark() { stty -F "$1" 2400 cstopb icanon echo min 1 time 5 && state "$1"; }
open_to_all() { chmod 666 "$(device "$1")"; }

# run_lane PORTS PARTS...: runs the parts' rows in turn, in the background,
# each part given the lane's first port.
lanes=() lane_pids=()
run_lane() {
  local dir=$scratch/lane-$2 part
  # Open to all: a lane's helpers may run as nobody.
  mkdir -p "$dir" && chmod 755 "$dir"
  (
    exec 3<>"/dev/tcp/127.0.0.1/$control" || exit 2
    modem_ports=$1 lane_dir=$dir
    for part in "${@:2}"; do "$part" "${1%% *}"; done
    echo "lane done"
  ) >"$dir.log" 2>&1 &
  lane_pids+=($!)
  lanes+=("$dir.log")
}

detection() {
  row "detect --json: a silent modem, no modem" "1:B5:silent=1" 1 \
    '^\{"ports":\[\{"port":"ports/com1","state":"no modem"\},\{"port":"ports/com2","state":"cannot open"\}\]\}$' \
    'probing ports/com2' "1:$(tries 1 3)" "$K" detect --json --ports ports/com1,ports/com2 --settle 250
  row "query --ports: the first modem found" "1:B5:silent=1 2:04" 0 '^Germany$' \
    'probing ports/com1.*probing ports/com2.*querying the country on ports/com2' "2:$S$I3$S$I9" \
    "$K" query --ports ports/com1,ports/com2 --settle 250
}

# The standard country command, on modems of the virtual modem's gci
# personality.
gci() {
  local g=personality=gci
  row "detect --table: the card and a gci modem, no table read" "1:B5 2:B5:$g" 0 \
    '^ports/com1: modem \(t19\)\nports/com2: modem \(gci\)$' 'probing ports/com1' "2:$S$I3$AT" \
    "$K" detect --ports ports/com1,ports/com2 --table missing.ini
  row "query: a code the table lacks" "2:B5:$g:gcilist=99,B5:country=99" 0 '^unknown$' '' "2:$S$I3$AT$ASK" \
    "$K" query --port ports/com2
  row "check --json: 42 is Germany" "2:B5:$g:gcilist=00,42,B5:country=42" 0 \
    '^\{"port":"ports/com2","country":"Germany","code":"42","dialect":"gci","expected":"Germany","same":true\}$' \
    '^$' "2:$S$I3$AT$ASK" "$K" check 04 --json --port ports/com2
  # A list's codes of no country are shown, a range's are not.
  row "supported: a list" "2:B5:$g:gcilist=00,8A,B4,B5" 0 '^00  Japan\n8A\nB4  United Kingdom\nB5  United States$' \
    'lists \(00,8A,B4,B5\)' "2:$S$LIST" "$K" supported --port ports/com2 --dialect gci --table bin/korvane.ini
  row "supported: a range" "2:B5:$g:gcilist=00-FF" 0 '^\{"port":"ports/com2","dialect":"gci","listed":"00-FF","countries":\[\{"code":"00","country":"Japan"\},.*"FE","country":"Taiwan"\}\]\}$' \
    '' "2:$S$I3$AT$LIST" "$K" supported --json --port ports/com2
  # A code of no country in the list is shown bare.
  row "set: a country outside the modem's list" "2:B5:$g:gcilist=00,99,B4,B5" 2 '^$' \
    "^setting Germany on ports/com2 \(gci\)\.\.\. korvane-cli: Germany \(\+GCI 04 or 42\) is not among the codes the modem on ports/com2 supports \(00,99,B4,B5\): 00 Japan, 99, B4 United Kingdom, B5 United States $" \
    "2:$S$I3$AT$ASK$LIST" "$K" set Germany --port ports/com2
  row "set: OK, but the old country kept" "2:B5:$g:ignoreset=1" 1 '^not taken$' \
    'answered OK to AT\+GCI=B4 but still reports B5 \(United States\)' "2:$S$I3$AT$ASK$LIST$(setg B4)$ASK" \
    "$K" set 'United Kingdom' --port ports/com2
}

commands() {
  row "query --json, by device path" "3:B5" 0 "^\\{\"port\":\"$(device 3)\",\"country\":\"United States\",\"code\":\"B5\",\"dialect\":\"t19\"\\}\$" \
    '' "3:$S$I3$I9" "$K" query --json --port "$(device 3)"
  # check reads and never writes: the modem's transcript ends with the query.
  row "check: another country" "3:04" 1 '^the modem on ports/com3 has Germany, not United Kingdom$' '^$' \
    "3:$S$I3$I9" "$K" check 'united kingdom' --port ports/com3 --table bin/korvane.ini
  # --settle 0 at the window's pace: the reader's start (500 ms) before the
  # command, then the setting's whole window (2000 ms) and the release (100 ms).
  # The modem may note the command's arrival some tens of ms late on a busy
  # machine, which shortens the second span: its lower bound leaves 50 ms.
  # The first span's upper bound lies halfway to the 1500 ms a settling pause
  # would give: at a load of 10 on two cores it came after 830 to 900 ms.
  afterwards="span 3 opened first 500 1100; span 3 first closed 2050 2300" \
    row "set --paced --settle 0, silent card: the window's pace, not acknowledged" "3:B5:silent=1" 1 \
    '^not acknowledged$' '' "3:$(hex $'at%t19,0,00\r\n')" "$K" set Japan --port ports/com3 --dialect t19 --paced --settle 0
  # Run in a session of its own whose controlling terminal is the port. (A login on the port, and a holder
  # that opened it under another name, are rows of posix_units: a pseudo-terminal opens under no name but
  # its own.)
  stdin=$(device 3) row "the controlling terminal" - 3 '^$' \
    "^korvane-cli: $(re "$(device 3)") is this program's own terminal \\(the controlling terminal\\) \$" "3:-" \
    setsid -w -c bash -c 'exec "$@" </dev/null' bash "$K" query --port ports/com3
}

# Another program holding the port: under flock or in exclusive mode. (One
# that keeps it plainly open is the ModemManager row and a row of messages.)
holders() {
  modems 5:B5
  helper port_helper flock "$(device 5)"
  row "a port another program holds under flock" - 3 '^$' "locked \\(flock\\) by PID $holder \\(port_helper\\)" "5:-" \
    "$K" query --port ports/com5
  row "check: a port in use" - 3 "^korvane-cli: $(device 5) is locked \\(flock\\) by PID $holder \\(port_helper\\)" '^$' \
    "5:-" "$K" check Japan --port ports/com5
  # Root passes exclusive mode: the holder and the program run as nobody.
  open_to_all 5
  as=$NOBODY helper port_helper excl "$(device 5)"
  row "a port another program holds in exclusive mode" - 3 '^$' \
    "open for exclusive use \\(TIOCEXCL\\) by PID $holder \\(port_helper\\)" "5:-" $NOBODY "$K" query --port ports/com5
  unhold
  # A fresh pseudo-terminal is its owner's and its group's (tty, or root in some containers) alone.
  modems 5:B5
  row "no permission to open the port" - 4 '^$' \
    "no permission to open $(device 5), which belongs to the group $(stat -c %G "$(device 5)"): add the user to it" \
    "5:-" $NOBODY "$K" query --port ports/com5
}

# A program named ModemManager is seen by every run of korvane-cli, which
# warns of it: this row runs alone, once the lanes are done.
modem_manager() {
  modems 5:B5
  helper ModemManager open "$(device 5)"
  row "a port ModemManager holds" - 3 '^$' \
    "open in PID $holder \\(ModemManager\\); a udev rule setting ENV\\{ID_MM_DEVICE_IGNORE\\}=\"1\"" "5:-" \
    "$K" query --port ports/com5
  unhold
}

bad_input() {
  # A modem on the port named: nothing goes out to it.
  modems 6:B5
  row "--json: bad usage" - 2 '^\{"error":"--port: 1 required PORT missing","exit":2\}$' \
    '^korvane-cli: --port: 1 required PORT missing' "6:-" "$K" query --json --port
  # Every command takes --help; each takes --table too, in its rows above and below.
  local command
  for command in list detect query supported set check; do
    row "$command --help" - 0 "Usage: korvane-cli $command \\[OPTIONS\\].*--table FILE" '^$' "6:-" "$K" "$command" --help
  done
}

# The states other programs leave a modem in (numbers, quiet, no echo, a
# ringing line, deaf after the open) are rows of the core, against the same
# virtual modem in process; one that answers a byte at a time is the row
# beside mgetty (beside_a_getty).

# No needless write: the country read first, nothing written where the
# modem has it, unless forced.
needless_writes() {
  row "gci: set to the country it has: nothing written, and --json says so" "6:B4:personality=gci" 0 \
    '^\{"port":"ports/com6","country":"United Kingdom","code":"B4","dialect":"gci","result":"set","written":false\}$' \
    '^setting United Kingdom on ports/com6 \(gci\)\.\.\. korvane-cli: the modem on ports/com6 has United Kingdom already: nothing written \(--force writes it\) $' \
    "6:$S$I3$AT$ASK" "$K" set B4 --json --port ports/com6
  row "gci: --force writes it all the same" "6:B4:personality=gci" 0 \
    '^\{"port":"ports/com6","country":"United Kingdom","code":"B4","dialect":"gci","result":"set","written":true\}$' '^setting' \
    "6:$S$I3$AT$LIST$(setg B4)$ASK" "$K" set B4 --force --json --port ports/com6
}

# The readiness wait's bound, as the modem sees it: a silent port costs the
# settle, no less and little more, counted from the device's open (the
# port's own checks after the open, who else holds it, count against it).
# The edges of the windows are rows of the core. These rows run alone.
timing() {
  local g=6:B5:personality=gci:silent=1
  afterwards="span 6 opened closed 300 450" row "timing: a silent port, --settle 0300, in decimal" "$g" 1 '^$' \
    'no modem answered on ports/com6' "6:$(tries 1 4)" "$K" query --port ports/com6 --settle 0300
}
# shellcheck source=etiquette_rows.sh
. "$(dirname "$0")/etiquette_rows.sh"

# Five lanes of about the same time, one a port (ports 1 and 2 for the first);
# then the ModemManager row and the timing rows, each alone.
run_lane "1 2" detection gci lock_forms
run_lane 3 commands
run_lane 4 beside_a_getty line_left_as_found needless_writes
run_lane 5 holders waiting
run_lane 6 bad_input messages tables
wait "${lane_pids[@]}"
run_lane 5 modem_manager
wait "${lane_pids[@]}"
run_lane 6 timing
wait "${lane_pids[@]}"

passed=$(cat "${lanes[@]}" | grep -c '^PASS ') failed=$(cat "${lanes[@]}" | grep -c '^FAIL ')
for log in "${lanes[@]}"; do
  # A lane that stopped early says nothing of its last rows: show all it said.
  grep -qx 'lane done' "$log" || { failed=$((failed + 1)); echo "FAIL lane ${log##*/lane-} stopped early"; }
  grep -q '^FAIL \|vmodem:' "$log" && sed -n '/^PASS \|^lane done$/!p' "$log"
done
echo "$passed passed, $failed failed, in $((SECONDS - started)) s"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
