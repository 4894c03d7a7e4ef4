#!/usr/bin/env bash
# Installs what building, running, testing and packaging Korvane needs on
# Debian 12: the MinGW-w64 cross compilers for both targets, 32-bit Wine and
# wine64, Xvfb, GoogleTest's sources, the screenshot tool, the MSI tools, and
# for korvane-cli on Linux the man page tool, the Debian package tools and
# what its tests check the package's examples with.
# Does nothing when everything is there already.
#
#   tools/install-deps.sh [LOG]      (default: build/install.log)
#
# The package manager's output goes to LOG; the terminal gets one line a step.
set -euo pipefail
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh"
log=$(realpath -m "${1:-$korvane_top/build/install.log}")

packages=(
  cmake make g++ clang
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  xvfb x11-utils imagemagick
  googletest
  wixl msitools nsis zip unzip
  scdoc dpkg-dev lintian systemd bash-completion libcli11-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

[ "$(id -u)" -eq 0 ] || fail "installing ${missing[*]} needs root: run this as root or with sudo"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture; on a host that cannot run
# 32-bit programs it installs all the same and goes unused.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
step "${log%.log}-update.log" "updating the package lists" apt-get update -q
step "$log" "installing ${#missing[@]} packages" apt-get install -y -q "${missing[@]}"
