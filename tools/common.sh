# Shared by ./run-korvane, ./run-tests, ./bench and ./package (sourced, bash):
# the steps that print one line each and the end of their log when they fail,
# the choice of the Windows target, and the configuration of a build tree.

korvane_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The main window's title, as res/resource.h defines it for the program.
main_window_title() {
  sed -n 's/^#define MAIN_WINDOW_TITLE "\(.*\)"$/\1/p' "$korvane_top/res/resource.h"
}

# A command that fails outside a step still says where the script stopped.
trap 'echo "error: ${0##*/} stopped at line $LINENO (status $?)" >&2' ERR

# step LOG MESSAGE COMMAND...: runs COMMAND with all of its output in LOG.
# On failure it prints the last lines of LOG and ends the calling script.
step() {
  local log=$1 message=$2
  shift 2
  mkdir -p "$(dirname "$log")"
  printf '%s... ' "$message" >&2
  if "$@" >"$log" 2>&1 </dev/null; then
    echo "done (log: $log)" >&2
    return 0
  fi
  echo "FAILED (log: $log)" >&2
  tail -n 25 "$log" | sed 's/^/  | /' >&2
  exit 1
}

# fail MESSAGE: ends the calling script with one clear line.
fail() {
  echo "error: $*" >&2
  exit 1
}

# write_ia32_probe FILE: a 96-byte static 32-bit x86 program that ends with
# exit status 42 (mov eax,1; mov ebx,42; int 0x80). It needs no compiler and
# no library, so it answers before anything is installed.
write_ia32_probe() {
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0%b%b' \
    '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' \
    '\270\1\0\0\0\273\52\0\0\0\315\200' >"$1" && chmod +x "$1"
}

# Why this host cannot run 32-bit x86 programs, or nothing when it can. The
# probe is run, not guessed: hosts without IA-32 emulation refuse it at exec
# ("Exec format error") whatever the kernel's version says, and a host that
# forbids 32-bit system calls kills it at its first one.
# KORVANE_IA32_PROBE names another program to run in its place (42: runs).
ia32_refusal() {
  local probe=${KORVANE_IA32_PROBE:-} dir='' out status
  if [ -z "$probe" ]; then
    dir=$(mktemp -d) && write_ia32_probe "$dir/ia32-probe" || { echo "the 32-bit probe could not be written"; return; }
    probe=$dir/ia32-probe
  fi
  out=$("$probe" 2>&1 </dev/null)
  status=$?
  [ -z "$dir" ] || rm -rf "$dir"
  if [ $status -eq 42 ]; then return; fi
  if [ $status -gt 128 ]; then
    echo "a 32-bit program is killed by SIG$(kill -l $((status - 128)))"
  elif [ $status -eq 126 ] || [ $status -eq 127 ]; then
    echo "a 32-bit program: ${out##*: }"
  else
    echo "a 32-bit program ends with status $status, not 42"
  fi
}

# Why the 32-bit Wine loader cannot run here, or nothing when it can.
x86_refusal() {
  local loader=${KORVANE_WINE32:-/usr/lib/wine/wine} refusal
  refusal=$(ia32_refusal)
  if [ -n "$refusal" ]; then
    echo "this host cannot run 32-bit programs ($refusal)"
  elif [ ! -x "$loader" ]; then
    echo "32-bit Wine is not installed ($loader)"
  fi
}

# choose_target: sets KORVANE_TARGET to x86 or x64 and says why on one line.
# KORVANE_ARCH=x86|x64 forces either; a forced target the host cannot run
# ends the script at once.
choose_target() {
  local refusal
  refusal=$(x86_refusal)
  case ${KORVANE_ARCH:-} in
    x86)
      [ -z "$refusal" ] ||
        fail "KORVANE_ARCH=x86 asks for the 32-bit build, but $refusal; use KORVANE_ARCH=x64 or leave it unset"
      KORVANE_TARGET=x86
      echo "target: x86, forced by KORVANE_ARCH" >&2 ;;
    x64)
      KORVANE_TARGET=x64
      echo "target: x64, forced by KORVANE_ARCH" >&2 ;;
    '')
      if [ -z "$refusal" ]; then
        KORVANE_TARGET=x86
        echo "target: x86 (the shipped 32-bit korvane.exe): this host runs 32-bit programs" >&2
      else
        KORVANE_TARGET=x64
        case $refusal in this\ host*) refusal+=", so nothing is installed for i386" ;; esac
        echo "target: x64 (an x86-64 build of the same sources under wine64): $refusal" >&2
      fi ;;
    *) fail "KORVANE_ARCH must be x86, x64 or unset, not '$KORVANE_ARCH'" ;;
  esac
  export KORVANE_TARGET
}

# use_target_wine TARGET DIR: puts the target's Wine loader first in PATH as
# `wine` (a shim in DIR) and exports WINEARCH and WINELOADER for it. Debian's
# own `wine` picks the 32-bit loader whenever it is installed, even where it
# cannot run, so no script calls it.
use_target_wine() {
  local target=$1 dir=$2 loader
  case $target in
    x86) loader=/usr/lib/wine/wine; WINEARCH=win32 ;;
    x64) loader=/usr/lib/wine/wine64; WINEARCH=win64 ;;
    *) fail "no Wine loader for target '$target'" ;;
  esac
  mkdir -p "$dir" && printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$dir/wine" && chmod +x "$dir/wine" ||
    fail "cannot write the wine shim in $dir"
  export WINEARCH WINELOADER=$loader PATH=$dir:$PATH
}

# The other target, whose program is built but not run.
other_target() { [ "$1" = x86 ] && echo x64 || echo x86; }

toolchain_file() {
  case $1 in
    x86) echo "$korvane_top/cmake/mingw-i686.cmake" ;;
    x64) echo "$korvane_top/cmake/mingw-x86_64.cmake" ;;
  esac
}

# configure DIR TARGET LOG-PREFIX [CMAKE-ARGS...]: a build tree is for one
# target; one configured for the other is made anew.
configure() {
  local dir=$1 target=$2 logs=$3 toolchain
  shift 3
  toolchain=$(toolchain_file "$target")
  if [ -f "$dir/CMakeCache.txt" ] &&
     ! grep -qx "CMAKE_TOOLCHAIN_FILE:[A-Z]*=$toolchain" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  step "$logs-configure.log" "configuring $target in $dir" \
    cmake -S "$korvane_top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel "$@"
}

# build DIR LOG-PREFIX [BUILD-ARGS...]
build() {
  local dir=$1 logs=$2
  shift 2
  step "$logs-build.log" "building in $dir" cmake --build "$dir" -j"$(nproc)" "$@"
}

configure_and_build() {
  configure "$@"
  build "$1" "$3"
}
