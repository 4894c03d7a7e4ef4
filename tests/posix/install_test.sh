#!/usr/bin/env bash
# cmake --install of the Linux program into a DESTDIR: every file where
# GNUInstallDirs puts it for the tree's prefix (the table under /etc for a
# prefix of /usr), the completion in bash-completion's own folder, and a
# program that looks for its tables where they were installed.
#   install_test.sh <build-dir of cli/posix>
set -u
build=$1
scratch=$(mktemp -d /tmp/korvane-install.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0
verdict() { if [ -z "$2" ]; then echo "PASS $1"; else failures=$((failures + 1)); printf 'FAIL %s: %s\n' "$1" "$2"; fi; }

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
if ! DESTDIR=$scratch cmake --install "$build" >"$scratch.log" 2>&1; then
  cat "$scratch.log"; rm -f "$scratch.log"; echo "FAIL cmake --install"; exit 1
fi
rm -f "$scratch.log"
# The configuration directory: /etc for /usr, else under the prefix.
etc=$([ "$prefix" = /usr ] && echo /etc || echo "$prefix/etc")
completions=$(pkg-config --variable=completionsdir bash-completion 2>/dev/null)
completions=${completions:-/usr/share/bash-completion/completions}
completions=$prefix${completions#/usr}
want=$(LC_ALL=C sort <<EOF2
$prefix/bin/korvane-cli
$etc/korvane/korvane.ini
$prefix/share/korvane/korvane.ini
$prefix/share/man/man1/korvane-cli.1
$completions/korvane-cli
$prefix/share/doc/korvane-cli/examples/korvane-country@.service
$prefix/share/doc/korvane-cli/examples/70-korvane-country.rules
EOF2
)
got=$(cd "$scratch" && find . -type f -printf '/%P\n' | LC_ALL=C sort)
verdict "the files installed for the prefix $prefix" "$( [ "$got" = "$want" ] || diff <(echo "$want") <(echo "$got"))"
verdict "the program can be run" "$( [ -x "$scratch$prefix/bin/korvane-cli" ] || echo "it is not executable")"
verdict "the man page is roff" "$(head -c 300 "$scratch$prefix/share/man/man1/korvane-cli.1" | grep -q '^\.TH' ||
  echo "no .TH line")"

# The installed program's tables, in the order it looks for them: the two
# installed (without the DESTDIR), then beside the program.
looked=$("$scratch$prefix/bin/korvane-cli" list --verbose 2>&1 >/dev/null | head -1)
expected="$etc/korvane/korvane.ini $prefix/share/korvane/korvane.ini"
case $looked in
  "korvane-cli: no country table: looked for $expected "*) problem= ;;
  "korvane-cli: country table $etc/korvane/korvane.ini ("*) problem= ;;
  "korvane-cli: country table $prefix/share/korvane/korvane.ini ("*) problem= ;;
  *) problem="it says '$looked'" ;;
esac
verdict "the program looks for its tables where they are installed" "$problem"
echo "$failures failed"
[ $failures -eq 0 ]
