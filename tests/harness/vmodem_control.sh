# The virtual modem's control channel for test scripts (sourced, bash). The
# caller opens the connection on file descriptor 3:
#   exec 3<>"/dev/tcp/127.0.0.1/$control"
# and may set modem_ports to the ports its modems() may change (default all six).

# vm REQUEST: one control request; its answer ends with OK or ERR, and a
# "= value" line lands in $reply. A refusal or no answer is said and fails.
vm() {
  local line
  printf '%s\n' "$*" >&3
  while IFS= read -r -t 5 line <&3; do
    line=${line%$'\r'}
    case $line in OK) return 0 ;; ERR*) echo "vmodem: $* -> $line"; return 1 ;; =*) reply=${line#= } ;; esac
  done
  echo "vmodem: $* -> no answer within 5 s"
  return 1
}

# modems PORT:COUNTRY[:KNOB=VALUE...]...: only the modems named, e.g. 4:B5 or
# 4:B5:seterror=1:okword=ok, each fresh with an empty transcript; "-" keeps
# those attached as they are. A modem that could not be made so fails, with a
# FAIL line.
modems() {
  local n modem fields knob failed=
  [ "${1:-}" = - ] && return
  for n in ${modem_ports:-1 2 3 4 5 6}; do vm detach "$n" || failed=1; done
  for modem in "$@"; do
    IFS=: read -ra fields <<<"$modem"
    vm attach "${fields[0]}" && vm set "${fields[0]}" country "${fields[1]}" && vm clear "${fields[0]}" || failed=1
    for knob in "${fields[@]:2}"; do vm set "${fields[0]}" "${knob%%=*}" "${knob#*=}" || failed=1; done
  done
  [ -z "$failed" ] || { echo "FAIL set-up: modems $*"; return 1; }
}
