#!/usr/bin/env bash
# What the Debian package ships beside the program, checked without
# installing it: the example unit passes systemd-analyze verify (its
# Documentation= man page included, built from the scdoc source) and its
# security review, the udev rule acts on the events it must, and the bash
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
sed "s|/usr/bin/korvane-cli|$cli|" "$top/cli/posix/examples/korvane-country@.service" >"$scratch/units/korvane-country@.service"
ln -s korvane-country@.service "$scratch/units/korvane-country@ttyACM0.service"
out=$(MANPATH=$scratch/man systemd-analyze verify "$scratch/units/korvane-country@ttyACM0.service" 2>&1)
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
rule_row() {
  local want=$1 got
  shift
  got=$(rule_actions "$@")
  verdict "the udev rule on $*" "$( [ "$got" = "$want" ] || echo "it does '$got', want '$want'")"
}
modem="SUBSYSTEM=tty KERNEL=ttyACM0 ENV{ID_VENDOR_ID}=0572 ENV{ID_MODEL_ID}=1329"
applied='ENV{ID_MM_DEVICE_IGNORE}=1 TAG+=systemd ENV{SYSTEMD_WANTS}+=korvane-country@ttyACM0.service'
# shellcheck disable=SC2086
{
  rule_row "$applied" ACTION=add $modem
  rule_row "$applied" ACTION=change $modem
  rule_row "" ACTION=remove $modem
  rule_row "" ACTION=bind $modem
  rule_row "" ACTION=add ${modem/0572/0403}
  rule_row "" ACTION=add ${modem/tty/usb}
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
row() {
  local want=$1 got
  shift
  got=$(complete_words "$@")
  verdict "completing '$*'" "$( [ "$got" = "$want" ] || echo "got '$got', want '$want'")"
}
row "detect " korvane-cli det
row "--help --version check detect list query set supported " korvane-cli ""
row "--port --ports " korvane-cli query --po
row "--dialect --help --json --paced --ports --settle --table --verbose --wait " korvane-cli detect ""
row "gci " korvane-cli supported --dialect g
row "United\\ Kingdom United\\ States " korvane-cli set Uni
row "B4 B5 Belgium " korvane-cli set --port /dev/ttyS0 B
row "United\\ Kingdom " korvane-cli check "United\\ K"
row "--force " korvane-cli set Japan --f

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
row "Evil\\ \\\$\\(touch\\ $ran\\)\\ Land Evil\\ \\\`touch\\ $ran\\\` " korvane-cli set Evil
verdict "completing those names runs nothing" "$( [ ! -e "$ran" ] || echo "$ran was made")"
# A one-character code, and the name after it.
row "9 " korvane-cli set 9
row "Chad " korvane-cli set Ch

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
