#!/usr/bin/env bash
# Times the Linux korvane-cli against the virtual modem: the wall time of
# whole commands, process start and exit included, at the prompt pace (the
# default) against its goals and at the window's pace (--paced) against its
# nominal time. Prints a Markdown table, one row a command, each figure the
# median of RUNS runs. ./bench runs it beside the Windows rows.
#   tools/time-cli.sh <korvane-cli> <vmodem> [RUNS]
set -u
[ $# -ge 2 ] || { echo "usage: time-cli.sh <korvane-cli> <vmodem> [RUNS]" >&2; exit 2; }
# Absolute: each command runs in the scratch folder, where a relative path would name nothing.
cli=$(realpath "$1") vmodem=$(realpath "$2") runs=${3:-5}
scratch=$(mktemp -d /tmp/korvane-time.XXXXXX)
vmodem_pid=
trap 'kill $vmodem_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
export KORVANE_LOCK_DIR=$scratch/locks
mkdir -p "$KORVANE_LOCK_DIR"
"$vmodem" --dir "$scratch/ports" --control 0 --ready-file "$scratch/ready" >"$scratch/vmodem.log" 2>&1 &
vmodem_pid=$!
for _ in $(seq 100); do [ -s "$scratch/ready" ] && break; sleep 0.05; done
control=$(sed -n 's/^control //p' "$scratch/ready" 2>/dev/null)
[ -n "$control" ] || { echo "the virtual modem did not start" >&2; exit 2; }
exec 3<>"/dev/tcp/127.0.0.1/$control" || exit 2
# shellcheck source=../tests/harness/vmodem_control.sh
. "$(dirname "$0")/../tests/harness/vmodem_control.sh"

all6=$(printf 'ports/com%s,' 1 2 3 4 5 6)
all6=${all6%,}

# The modem on com1 answers at once; the five others are silent, so a
# detection waits out every window it has.
rack() {
  local modems=("1:B5:$1") n
  for n in 2 3 4 5 6; do modems+=("$n:B5:silent=1"); done
  modems "${modems[@]}"
}

# Requests to the virtual modem before each timed run, outside its time.
before=()
elapsed_ms() {
  local start end request
  for request in ${before[@]+"${before[@]}"}; do vm $request >/dev/null; done
  start=$(date +%s%N)
  (cd "$scratch" && "$cli" "$@" >/dev/null 2>&1 </dev/null)
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# row NAME LIMIT-KIND LIMIT COMMAND...: LIMIT-KIND is goal (the median at
# most LIMIT ms), nominal (the window's time, for the ratio) or none.
row() {
  local name=$1 kind=$2 limit=$3 i
  shift 3
  for ((i = 0; i < runs; i++)); do elapsed_ms "$@"; done | sort -n |
    awk -v name="$name" -v what="korvane-cli $*" -v kind="$kind" -v limit="$limit" -v runs="$runs" '
      { t[NR] = $1 }
      END {
        m = t[int((NR + 1) / 2)]
        held = "—"; ratio = ""; status = "—"
        if (kind == "goal") { held = "goal ≤ " limit " ms"; status = m <= limit ? "meets" : "misses" }
        if (kind == "nominal") { held = "nominal " limit " ms"; ratio = sprintf("%.3f (%.3f–%.3f)", m / limit, t[1] / limit, t[NR] / limit) }
        gsub(/ports\/com1,ports\/com2,ports\/com3,ports\/com4,ports\/com5,ports\/com6/, "(six ports)", what)
        printf "| %s | `%s` | %d | %d ms | %d ms | %d ms | %s | %s | %s |\n", name, what, runs, m, t[1], t[NR], held, ratio, status
      }'
}

echo "| Row | What is timed | Runs | Median | Min | Max | Held against | Ratio: median (min–max) | Status |"
echo "|---|---|---|---|---|---|---|---|---|"
row "Linux CLI start and exit" none 0 query --port /etc/passwd
# A setting finds another country there each time (put back before the
# run), so it reads it, writes and reads back; one that finds its own writes nothing.
rack personality=gci
row "Linux CLI query, gci" goal 150 query --port ports/com1
before=("set 1 country B4")
row "Linux CLI setting, gci" goal 300 set B5 --port ports/com1
before=()
row "Linux CLI setting, gci, the country there already" none 0 set B5 --port ports/com1
row "Linux CLI detection, six ports, gci" goal 1500 detect --ports "$all6"
row "Linux CLI query, gci, paced" nominal 2400 query --port ports/com1 --paced
rack id=1
row "Linux CLI query, card" goal 1200 query --port ports/com1
before=("set 1 country B4")
row "Linux CLI setting, card" goal 1200 set B5 --port ports/com1
before=()
row "Linux CLI detection, six ports, card" goal 1500 detect --ports "$all6"
row "Linux CLI query, card, paced" nominal 1800 query --port ports/com1 --paced --dialect t19
row "Linux CLI setting, card, paced" nominal 1600 set B5 --port ports/com1 --paced --dialect t19
row "Linux CLI detection, six ports, card, paced" nominal 12600 detect --ports "$all6" --paced --dialect t19
