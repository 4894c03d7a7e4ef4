#!/usr/bin/env bash
# The project's scripts on each kind of host, as the 32-bit probe meets them
# (one that runs 32-bit programs, one whose kernel refuses them at exec, one
# that kills them at their first 32-bit system call), one row a case:
#   host_rows.sh target    the choice of the Windows target, and the commands'
#                          refusal of a forced target that cannot run
#   host_rows.sh install   the install step's decisions: tools/install-deps.sh
#                          against a stand-in package manager first in PATH
#                          (standin_apt.sh)
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=rows.sh
. "$top/tests/harness/rows.sh"

printf '#!/bin/sh\nexit 42\n' >"$scratch/runs32"
# An ELF header for a machine no kernel runs: exec fails with ENOEXEC.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$scratch/refused32"
printf '#!/bin/sh\nkill -SYS $$\n' >"$scratch/killed32"
chmod +x "$scratch"/*32

target_rows() {
  local choose=(bash -c '. "$0/tools/common.sh" && choose_target && echo "chose $KORVANE_TARGET"' "$top")
  local refused=(env KORVANE_IA32_PROBE="$scratch/refused32") script
  local runs=(env KORVANE_IA32_PROBE="$scratch/runs32" KORVANE_WINE32=/bin/true)
  row "auto, 32-bit runs" 0 '^target: x86 .*runs 32-bit programs \| chose x86$' '' "${runs[@]}" KORVANE_ARCH= "${choose[@]}"
  row "auto, exec refused" 0 '^target: x64 .*cannot run 32-bit.*Exec format error\), so nothing is installed for i386 \| chose x64$' '' \
    "${refused[@]}" KORVANE_ARCH= "${choose[@]}"
  row "auto, 32-bit calls kill" 0 '^target: x64 .*cannot run 32-bit.*killed by SIGSYS.* chose x64$' '' \
    env KORVANE_IA32_PROBE="$scratch/killed32" KORVANE_ARCH= "${choose[@]}"
  row "auto, no 32-bit Wine" 0 '^target: x64 .*32-bit Wine is not installed \(/nonexistent\) \| chose x64$' '' \
    "${runs[@]}" KORVANE_WINE32=/nonexistent KORVANE_ARCH= "${choose[@]}"
  row "forced x64" 0 'forced by KORVANE_ARCH' '' "${runs[@]}" KORVANE_ARCH=x64 "${choose[@]}"
  row "forced x86" 1 'KORVANE_ARCH=x86 .*cannot run 32-bit' '' "${refused[@]}" KORVANE_ARCH=x86 "${choose[@]}"
  row "bad value" 1 "must be x86, x64 or unset, not 'arm'" '' env KORVANE_ARCH=arm "${choose[@]}"
  for script in run-korvane run-tests bench; do
    row "./$script, forced x86" 1 'KORVANE_ARCH=x86 .*cannot run 32-bit' '' "${refused[@]}" KORVANE_ARCH=x86 "$top/$script"
  done
  # The probe itself is a right 32-bit program: an IA-32 emulator runs it to its end.
  if command -v qemu-i386 >/dev/null; then
    row "the probe under qemu-i386" 0 '^42$' '' bash -c '. "$0/tools/common.sh" && write_ia32_probe "$1" && { qemu-i386 "$1" || echo $?; }' \
      "$top" "$scratch/probe"
  else
    echo "qemu-i386 is not installed: the probe itself is not run"
  fi
}

# install_row NAME HOST PURPOSE STATUS WANT NOT [VAR=value...]: a row of
# install-deps.sh PURPOSE on a HOST (runs32, refused32) with a fresh
# stand-in, given the variables; its calls to the package manager follow its
# output in the transcript.
install_row() {
  local name=$1 host=$2 purpose=$3 state=$scratch/state
  shift 3
  rm -rf "$state" && mkdir "$state"
  calls=$state/calls row "$name" "$1" "$2" "$3" env PATH="$scratch/bin:$PATH" STANDIN_DIR="$state" \
    KORVANE_IA32_PROBE="$scratch/$host" KORVANE_ARCH= "${@:4}" bash "$top/tools/install-deps.sh" "$purpose" "$state/logs/install.log"
}

install_rows() {
  mkdir "$scratch/bin"
  for name in apt-get dpkg id sleep; do ln -s "$top/tests/harness/standin_apt.sh" "$scratch/bin/$name"; done
  # A mirror mid-sync: the i386 security list fails on every try, so 32-bit Wine
  # cannot match the newer amd64 libraries; the x64 target's set goes in.
  install_row "mirror mid-sync, 32-bit host" runs32 run 0 \
    'warning: \S+ bookworm-security/main i386 Packages was not refreshed \(File has unexpected size .*Mirror sync in progress\?\); going on .*32-bit Wine \(wine32:i386\)\.\.\. impossible here \(wine32:i386: Depends: libwine32-data .*\): the x64 target is used .*installing [0-9]+ packages\.\.\. done .*calls: .*dpkg --add-architecture i386 .*(apt-get update -q .*sleep 10 .*){2}apt-get update -q .*apt-get install -y -q wine32:i386 \| apt-get install -y -q .*g\+\+-mingw-w64-x86-64-posix' \
    'i686|FAILED|error' STANDIN_UPDATE_FAILS=9 STANDIN_BROKEN=wine32:i386
  install_row "a refresh that fails once" refused32 run 0 \
    'updating the package lists\.\.\. done .*calls: .*apt-get update -q \| sleep 10 \| apt-get update -q \| apt-get install' \
    'warning|(update -q.*){3}' STANDIN_UPDATE_FAILS=1
  install_row "an install that fails" refused32 test 1 \
    'installing [0-9]+ packages\.\.\. FAILED .*error: cannot install googletest: Depends: libgoogletest-data \(= 2\.1-1\) but it is not going to be installed \(Unable to correct problems' \
    'cannot install [^g]' STANDIN_BROKEN=googletest

  # Only a host that runs 32-bit programs gets the i386 architecture (every
  # kind of refusal is one to the install step: the target rows tell them apart).
  install_row "no i386 where exec refuses 32-bit" refused32 test 0 'install -y -q .*wine64' 'i386|32-bit Wine'
  install_row "no i386 under KORVANE_ARCH=x64" runs32 run 0 'install -y -q .*wine64' 'i386|i686' KORVANE_ARCH=x64
  install_row "32-bit Wine where it runs" runs32 run 0 \
    'dpkg --add-architecture i386 .*install -y -q wine32:i386 \| apt-get install -y -q .*g\+\+-mingw-w64-i686-posix' 'x86-64'

  # Each command installs what it needs.
  install_row "./run-korvane's set" refused32 run 0 'install -y -q .*wine64 .*xvfb .*imagemagick' 'googletest|wixl|lintian|clang'
  install_row "./package's set" refused32 package 0 'install -y -q .*i686-posix .*x86-64-posix .*wixl .*lintian' 'wine|xvfb|googletest'
  install_row "./run-tests's set" refused32 test 0 'install -y -q .*i686-posix .*x86-64-posix .*wine64 .*wixl .*googletest' 'i386'

  # Nothing missing: no call to the package manager, and no root needed.
  install_row "all there" runs32 test 0 '^ \| calls: \| $' '' STANDIN_UID=1000 STANDIN_INSTALLED=all
  install_row "missing, not root" refused32 run 1 'error: installing .*wine64.* needs root' 'apt-get' STANDIN_UID=1000
}

case ${1:-} in
  target) target_rows ;;
  install) install_rows ;;
  *) echo "usage: host_rows.sh target|install" >&2; exit 2 ;;
esac
summary
