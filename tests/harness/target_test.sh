#!/usr/bin/env bash
# The choice of the Windows target on each kind of host, as the 32-bit probe
# meets them (one that runs 32-bit programs, one whose kernel refuses them at
# exec, one that kills them at their first 32-bit system call), and the
# commands' refusal of a forced target that cannot run.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '#!/bin/sh\nexit 42\n' >"$scratch/runs32"
# An ELF header for a machine no kernel runs: exec fails with ENOEXEC.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$scratch/refused32"
printf '#!/bin/sh\nkill -SYS $$\n' >"$scratch/killed32"
chmod +x "$scratch"/*32
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
refused=(env KORVANE_IA32_PROBE="$scratch/refused32")
runs=(env KORVANE_IA32_PROBE="$scratch/runs32" KORVANE_WINE32=/bin/true)

check "auto, 32-bit runs" 0 '^target: x86 .*runs 32-bit programs chose x86$' "${runs[@]}" KORVANE_ARCH= "${choose[@]}"
check "auto, exec refused" 0 '^target: x64 .*cannot run 32-bit.*Exec format error\), so nothing is installed for i386 chose x64$' \
  "${refused[@]}" KORVANE_ARCH= "${choose[@]}"
check "auto, 32-bit calls kill" 0 '^target: x64 .*cannot run 32-bit.*killed by SIGSYS.* chose x64$' \
  env KORVANE_IA32_PROBE="$scratch/killed32" KORVANE_ARCH= "${choose[@]}"
check "auto, no 32-bit Wine" 0 '^target: x64 .*32-bit Wine is not installed \(/nonexistent\) chose x64$' \
  "${runs[@]}" KORVANE_WINE32=/nonexistent KORVANE_ARCH= "${choose[@]}"
check "forced x64"      0 'forced by KORVANE_ARCH' "${runs[@]}" KORVANE_ARCH=x64 "${choose[@]}"
check "forced x86"      1 'KORVANE_ARCH=x86 .*cannot run 32-bit' "${refused[@]}" KORVANE_ARCH=x86 "${choose[@]}"
check "bad value"       1 "must be x86, x64 or unset, not 'arm'" env KORVANE_ARCH=arm "${choose[@]}"
for command in run-korvane run-tests bench; do
  check "./$command, forced x86" 1 'KORVANE_ARCH=x86 .*cannot run 32-bit' env "${refused[@]}" KORVANE_ARCH=x86 "$top/$command"
done
# The probe itself is a right 32-bit program: an IA-32 emulator runs it to its end.
if command -v qemu-i386 >/dev/null; then
  check "the probe under qemu-i386" 0 '^42$' bash -c '. "$0/tools/common.sh" && write_ia32_probe "$1" && { qemu-i386 "$1" || echo $?; }' \
    "$top" "$scratch/probe"
else
  echo "qemu-i386 is not installed: the probe itself is not run"
fi
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
