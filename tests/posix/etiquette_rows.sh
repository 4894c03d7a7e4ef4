# korvane-cli's manners on a shared line, as rows of cli_rows.sh (sourced by
# it, which supplies row, check, verdict, hold, modems, device, lock_of, hex,
# $K, $scratch and $KORVANE_LOCK_DIR). Each function is one lane's rows.
# shellcheck shell=bash

TTY_STATE=$scratch/bin/tty_state

# fields_differing A B: the termios fields (name=value words) in which two tty_state lines differ.
fields_differing() {
  local word differing=
  for word in $2; do [[ " $1 " == *" $word "* ]] || differing+=" ${word%%=*}"; done
  echo "${differing# }"
}

# in_background COMMAND...: runs korvane-cli's command in the background; its PID lands in $background.
in_background() {
  (cd "$scratch" && exec "$@" >"$lane_dir/bg.out" 2>"$lane_dir/bg.err" </dev/null) &
  background=$!
}
# until_exclusive DEVICE: the port's state, once it shows exclusive mode (at most 2 s).
until_exclusive() {
  local state
  for _ in $(seq 100); do
    state=$("$TTY_STATE" "$1") && [[ $state == excl=1* ]] && break
    sleep 0.02
  done
  echo "$state"
}

# The line as the program found it: exclusive mode cleared and every termios
# field put back, after a normal end and after SIGTERM; meanwhile, the
# modem's settings. B19200 is 14 (016 in termios's octal).
line_left_as_found() {
  local dev before during after status problem
  modems 1:B5:silent=1
  dev=$(device 1)
  before=$("$TTY_STATE" "$dev" mark)
  in_background "$K" set Japan --port ports/com1 --dialect t19 --settle 0
  during=$(until_exclusive "$dev")
  vm termios 1
  problem=
  [ "${during%% *}" = excl=1 ] || problem+="; the port showed ${during%% *}"
  [[ $during == *" ispeed=14 ospeed=14 "* ]] || problem+="; the port showed $during"
  [ "$reply" = "baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1" ] || problem+="; the modem saw $reply"
  verdict "while a set waits: exclusive mode and the modem's line settings" "$problem"
  wait "$background"; status=$?
  after=$("$TTY_STATE" "$dev")
  problem=
  [ "$status" = 1 ] || problem+="; exit $status, want 1"
  [ "$after" = "$before" ] || problem+="; it differs in $(fields_differing "$before" "$after")"
  verdict "after the set: exclusive mode cleared, every line setting put back" "$problem"

  before=$("$TTY_STATE" "$dev" mark)
  in_background "$K" set Japan --port ports/com1 --dialect t19 --settle 0
  during=$(until_exclusive "$dev")
  kill -TERM "$background"
  wait "$background"; status=$?
  after=$("$TTY_STATE" "$dev")
  problem=
  [ "$status" = 143 ] || problem+="; exit $status, want 143 (SIGTERM)"
  [ "${during%% *}" = excl=1 ] || problem+="; the port showed ${during%% *} while the set waited"
  [ "$after" = "$before" ] || problem+="; it differs in $(fields_differing "$before" "$after")"
  [ -e "$KORVANE_LOCK_DIR/$(lock_of 1)" ] && problem+="; the lock is still there"
  verdict "SIGTERM while a set waits: the line put back, no lock left" "$problem"
}

# re TEXT: TEXT as a regular expression that matches it alone.
re() { printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g'; }

# hold_as NAME MODE PATH: port_holder under the command name NAME keeps PATH (see hold).
hold_as() {
  unhold
  cp "$scratch/bin/port_holder" "$lane_dir/$1"
  "$lane_dir/$1" "$2" "$3" >"$lane_dir/holder" 2>&1 &
  holder=$!
  for _ in $(seq 100); do grep -q ready "$lane_dir/holder" && return; sleep 0.02; done
  echo "FAIL the port holder did not start: $(cat "$lane_dir/holder")"
}

# What lies under a lock's name, and what is not a serial port at all: each
# refused at once, whatever lock files say; and a port named twice.
lock_forms() {
  local dev lock sleeper path
  modems 2:B5
  dev=$(device 2) lock=$KORVANE_LOCK_DIR/$(lock_of 2)
  mkfifo "$lock" || verdict "a FIFO for a lock" "mkfifo failed"
  row "a FIFO under the lock's name: in use, at once" - 3 '^$' \
    "^korvane-cli: $(re "$dev is locked by $lock, which is not a regular file") \$" "2:-" timeout 5 "$K" query --port ports/com2
  rm -f "$lock"
  sleep 60 &
  sleeper=$!
  printf 'pid=%d\n' "$sleeper" >"$lock" && touch -d '-1 hour' "$lock"
  row "a lock that names no process: in use until someone removes it" - 3 '^$' \
    "^korvane-cli: $(re "$dev is locked by $lock, which names no process: remove it once no program uses the port") \$" \
    "2:-" "$K" query --port ports/com2
  check "that lock is left" "it was removed" [ -e "$lock" ]
  rm -f "$lock"

  # Live locks under the names the devices would lock: a lock looked at would say "locked".
  printf '%10d\n' "$sleeper" | tee "$KORVANE_LOCK_DIR/LCK..null" >"$KORVANE_LOCK_DIR/LCK..zero"
  mkfifo "$lane_dir/fifo" && mkdir -p "$lane_dir/folder" && : >"$lane_dir/file"
  for path in /dev/null /dev/zero "$lane_dir/fifo" "$lane_dir/file" "$lane_dir/folder"; do
    row "not a serial port: ${path##*/}" "" 2 '^$' "^korvane-cli: '$(re "$path")' is not a serial port usage: " "" \
      "$K" query --port "$path"
  done
  rm -f "$KORVANE_LOCK_DIR/LCK..null" "$KORVANE_LOCK_DIR/LCK..zero"
  kill "$sleeper"

  modems 2:B5
  row "a port named twice and by its device: probed once" - 0 '^ports/com2: modem \(t19\)$' \
    "^korvane-cli: ports/com2 is given twice: probed once korvane-cli: $(re "$dev") is ports/com2: probed once probing ports/com2\\.\\.\\. \$" \
    "2:$(hex $'ati3\r\n')" "$K" detect --ports "ports/com2,ports/com2,$dev"
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
    sh -c 'exec "$0" query --port ports/com3 <"$1"' "$K" "$dev"
  row "the controlling terminal" - 3 '^$' \
    "^korvane-cli: $(re "$dev") is this program's own terminal \\(the controlling terminal\\) \$" "3:-" \
    sh -c 'exec setsid -w -c sh -c "exec \"\$0\" query --port ports/com3 </dev/null" "$0" <"$1"' "$K" "$dev"
  hold_as agetty session "$dev"
  row "a login session's terminal, with no descriptor of it open" - 3 '^$' \
    "^korvane-cli: $(re "$dev") is the login terminal of PID $holder \\(agetty\\) \$" "3:-" "$K" query --port ports/com3
  unhold
  row "then the port is free" - 0 '^United States$' '' "3:$(hex $'ati3\r\nati9\r\n')" "$K" query --port ports/com3
}
