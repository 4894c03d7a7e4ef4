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
set -u

die() { echo "session: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: wine-session.sh start|stop <dir> [<vmodem-binary> [<vmodem-option>...]]"
action=$1
build=$(cd "$2" 2>/dev/null && pwd) || die "no directory $2"
vmodem_bin=${3:-${VMODEM:-}}
[ -n "$vmodem_bin" ] && vmodem_bin=$(realpath -m "$vmodem_bin")
shift $(( $# < 3 ? $# : 3 ))
vmodem_options=("$@")

# shellcheck source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
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

# Kills the process named in a pid file if it still runs the expected program.
kill_pid_file() {
    local file=$1 name=$2 pid
    [ -f "$file" ] || return 0
    pid=$(cat "$file" 2>/dev/null)
    if [ -n "$pid" ] && grep -qa -- "$name" "/proc/$pid/cmdline" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        wait_until 5 '! kill -0 "$pid" 2>/dev/null' || kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$file"
}

stop_session() {
    kill_pid_file "$session_dir/vmodem.pid" vmodem
    rm -f "$session_dir/vmodem.ready"
    if [ -d "$prefix" ]; then
        wineserver -k >>"$session_dir/wineserver.log" 2>&1 </dev/null
        # Returns at once when no server runs for this prefix.
        timeout 10 wineserver -w >>"$session_dir/wineserver.log" 2>&1 </dev/null
    fi
    kill_pid_file "$session_dir/xvfb.pid" Xvfb
    rm -f "$session_dir/session.env"
}

# The server picks a free display itself (-displayfd): it claims the
# display's lock file atomically and writes the number only once it listens
# there, so two sessions started at the same moment never share one. The
# session uses the display its own server reported, and only while that
# server still runs.
start_xvfb() {
    local number=$session_dir/xvfb.display pid
    if [ "${KORVANE_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        display=$DISPLAY
        return 0
    fi
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >"$session_dir/xvfb.log" 2>&1 </dev/null &
    pid=$!
    echo "$pid" >"$session_dir/xvfb.pid"
    wait_until 10 '[ -s "$number" ] || ! kill -0 $pid 2>/dev/null'
    display=:$(tr -dc 0-9 <"$number" 2>/dev/null)
    if [ "$display" != : ] && kill -0 "$pid" 2>/dev/null; then
        return 0
    fi
    kill "$pid" 2>/dev/null
    rm -f "$session_dir/xvfb.pid"
    return 1
}

# Maps COM1..COM6 to <build>/ports/comN once per prefix; the marker names the
# directory the mapping was made for. The device manager reads the mapping
# when it starts, so the prefix is shut down and started again.
map_ports() {
    local marker=$prefix/.korvane-ports n
    [ "$(cat "$marker" 2>/dev/null)" = "$ports_dir" ] && return 0
    for n in 1 2 3 4 5 6; do
        wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$ports_dir/com$n" /f \
            >>"$session_dir/wineboot.log" 2>&1 </dev/null || return 1
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
    echo $! >"$session_dir/vmodem.pid"
    wait_until 10 '[ -s "$ready" ] || ! kill -0 $(cat "$session_dir/vmodem.pid") 2>/dev/null'
    vmodem_port=$(awk '$1 == "control" { print $2 }' "$ready" 2>/dev/null)
    [ -n "$vmodem_port" ]
}

start_session() {
    cd / || exit 1
    mkdir -p "$session_dir" "$ports_dir" || die "cannot create $session_dir"
    # A session left over from an earlier run is ended first.
    stop_session
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
    echo "session: target $KORVANE_TARGET, DISPLAY=$display, prefix $prefix, vmodem port ${vmodem_port:-none}"
}

case $action in
start) start_session ;;
stop)
    [ -d "$session_dir" ] && stop_session
    exit 0
    ;;
*) die "unknown action $action" ;;
esac
