#!/usr/bin/env bash
# korvane-cli against the virtual modem, one row a case: a row attaches the
# modems it names, picks the table beside the program, runs it and checks the
# exit code, all of stdout and stderr and, where given, all COM4 received.
#   cli_test.sh <build-dir> <korvane-cli.exe> <title_window.exe> <korvane.ini>
set -u
build=$1 cli=$2 title_window=$3 shipped_ini=$4
. "$build/session/session.env" && [ -n "${KORVANE_VMODEM_PORT:-}" ] || { echo "no session with a virtual modem"; exit 2; }
scratch=$(mktemp -d "$build/cli-test.XXXXXX") window_pid=
trap 'kill $window_pid 2>/dev/null; rm -rf "$scratch"' EXIT

# The tables, each beside its own copy of the program: the repository's.
make_table() {
  mkdir -p "$scratch/$1" && cp "$cli" "$scratch/$1/korvane-cli.exe"
  [ $# -gt 1 ] && printf '%b' "$2" >"$scratch/$1/korvane.ini"
}
make_table shipped "$(cat "$shipped_ini")\n"
# The installer's korvane-shipped.ini: alone, under an edited korvane.ini, and
# under a korvane.ini that cannot be read (a folder of that name).
make_table shippedonly
make_table edited 'Edited,EDITED,USA,98\n'
make_table unreadable
mkdir "$scratch/unreadable/korvane.ini"
for table in shippedonly edited unreadable; do cp "$shipped_ini" "$scratch/$table/korvane-shipped.ini"; done

# COM9, mapped in this prefix to a link the modem's ports never take: Wine
# lists it in SERIALCOMM beside COM1 to COM6. The device manager reads the
# mapping when it starts, so the prefix is started again once.
if ! wine reg query 'HKLM\Software\Wine\Ports' /v COM9 >"$scratch/reg.log" 2>&1 </dev/null; then
  { wine reg add 'HKLM\Software\Wine\Ports' /v COM9 /t REG_SZ /d "$build/ports/com9" /f &&
    wineserver -k; timeout 10 wineserver -w; wineserver -p && wine wineboot; } >>"$scratch/reg.log" 2>&1 </dev/null ||
    { echo "FAIL - COM9 could not be mapped: $(cat "$scratch/reg.log")"; exit 1; }
fi

exec 3<>"/dev/tcp/127.0.0.1/$KORVANE_VMODEM_PORT" || exit 2
# shellcheck source=../harness/vmodem_control.sh
. "$(dirname "$0")/../harness/vmodem_control.sh"

failures=0 passed=0 reply=''
# row NAME "MODEMS" TABLE "ARGS" EXIT STDOUT-REGEX STDERR-REGEX [HEX-RECEIVED-ON-COM4 | -]
# The regexes match the whole output (. matches line ends too), and so does the
# hex all COM4 received, in order ("-": nothing); plain hex matches only itself.
row() {
  local name=$1 attached=$2 table=$3 args=$4 want=$5 pattern=$6 errors=$7 hex=${8:-} status out err problem='' received='' line setup
  # shellcheck disable=SC2086
  setup=$(modems $attached 2>&1)
  [ -z "$setup" ] || problem="; setting up $attached failed: $setup"
  # A modem kept from the row before: what it received then is no part of this row.
  [ "$attached" != - ] || vm clear 4 >/dev/null
  (cd "$scratch/$table" && timeout 30 wine korvane-cli.exe $args >"$scratch/out" 2>"$scratch/err" </dev/null)
  status=$?
  out=$(tr -d '\r' <"$scratch/out") err=$(tr -d '\r' <"$scratch/err")
  [ "$status" = 124 ] && problem="; korvane-cli $args did not end within 30 s"
  [ "$status" = "$want" ] || problem+="; exit $status, want $want"
  [[ $out =~ ^$(printf '%b' "$pattern")$ ]] || problem+="; stdout does not match /$pattern/"
  [[ $err =~ ^$(printf '%b' "$errors")$ ]] || problem+="; stderr does not match /$errors/"
  if [ -n "$hex" ]; then
    printf 'transcript 4\n' >&3
    while IFS= read -r -t 5 line <&3; do
      line=${line%$'\r'}
      [ "$line" = OK ] && break
      [[ $line =~ ^rx\ [0-9]+\ ([0-9a-f]+)$ ]] && received+=${BASH_REMATCH[1]}
    done
    [ "$line" = OK ] || received+=" (and no OK ending the transcript)"
    [[ $received =~ ^${hex#-}$ ]] || problem+="; COM4 received ${received:-nothing}, want ${hex#-}"
  fi
  [ -z "$problem" ] && { passed=$((passed + 1)); echo "ok   - $name"; return; }
  failures=$((failures + 1))
  printf 'FAIL - %s: %s\n--- stdout\n%s\n--- stderr\n%s\n' "$name" "${problem#; }" "$out" "$err"
}
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# The sync command, that begins every connection but the window's pace's: it
# is sent again while the modem has not answered, so a loaded machine may see
# it more than once.
S="($(hex $'atE0Q0V1\r\n'))+"
# What standard error shows.
probing() { local p; for p in "$@"; do printf 'probing COM%s\\.\\.\\.\\n' "$p"; done; }
# Beyond COM1 to COM6 a detection probes the other ports the system lists, in
# number order: COM9, and any serial device of the host that Wine maps itself
# (COM7 for /dev/ttyS0, say), whose state is the host's.
extra=$(for link in "$WINEPREFIX"/dosdevices/com*; do n=${link##*/com}; [ "$n" -gt 6 ] && echo "$n"; done | sort -n)
# others STATE: the lines of those ports, COM9 in the state given.
others() { local n; for n in $extra; do [ "$n" = 9 ] && printf '\\nCOM9: %s' "$1" || printf '\\nCOM%s: [^\\n]*' "$n"; done; }
all6=$(probing 3 4 2 1 5 6 $extra)
listed=$(printf ', COM%s' $extra)
usage='\nRun with --help for more information\.'
table_path='[^\n]*korvane\.ini'

# What is Windows' own: the COM ports (the window's six in its order, then
# those SERIALCOMM lists; the names it takes), the table beside the program,
# and the program's own --help. The commands' logic, which the Linux rows
# test byte for byte, is tried once: a Taiwan setting.
#   name                        modems              table    arguments                    exit stdout / stderr / COM4
row "--help"                    ""                  shipped  "--help"                     0 'Find a fax modem.*Usage: korvane-cli \[OPTIONS\] SUBCOMMAND.*PORT is COM1 to COM256\..*' ''
row "detect, two modems"        "3:B5:silent=1 2:04 4:B5" shipped "detect"              0 'COM3: no modem\nCOM4: modem \(t19\)\nCOM2: modem \(t19\)\nCOM1: cannot open\nCOM5: cannot open\nCOM6: cannot open'"$(others 'cannot open')" \
  "${all6%\\n}" "$S$(hex $'ati3\r\n')"
row "COM257"                    "4:B5"              shipped  "query --port COM257"        2 '' "korvane-cli: --port: 'COM257' is not a COM port: COM1 to COM256$usage" -
row "shipped table alone"       ""                  shippedonly "list"                    0 '09  Australia\n.*B5  United States' ''
row "korvane.ini before it"     ""                  edited   "list"                       0 '98  Edited' ''
row "korvane.ini unreadable before it" ""           unreadable "list"                     2 '' "korvane-cli: the country table could not be read: $table_path"
row "set Taiwan"                "4:B5"              shipped  "set FE --port COM4"         0 'set' 'setting Taiwan \(FE\) on COM4 \(t19\)\.\.\.' \
  "$S$(hex $'ati3\r\nati9\r\nat%t19,0,FE\r\n')"

# The program that owns the modem is running: refused, and the modem keeps its country.
(cd "$scratch" && exec timeout 60 wine "$title_window" "Vantoria Select" >"$scratch/window" 2>&1 </dev/null) &
window_pid=$!
for _ in $(seq 100); do grep -q ready "$scratch/window" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$scratch/window" 2>/dev/null || { failures=$((failures + 1)); echo "FAIL - title_window opened no window within 10 s"; }
owned='korvane-cli: a window titled "Vantoria Select" is open: its program owns the modem'
row "owner running, set"        "4:B5"              shipped  "set Japan --port COM4"      3 '' "$owned" -
kill $window_pid; wait $window_pid 2>/dev/null; window_pid=

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
