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

# Why the 32-bit Wine loader cannot run here, or nothing when it can. It is
# run, not guessed: hosts without IA-32 emulation refuse it with "Exec format
# error" whatever the kernel's version says.
x86_refusal() {
  local loader=${KORVANE_WINE32:-/usr/lib/wine/wine} out
  [ -e "$loader" ] || { echo "$loader is not installed"; return; }
  out=$("$loader" --version 2>&1 </dev/null) && return
  echo "$loader --version failed: $(printf '%s' "$out" | tail -n 1)"
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
        fail "KORVANE_ARCH=x86 asks for the 32-bit build, but this host cannot run 32-bit programs ($refusal); use KORVANE_ARCH=x64 or leave it unset"
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
        echo "target: x64 (an x86-64 build of the same sources under wine64): this host cannot run 32-bit programs ($refusal)" >&2
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
