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
