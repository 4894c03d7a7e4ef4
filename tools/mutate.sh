#!/usr/bin/env bash
# Puts one known fault back into a scratch copy of the tree and runs the
# tests there, to show that they catch it. Never touches this tree.
#
#   tools/mutate.sh --list | --check
#   tools/mutate.sh <mutation|none> [quick|full|native|<ctest -R regex>]    (default: quick)
#
# native runs only the native entries (label native: the core, the Linux
# korvane-cli and the virtual modem) and builds only what they need.
# The copy and its build live in ${MUTATE_DIR:-/tmp/korvane-mutate-<tree>}
# (one for each tree; runs from one tree take turns) and are reused, so only
# the first run builds everything; each run's test output is kept in
# logs/<mutation>.log there. The build and the tests are those of the host's
# target (tools/common.sh; KORVANE_ARCH forces one). Only tests of the
# program count: the checks of the scripts and the tree (label tree) are left
# out. Exits 0 when a test that ran fails on the mutation (caught) or all pass
# without one (none), 1 when the mutation survives, 2 when the run could not
# say (the build failed, the session did not start, tests were not run).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${MUTATE_DIR:-/tmp/korvane-mutate-$(printf '%s' "$top" | md5sum | cut -c1-8)}

# name@file@perl substitution@the fault it brings back
mutations=(
  'ok-anywhere@core/modem_link.cpp@s/Rearm\(kAcknowledgement, true\)/Rearm(kAcknowledgement, false)/@a line merely holding OK acknowledges a setting'
  'tip-after-removal@app/country_commands.cpp@s/if \(m_modemFound\) ShowTrayIcon/if (true) ShowTrayIcon/@a removal during the success box is followed by the country tip'
  'removal-during-run@app/device_events.cpp@s/if \(!m_session.Busy\(\)\) OnCardRemoved\(\);/OnCardRemoved();/@a removal during a run clears its verdict'
  'arrival-during-run@app/device_events.cpp@s/if \(!m_session.Busy\(\)\) AutoDetect\(\);/AutoDetect();/@an arrival during a run starts another run inside it'
  'template-picture-leak@framework/dialog.cpp@s/if \(message == WM_DESTROY\) ReplacePictures\(m_hWnd, .*\);/if (message == WM_DESTROY) (void)0;/@every dialog leaks its template pictures'
  'flag-leak@country/country_list.cpp@s/const ScopedGdiObject gone\(replaced != flag \? replaced : nullptr\);/(void)replaced;/@the flag a new selection replaces is leaked'
  'setting-window-short@core/modem_timing.h@s/setWindow\{2000\}/setWindow{1700}/@the setting waits 1700 ms for OK, not 2000'
  'setting-window-long@core/modem_timing.h@s/setWindow\{2000\}/setWindow{2400}/@the setting waits 2400 ms for OK'
  'query-window-long@core/modem_timing.h@s/queryWindow\{200\}/queryWindow{300}/@the query waits 300 ms for its reply, not 200'
  'probe-window-short@core/modem_timing.h@s/probeWindow\{300\}/probeWindow{200}/@the probe is checked after 200 ms, not 300'
  'capture-79@core/line_matcher.h@s/kReplyCap = kLineSize - 2;/kReplyCap = kLineSize - 1;/@the reply capture holds 79 characters'
  'set-without-selection@app/country_commands.cpp@s/if \(selection < 0\) \{/if (false) {/@Set with no selection sends a code'
  'record-size-unchecked@app/supported_modems.cpp@s/if \(!std::memchr\(name, .\\0., room\)\) return false;//@a device name is read past the record'
  'close-during-run@app/commands.cpp@s/if \(m_confirmingQuit \|\| m_session.Busy\(\)\) return 0;/if (m_confirmingQuit) return 0;/@WM_CLOSE during a run asks to quit'
  'open-over-open@link/port_connection.cpp@s/if \(IsOpen\(\) \|\| m_thread.IsValid\(\) \|\| m_queue\) \{/if (false) {/@opening a port while a connection is open leaks it and its reader'
  'second-close@app/commands.cpp@s/if \(m_confirmingQuit \|\| m_session.Busy\(\)\) return 0;/if (m_session.Busy()) return 0;/@a second WM_CLOSE opens a second confirmation'
  'choice-leak@app/country_commands.cpp@s/    if \(index >= 0\) m_countries.Show\(index\);/    if (index >= 0) m_countries.Show(index);\n    static char* volatile leak; leak = new char[300];/@every country choice leaks 300 bytes'
  'other-pick-ignored@detect/modem_list_dialog.cpp@s/const int line = static_cast<int>\(SendMessageA\(m_list, LB_GETCURSEL, 0, 0\)\);/const int line = SendMessageA(m_list, LB_GETCURSEL, 0, 0) == LB_ERR ? LB_ERR : 0;/@Continue in the selection takes the first line, whichever was picked'
  'table-from-working-dir@country/country_list.cpp@s/lstrcpynA\(text, dir, MAX_PATH\);/lstrcpynA(text, "", MAX_PATH);/@the table is read from the working directory, not beside the program'
  'set-first-modem@session/modem_session.cpp@s/(CountrySet set = SetCountryIn\(m_connection, ComPortName\()SelectedModemPort\(\)/$1m_modemPorts[0]/@the setting writes to the first modem found, not the one in use'
  'query-past-table@app/country_commands.cpp@s/QueryCountry\(m_countries.Records\(\), m_countries.Count\(\),/QueryCountry(m_countries.Records(), kMaxCountries,/@the query matches records past the loaded table'
  'no-settle-pause@core/modem_link.cpp@s/    std::this_thread::sleep_for\(m_timing.settle\);\n//@no 1000 ms pause between opening a port and configuring it'
  'no-reader-pause@core/modem_link.cpp@s/    ListenFor\(m_timing.readerStart\);\n//@no 500 ms pause between starting the reader and the command'
  'flood-not-sent@tools/vmodem/src/control_requests.cpp@s/present\(rack, n\).flood\(count\);/(void)count;/@a fault injection (the flood) is accepted but never happens'
  'tray-right-ends@app/tray.cpp@s/if \(mouseMessage != WM_LBUTTONDOWN\) return 0;/if (mouseMessage == WM_RBUTTONDOWN) ExitProcess(0);\n    if (mouseMessage != WM_LBUTTONDOWN) return 0;/@a right click on the tray ends the program quietly'
  'stray-wineboot@tools/screenshots/make-screenshots.sh@s/  wine wineboot -i/  wineboot -i/@a script makes its prefix with the distribution'"'"'s wineboot, which picks the 32-bit loader'
  'close-ignored@app/commands.cpp@s/if \(m_confirmingQuit \|\| m_session.Busy\(\)\) return 0;/return 0;/@WM_CLOSE is ignored: no confirmation, no quit'
)

# --check: every mutation still applies to this tree (a reformatted or moved
# line would otherwise turn a mutation into an error only when it is run).
if [ "${1:-}" = --check ]; then
  stale=
  for m in "${mutations[@]}"; do
    IFS='@' read -r name file subst _ <<<"$m"
    perl -0pe "$subst" "$top/$file" 2>/dev/null | cmp -s - "$top/$file" && stale+=" $name"
  done
  [ -z "$stale" ] || { echo "mutate: these no longer apply:$stale" >&2; exit 1; }
  echo "mutate: all ${#mutations[@]} mutations apply"; exit 0
fi
if [ "${1:-}" = --list ] || [ $# -lt 1 ]; then
  for m in "${mutations[@]}"; do IFS='@' read -r name _ _ what <<<"$m"; printf '%-24s %s\n' "$name" "$what"; done
  exit 0
fi
name=$1
suite=${2:-quick}
mkdir -p "$work" || exit 2
exec 9>"$work.lock"
flock -n 9 || { echo "mutate: waiting for the other run in $work" >&2; flock 9; }

# A fresh copy, file times kept so the build stays incremental. The files
# mutated since the last build that finished are made newer, so no object
# built from a mutated version survives into this run; with no such record,
# every file a mutation can touch is.
rm -rf "$work/src" && mkdir -p "$work/src" &&
  tar -C "$top" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$work/src" -xf - || exit 2
record=$work/mutated-since-build
if [ -f "$record" ]; then
  while read -r file; do [ -z "$file" ] || touch "$work/src/$file"; done <"$record"
else
  for m in "${mutations[@]}"; do IFS='@' read -r _ file _ _ <<<"$m"; touch "$work/src/$file"; done
  : >"$record"
fi
mutated=
# Copies keep their files' times, which say nothing across commits: a build
# made from another commit of this tree is started afresh.
head=$(git -C "$top" rev-parse HEAD 2>/dev/null)
[ "$(cat "$work/built-from" 2>/dev/null)" = "$head" ] || rm -rf "$work/build"
echo "$head" >"$work/built-from"
if [ "$name" != none ]; then
  found=
  for m in "${mutations[@]}"; do
    IFS='@' read -r mname file subst what <<<"$m"
    [ "$mname" = "$name" ] || continue
    found=1
    mutated=$file
    echo "$file" >>"$record"
    cp "$work/src/$file" "$work/original"
    perl -0pi -e "$subst" "$work/src/$file"
    if cmp -s "$work/src/$file" "$work/original"; then echo "mutate: $name no longer applies to $file" >&2; exit 2; fi
    echo "mutate: $name ($what) in $file:"
    diff "$work/original" "$work/src/$file"
  done
  [ -n "$found" ] || { echo "mutate: no mutation $name (see --list)" >&2; exit 2; }
fi

# The host's target, as the suite chooses it: the x64 build under wine64
# where the host runs no 32-bit code.
# shellcheck source=common.sh
. "$top/tools/common.sh"
trap - ERR
korvane_top=$work/src
fail() { echo "mutate: error: $*" >&2; exit 2; }
choose_target 2>&1
# The native entries need only the native builds; the others, everything.
build_targets=()
case $suite in
  quick) selection=(-L quick -LE tree) ;;
  full) selection=(-LE tree) ;;
  native) selection=(-L native -LE tree); build_targets=(--target vmodem core_native korvane_linux) ;;
  *) selection=(-R "$suite" -LE tree) ;;
esac
( configure "$work/build" "$KORVANE_TARGET" "$work/build-logs/$KORVANE_TARGET" ) >/dev/null 2>&1 &&
  cmake --build "$work/build" -j2 ${build_targets[@]+"${build_targets[@]}"} >"$work/build.log" 2>&1 ||
  { echo "mutate: error: the $KORVANE_TARGET build failed" >&2; tail -30 "$work/build.log" >&2; exit 2; }
# A whole build now holds this run's mutation only; a native one leaves the
# other parts as they were, so their files stay on the record.
[ ${#build_targets[@]} -gt 0 ] || echo "$mutated" >"$record"

ctest --test-dir "$work/build" --output-on-failure "${selection[@]}" >"$work/ctest.log" 2>&1
rc=$?
mkdir -p "$work/logs" && cp "$work/ctest.log" "$work/logs/$name.log"
# The entries' own results: an entry that runs a ctest of its own (core,
# vmodem) prints that one's results too, which name other tests.
entries=$(ctest --test-dir "$work/build" -N | sed -n -E 's/^ *Test +(#[0-9]+: [^ ]+)$/\1/p')
results=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$work/ctest.log" |
  awk 'NR == FNR { entry[$0] = 1; next } { match($0, /#[0-9]+: [^ ]+/) } entry[substr($0, RSTART, RLENGTH)]' \
    <(echo "$entries") -)
echo "$results"
grep -E 'tests passed|Total Test time' "$work/ctest.log" | tail -n 2
# Only a test that ran and failed catches a mutation: a session that did not
# start, tests that were not run or no test at all say nothing of it.
broken=$(grep -E 'session\.(start|stop) .*(\*\*\*|Failed)|Not Run' <<<"$results")
[ -n "$results" ] || { echo "mutate: error: no test ran (see $work/ctest.log)" >&2; exit 2; }
[ -z "$broken" ] || { echo "mutate: error: the run itself failed, so it says nothing:" >&2; echo "$broken" >&2; exit 2; }
failed=$(grep -E '\*\*\*(Failed|Timeout|Exception)|  Failed ' <<<"$results" | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | tr '\n' ' ')
if [ "$name" = none ]; then
  [ $rc -eq 0 ] && { echo "mutate: no mutation, and the tests pass on $KORVANE_TARGET"; exit 0; }
  echo "mutate: the tests fail without a mutation on $KORVANE_TARGET: $failed(see $work/ctest.log)"; exit 1
fi
[ -n "$failed" ] && { echo "mutate: $name caught on $KORVANE_TARGET by $failed"; exit 0; }
[ $rc -ne 0 ] && { echo "mutate: error: ctest failed ($rc) with no failed test (see $work/ctest.log)" >&2; exit 2; }
echo "mutate: $name SURVIVED the $suite tests on $KORVANE_TARGET"; exit 1
