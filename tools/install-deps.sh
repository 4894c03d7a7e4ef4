#!/usr/bin/env bash
# Installs what building, running and testing Korvane needs on Debian 12:
# the MinGW-w64 cross compiler, 32-bit Wine, Xvfb, GoogleTest's sources and
# the screenshot tool. Does nothing when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ clang
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386
  xvfb x11-utils imagemagick
  googletest
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Installing ${missing[*]} needs root: run this as root or with sudo." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
