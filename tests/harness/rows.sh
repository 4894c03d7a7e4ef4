# shellcheck shell=bash
# The harness scripts' rows (sourced): each row passes or is named with what
# failed, and the script ends with the count.
failures=0 passed=0

# check NAME COMMAND...: a row that passes when COMMAND succeeds.
check() {
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $name"; failures=$((failures + 1)); fi
}

# row NAME STATUS WANT NOT COMMAND...: runs COMMAND for at most 60 s. It must
# end with STATUS, and its transcript (its output, then, when $calls is set,
# "calls:" and the lines of that file; lines joined by " | ") must match the
# extended regex WANT and must not match NOT.
row() {
  local name=$1 want_status=$2 want=$3 not=$4 out status transcript
  shift 4
  out=$(timeout 60 "$@" 2>&1 </dev/null)
  status=$?
  transcript=$( { printf '%s' "$out"; [ -z "${calls:-}" ] || printf '\ncalls:\n%s' "$(cat "$calls" 2>/dev/null)"; } |
    tr '\n' '|' | sed 's/|/ | /g')
  check "$name: status $status (want $want_status), transcript: $transcript" eval \
    '[ "$status" = "$want_status" ] && grep -qE -- "$want" <<<"$transcript" && { [ -z "$not" ] || ! grep -qE -- "$not" <<<"$transcript"; }'
}

# The count, and the script's status: 0 when every row passed.
summary() {
  echo "$passed passed, $failures failed"
  [ $failures -eq 0 ]
}
