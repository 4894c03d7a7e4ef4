# korvane-cli's manners on a shared line, as rows of cli_rows.sh (sourced by
# it, which supplies row and its hooks, helper, state, modems, device,
# lock_of, hex, $K, $scratch and $KORVANE_LOCK_DIR). Each function is a part
# of a lane's rows, on the ports it names.
# shellcheck shell=bash

# The line as the program found it, on port P: exclusive mode cleared, every
# termios field put back and no lock left, after a set that ends by itself
# and after one ended by SIGTERM; meanwhile the lock, exclusive mode and the
# modem's settings. The set waits 3 s for the silent card, so that a
# loaded machine still looks while it waits.
line_left_as_found() {
  local p=$1 dev lock end before
  modems "$p:B5:silent=1"
  dev=$(device "$p") lock=$KORVANE_LOCK_DIR/$(lock_of "$p")
  for end in itself SIGTERM; do
    before=$(mark "$dev") || set_up_failed "marking the line"
    meanwhile="present $lock; line_while_waiting" afterwards="line_as_before; absent $lock" \
      row "a set ended by $end: exclusive mode while it waits, then the line put back, no lock left" - \
      "$([ $end = itself ] && echo 1 || echo 143)" '' '' "$p:($S)+" \
      "$K" set Japan --port "ports/com$p" --dialect t19 --settle 3000
  done
}
line_while_waiting() {
  excl_is 1
  vm termios "$p"
  [ "$reply" = "baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1" ] || fault "the modem saw $reply"
  [ "$end" = itself ] || kill -TERM "$pid"
}
# excl_is N: while the set waits, the port shows exclusive mode N (1 or 0).
excl_is() {
  local line
  line=$(state "$dev")
  [[ $line == "excl=$1 "* ]] || fault "while the set waited the port showed $line"
}
line_as_before() {
  local after
  after=$(state "$dev")
  [ "$after" = "$before" ] || fault "after it the line is '$after', was '$before'"
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
    row "not a serial port: ${path##*/}" "" 2 '^$' "^korvane-cli: --port: '$(re "$path")' is not a serial port Run with --help" "2:-" \
      "$K" query --port "$path"
  done
  rm -f "$KORVANE_LOCK_DIR/LCK..null" "$KORVANE_LOCK_DIR/LCK..zero"

  modems 2:B5
  dev=$(device 2)
  row "a port named twice and by its device: probed once" - 0 '^ports/com2: modem \(t19\)$' \
    "^korvane-cli: ports/com2 is given twice: probed once korvane-cli: $(re "$dev") is ports/com2: probed once probing ports/com2\\.\\.\\. \$" \
    "2:$S$I3" "$K" detect --ports "ports/com2,,ports/com2,$dev,"
}

# Failures with --json (why a port cannot open is a row of detection), a live
# lock (its PID's forms are rows of posix_units) of our own user and of
# another, and control characters from outside shown escaped in every message.
messages() {
  local dev lock
  modems 6:B5
  dev=$(device 6) lock=$KORVANE_LOCK_DIR/$(lock_of 6)
  live_lock "$lock"
  row "--json: a port in use" - 3 \
    "^\\{\"error\":\"$(re "$dev is locked by $locked_by")\",\"exit\":3\\}\$" '' "6:-" \
    "$K" set Japan --json --port ports/com6
  # A live process of another user, which we may not signal, holds its lock all the same.
  open_to_all 6
  row "a live lock of another user's process" - 3 '^$' "is locked by $(re "$locked_by")" "6:-" \
    $NOBODY "$K" query --port ports/com6
  rm -f "$lock"

  # A process named with a terminal's control sequence (ESC [2J clears the screen): every
  # message goes out through one printer, which escapes what came from outside.
  helper $'hold\e[2Jer' open "$dev"
  row "a holder's name with ESC in it" - 3 '^$' \
    "^korvane-cli: $(re "$dev is open in PID $holder (hold\\x1b[2Jer)") \$" "6:-" "$K" query --port ports/com6
  unhold
}

# Tables that are no file, written on Windows, or more than the window's
# rules read: refused, read, or read with every line passed over named.
# (What the reader passes over, the 201st country too, is a table of the core.)
tables() {
  for table in /dev/zero "$lane_dir"; do
    row "a table that is no regular file: ${table##*/}" - 2 '^$' \
      "^korvane-cli: the country table is not a regular file: $(re "$table") \$" "6:-" timeout 5 "$K" list --table "$table"
  done
  # Germany's code has one character, and the modem's country, the United States, is in the table too.
  printf 'Chad,CHAD,CHAD,9\r\nGermany,GERMANY,GERMANY,4\r\nUnited States,UNITED STATES,USA,B5\r\n' >"$lane_dir/crlf.ini" ||
    set_up_failed "a CR LF table"
  modems 6:B5
  row "a table with CR LF: the code goes out without its CR" - 0 '^set$' '^setting Germany \(4\) on ports/com6 \(t19\)\.\.\. $' \
    "6:$S$(hex $'ati9\r\nat%t19,0,4\r\n')" "$K" set 4 --table "$lane_dir/crlf.ini" --port ports/com6 --dialect t19
  row "a hostile table: each line left out named" - 2 '^$' \
    '^korvane-cli: hostile\.ini line 1: fewer than four fields, left out korvane-cli: hostile\.ini line 2: fewer than four fields, left out korvane-cli: hostile\.ini line 3: fewer than four fields, left out korvane-cli: hostile\.ini line 3: longer than 254 characters, read as more than one line korvane-cli: the country table holds no country: hostile\.ini $' \
    "6:-" "$K" list --table hostile.ini
}

# getty_on P: the getty sharing the line through the UUCP lock waits, as
# mgetty, for calls on modem P's device $dev.
getty_on() {
  dev=$(device "$1")
  helper mgetty getty "$dev" "$KORVANE_LOCK_DIR/$(lock_of "$1")"
}

# Beside a getty that shares its line through the UUCP lock (mgetty,
# faxgetty): the lock taken, the modem talked to, the getty steps back and
# finds its line as it left it; exclusive mode never set meanwhile. Without
# a lock of ours, nothing is sent. (A getty that takes no part in UUCP locks
# is a login like any other: a row of posix_units.)
beside_a_getty() {
  local dev before
  # The modem answers a byte at a time, as over a UART.
  modems 4:B5:split=1:gap=2
  getty_on 4
  before=$(state "$dev")
  afterwards="getty_said \"ready|stepped back for PID \$pid|saw the lock go|\" 5; line_as_before" row "set beside a waiting mgetty, which steps back, sees the lock go and finds its line as it left it" \
    - 0 '^set$' \
    "^korvane-cli: PID $holder \\(mgetty\\) waits for calls on $(re "$dev") and shares the line through the UUCP lock: it will initialise the modem again after we are done setting Germany \\(04\\) on ports/com4 \\(t19\\)\\.\\.\\. \$" \
    "4:$S$(hex $'ati3\r\nati9\r\nat%t19,0,04\r\n')" "$K" set Germany --port ports/com4

  # Exclusive mode, seen while a set waits 3 s for a silent card to answer.
  # The modem made anew may have another pseudo-terminal.
  modems 4:B5:silent=1
  getty_on 4
  meanwhile="excl_is 0" row "beside mgetty, a set never takes exclusive mode" - 1 '' \
    "PID $holder \\(mgetty\\) waits for calls" "4:($S)+" "$K" set Japan --port ports/com4 --dialect t19 --settle 3000

  modems 4:B5
  getty_on 4
  open_to_all 4
  afterwards="getty_said 'ready|'" row "beside mgetty without a lock of ours: nothing sent, and mgetty saw nothing" - 3 '^$' \
    "^korvane-cli: cannot write a lock file in $(re "$scratch/rolocks"): Permission denied; going on with flock and exclusive mode \\(TIOCEXCL\\) only korvane-cli: $(re "$dev") is the login terminal of PID $holder \\(mgetty\\), which shares the line only with a program that holds its UUCP lock, and we hold none \$" \
    "4:-" env KORVANE_LOCK_DIR="$scratch/rolocks" $NOBODY "$K" query --port ports/com4
}
# getty_said LINES [SECONDS]: what the getty said once it ended by itself (within SECONDS) or was ended.
getty_said() {
  local said
  said=$(helper_said "${2:-0}")
  [ "$said" = "$1" ] || fault "the getty said '$said'"
}

# --wait: a live lock that goes after 2 s is waited out.
waiting() {
  local dev lock removal remover
  modems 5:B5
  dev=$(device 5) lock=$KORVANE_LOCK_DIR/$(lock_of 5)
  live_lock "$lock"
  removal=$EPOCHREALTIME
  (sleep 2 && rm -f "$lock") &
  remover=$!
  afterwards=went_ahead row "--wait 5, a lock that goes after 2 s: done once it went, in at most 3.5 s" \
    - 0 '^United States$' "^korvane-cli: $(re "$dev is locked by $locked_by"): waiting up to 5 s for it to go querying the country on ports/com5 \\(t19\\)\\.\\.\\. \$" \
    "5:$S$I3$I9" "$K" query --port ports/com5 --wait 5 --settle 0
  wait "$remover"
}
# Done no sooner than the lock went, 2 s after it was set to go, and soon after.
went_ahead() {
  local since
  since=$(ms_since "$removal")
  [ "$since" -ge 2000 ] && [ "$took" -le 3500 ] || fault "it ended $since ms after the lock was set to go, and took $took ms"
}
