#!/usr/bin/env bash
# Builds korvane-cli's Debian package with dpkg-buildpackage from debian/
# (debhelper and the CMake project of cli/posix), in a scratch copy of the
# tree, for dpkg-buildpackage leaves its build in the source folder and
# writes the packages beside it. Puts DIST/korvane-cli_VERSION_ARCH.deb in
# place; lintian then checks the build and must report no error and no
# warning. It needs only the package's build dependencies (debian/control).
#
#   tools/package/build-deb.sh [--work-dir DIR] [--dist-dir DIR]
# The copy holds the files git tracks, and those it would track, as they
# are in the working tree; it lies in WORK-DIR/korvane (default build-deb/).
set -euo pipefail
top=$(cd "${0%/*}/../.." && pwd)
work=$top/build-deb
dist=$top/dist
while [ $# -gt 0 ]; do
  case $1 in
    --work-dir) work=$(realpath -m "$2"); shift 2 ;;
    --dist-dir) dist=$(realpath -m "$2"); shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build-deb: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done
missing=()
for tool in git dpkg-buildpackage lintian; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] || { echo "build-deb: missing ${missing[*]}; tools/install-deps.sh installs them." >&2; exit 1; }
# shellcheck source=../common.sh
. "$top/tools/common.sh"
logs=$top/build-logs/deb

rm -rf "$work" && mkdir -p "$work/korvane"
(cd "$top" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar --null -T - -cf -) | tar -xf - -C "$work/korvane"
step "$logs-build.log" "building the Debian package (dpkg-buildpackage)" \
  bash -c 'cd "$1" && dpkg-buildpackage -us -uc -b' _ "$work/korvane"
changes=$(echo "$work"/korvane_*.changes)
deb=$(echo "$work"/korvane-cli_*.deb)
[ -f "$changes" ] && [ -f "$deb" ] || fail "dpkg-buildpackage wrote no package into $work"
mkdir -p "$dist"
cp "$deb" "$dist/"
# lintian refuses nothing by default; every error and warning fails the package here.
if ! lintian --fail-on error,warning "$changes" >"$logs-lintian.log" 2>&1; then
  sed 's/^/  | /' "$logs-lintian.log" >&2
  fail "lintian reports errors or warnings on $changes (log: $logs-lintian.log)"
fi
echo "$dist/${deb##*/} ($(stat -c %s "$deb") bytes); lintian reports no error and no warning (log: $logs-lintian.log)"
