#!/usr/bin/env bash
# The Debian package of korvane-cli as dpkg-buildpackage builds it from
# debian/, in a scratch copy of the tree (tools/package/build-deb.sh), with
# nothing of the Windows tool chain: its files, lintian's word on it and
# on the source package at --pedantic (its dependencies among them), and a build that stops when debian/changelog names another
# version than the project's (so the package carries the project's).
#   deb_test.sh <source-dir> <build-dir>
set -u
src=$1 work=$2/deb-test
rm -rf "$work" && mkdir -p "$work"
failures=0
verdict() { if [ -z "$2" ]; then echo "PASS $1"; else failures=$((failures + 1)); printf 'FAIL %s: %s\n' "$1" "$2"; fi; }

if ! "$src/tools/package/build-deb.sh" --work-dir "$work/build" --dist-dir "$work/dist" >"$work/build-deb.log" 2>&1; then
  cat "$work/build-deb.log"; echo "FAIL build-deb.sh builds the package"; exit 1
fi
copy=$work/build/korvane
deb=$(echo "$work"/dist/korvane-cli_*.deb)
version=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
verdict "the build ran no MinGW and no Wine" \
  "$(grep -il 'mingw\|wine' "$src/build-logs/deb-build.log" && echo "the build log names them")"

want='/etc/korvane/korvane.ini
/usr/bin/korvane-cli
/usr/share/bash-completion/completions/korvane-cli
/usr/share/doc/korvane-cli/changelog.gz
/usr/share/doc/korvane-cli/copyright
/usr/share/doc/korvane-cli/examples/70-korvane-country.rules
/usr/share/doc/korvane-cli/examples/korvane-country@.service
/usr/share/korvane/korvane.ini
/usr/share/man/man1/korvane-cli.1.gz'
got=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\.||' | LC_ALL=C sort)
verdict "the package's files" "$( [ "$got" = "$want" ] || diff <(echo "$want") <(echo "$got"))"

# The source package too, for lintian reads debian/ there. Every tag it
# knows, pedantic and informational ones included, fails the row.
(cd "$copy" && dpkg-buildpackage -S -us -uc -d >"$work/source.log" 2>&1)
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$copy"/../korvane_*.changes \
  >"$work/lintian.log" 2>&1
verdict "lintian --pedantic finds no tag in the binary and the source package" \
  "$( [ $? -eq 0 ] || cat "$work/lintian.log")"

# The same build, its changelog at another version: it stops before compiling anything.
sed -i "1s/($version)/(9.9.9)/" "$copy/debian/changelog"
(cd "$copy" && dpkg-buildpackage -us -uc -b >"$work/other-version.log" 2>&1)
verdict "a changelog of another version stops the build, naming both" \
  "$( [ $? -ne 0 ] && grep -q "The package's version is 9.9.9, the project's $version" "$work/other-version.log" ||
      tail -5 "$work/other-version.log")"
echo "$failures failed"
[ $failures -eq 0 ]
