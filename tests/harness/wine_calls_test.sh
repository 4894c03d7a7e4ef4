#!/usr/bin/env bash
# Every Wine call of the project's scripts goes through the target's loader.
# A script that runs `wine` takes it from the shared session (session.env,
# wine-session.sh) or from use_target_wine (tools/common.sh); none calls
# Debian's wrappers (wineboot, winepath, wine-stable, a bare msiexec, ...),
# which pick the 32-bit loader whenever it is installed, even on a host that
# cannot run it.
set -u
cd "$(dirname "$0")/../.." || exit 2
# Every script but this one, whose patterns name the wrappers.
scripts=$(git ls-files | grep -E '\.sh$|^(run-[a-z]+|bench|package|\.ci/run)$' | grep -v -x 'tests/harness/wine_calls_test.sh')
[ -n "$scripts" ] || { echo "no scripts found: not a checkout?" >&2; exit 2; }
# Prints "wrapper LINE: TEXT" and "wine LINE: TEXT" for each command that runs
# a wrapper or the loader: at a command's start, not in a comment, a string
# or an array of words.
calls() {
  perl -ne '
    $array = 1 if /=\(\s*$/;
    if ($array) { $array = 0 if /^\s*\)/; next }
    next if /^\s*#/;
    my $line = $_;
    s/\x27[^\x27]*\x27//g;                 # single-quoted strings
    s/"(?:[^"\\\$]|\\.|\$(?!\())*"//g;     # double-quoted ones without a command in them
    s/\s#.*//;
    s/\b\w+\+?=\([^)]*\)//g;             # arrays of words on one line
    while (/(?:^|[;&|({!]|\$\(|\b(?:then|do|else|exec|timeout\s+\S+))\s*(?:\w+=\S*\s+)*(wine|wineboot|winepath|winecfg|wineconsole|winedbg|wine-stable|msiexec|\/usr\/bin\/wine)(?![\w.-])/g) {
      print(($1 eq "wine" ? "wine" : "wrapper") . " $.: $line");
    }' "$1"
}
failed=0
for f in $scripts; do
  found=$(calls "$f")
  if grep -q '^wrapper' <<<"$found"; then
    echo "$f calls a Wine wrapper of the distribution, not the target's loader:"
    grep '^wrapper' <<<"$found" | sed 's/^wrapper /  /'
    failed=1
  fi
  if grep -q '^wine' <<<"$found" && ! grep -q -E 'session\.env|wine-session\.sh|use_target_wine' "$f"; then
    echo "$f runs wine without the target's loader (source session.env or call use_target_wine):"
    grep '^wine' <<<"$found" | sed 's/^wine /  /'
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "every Wine call of $(wc -w <<<"$scripts") scripts goes through the target's loader"
exit $failed
