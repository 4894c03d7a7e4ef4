#!/usr/bin/env bash
# A stand-in for the package manager in the install rows, installed first in
# PATH under the names apt-get, dpkg, id and sleep. It records its calls in
# $STANDIN_DIR/calls and keeps its state there (installed, arches); no
# network, no root, nothing of the system's own is touched.
#   STANDIN_UPDATE_FAILS=N  the first N refreshes fail on the i386 security
#                           list as a mirror mid-sync does
#   STANDIN_BROKEN="P..."   packages whose install fails on an unmet dependency
#   STANDIN_UID=N           what id -u says (default 0)
#   STANDIN_INSTALLED=all   every package is installed already
set -u
state=${STANDIN_DIR:?}
name=${0##*/}
# Queries (dpkg -s) change nothing and are not recorded.
[ "$name ${1:-}" = "dpkg -s" ] || echo "$name $*" >>"$state/calls"
touch "$state/installed" "$state/arches"

is_installed() { [ "${STANDIN_INSTALLED:-}" = all ] || grep -qx -e "$1" "$state/installed"; }

case "$name $1" in
  "id -u") echo "${STANDIN_UID:-0}" ;;
  "sleep "*) ;;
  "dpkg -s") is_installed "$2" ;;
  "dpkg --print-foreign-architectures") cat "$state/arches" ;;
  "dpkg --add-architecture") echo "$2" >>"$state/arches" ;;
  "apt-get update")
    echo x >>"$state/updates"
    echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
    [ "$(wc -l <"$state/updates")" -gt "${STANDIN_UPDATE_FAILS:-0}" ] && exit 0
    echo "Err:9 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (236144 != 236112). Mirror sync in progress? [IP: 151.101.2.132 80]"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (236144 != 236112). Mirror sync in progress? [IP: 151.101.2.132 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
  "apt-get install")
    shift
    packages=()
    for arg in "$@"; do [ "${arg#-}" = "$arg" ] && packages+=("$arg"); done
    broken=
    for p in "${packages[@]}"; do
      [[ " ${STANDIN_BROKEN:-} " = *" $p "* ]] && broken+=" $p : Depends: lib${p%%:*}-data (= 2.1-1) but it is not going to be installed"$'\n'
    done
    if [ -n "$broken" ]; then
      printf 'The following packages have unmet dependencies:\n%sE: Unable to correct problems, you have held broken packages.\n' "$broken"
      exit 100
    fi
    printf '%s\n' "${packages[@]}" >>"$state/installed" ;;
  *) echo "standin: unexpected call: $name $*" >&2; exit 99 ;;
esac
