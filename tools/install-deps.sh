#!/usr/bin/env bash
# Installs on Debian 12 what one command of the project needs, no more:
#   run      building Korvane for the host's target and running it under Wine
#            (./run-korvane)
#   package  building both targets' release programs and the packages (./package)
#   test     all of that, and what the tests need besides (./run-tests, ./bench)
# Does nothing when everything is there already.
#
#   tools/install-deps.sh run|package|test [LOG]      (default: build/install.log)
#
# 32-bit Wine (wine32:i386, with the i386 architecture) is installed only
# where the host runs 32-bit programs and KORVANE_ARCH does not force x64;
# where it cannot be installed, one line says so and the x64 target is used.
# A package list that cannot be refreshed (a mirror mid-sync) is a warning:
# the install goes on with the lists there are, and fails only when packages
# the command needs cannot be installed, naming them with apt's reason.
# The package manager's output goes to LOG; the terminal gets one line a step.
set -euo pipefail
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh"
# shellcheck source=apt-steps.sh
. "$(dirname "$0")/apt-steps.sh"
purpose=${1:-}
log=$(realpath -m "${2:-$korvane_top/build/install.log}")

# The package sets; needed() puts together those of each command.
build_tools=(cmake make g++)
toolchain_x86=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev)
toolchain_x64=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev)
run_tools=(wine wine64 xvfb x11-utils imagemagick)
package_tools=(wixl msitools zip scdoc dpkg-dev lintian)
test_tools=(clang googletest unzip systemd bash-completion)
wine32=wine32:i386

# needed TARGET: the packages this purpose needs when TARGET runs here.
needed() {
  case $purpose in
    run) echo "${build_tools[*]} ${run_tools[*]}"
         [ "$1" = x86 ] && echo "${toolchain_x86[*]}" || echo "${toolchain_x64[*]}" ;;
    package) echo "${build_tools[*]} ${toolchain_x86[*]} ${toolchain_x64[*]} ${package_tools[*]}" ;;
    test) echo "${build_tools[*]} ${toolchain_x86[*]} ${toolchain_x64[*]} ${run_tools[*]}" \
               "${package_tools[*]} ${test_tools[*]}" ;;
  esac
}
installed() { dpkg -s "$1" >/dev/null 2>&1; }
missing_of() { local p; for p in "$@"; do installed "$p" || echo "$p"; done; }
# The target that runs here once the 32-bit Wine wanted is in.
target() { [ -n "$want32" ] && installed "$wine32" && echo x86 || echo x64; }

case $purpose in
  run|package|test) ;;
  *) fail "usage: tools/install-deps.sh run|package|test [LOG]" ;;
esac
want32=
[ "${KORVANE_ARCH:-}" = x64 ] || [ -n "$(ia32_refusal)" ] || want32=1

# shellcheck disable=SC2046
mapfile -t missing < <(missing_of $(needed "$(target)"))
[ -n "$want32" ] && ! installed "$wine32" && missing+=("$wine32")
[ ${#missing[@]} -gt 0 ] || exit 0

[ "$(id -u)" -eq 0 ] || fail "installing ${missing[*]} needs root: run this as root or with sudo"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$want32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
refresh_lists "${log%.log}-update.log"

# 32-bit Wine on its own first: the target, and so the compilers, follow from it.
if [ -n "$want32" ] && ! installed "$wine32"; then
  printf 'installing 32-bit Wine (%s)... ' "$wine32" >&2
  if apt-get install -y -q "$wine32" >"${log%.log}-wine32.log" 2>&1 </dev/null; then
    echo "done (log: ${log%.log}-wine32.log)" >&2
  else
    echo "impossible here ($(apt_failures <"${log%.log}-wine32.log" | head -n 1)): the x64 target is used (log: ${log%.log}-wine32.log)" >&2
  fi
fi
# shellcheck disable=SC2046
mapfile -t missing < <(missing_of $(needed "$(target)"))
[ ${#missing[@]} -gt 0 ] || exit 0
printf 'installing %s packages... ' "${#missing[@]}" >&2
if apt-get install -y -q "${missing[@]}" >"$log" 2>&1 </dev/null; then
  echo "done (log: $log)" >&2
  exit 0
fi
echo "FAILED (log: $log)" >&2
apt_failures <"$log" | sed 's/^/error: cannot install /' >&2
exit 1
