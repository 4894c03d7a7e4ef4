# The package manager's steps for tools/install-deps.sh (sourced, bash): a
# refresh that survives a mirror mid-sync, and apt's reasons read from its
# output.

# refresh_lists LOG: apt-get update, tried three times ten seconds apart. A
# list that still fails is named in one warning line each, and the lists
# there are serve the install: a mirror mid-sync fails one index for minutes,
# and the install then fails only if what it needs is missing from the rest.
refresh_lists() {
  local log=$1 try
  mkdir -p "$(dirname "$log")"
  printf 'updating the package lists... ' >&2
  for try in 1 2 3; do
    if apt-get update -q >"$log" 2>&1 </dev/null; then
      echo "done (log: $log)" >&2
      return 0
    fi
    [ $try -eq 3 ] || sleep 10
  done
  echo "incomplete after $try tries (log: $log)" >&2
  failed_lists <"$log" | sed 's/^/warning: /' >&2
}

# failed_lists < UPDATE-OUTPUT: one line for each list apt could not fetch,
# with apt's reason; apt's errors as they are when it names no list.
failed_lists() {
  awk '
    function clean(s) { sub(/^ +/, "", s); sub(/ *\[IP: [^]]*\]/, "", s); return s }
    pending != "" { print pending " was not refreshed (" clean($0) "); going on with the lists there are"; pending = ""; named = 1; next }
    /^Err:[0-9]+ / { sub(/^Err:[0-9]+ /, ""); pending = $0; next }
    /^E: / && !/^E: (Failed to fetch|Some index files failed)/ { other[++n] = clean(substr($0, 4)) }
    END { if (!named) for (i = 1; i <= n; i++) print "the package lists were not refreshed: " other[i] }'
}

# apt_failures < INSTALL-OUTPUT: "PACKAGE: REASON" for each package apt named
# as not installable, or apt's errors as they are when it named none.
apt_failures() {
  awk '
    function clean(s) { sub(/^ +/, "", s); sub(/ *\[IP: [^]]*\]/, "", s); return s }
    function add(name, why) { if (!(name in seen)) { seen[name] = 1; order[++n] = name }
                              reason[name] = reason[name] (reason[name] == "" ? "" : "; ") why }
    /^The following packages have unmet dependencies:/ { unmet = 1; next }
    unmet && /^ [^ ].* : / { name = $1; sub(/^ [^ ]+ : /, ""); add(name, $0); next }
    unmet && /^  +[^ ]/ { add(name, clean($0)); next }
    { unmet = 0 }
    /^E: Unable to locate package / { add($NF, "Unable to locate package"); next }
    /^E: Package .* has no installation candidate/ { p = $3; gsub(/\047/, "", p); add(p, "has no installation candidate"); next }
    /^E: Failed to fetch .*\.deb / {
      file = $5; sub(/.*\//, "", file); sub(/_.*/, "", file)
      why = $0; sub(/^E: Failed to fetch [^ ]+ +/, "", why); add(file, clean(why)); next }
    /^E: / { errors[++e] = substr($0, 4) }
    END {
      for (i = 1; i <= n; i++) print order[i] ": " reason[order[i]] (e ? " (" errors[1] ")" : "")
      if (!n) for (i = 1; i <= e; i++) print errors[i]
    }'
}
