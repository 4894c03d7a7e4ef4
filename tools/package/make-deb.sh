#!/usr/bin/env bash
# Builds korvane-cli for Linux (native x86-64, with the distribution's
# hardening flags) and writes DIST/korvane-cli_VERSION_amd64.deb:
#   /usr/bin/korvane-cli
#   /etc/korvane/korvane.ini               the country table, a conffile
#   /usr/share/korvane/korvane.ini         the table as shipped
#   /usr/share/man/man1/korvane-cli.1.gz   from docs/korvane-cli.1.scd (scdoc)
#   /usr/share/bash-completion/completions/korvane-cli
#   /usr/share/doc/korvane-cli/            copyright, changelog, examples/ (systemd unit, udev rule)
# Its dependencies come from dpkg-shlibdeps. lintian then checks the package
# and must report no error and no warning.
#
#   tools/package/make-deb.sh [--build-dir DIR] [--dist-dir DIR]
set -euo pipefail
top=$(cd "${0%/*}/../.." && pwd)
build=$top/build-deb
dist=$top/dist
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=$(realpath -m "$2"); shift 2 ;;
    --dist-dir) dist=$(realpath -m "$2"); shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "make-deb: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done

missing=()
for tool in cmake g++ scdoc dpkg-deb dpkg-buildflags dpkg-shlibdeps lintian gzip strip; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "make-deb: missing ${missing[*]}; tools/install-deps.sh installs them." >&2
  exit 1
fi
# shellcheck source=../common.sh
. "$top/tools/common.sh"
logs=$top/build-logs/deb
data=$top/tools/package/deb
package=korvane-cli

# Reproducible: every date in the package is the last commit's.
SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
# Every hardening feature Debian has, immediate binding (bindnow) included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS
step "$logs-configure.log" "configuring $build" \
  cmake -S "$top/cli/posix" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKORVANE_POSIX_TESTS=OFF
step "$logs-build.log" "building korvane-cli for Linux" cmake --build "$build" -j2 --target korvane_cli_linux
version=$(cat "$build/VERSION")

stage=$build/deb-stage
doc=$stage/usr/share/doc/$package
rm -rf "$stage"
install -d "$stage/DEBIAN" "$doc/examples"
install -D -m 0755 "$build/bin/korvane-cli" "$stage/usr/bin/korvane-cli"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage/usr/bin/korvane-cli"
install -D -m 0644 "$top/korvane.ini" "$stage/etc/korvane/korvane.ini"
install -D -m 0644 "$top/korvane.ini" "$stage/usr/share/korvane/korvane.ini"
install -d "$stage/usr/share/man/man1"
scdoc <"$top/docs/korvane-cli.1.scd" | gzip -9n >"$stage/usr/share/man/man1/korvane-cli.1.gz"
install -D -m 0644 "$top/cli/posix/korvane-cli.bash-completion" "$stage/usr/share/bash-completion/completions/korvane-cli"
install -m 0644 "$data/copyright" "$doc/copyright"
sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -R -u -d "@$SOURCE_DATE_EPOCH")/" "$data/changelog" |
  gzip -9n >"$doc/changelog.gz"
install -m 0644 "$top/cli/posix/examples/korvane-country@.service" "$top/cli/posix/examples/70-korvane-country.rules" \
  "$doc/examples/"
chmod 0644 "$doc/changelog.gz" "$stage/usr/share/man/man1/korvane-cli.1.gz"
echo /etc/korvane/korvane.ini >"$stage/DEBIAN/conffiles"

# dpkg-shlibdeps reads the package's names from a debian/control of its own.
shlibs=$build/shlibs
mkdir -p "$shlibs/debian"
printf 'Source: korvane\n\nPackage: %s\nArchitecture: amd64\n' "$package" >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$stage/usr/bin/korvane-cli" 2>"$logs-shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies (log: $logs-shlibdeps.log)"
sed -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$depends/" \
  -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$stage" | cut -f1)/" "$data/control.in" >"$stage/DEBIAN/control"
(cd "$stage" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z | xargs -0 md5sum) \
  >"$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 0755 {} +

deb=$dist/${package}_${version}_amd64.deb
mkdir -p "$dist"
rm -f "$deb"
step "$logs-deb.log" "writing $deb" dpkg-deb --root-owner-group --build "$stage" "$deb"
# lintian refuses nothing by default; every error and warning fails the package here.
if ! lintian --fail-on error,warning "$deb" >"$logs-lintian.log" 2>&1; then
  sed 's/^/  | /' "$logs-lintian.log" >&2
  fail "lintian reports errors or warnings on $deb (log: $logs-lintian.log)"
fi
echo "$deb ($(stat -c %s "$deb") bytes); lintian reports no error and no warning (log: $logs-lintian.log)"
