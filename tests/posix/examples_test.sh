#!/usr/bin/env bash
# What the Debian package ships beside the program, checked without
# installing it: the example unit passes systemd-analyze verify (its
# Documentation= man page included) and its security review, and the bash
# completion completes commands, options and countries, one row a case. And
# what cmake --install puts in a DESTDIR: a program that looks for its
# tables where they were installed (under /etc for a prefix of /usr). Which
# files go where for /usr, and the man page, are rows of the Debian
# package's test (deb), whose build installs them so and whose lintian reads
# the page.
#   examples_test.sh <build-dir of cli/posix> <source-dir>
set -u
build=$1 cli=$1/bin/korvane-cli top=$2
scratch=$(mktemp -d /tmp/korvane-examples.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0 passed=0
verdict() {
  if [ -z "$2" ]; then passed=$((passed + 1)); else failures=$((failures + 1)); printf 'FAIL %s: %s\n' "$1" "$2"; fi
}

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
installed=$scratch/installed
DESTDIR=$installed cmake --install "$build" >"$scratch/install.log" 2>&1 || verdict "cmake --install" "$(cat "$scratch/install.log")"
# The installed program's tables, in the order it looks for them: the two
# installed (without the DESTDIR), then beside the program.
etc=$([ "$prefix" = /usr ] && echo /etc || echo "$prefix/etc")
looked=$("$installed$prefix/bin/korvane-cli" list --verbose 2>&1 >/dev/null | head -1)
case $looked in
  "korvane-cli: no country table: looked for $etc/korvane/korvane.ini $prefix/share/korvane/korvane.ini "*) problem= ;;
  "korvane-cli: country table $etc/korvane/korvane.ini ("* | "korvane-cli: country table $prefix/share/korvane/korvane.ini ("*)
    problem= ;;
  *) problem="it says '$looked'" ;;
esac
verdict "the program looks for its tables where they are installed" "$problem"

# The unit, with the program where the package puts it replaced by the one built here.
mkdir -p "$scratch/units" "$scratch/bin"
sed "s|/usr/bin/korvane-cli|$cli|" "$top/cli/posix/examples/korvane-country@.service" >"$scratch/units/korvane-country@.service"
ln -s korvane-country@.service "$scratch/units/korvane-country@ttyACM0.service"
out=$(MANPATH=$installed$prefix/share/man systemd-analyze verify "$scratch/units/korvane-country@ttyACM0.service" 2>&1)
verdict "systemd-analyze verify korvane-country@.service" "$( [ $? -eq 0 ] && [ -z "$out" ] || echo "$out")"

# The unit's exposure, as systemd-analyze rates it offline: at most 4.0, "OK".
out=$(systemd-analyze security --offline=true "$scratch/units/korvane-country@ttyACM0.service" 2>&1)
score=$(sed -n 's/^.*Overall exposure level for korvane-country@ttyACM0\.service: \([0-9.]*\) \([A-Z]*\).*$/\1 \2/p' <<<"$out")
verdict "systemd-analyze security: at most 4.0, OK" \
  "$( [ -n "$score" ] && awk -v s="${score% *}" 'BEGIN { exit !(s <= 4.0) }' && [ "${score#* }" = OK ] ||
      echo "the unit is rated '${score:-nothing}': $(tail -1 <<<"$out")")"

# row WANT WORDS...: the completions of the last of the words are WANT.
row() {
  local want=$1 got
  shift
  got=$(complete_words "$@")
  verdict "complete $*" "$( [ "$got" = "$want" ] || echo "got '$got', want '$want'")"
}
# complete WORDS... -> the completions of the last word, one line; the
# program is the one in $bin, which reads the table beside it.
ln -s "$cli" "$scratch/bin/korvane-cli"
bin=$scratch/bin
complete_words() {
  PATH=$bin:$PATH bash -c '
    . /usr/share/bash-completion/bash_completion
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _korvane_cli korvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    "$top/cli/posix/korvane-cli.bash-completion" "$@"
}
row "detect " korvane-cli det
row "--port --ports " korvane-cli query --po
row "United\\ Kingdom United\\ States " korvane-cli set Uni
row "B4 B5 Belgium " korvane-cli set --port /dev/ttyS0 B
row "United\\ Kingdom " korvane-cli check "United\\ K"

# A table whose names hold command substitutions: completing them runs nothing.
mkdir "$scratch/hostile"
cp "$cli" "$scratch/hostile/korvane-cli"
ran=$scratch/ran
printf 'Evil $(touch %s) Land,EVIL,EVIL,E1\nEvil `touch %s`,EVIL,EVIL,E2\nChad,CHAD,CHAD,9\n' "$ran" "$ran" \
  >"$scratch/hostile/korvane.ini"
bin=$scratch/hostile
row "Evil\\ \\\$\\(touch\\ $ran\\)\\ Land Evil\\ \\\`touch\\ $ran\\\` " korvane-cli set Evil
verdict "completing those names runs nothing" "$( [ ! -e "$ran" ] || echo "$ran was made")"
# A one-character code, and the name after it.
row "9 " korvane-cli set 9
row "Chad " korvane-cli set Ch

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
