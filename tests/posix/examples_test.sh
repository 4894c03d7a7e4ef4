#!/usr/bin/env bash
# What the Debian package ships beside the program, checked without
# installing it: the example unit passes systemd-analyze verify (its
# Documentation= man page included, built from the scdoc source), and the bash
# completion completes commands, options and countries, one row a case.
#   examples_test.sh <korvane-cli> <source-dir>
set -u
cli=$1 top=$2
scratch=$(mktemp -d /tmp/korvane-examples.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0 passed=0
verdict() {
  if [ -z "$2" ]; then passed=$((passed + 1)); else failures=$((failures + 1)); printf 'FAIL %s: %s\n' "$1" "$2"; fi
}

# The unit, with the program where the package puts it replaced by the one built here.
mkdir -p "$scratch/units" "$scratch/man/man1" "$scratch/bin"
scdoc <"$top/docs/korvane-cli.1.scd" >"$scratch/man/man1/korvane-cli.1" || verdict "the man page" "scdoc failed"
sed "s|/usr/bin/korvane-cli|$cli|" "$top/tools/package/deb/korvane-country@.service" >"$scratch/units/korvane-country@.service"
ln -s korvane-country@.service "$scratch/units/korvane-country@ttyACM0.service"
out=$(MANPATH=$scratch/man systemd-analyze verify "$scratch/units/korvane-country@ttyACM0.service" 2>&1)
verdict "systemd-analyze verify korvane-country@.service" "$( [ $? -eq 0 ] && [ -z "$out" ] || echo "$out")"

# complete WORDS... -> the completions of the last word, one line.
ln -s "$cli" "$scratch/bin/korvane-cli"
complete_words() {
  PATH=$scratch/bin:$PATH bash -c '
    . /usr/share/bash-completion/bash_completion
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _korvane_cli korvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    "$top/tools/package/deb/korvane-cli.bash-completion" "$@"
}
row() {
  local want=$1 got
  shift
  got=$(complete_words "$@")
  verdict "completing '$*'" "$( [ "$got" = "$want" ] || echo "got '$got', want '$want'")"
}
row "detect " korvane-cli det
row "--help --version detect list query set supported " korvane-cli ""
row "--port --ports " korvane-cli query --po
row "--dialect --json --paced --ports --settle --verbose " korvane-cli detect ""
row "gci " korvane-cli supported --dialect g
row "United\\ Kingdom United\\ States " korvane-cli set Uni
row "B4 B5 Belgium " korvane-cli set --port /dev/ttyS0 B
row "United\\ Kingdom " korvane-cli set "United\\ K"
row "--port --ports " korvane-cli set Japan --por
row "--force " korvane-cli set Japan --f

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
