#!/bin/bash
# The Wine session that ./run-korvane, the tests and ./bench share: an X
# display, a Wine prefix for the target with COM1..COM6 mapped to <dir>/ports,
# a persistent wineserver and the virtual modem.
#
#   wine-session.sh start <dir> [<vmodem-binary> [<vmodem-option>...]]
#   wine-session.sh stop <dir>
#
# The target is KORVANE_TARGET (x86 or x64), chosen as tools/common.sh does
# when unset. With KORVANE_USE_DISPLAY=1 the session uses $DISPLAY instead of
# a private Xvfb. start writes <dir>/session/session.env, which puts the
# target's Wine loader first in PATH as `wine`, for run.sh and the tests. All
# output of the started programs goes to files under <dir>/session/, never
# to the caller's stdout: ctest reads that through a pipe and would wait for
# every process that holds it.
#
# Two sessions share nothing: each has the display its own X server picked,
# the control port its own virtual modem picked, and its prefix, port folder
# and records under <dir>. A session ends only the processes it recorded.
# One <dir> holds one session: its start and stop take turns, and while the
# process that started it runs, only that process may stop or replace it.
set -u

die() { echo "session: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: wine-session.sh start|stop <dir> [<vmodem-binary> [<vmodem-option>...]]"
action=$1
build=$(cd "$2" 2>/dev/null && pwd) || die "no directory $2"
vmodem_bin=${3:-${VMODEM:-}}
[ -n "$vmodem_bin" ] && vmodem_bin=$(realpath -m "$vmodem_bin")
shift $(( $# < 3 ? $# : 3 ))
vmodem_options=("$@")

# Start and stop in one directory take turns. flock -o keeps the lock out of
# the processes the session leaves running, so it ends with this script.
mkdir -p "$build/session" || die "cannot create $build/session"
if [ "${KORVANE_SESSION_LOCKED:-}" != "$build" ]; then
    KORVANE_SESSION_LOCKED=$build KORVANE_SESSION_CALLER=$PPID \
        exec flock -o -w 600 "$build/session/lock" "$0" "$action" "$build" ${vmodem_bin:+"$vmodem_bin"} ${vmodem_options[@]+"${vmodem_options[@]}"}
fi
caller=${KORVANE_SESSION_CALLER:-$PPID}
unset KORVANE_SESSION_LOCKED KORVANE_SESSION_CALLER

# shellcheck source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# shellcheck source=session-pids.sh
. "$(dirname "${BASH_SOURCE[0]}")/session-pids.sh"
[ -n "${KORVANE_TARGET:-}" ] || choose_target
case $KORVANE_TARGET in
  x86|x64) ;;
  *) die "KORVANE_TARGET must be x86 or x64" ;;
esac

session_dir=$build/session
ports_dir=$build/ports
# A prefix is made for one architecture: each target has its own.
prefix=$build/wineprefix-$KORVANE_TARGET
shim_dir=$session_dir/bin

export WINEPREFIX=$prefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
# `wine` is the target's loader from here on, in this script and in session.env.
use_target_wine "$KORVANE_TARGET" "$shim_dir"

# Polls a shell condition every 50 ms for up to $1 seconds.
wait_until() {
    local limit=$(( $1 * 20 )); shift
    local i
    for (( i = 0; i < limit; i++ )); do
        if eval "$@"; then return 0; fi
        sleep 0.05
    done
    return 1
}

# Fails, saying why, while the process that started the session in <dir>
# runs and is not the one asking.
owner_allows() {
    local owner
    owner=$(recorded_pid "$session_dir/owner") || return 0
    [ "$owner" = "$caller" ] && return 0
    echo "session: the session in $build belongs to PID $owner ($(cat "/proc/$owner/comm" 2>/dev/null)), which still runs" >&2
    return 1
}

stop_session() {
    end_recorded "$session_dir/vmodem.pid"
    rm -f "$session_dir/vmodem.ready"
    if [ -d "$prefix" ]; then
        wineserver -k >>"$session_dir/wineserver.log" 2>&1 </dev/null
        # Returns at once when no server runs for this prefix.
        timeout 10 wineserver -w >>"$session_dir/wineserver.log" 2>&1 </dev/null
    fi
    end_recorded "$session_dir/xvfb.pid"
    rm -f "$session_dir/session.env" "$session_dir/owner"
}

# The server picks a free display itself (-displayfd): it claims the
# display's lock file atomically and writes the number only once it listens
# there, so two sessions started at the same moment never share one. The
# session uses the display its own server reported, and only while that
# server still runs.
start_xvfb() {
    local number=$session_dir/xvfb.display
    if [ "${KORVANE_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        display=$DISPLAY
        return 0
    fi
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >"$session_dir/xvfb.log" 2>&1 </dev/null &
    record_pid "$session_dir/xvfb.pid" "$!"
    wait_until 10 '[ -s "$number" ] || ! recorded_pid "$session_dir/xvfb.pid" >/dev/null'
    display=:$(tr -dc 0-9 <"$number" 2>/dev/null)
    if [ "$display" != : ] && recorded_pid "$session_dir/xvfb.pid" >/dev/null; then
        return 0
    fi
    end_recorded "$session_dir/xvfb.pid"
    return 1
}

# Maps COM1..COM6 to <build>/ports/comN once per prefix; the marker names the
# directory the mapping was made for. The device manager reads the mapping
# when it starts, so the prefix is shut down and started again.
map_ports() {
    local marker=$prefix/.korvane-ports n try
    [ "$(cat "$marker" 2>/dev/null)" = "$ports_dir" ] && return 0
    for n in 1 2 3 4 5 6; do
        # Right after a new prefix was made, reg.exe has been seen failing to
        # start ("ShellExecuteEx failed: Internal error") while the next try
        # works: a failed value is tried twice more before the session gives up.
        for try in 1 2 3; do
            wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$ports_dir/com$n" /f \
                >>"$session_dir/wineboot.log" 2>&1 </dev/null && break
            [ "$try" = 3 ] && return 1
            sleep 2
        done
    done
    wineserver -k >>"$session_dir/wineserver.log" 2>&1 </dev/null
    timeout 10 wineserver -w >>"$session_dir/wineserver.log" 2>&1 </dev/null
    wineserver -p >>"$session_dir/wineserver.log" 2>&1 </dev/null || return 1
    echo "$ports_dir" >"$marker"
}

start_vmodem() {
    local ready=$session_dir/vmodem.ready
    rm -f "$ready"
    "$vmodem_bin" --dir "$ports_dir" --control 0 --ready-file "$ready" ${vmodem_options[@]+"${vmodem_options[@]}"} \
        >"$session_dir/vmodem.log" 2>&1 </dev/null &
    record_pid "$session_dir/vmodem.pid" $!
    wait_until 10 '[ -s "$ready" ] || ! recorded_pid "$session_dir/vmodem.pid" >/dev/null'
    vmodem_port=$(awk '$1 == "control" { print $2 }' "$ready" 2>/dev/null)
    [ -n "$vmodem_port" ]
}

start_session() {
    cd / || exit 1
    mkdir -p "$session_dir" "$ports_dir" || die "cannot create $session_dir"
    owner_allows || exit 1
    # A session left over from an earlier run is ended first, and so is this
    # one if it cannot start.
    stop_session
    trap stop_session EXIT
    record_pid "$session_dir/owner" "$caller"
    : >"$session_dir/wineboot.log"

    start_xvfb || die "no X display could be started (see $session_dir/xvfb.log)"
    export DISPLAY=$display

    # The persistent server comes first, so no wine call below starts one
    # that inherits a descriptor of ours.
    mkdir -p "$prefix"
    wineserver -p >>"$session_dir/wineserver.log" 2>&1 </dev/null ||
        die "wineserver -p failed (see $session_dir/wineserver.log)"
    if [ ! -f "$prefix/system.reg" ]; then
        wine wineboot -i >>"$session_dir/wineboot.log" 2>&1 </dev/null ||
            die "wineboot -i failed (see $session_dir/wineboot.log)"
    fi
    map_ports || die "mapping the COM ports failed (see $session_dir/wineboot.log)"
    wine wineboot >>"$session_dir/wineboot.log" 2>&1 </dev/null
    [ "$(readlink "$prefix/dosdevices/com1")" = "$ports_dir/com1" ] ||
        die "COM1 is not linked to $ports_dir/com1"

    vmodem_port=
    if [ -n "$vmodem_bin" ] && [ -x "$vmodem_bin" ]; then
        start_vmodem || die "the virtual modem did not become ready (see $session_dir/vmodem.log)"
    else
        echo "session: no virtual modem binary; modem tests will be skipped" >&2
    fi

    cat >"$session_dir/session.env" <<EOF
export KORVANE_TARGET=$KORVANE_TARGET
export PATH=$shim_dir:\$PATH
export DISPLAY=$display
export WINEPREFIX=$prefix
export WINEARCH=$WINEARCH
export WINELOADER=$WINELOADER
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES"
export WINEDEBUG=$WINEDEBUG
export KORVANE_VMODEM_PORT=$vmodem_port
export KORVANE_BIN_DIR=$build/bin
EOF
    trap - EXIT
    echo "session: target $KORVANE_TARGET, DISPLAY=$display, prefix $prefix, vmodem port ${vmodem_port:-none}"
}

case $action in
start) start_session ;;
stop)
    owner_allows || exit 1
    stop_session
    exit 0
    ;;
*) die "unknown action $action" ;;
esac
