#!/usr/bin/env bash
# The install step's decisions, one row a case: tools/install-deps.sh against
# a stand-in package manager first in PATH (standin_apt.sh) and a 32-bit probe
# that the row chooses. A row runs the script and checks its status and its
# transcript: what it printed, then the package manager's calls.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0 passed=0

# The host kinds, as the probe meets them: one that runs 32-bit programs, one
# whose kernel refuses them at exec, one that kills them at their first
# 32-bit system call.
printf '#!/bin/sh\nexit 42\n' >"$scratch/runs32"
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$scratch/refused32"
printf '#!/bin/sh\nkill -SYS $$\n' >"$scratch/killed32"
chmod +x "$scratch"/*32
mkdir "$scratch/bin"
for name in apt-get dpkg id sleep; do ln -s "$top/tests/harness/standin_apt.sh" "$scratch/bin/$name"; done

# row NAME HOST PURPOSE STATUS WANT NOT [VAR=value...]: runs install-deps.sh
# PURPOSE on a HOST (runs32, refused32, killed32) with a fresh stand-in and
# the variables given. The transcript (output, then "calls:" and each call,
# joined by " | ") must match the extended regex WANT and must not match NOT.
row() {
  local name=$1 host=$2 purpose=$3 want_status=$4 want=$5 not=$6 state out status transcript
  shift 6
  state=$scratch/state
  rm -rf "$state" && mkdir "$state"
  out=$(env PATH="$scratch/bin:$PATH" STANDIN_DIR="$state" KORVANE_IA32_PROBE="$scratch/$host" KORVANE_ARCH= "$@" \
        timeout 60 bash "$top/tools/install-deps.sh" "$purpose" "$state/logs/install.log" 2>&1 </dev/null)
  status=$?
  transcript=$(printf '%s\ncalls:\n%s' "$out" "$(cat "$state/calls" 2>/dev/null)" | tr '\n' '|' | sed 's/|/ | /g')
  if [ "$status" = "$want_status" ] && grep -qE -- "$want" <<<"$transcript" &&
     { [ -z "$not" ] || ! grep -qE -- "$not" <<<"$transcript"; }; then
    passed=$((passed + 1))
  else
    echo "FAIL $name: status $status (want $want_status), transcript: $transcript"
    failures=$((failures + 1))
  fi
}

# A mirror mid-sync: the i386 security list fails on every try, so 32-bit Wine
# cannot match the newer amd64 libraries; the x64 target's set goes in.
row "mirror mid-sync, 32-bit host" runs32 run 0 \
  'warning: \S+ bookworm-security/main i386 Packages was not refreshed \(File has unexpected size .*Mirror sync in progress\?\); going on .*32-bit Wine \(wine32:i386\)\.\.\. impossible here \(wine32:i386: Depends: libwine32-data .*\): the x64 target is used .*installing [0-9]+ packages\.\.\. done .*calls: .*dpkg --add-architecture i386 .*(apt-get update -q .*sleep 10 .*){2}apt-get update -q .*apt-get install -y -q wine32:i386 \| apt-get install -y -q .*g\+\+-mingw-w64-x86-64-posix' \
  'i686|FAILED|error' STANDIN_UPDATE_FAILS=9 STANDIN_BROKEN=wine32:i386
row "a refresh that fails once" refused32 run 0 \
  'updating the package lists\.\.\. done .*calls: .*apt-get update -q \| sleep 10 \| apt-get update -q \| apt-get install' \
  'warning|(update -q.*){3}' STANDIN_UPDATE_FAILS=1
row "an install that fails" refused32 test 1 \
  'installing [0-9]+ packages\.\.\. FAILED .*error: cannot install googletest: Depends: libgoogletest-data \(= 2\.1-1\) but it is not going to be installed \(Unable to correct problems' \
  'cannot install [^g]' STANDIN_BROKEN=googletest

# Only a host that runs 32-bit programs gets the i386 architecture.
row "no i386 where exec refuses 32-bit" refused32 test 0 'install -y -q .*wine64' 'i386|32-bit Wine'
row "no i386 where 32-bit calls kill" killed32 test 0 'install -y -q .*wine64' 'i386|32-bit Wine'
row "no i386 under KORVANE_ARCH=x64" runs32 run 0 'install -y -q .*wine64' 'i386|i686' KORVANE_ARCH=x64
row "32-bit Wine where it runs" runs32 run 0 \
  'dpkg --add-architecture i386 .*install -y -q wine32:i386 \| apt-get install -y -q .*g\+\+-mingw-w64-i686-posix' 'x86-64'

# Each command installs what it needs.
row "./run-korvane's set" refused32 run 0 'install -y -q .*wine64 .*xvfb .*imagemagick' 'googletest|wixl|lintian|clang'
row "./package's set" refused32 package 0 'install -y -q .*i686-posix .*x86-64-posix .*wixl .*lintian' 'wine|xvfb|googletest'
row "./run-tests's set" refused32 test 0 'install -y -q .*i686-posix .*x86-64-posix .*wine64 .*wixl .*googletest' 'i386'

# Nothing missing: no call to the package manager, and no root needed.
row "all there" runs32 test 0 '^ \| calls: \| $' '' STANDIN_UID=1000 STANDIN_INSTALLED=all
row "missing, not root" refused32 run 1 'error: installing .*wine64.* needs root' 'apt-get' STANDIN_UID=1000

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
