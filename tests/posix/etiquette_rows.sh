# korvane-cli's manners on a shared line, as rows of cli_rows.sh (sourced by
# it, which supplies row, check, verdict, hold, modems, device, lock_of, hex,
# $K, $scratch and $KORVANE_LOCK_DIR). Each function is a part of a lane's
# rows, on the ports it names.
# shellcheck shell=bash

TTY_STATE=$scratch/bin/tty_state

# fields_differing A B: the termios fields (name=value words) in which two tty_state lines differ.
fields_differing() {
  local word differing=
  for word in $2; do [[ " $1 " == *" $word "* ]] || differing+=" ${word%%=*}"; done
  echo "${differing# }"
}

# set_up_failed WHAT: a row's set-up failed; says so, as a failed row.
set_up_failed() { verdict "set-up: $1" "it failed"; }

# in_background COMMAND...: runs korvane-cli's command in the background; its PID lands in $background.
in_background() {
  (cd "$scratch" && exec "$@" >"$lane_dir/bg.out" 2>"$lane_dir/bg.err" </dev/null) &
  background=$!
}
# spoken_to P: waits (at most 2 s) until modem P has received a byte. By then
# the program has looked for other programs holding the port and set up the
# line, so a look at the port (which opens it) is not taken for a holder.
spoken_to() {
  for _ in $(seq 100); do [ -n "$(received "$1")" ] && return; sleep 0.02; done
}

# The line as the program found it, on port P: exclusive mode cleared, every
# termios field put back and no lock left, after a set that ends by itself
# and after one ended by SIGTERM; meanwhile the lock, exclusive mode and the
# modem's settings. B19200 is 14 (016 in termios's octal). The set waits 3 s
# for the silent card, so that a loaded machine still looks while it waits.
line_left_as_found() {
  local p=$1 dev lock end want before during after status problem
  modems "$p:B5:silent=1"
  dev=$(device "$p") lock=$KORVANE_LOCK_DIR/$(lock_of "$p")
  for end in "by itself" "by SIGTERM"; do
    problem=
    [ -e "$lock" ] && { problem="; a lock was there before the set"; rm -f "$lock"; }
    vm clear "$p" >/dev/null
    before=$("$TTY_STATE" "$dev" mark) || set_up_failed "marking the line"
    in_background "$K" set Japan --port "ports/com$p" --dialect t19 --settle 3000
    spoken_to "$p"
    during=$("$TTY_STATE" "$dev")
    vm termios "$p"
    [ "$reply" = "baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1" ] || problem+="; the modem saw $reply"
    [ -e "$lock" ] || problem+="; there was no lock while the set waited"
    want=1
    [ "$end" = "by SIGTERM" ] && { kill -TERM "$background"; want=143; }
    wait "$background"; status=$?
    after=$("$TTY_STATE" "$dev")
    [ "$status" = $want ] || problem+="; exit $status, want $want"
    [[ $during == "excl=1 "*" ispeed=14 ospeed=14 "* ]] || problem+="; while the set waited the port showed $during"
    [ "$after" = "$before" ] || problem+="; after it the line differs in $(fields_differing "$before" "$after")"
    [ -e "$lock" ] && problem+="; the lock is still there"
    verdict "a set ended $end: exclusive mode while it waits, then the line put back, no lock left" "$problem" \
      "--- the set said: $(cat "$lane_dir/bg.err")"
  done
}

# re TEXT: TEXT as a regular expression that matches it alone.
re() { printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g'; }

# What is not a serial port at all, refused at once whatever lock files say;
# and a port named twice, in a list with empty entries.
lock_forms() {
  local dev path
  # Live locks under the names the devices would lock: a lock looked at would say "locked".
  live_lock "$KORVANE_LOCK_DIR/LCK..null" && live_lock "$KORVANE_LOCK_DIR/LCK..zero"
  mkfifo "$lane_dir/fifo" && mkdir -p "$lane_dir/folder" && : >"$lane_dir/file" || set_up_failed "a FIFO, a folder, a file"
  for path in /dev/null /dev/zero "$lane_dir/fifo" "$lane_dir/file" "$lane_dir/folder"; do
    row "not a serial port: ${path##*/}" "" 2 '^$' "^korvane-cli: --port: '$(re "$path")' is not a serial port Run with --help" "" \
      "$K" query --port "$path"
  done
  rm -f "$KORVANE_LOCK_DIR/LCK..null" "$KORVANE_LOCK_DIR/LCK..zero"

  modems 2:B5
  dev=$(device 2)
  row "a port named twice and by its device: probed once" - 0 '^ports/com2: modem \(t19\)$' \
    "^korvane-cli: ports/com2 is given twice: probed once korvane-cli: $(re "$dev") is ports/com2: probed once probing ports/com2\\.\\.\\. \$" \
    "2:$S$I3" "$K" detect --ports "ports/com2,,ports/com2,$dev,"
}

# on_terminal DEVICE COMMAND...: the command with the terminal as its standard input.
on_terminal() {
  local device=$1
  shift
  "$@" <"$device"
}
# with_controlling_terminal DEVICE COMMAND...: the command in a session of
# its own whose controlling terminal is DEVICE, reading /dev/null.
with_controlling_terminal() {
  local device=$1
  shift
  # shellcheck disable=SC2016
  setsid -w -c bash -c 'exec "$@" </dev/null' bash "$@" <"$device"
}

# The user's own terminals and a login on the port are not taken. (A holder
# that opened the port under another name is a row of posix_units: a
# pseudo-terminal opens under no name but its own.)
terminals() {
  local dev
  modems 3:B5
  dev=$(device 3)
  row "the terminal on standard input" - 3 '^$' \
    "^korvane-cli: $(re "$dev") is this program's own terminal \\(standard input\\) \$" "3:-" \
    on_terminal "$dev" "$K" query --port ports/com3
  row "the controlling terminal" - 3 '^$' \
    "^korvane-cli: $(re "$dev") is this program's own terminal \\(the controlling terminal\\) \$" "3:-" \
    with_controlling_terminal "$dev" "$K" query --port ports/com3
  hold_as agetty session "$dev"
  row "a login session's terminal, with no descriptor of it open" - 3 '^$' \
    "^korvane-cli: $(re "$dev") is the login terminal of PID $holder \\(agetty\\) \$" "3:-" "$K" query --port ports/com3
  unhold
}

# Failures with --json, a reason for each port that cannot open, and control
# characters from outside shown escaped in every message.
messages() {
  local dev lock
  modems 6:B5
  dev=$(device 6) lock=$KORVANE_LOCK_DIR/$(lock_of 6)
  row "--json: a port that does not exist" - 1 \
    '^\{"error":"/dev/ttyKORVANE9 cannot be opened: /dev/ttyKORVANE9: no such port","exit":1\}$' \
    '^korvane-cli: /dev/ttyKORVANE9 cannot be opened: /dev/ttyKORVANE9: no such port $' "" \
    "$K" query --json --port ttyKORVANE9
  row "--json: an unknown country" - 2 \
    "^\\{\"error\":\"unknown country 'Narnia' \\(korvane-cli list shows the table\\)\",\"exit\":2\\}\$" "unknown country 'Narnia'" "" \
    "$K" set Narnia --json --port ports/com6
  live_lock "$lock"
  row "--json: a port in use" - 3 \
    "^\\{\"error\":\"$(re "$dev is locked by $locked_by")\",\"exit\":3\\}\$" '' "6:-" \
    "$K" set Japan --json --port ports/com6
  rm -f "$lock"
  row "detect: why a port cannot open" - 0 '^ports/com6: modem \(t19\)\nports/gone: cannot open$' \
    '^probing ports/com6\.\.\. probing ports/gone\.\.\. korvane-cli: ports/gone: no such port $' "6:$S$(hex $'ati3\r\n')" \
    "$K" detect --ports ports/com6,ports/gone

  # A process named with a terminal's control sequence (ESC [2J clears the screen): every
  # message goes out through one printer, which escapes what came from outside.
  hold_as $'hold\e[2Jer' open "$dev"
  row "a holder's name with ESC in it" - 3 '^$' \
    "^korvane-cli: $(re "$dev is open in PID $holder (hold\\x1b[2Jer)") \$" "6:-" "$K" query --port ports/com6
  unhold
}

# Tables that are no file, written on Windows, or more than the window's
# rules read: refused, read, or read with every line passed over named.
tables() {
  local many i
  mkfifo "$lane_dir/fifo.ini" || set_up_failed "a FIFO for a table"
  for table in /dev/zero "$lane_dir/fifo.ini" "$lane_dir"; do
    row "a table that is no regular file: ${table##*/}" - 2 '^$' \
      "^korvane-cli: the country table is not a regular file: $(re "$table") \$" "" timeout 5 "$K" list --table "$table"
  done
  printf 'Chad,CHAD,CHAD,9\r\nGermany,GERMANY,GERMANY,4\r\n' >"$lane_dir/crlf.ini" || set_up_failed "a CR LF table"
  modems 6:B5
  row "a table with CR LF: the code goes out without its CR" - 0 '^set$' '^setting Germany \(4\) on ports/com6 \(t19\)\.\.\. $' \
    "6:$S$(hex $'ati9\r\nat%t19,0,4\r\n')" "$K" set 4 --table "$lane_dir/crlf.ini" --port ports/com6 --dialect t19
  row "a hostile table: each line left out named" - 2 '^$' \
    '^korvane-cli: hostile\.ini line 1: fewer than four fields, left out korvane-cli: hostile\.ini line 2: fewer than four fields, left out korvane-cli: hostile\.ini line 3: fewer than four fields, left out korvane-cli: hostile\.ini line 3: longer than 254 characters, read as more than one line korvane-cli: the country table holds no country: hostile\.ini $' \
    "" "$K" list --table hostile.ini
  many=$(for i in $(seq 202); do printf 'C%d,ID,BMP,%02d\n' "$i" $((i % 100)); done)
  printf '%s\n%s,ID,BMP,01\n' "$many" "$(printf 'L%.0s' $(seq 300))" >"$lane_dir/many.ini" ||
    set_up_failed "a table of 203 lines"
  row "a table past the limit, and a long line" - 0 '^01  C1\n.*\n00  C200$' \
    "^korvane-cli: $(re "$lane_dir/many.ini") line 201: past the table's limit of 200 countries, left out korvane-cli: $(re "$lane_dir/many.ini") line 202: past the table's limit of 200 countries, left out korvane-cli: $(re "$lane_dir/many.ini") line 203: fewer than four fields, left out korvane-cli: $(re "$lane_dir/many.ini") line 203: longer than 254 characters, read as more than one line korvane-cli: $(re "$lane_dir/many.ini") line 203: past the table's limit of 200 countries, left out \$" \
    "" "$K" list --table "$lane_dir/many.ini"
}

messages_and_tables() { messages; tables; }

# pid_to FILE COMMAND...: the command, its PID written to FILE first.
pid_to() {
  # shellcheck disable=SC2016
  sh -c 'echo $$ >"$0" && exec "$@"' "$@"
}

# getty_as NAME PORT: the stand-in getty under the command name NAME waits
# for calls on the port; its PID lands in $getty.
getty_as() {
  cp "$scratch/bin/stand_in_getty" "$lane_dir/$1"
  : >"$lane_dir/getty.out"
  "$lane_dir/$1" "$(device "$2")" "$KORVANE_LOCK_DIR/$(lock_of "$2")" >"$lane_dir/getty.out" 2>&1 &
  getty=$!
  started "$lane_dir/getty.out" || echo "FAIL the stand-in getty did not start: $(cat "$lane_dir/getty.out")"
}
# getty_said [SECONDS]: what the getty said, its lines ended by "|", once it
# has ended by itself (within SECONDS, 0 by default) or been ended.
getty_said() {
  for _ in $(seq $((${1:-0} * 50))); do kill -0 "$getty" 2>/dev/null || break; sleep 0.02; done
  kill "$getty" 2>/dev/null
  wait "$getty" 2>/dev/null
  tr '\n' '|' <"$lane_dir/getty.out"
}

# Beside a getty that shares its line through the UUCP lock (mgetty,
# faxgetty): the lock taken, the modem talked to, the getty steps back and
# finds its line as it left it; exclusive mode never set meanwhile. Without
# a lock of ours, nothing is sent. (A getty that takes no part in UUCP locks
# is a login like any other: see terminals.)
beside_a_getty() {
  local dev before after said state status problem
  # The modem answers a byte at a time, as over a UART.
  modems 4:B5:split=1:gap=2
  dev=$(device 4)
  getty_as mgetty 4
  before=$("$TTY_STATE" "$dev")
  row "set beside a waiting mgetty" - 0 '^set$' \
    "^korvane-cli: PID $getty \\(mgetty\\) waits for calls on $(re "$dev") and shares the line through the UUCP lock: it will initialise the modem again after we are done setting Germany \\(04\\) on ports/com4 \\(t19\\)\\.\\.\\. \$" \
    "4:$S$(hex $'ati3\r\nati9\r\nat%t19,0,04\r\n')" pid_to "$lane_dir/cli.pid" "$K" set Germany --port ports/com4
  said=$(getty_said 5) after=$("$TTY_STATE" "$dev") problem=
  [ "$said" = "ready|stepped back for PID $(cat "$lane_dir/cli.pid")|saw the lock go|" ] || problem+="; the getty said '$said'"
  [ "$after" = "$before" ] || problem+="; its line differs in $(fields_differing "$before" "$after")"
  verdict "then the getty stepped back, saw the lock go, and found its line as it left it" "$problem"

  # Exclusive mode, seen while a set waits 3 s for a silent card to answer.
  # The modem made anew may have another pseudo-terminal.
  modems 4:B5:silent=1
  dev=$(device 4)
  getty_as mgetty 4
  in_background "$K" set Japan --port ports/com4 --dialect t19 --settle 3000
  spoken_to 4
  state=$("$TTY_STATE" "$dev")
  wait "$background"; status=$?
  getty_said >/dev/null
  problem=
  [ "$status" = 1 ] || problem+="; exit $status, want 1"
  [[ $state == "excl=0 "* ]] || problem+="; the port showed ${state%% *}"
  grep -q "PID $getty (mgetty) waits for calls" "$lane_dir/bg.err" || problem+="; the set did not see mgetty"
  verdict "beside mgetty, a set never takes exclusive mode" "$problem"

  modems 4:B5
  dev=$(device 4)
  getty_as mgetty 4
  open_to_all 4
  row "beside mgetty without a lock of ours" - 3 '^$' \
    "^korvane-cli: cannot write a lock file in $(re "$scratch/rolocks"): Permission denied; going on with flock and exclusive mode \\(TIOCEXCL\\) only korvane-cli: $(re "$dev") is the login terminal of PID $getty \\(mgetty\\), which shares the line only with a program that holds its UUCP lock, and we hold none \$" \
    "4:-" env KORVANE_LOCK_DIR="$scratch/rolocks" $NOBODY "$K" query --port ports/com4
  said=$(getty_said)
  check "that mgetty saw nothing" "it said '$said'" [ "$said" = "ready|" ]
}

# --wait: a live lock that goes after 2 s is waited out; one that stays ends the wait when it is up.
waiting() {
  local dev lock remover start elapsed waiting_line
  modems 5:B5
  dev=$(device 5) lock=$KORVANE_LOCK_DIR/$(lock_of 5)
  waiting_line="korvane-cli: $(re "$dev is locked by $locked_by"): waiting up to"
  live_lock "$lock"
  start=$EPOCHREALTIME
  (sleep 2 && rm -f "$lock") &
  remover=$!
  row "--wait 5, a lock that goes after 2 s" - 0 '^United States$' \
    "^$waiting_line 5 s for it to go querying the country on ports/com5 \\(t19\\)\\.\\.\\. \$" \
    "5:$S$I3$I9" "$K" query --port ports/com5 --wait 5 --settle 0
  # Done no sooner than the lock went, 2 s after it was set to go, and soon after.
  elapsed=$(ms_since "$start")
  verdict "it went ahead once the lock went: done after 2 s, in at most 3.5 s" \
    "$( [ "$elapsed" -ge 2000 ] && [ "$took" -le 3500 ] || echo "it ended $elapsed ms after the lock was set to go, and took $took ms")"
  wait "$remover"
  live_lock "$lock"
  row "--wait 1, a lock that stays" - 3 '^$' \
    "^$waiting_line 1 s for it to go korvane-cli: $(re "$dev is locked by $locked_by") \$" \
    "5:-" "$K" query --port ports/com5 --wait 1 --settle 0
  verdict "it gave up when the wait was up: from 0.95 to 2 s" \
    "$( [ "$took" -ge 950 ] && [ "$took" -le 2000 ] || echo "it took $took ms")"
  rm -f "$lock"
  row "--wait longer than an hour" - 2 '^$' "^korvane-cli: --wait: Value 3601 not in range 0 to 3600 Run with --help" "" \
    "$K" query --port ports/com5 --wait 3601
}
