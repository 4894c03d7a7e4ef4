#!/usr/bin/env bash
# What the Debian package ships beside the program, checked without
# installing it: the example unit passes systemd-analyze verify (its
# Documentation= man page included) and its security review, the udev rule
# acts on the events it must, and the bash completion completes commands,
# options and countries, one row a case. And what cmake --install puts in a
# DESTDIR: the man page, roff from the scdoc source, and a program that looks
# for its tables where they were installed (under /etc for a prefix of /usr).
# Which files go where for /usr is a row of the Debian package's test (deb),
# whose build installs them so.
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
verdict "the man page is roff" "$(head -c 300 "$installed$prefix/share/man/man1/korvane-cli.1" | grep -q '^\.TH' ||
  echo "no .TH line")"
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
timeout=$(sed -n 's/^TimeoutStartSec=//p' "$scratch/units/korvane-country@.service")
verdict "the unit gives up after a while" "$( [[ $timeout =~ ^[1-9][0-9]*$ ]] || echo "TimeoutStartSec is '$timeout'")"

# rule_actions PROPERTY=VALUE...: what the udev rule does for an event with
# those properties (ACTION, SUBSYSTEM, KERNEL and ENV{...}), one assignment a
# word. It reads the rule as udev does: continued lines joined, "==" and "!="
# with "|" alternatives and shell patterns, assignments with =, += and %k.
rule_actions() {
  local -A event=()
  local pair rule token key op value matched done_ actions= alternative
  for pair in "$@"; do event[${pair%%=*}]=${pair#*=}; done
  while IFS= read -r rule; do
    matched=1 done_=
    while [[ $rule =~ ^[[:space:],]*([A-Z_]+(\{[A-Za-z_]+\})?)(==|!=|\+=|:=|=)\"([^\"]*)\"(.*)$ ]]; do
      key=${BASH_REMATCH[1]} op=${BASH_REMATCH[3]} value=${BASH_REMATCH[4]} rule=${BASH_REMATCH[5]}
      if [ "$op" = == ] || [ "$op" = != ]; then
        local hit=
        IFS='|' read -ra alternative <<<"$value"
        for value in "${alternative[@]}"; do
          # shellcheck disable=SC2053
          [[ ${event[$key]:-} == $value ]] && hit=1
        done
        { [ "$op" = == ] && [ -z "$hit" ]; } || { [ "$op" = != ] && [ -n "$hit" ]; } && matched=
      else
        done_+=" $key$op${value//%k/${event[KERNEL]:-}}"
      fi
    done
    [ -n "$matched" ] && actions+=$done_
  done < <(sed -e ':a' -e '/\\$/N; s/\\\n//; ta' -e '/^[[:space:]]*#/d' -e '/^[[:space:]]*$/d' \
             "$top/cli/posix/examples/70-korvane-country.rules")
  echo "${actions# }"
}
# row WANT HOW WORDS...: what HOW (rule_actions, complete_words) makes of the words is WANT.
row() {
  local want=$1 how=$2 got
  shift 2
  got=$("$how" "$@")
  verdict "$how $*" "$( [ "$got" = "$want" ] || echo "got '$got', want '$want'")"
}
modem="SUBSYSTEM=tty KERNEL=ttyACM0 ENV{ID_VENDOR_ID}=0572 ENV{ID_MODEL_ID}=1329"
applied='ENV{ID_MM_DEVICE_IGNORE}=1 TAG+=systemd ENV{SYSTEMD_WANTS}+=korvane-country@ttyACM0.service'
# shellcheck disable=SC2086
{
  row "$applied" rule_actions ACTION=add $modem
  row "$applied" rule_actions ACTION=change $modem
  row "" rule_actions ACTION=remove $modem
  row "" rule_actions ACTION=bind $modem
  row "" rule_actions ACTION=add ${modem/0572/0403}
  row "" rule_actions ACTION=add ${modem/tty/usb}
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
row "detect " complete_words korvane-cli det
row "--help --version check detect list query set supported " complete_words korvane-cli ""
row "--port --ports " complete_words korvane-cli query --po
row "--dialect --help --json --paced --ports --settle --table --verbose --wait " complete_words korvane-cli detect ""
row "gci " complete_words korvane-cli supported --dialect g
row "United\\ Kingdom United\\ States " complete_words korvane-cli set Uni
row "B4 B5 Belgium " complete_words korvane-cli set --port /dev/ttyS0 B
row "United\\ Kingdom " complete_words korvane-cli check "United\\ K"
row "--force " complete_words korvane-cli set Japan --f

# A table whose names hold command substitutions: completing them runs nothing.
mkdir "$scratch/hostile"
cp "$cli" "$scratch/hostile/korvane-cli"
ran=$scratch/ran
printf 'Evil $(touch %s) Land,EVIL,EVIL,E1\nEvil `touch %s`,EVIL,EVIL,E2\nChad,CHAD,CHAD,9\n' "$ran" "$ran" \
  >"$scratch/hostile/korvane.ini"
# The names, taken as compgen -W takes its words, do run it: the row can see it.
bash -c 'compgen -W "$(cat)" -- Evil' <"$scratch/hostile/korvane.ini" >/dev/null 2>&1
verdict "a command in a name runs where it is expanded" "$( [ -e "$ran" ] || echo "compgen -W did not run it")"
rm -f "$ran"
bin=$scratch/hostile
row "Evil\\ \\\$\\(touch\\ $ran\\)\\ Land Evil\\ \\\`touch\\ $ran\\\` " complete_words korvane-cli set Evil
verdict "completing those names runs nothing" "$( [ ! -e "$ran" ] || echo "$ran was made")"
# A one-character code, and the name after it.
row "9 " complete_words korvane-cli set 9
row "Chad " complete_words korvane-cli set Ch

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
