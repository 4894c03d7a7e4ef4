#!/usr/bin/env bash
# Builds korvane-<version>.msi from a staged folder.
#   tools/package/build-msi.sh <stage-dir> <version> <out.msi>
# The stage holds korvane.exe, korvane-cli.exe, korvane.ini, README.txt, LICENSE.txt and the
# Add/Remove Programs icon korvane.ico. The custom-action DLL that keeps an
# edited korvane.ini is built into it here, with that korvane.ini embedded as
# the table it compares against.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$1 version=$2 out=$3

work=$stage/.ini_keeper
mkdir -p "$work"
i686-w64-mingw32-windres -I "$stage" -i "$here/ini_keeper.rc" -o "$work/ini_keeper_res.o"
i686-w64-mingw32-gcc -O2 -Wall -Wextra -shared -static-libgcc -s \
  -o "$stage/ini_keeper.dll" "$here/ini_keeper.c" "$work/ini_keeper_res.o" "$here/ini_keeper.def" -lmsi
rm -rf "$work"

# wixl finds source files only by paths relative to where it runs.
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
(cd "$stage" && wixl --arch x86 -D Version="$version" -D SourceDir=. -o "$out" "$here/korvane.wxs")
