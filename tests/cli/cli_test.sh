#!/usr/bin/env bash
# korvane-cli against the virtual modem: one row a case. A row attaches the
# modems it names (port:country[:knob=value...]), picks the table the program
# finds beside it, runs it and checks the exit code, standard output and,
# where given, the bytes the modem on COM4 received.
#   cli_test.sh <build-dir> <korvane-cli.exe> <title_window.exe> <korvane.ini>
set -u
build=$1 cli=$2 title_window=$3 shipped_ini=$4
. "$build/session/session.env" && [ -n "${KORVANE_VMODEM_PORT:-}" ] || { echo "no session with a virtual modem"; exit 2; }
scratch=$(mktemp -d "$build/cli-test.XXXXXX") window_pid=
trap 'kill $window_pid 2>/dev/null; rm -rf "$scratch"' EXIT

# The tables: each beside its own copy of the program.
make_table() {
  mkdir -p "$scratch/$1" && cp "$cli" "$scratch/$1/korvane-cli.exe"
  [ $# -gt 1 ] && printf '%b' "$2" >"$scratch/$1/korvane.ini"
}
make_table shipped "$(cat "$shipped_ini")\n"
make_table missing
make_table hostile ',,,\n\x1a\x00\xff,\n'"$(head -c 3000 /dev/zero | tr '\0' ',')"'\n'
# Germany's code written with one character, as a table may have it.
make_table onechar "$(sed 's/^Germany,GERMANY,GERMANY,04$/Germany,GERMANY,GERMANY,4/' "$shipped_ini")\n"

exec 3<>"/dev/tcp/127.0.0.1/$KORVANE_VMODEM_PORT" || exit 2
# shellcheck source=../harness/vmodem_control.sh
. "$(dirname "$0")/../harness/vmodem_control.sh"

failures=0 passed=0
# row NAME "MODEMS" TABLE "ARGS" EXIT STDOUT-REGEX [HEX-RECEIVED-ON-COM4]
row() {
  local name=$1 attached=$2 table=$3 args=$4 want=$5 pattern=$6 hex=${7:-} status out
  # shellcheck disable=SC2086
  modems $attached
  (cd "$scratch/$table" && wine korvane-cli.exe $args >"$scratch/out" 2>"$scratch/err" </dev/null)
  status=$?
  out=$(tr -d '\r' <"$scratch/out")
  local problem=
  [ "$status" = "$want" ] || problem="exit $status, want $want"
  [[ $out =~ $(printf '%b' "$pattern") ]] || problem="$problem; stdout does not match /$pattern/"
  if [ -n "$hex" ]; then
    printf 'transcript 4\n' >&3
    local transcript= line
    while IFS= read -r -t 5 line <&3; do line=${line%$'\r'}; [ "$line" = OK ] && break; transcript+="$line"$'\n'; done
    grep -q "^rx [0-9]* .*$hex" <<<"$transcript" || problem="$problem; COM4 did not receive $hex"
  fi
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    printf 'FAIL %s: %s\n--- stdout\n%s\n--- stderr\n%s\n' "$name" "$problem" "$out" "$(cat "$scratch/err")"
  else
    passed=$((passed + 1))
  fi
}
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

#   name                        modems              table    arguments                    exit stdout
row "list"                      ""                  shipped  "list"                       0 '^09  Australia\n.*B5  United States$'
row "detect, two modems"        "3:B5:silent=1 2:04 4:B5" shipped "detect"              0 '^COM3: no modem\nCOM4: modem\nCOM2: modem\nCOM1: cannot open\nCOM5: cannot open\nCOM6: cannot open$'
row "detect, json, no modem"    ""                  shipped  "detect --json"              1 '^\{"ports":\[\{"port":"COM3","state":"cannot open"\},\{"port":"COM4","state":"cannot open"\},'
row "query, no modem"           ""                  shipped  "query"                      1 '^$'
row "query, first modem found"  "2:04 4:B5"         shipped  "query"                      0 '^United States$'
row "query, given port"         "2:04 4:B5"         shipped  "query --port com2 --json"   0 '^\{"port":"COM2","country":"Germany","code":"04"\}$'
row "query, unknown country"    "4:B5:silent=1"     shipped  "query --port COM4"          0 '^unknown$'
row "query, closed port"        ""                  shipped  "query --port COM4"          1 '^$'
row "set by name"               "4:B5"              shipped  "set gERMANY --json"         0 '"country":"Germany","code":"04","result":"set"' "$(hex 'at%t19,0,04')"
row "then query"                "-"                 shipped  "query --port COM4"          0 '^Germany$'
row "set by code"               "4:B5"              shipped  "set 0a --port COM4"         0 '^set$' "$(hex 'at%t19,0,0A')"
row "set, one-character code"   "4:B5"              onechar  "set Germany --port COM4"    0 '^set$' "$(hex $'at%t19,0,4\r\n')"
row "set, modem says ERROR"     "4:B5:seterror=1"   shipped  "set Japan --port COM4"      1 '^not acknowledged$'
row "set, lower-case ok"        "4:B5:okword=ok"    shipped  "set Japan --port COM4"      1 '^not acknowledged$'
row "set, silent modem"         "4:B5:silent=1"     shipped  "set Japan --port COM4"      1 '^not acknowledged$'
row "unknown country"           "4:B5"              shipped  "set Narnia"                 2 '^$'
row "COM9"                      "4:B5"              shipped  "query --port COM9"          2 '^$'
row "LPT1"                      "4:B5"              shipped  "set Japan --port LPT1"      2 '^$'
row "set without a country"     "4:B5"              shipped  "set --port COM4"            2 '^$'
row "no command"                "4:B5"              shipped  ""                           2 '^$'
row "missing table, list"       "4:B5"              missing  "list"                       2 '^$'
row "missing table, set"        "4:B5"              missing  "set Japan --port COM4"      2 '^$'
row "hostile table"             "4:B5"              hostile  "query --port COM4"          2 '^$'

# Set, then query, for a handful of countries on one modem.
for country in "Japan:00" "United Kingdom:B4" "Taiwan:FE" "South Africa:9F"; do
  row "set ${country%%:*}" "4:B5" shipped "set ${country##*:} --port COM4" 0 '^set$'
  row "then query ${country%%:*}" - shipped "query --port COM4" 0 "^${country%%:*}\$"
done

# The program that owns the modem is running: refused, and the modem keeps its country.
(cd "$scratch" && exec wine "$title_window" "Vantoria Select" >"$scratch/window" 2>&1 </dev/null) &
window_pid=$!
for _ in $(seq 100); do grep -q ready "$scratch/window" 2>/dev/null && break; sleep 0.1; done
row "owner running, set"        "4:B5"              shipped  "set Japan --port COM4"      3 '^$'
row "owner running, detect"     "4:B5"              shipped  "detect"                     3 '^$'
kill $window_pid; wait $window_pid 2>/dev/null; window_pid=
vm get 4 country && [ "$reply" = B5 ] && passed=$((passed + 1)) ||
  { failures=$((failures + 1)); echo "FAIL the refused set changed the country to $reply"; }

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
