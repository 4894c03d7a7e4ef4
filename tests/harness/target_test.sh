#!/usr/bin/env bash
# The choice of the Windows target, with a 32-bit Wine loader that the kernel
# refuses as a host without IA-32 emulation does, and the commands' refusal of
# a forced target that cannot run.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# An ELF header for a machine no kernel runs: exec fails with ENOEXEC.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$scratch/wine32" && chmod +x "$scratch/wine32"
failures=0 passed=0

# check NAME WANT PATTERN COMMAND...: runs COMMAND for at most 60 s; WANT is
# 0 for success, 1 for a refusal (a time-out is neither).
check() {
  local name=$1 want=$2 pattern=$3 out status
  shift 3
  out=$(timeout 60 "$@" 2>&1 </dev/null | tr '\n' ' ' | sed 's/ $//')
  status=$?
  if [ $status -ne 124 ] && [ $(( status != 0 )) = "$want" ] && grep -qE "$pattern" <<<"$out"; then
    passed=$((passed + 1))
  else
    echo "FAIL $name: status $status, output: $out"
    failures=$((failures + 1))
  fi
}

choose=(bash -c '. "$0/tools/common.sh" && choose_target && echo "chose $KORVANE_TARGET"' "$top")
refused=(env KORVANE_WINE32="$scratch/wine32")

check "auto, no 32-bit" 0 '^target: x64 .*cannot run 32-bit.*Exec format error.*chose x64$' "${refused[@]}" KORVANE_ARCH= "${choose[@]}"
check "forced x64"      0 'forced by KORVANE_ARCH' "${refused[@]}" KORVANE_ARCH=x64 "${choose[@]}"
check "forced x86"      1 'KORVANE_ARCH=x86 .*cannot run 32-bit' "${refused[@]}" KORVANE_ARCH=x86 "${choose[@]}"
check "bad value"       1 "must be x86, x64 or unset, not 'arm'" env KORVANE_ARCH=arm "${choose[@]}"
check "missing loader"  0 'x64 .*is not installed' env KORVANE_WINE32=/nonexistent KORVANE_ARCH= "${choose[@]}"
for command in run-korvane run-tests bench; do
  check "./$command, forced x86" 1 'KORVANE_ARCH=x86 .*cannot run 32-bit' env "${refused[@]}" KORVANE_ARCH=x86 "$top/$command"
done
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
