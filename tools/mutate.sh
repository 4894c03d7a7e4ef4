#!/usr/bin/env bash
# Puts one known fault back into a scratch copy of the tree and runs the
# tests there, to show that they catch it. Never touches this tree.
#
#   tools/mutate.sh --list | --check
#   tools/mutate.sh <mutation|none> [quick|full|native|<ctest -R regex>]    (default: quick)
#
# native runs only the native entries (label native: the core, the Linux
# korvane-cli and the virtual modem), two at a time, and builds only what
# they need: a run takes well under a minute.
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
  'exclusive-never-set@link/posix/posix_port.cpp@s/if \(!m_sharing && ioctl\(fd, TIOCEXCL\) != 0\)/if (false)/@exclusive mode (TIOCEXCL) is never set on a port of our own'
  'paced-ignored@cli/cli_run.cpp@s/ModemTiming timing = options.paced \? kProgramPace : kPromptPace;/ModemTiming timing = kPromptPace;/@--paced talks at the prompt pace'
  'live-lock-of-another-user@link/posix/uucp_lock.cpp@s/kill\(pid, 0\) == 0 \|\| errno == EPERM/kill(pid, 0) == 0/@the live lock of another user'"'"'s process, which we may not signal, is taken for stale'
  'readiness-skipped@core/modem_link.cpp@s/(    if \(!m_port.IsOpen\(\)\) return false;\n)(    const Deadline bound)/$1    return true;\n$2/@the prompt pace takes the modem for ready at once: no sync command, no wait'
  'readiness-bound-from-call@core/modem_link.cpp@s/const Deadline bound = opened \+ m_timing.settle;/const Deadline bound = ModemClock::now() + m_timing.settle;/@the readiness wait is bounded from the return of Open, not from the device'"'"'s open'
  'gci-code-without-ok@core/dialect_operations.cpp@s/return final == FinalResult::Ok \? ParseGciCountry\(m_link.Answer\(\).Lines\(\)\) : -1;/return ParseGciCountry(m_link.Answer().Lines());/@a +GCI line counts without the OK after it'
  'sync-tried-once@core/modem_link.cpp@s/ModemClock::now\(\) < bound\);/ModemClock::now() < bound \&\& tries < 1);/@the sync command is sent once: a modem deaf after the open is not asked again'
  'late-answers-kept@core/modem_link.cpp@s/if \(ready && tries > 1\) DrainLateAnswers\(\);/(void)tries;/@the late answers to the sync command'"'"'s tries are not drained'
  'numeric-ring-kept@core/answer_lines.cpp@s/line == "RING" \|\| line == "2" \|\|/line == "RING" ||/@RING in numbers (2) is taken for a line of the answer'
  'connect-speed-none@core/answer_lines.cpp@s/    if \(StartsWith\(line, "CONNECT "\)\) return FinalResult::Connect;\n//@CONNECT with its speed ends no answer'
  'bare-code-with-blanks@core/gci_reply.cpp@s/\(!bare \|\| rest.size\(\) <= 2\)/true/@a bare +GCI code with blanks around it is taken'
  'reversed-range@core/gci_reply.cpp@s/if \(first < 0 \|\| last < first\) return false;/if (first < 0) return false;/@a range written backwards (B5-00) passes for a list'
  'germany-one-code@core/gci_codes.cpp@s/\{\{0x04, 0x42\}\}/{{-1, 0x42}}/@Germany'"'"'s second +GCI code, 42, is unknown'
  'not-taken-unseen@core/dialect_operations.cpp@s/result.outcome = result.readBack == code \? SetOutcome::Set : SetOutcome::NotTaken;/result.outcome = SetOutcome::Set;/@a gci modem that says OK and keeps its country counts as set'
  'gci-read-first-ignored@core/dialect_operations.cpp@s/    if \(readFirst\) \{\n        const int now/    if (false) {\n        const int now/@a gci setting writes without reading the country first'
  'card-read-first-any-country@core/dialect_operations.cpp@s/return SameCode\(readFirst.table, answer.country, country\);/return answer.country >= 0;/@a card setting writes nothing where the card has any country of the table'
  'stale-lock-removed-unlooked@link/posix/uucp_lock.cpp@s/        if \(!SameLock\(FindLock\(path\), found\)\) continue;\n//@a lock judged stale is removed without a second look, whoever replaced it meanwhile'
  'lock-released-unlooked@link/posix/uucp_lock.cpp@s/if \(found.regular && found.device == m_device && found.inode == m_inode &&\n        found.content == LockContent\(getpid\(\)\)\)/if (found.regular)/@the release removes whatever lock lies under the name, ours or not'
  'signal-removes-any-lock@link/posix/exit_release.cpp@s/if \(StillOurs\(slot\)\) unlink\(slot.path\);/unlink(slot.path);/@a signal removes whatever lock lies under the name'
  'signal-leaves-line@link/posix/exit_release.cpp@s/        tcsetattr\(slot.fd, TCSANOW, &slot.saved\);\n//@a signal leaves the port with our line settings'
  'line-settings-kept@link/posix/posix_port.cpp@s/    if \(m_haveFound\) tcsetattr\(m_fd.Get\(\), TCSANOW, &m_found\);\n//@the close leaves the port with our line settings'
  'exclusive-left-set@link/posix/posix_port.cpp@s/    if \(m_exclusive\) ioctl\(m_fd.Get\(\), TIOCNXCL\);\n//@the close leaves the port in exclusive mode'
  'getty-taken-for-a-holder@link/posix/posix_port.cpp@s/\(SharesLineThroughLocks\(holder.command\) \? gettys : others\)/(false ? gettys : others)/@a getty that shares the line through UUCP locks refuses us as any other holder does'
  'exclusive-beside-getty@link/posix/posix_port.cpp@s/if \(!m_sharing && ioctl\(fd, TIOCEXCL\) != 0\)/if (ioctl(fd, TIOCEXCL) != 0)/; s/m_exclusive = !m_sharing;/m_exclusive = true;/@exclusive mode is set beside a getty, which it shuts out'
  'getty-shared-without-lock@link/posix/posix_port.cpp@s/if \(!gettys.empty\(\) && !m_lock.Held\(\) && others.empty\(\)\)/if (false)/@the line is shared with a getty without holding the lock it shares it by'
  'controlling-terminal-taken@link/posix/terminals.cpp@s/    if \(device == ControllingTerminal\("self"\)\) return "the controlling terminal";\n//@the program'"'"'s own controlling terminal is taken for a modem'"'"'s port'
  'login-sessions-unseen@link/posix/port_holders.cpp@s/const bool session = ControllingTerminal\(std::to_string\(pid\), procRoot\) == info.st_rdev;/const bool session = false;/@a login'"'"'s terminal that no process holds open is taken for a free port'
  'console-probed@link/posix/detectable_ports.cpp@s/if \(std::find\(consoles.begin\(\), consoles.end\(\), name\) != consoles.end\(\)\) \{/if (false) {/@detect probes the kernel'"'"'s console'
  'placeholder-uarts-probed@link/posix/serial_ports.cpp@s/if \(typeFile >> type\) return type != 0;/if (typeFile >> type) return true;/@detect probes the serial core'"'"'s placeholder ports (type 0)'
  'failures-not-in-json@cli/cli_run.cpp@s/if \(g_failureOutput == FailureOutput::AlsoJson\)\n/if (false)\n/@a failure under --json prints no JSON'
  'messages-unescaped@cli/cli_run.cpp@s/PrintableText\(line\).c_str\(\)/line.c_str()/@control characters from outside reach the terminal unescaped'
  'table-cr-kept@cli/cli_table.cpp@s/    for \(int i = 0; i < count; \+\+i\) StripCarriageReturns\(table\[i\]\);\n//@a table written on Windows keeps the CR in its codes'
  'table-findings-silent@cli/cli_table.cpp@s/    for \(const TableFinding& finding : findings\) Warn\(path, finding\);\n//@the lines the table'"'"'s rules pass over go unnamed'
  'in-use-exit-1@cli/cli_detect.cpp@s/case PortState::InUse: return CliFail\(kBusy,/case PortState::InUse: return CliFail(kNoModem,/@a port in use exits 1, as a port with no modem does'
  'written-always-said@cli/cli_commands.cpp@s/set.written \? "true" : "false"/"true"/@JSON says a setting was written where nothing was'
  'ports-probed-twice@cli/cli_detect.cpp@s/        if \(i < identities.size\(\)\) \{/        if (false) {/@a port named twice is probed twice'
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

# The copy follows this tree by content: a file that differs from the
# tree's (changed since the last run, or mutated by it) is written anew, so it
# is newer than anything built from its old content, and every other file
# keeps its time, so the build stays incremental, across commits too.
sums() { (cd "$1" && find . \( -path './build*' -o -path ./.git \) -prune -o -type f -print0 | xargs -0 -r md5sum) | LC_ALL=C sort; }
paths() { cut -c 35- "$1" | LC_ALL=C sort; }
mkdir -p "$work/src" || exit 2
sums "$top" >"$work/tree.sums" && sums "$work/src" >"$work/copy.sums" || exit 2
# A file of the copy that the tree lacks goes; one that the tree has otherwise is copied.
LC_ALL=C comm -13 <(paths "$work/tree.sums") <(paths "$work/copy.sums") | while IFS= read -r file; do
  rm -f "$work/src/$file"
done
LC_ALL=C comm -23 "$work/tree.sums" "$work/copy.sums" | cut -c 35- | while IFS= read -r file; do
  mkdir -p "$work/src/$(dirname "$file")" && cp --preserve=mode "$top/$file" "$work/src/$file" || exit 2
done || exit 2
if [ "$name" != none ]; then
  found=
  for m in "${mutations[@]}"; do
    IFS='@' read -r mname file subst what <<<"$m"
    [ "$mname" = "$name" ] || continue
    found=1
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
  native) selection=(-L native -LE tree -j 2); build_targets=(--target vmodem core_native korvane_linux) ;;
  *) selection=(-R "$suite" -LE tree) ;;
esac
( configure "$work/build" "$KORVANE_TARGET" "$work/build-logs/$KORVANE_TARGET" ) >/dev/null 2>&1 &&
  cmake --build "$work/build" -j2 ${build_targets[@]+"${build_targets[@]}"} >"$work/build.log" 2>&1 ||
  { echo "mutate: error: the $KORVANE_TARGET build failed" >&2; tail -30 "$work/build.log" >&2; exit 2; }

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
