# Records of the processes of a Wine session (sourced by tools/wine-session.sh,
# bash). A record holds a PID and that process's start time, so a PID that
# the system has given to another process since is never taken for the
# session's own: a session ends only what it started.

# start_time PID: when the process started (clock ticks since boot), or
# nothing when no such process runs. A zombie has ended: where init is slow
# to reap them, one would otherwise look alive.
start_time() {
    local fields
    read -ra fields 2>/dev/null < <(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null)
    [ "${fields[0]:-Z}" = Z ] || echo "${fields[19]}"
}

# record_pid FILE PID
record_pid() { echo "$2 $(start_time "$2")" >"$1"; }

# recorded_pid FILE: prints the PID recorded in FILE while that very process
# runs; fails otherwise.
recorded_pid() {
    local pid started
    read -r pid started 2>/dev/null <"$1" || return 1
    [ -n "$pid" ] && [ -n "$started" ] && [ "$(start_time "$pid")" = "$started" ] || return 1
    echo "$pid"
}

# end_recorded FILE: ends the process recorded in FILE if it still runs, and
# drops the record.
end_recorded() {
    local pid i
    if pid=$(recorded_pid "$1"); then
        kill "$pid" 2>/dev/null
        for (( i = 0; i < 100; i++ )); do
            recorded_pid "$1" >/dev/null || break
            sleep 0.05
        done
        recorded_pid "$1" >/dev/null && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$1"
}
