#!/usr/bin/env bash
# Packaging tests: ./package and its three packages, the programs'
# imports, and each MSI installed, repaired, modified, upgraded and removed
# silently under Wine, in a session of its own target (tools/wine-session.sh).
#   package_test.sh <source-dir> <build-dir> <window_poke.exe>
set -uo pipefail
src=$1 build=$2 poke=$3
work=$build/package-test
rm -rf "$work" && mkdir -p "$work"
failures=0
pass() { echo "ok   - $1"; }
fail() { echo "FAIL - $1"; failures=$((failures + 1)); }
# check <description> <command...>: one case; the command's status decides.
check() {
  local what=$1; shift
  if "$@" >"$work/check.out" 2>&1; then pass "$what"; else fail "$what"; sed 's/^/     /' "$work/check.out"; fi
}
# shellcheck source=folder_sddl.sh
. "$(dirname "$0")/folder_sddl.sh"
same_text() { [ "$1" = "$2" ] || { echo "expected: $2"; echo "got:      $1"; return 1; }; }
lines_end_in_crlf() { [ -s "$1" ] && ! grep -q $'[^\r]$' "$1"; }

# --- ./package and what it writes -------------------------------------------
# The other target's programs come from the tree ./run-tests builds beside the
# test tree (build-x86 or build-x64) when there is one, else from one of the test's own.
tree_for() {
  local toolchain
  [ "$1" = x86 ] && toolchain=mingw-i686.cmake || toolchain=mingw-x86_64.cmake
  if grep -q "^CMAKE_TOOLCHAIN_FILE:.*/$toolchain$" "$build/CMakeCache.txt" 2>/dev/null; then echo "$build"
  elif grep -q "^CMAKE_TOOLCHAIN_FILE:.*/$toolchain$" "$src/build-$1/CMakeCache.txt" 2>/dev/null; then echo "$src/build-$1"
  else echo "$build/package-build-$1"; fi
}
x86_build=$(tree_for x86) x64_build=$(tree_for x64)
dist=$work/dist
if ! "$src/package" --build-dir "$x86_build" --x64-build-dir "$x64_build" --dist-dir "$dist" >"$work/package.log" 2>&1; then
  cat "$work/package.log"; fail "./package writes the three packages"; exit 1
fi
version=$(cat "$x86_build/VERSION")
msi_x86=$dist/korvane-$version.msi msi_x64=$dist/korvane-$version-x64.msi zip=$dist/korvane-$version.zip
echo "     sizes: $(stat -c '%n %s bytes' "$msi_x86" "$msi_x64" "$zip" | sed "s|$dist/||" | paste -sd, | sed 's/,/, /g')"

top=korvane-$version
unzip -q "$zip" -d "$work/unzipped"
# shellcheck disable=SC2034 # read by eval'd checks
unzipped=$work/unzipped/$top
check "the zip's programs are the 32-bit ones built" eval \
  'cmp "$unzipped/korvane.exe" "$x86_build/bin/korvane.exe" && cmp "$unzipped/korvane-cli.exe" "$x86_build/bin/korvane-cli.exe"'
check "the zip's korvane.ini is the repository's table with Windows line ends" \
  eval 'lines_end_in_crlf "$unzipped/korvane.ini" && tr -d "\r" <"$unzipped/korvane.ini" | cmp - "$src/korvane.ini"'

# --- each target's programs (imports) and MSI ------------------------------
known="ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll ole32.dll OLEAUT32.dll SHLWAPI.dll COMDLG32.dll WS2_32.dll"
for arch in x86 x64; do
  [ $arch = x86 ] && tree=$x86_build prefix=i686 msi=$msi_x86 ||
    tree=$x64_build prefix=x86_64 msi=$msi_x64
  for exe in korvane.exe korvane-cli.exe; do
    what="$exe ($arch)"
    unknown=$($prefix-w64-mingw32-objdump -p "$tree/bin/$exe" | awk '/DLL Name:/ {print $3}' |
      while read -r dll; do grep -qiw "$dll" <<<"$known" || echo "$dll"; done)
    check "$what: its import table names only known DLLs${unknown:+ (not: $unknown)}" test -z "$unknown"
  done
  # Only administrators and SYSTEM may write the install folder, wherever it
  # is. Wine applies no permissions (below), so the package's are read here.
  sddl=$(folder_sddl "$msi")
  check "${msi##*/}: it locks the install folder (MsiLockPermissionsEx), owned by the Administrators, its parent's entries not inherited (O:BA, D:P)" \
    eval '[[ $sddl == O:BA* ]] && [[ $sddl == *D:P* ]]'
  check "... SYSTEM and the Administrators have full control of it, its subfolders and files" \
    same_text "$(sddl_aces "$sddl" | grep -E ' (SY|BA)$' | LC_ALL=C sort | paste -sd,)" "A OICI FA BA,A OICI FA SY"
  check "... Users may read and run, and change nothing" only_reads_and_runs "$sddl" BU
  check "... and no other account is named (Authenticated Users, Everyone)" \
    same_text "$(sddl_aces "$sddl" | awk '{print $4}' | LC_ALL=C sort -u | paste -sd,)" BA,BU,SY
  check "${msi##*/}: it runs no code of its own as SYSTEM: every custom action only sets a property (type 51)" \
    same_text "$(msiinfo export "$msi" CustomAction | tr -d '\r' | awk -F'\t' 'NR > 3 && $2 % 64 != 51 {print $1}')" ""
done

# --- the MSIs under Wine ----------------------------------------------------
# timed <seconds> COMMAND...: every Wine call goes through the session's loader
# (`wine` in its PATH) with a time limit; one that reaches it is named and counted.
timed() {
  local limit=$1 status; shift
  timeout "$limit" "$@"; status=$?
  [ $status -eq 124 ] && echo "FAIL - '$*' did not end within $limit s" | tee -a "$work/timeouts" >&2
  return $status
}
msi_runs=0
# installs <description> ARGS...: one silent msiexec run, with a log of its
# own (its Windows path on drive Z:), that must succeed; on failure it shows
# the errors of the run's log.
installs() {
  local what=$1; shift
  msi_runs=$((msi_runs + 1)); msi_log=$work/msiexec-$arch-$msi_runs.log
  if timed 120 wine msiexec "$@" /qn /l*v "Z:${msi_log//\//\\}" >"$work/msiexec.out" 2>&1; then pass "$what"; else
    fail "$what: msiexec $* ended with status $?"
    grep -a "Return value 3\|rror" "$msi_log" 2>/dev/null | head -5 | sed 's/^/     /'
    # No log at all: the installer never ran; what Wine said instead.
    [ -e "$msi_log" ] || { echo "     no log; wine said:"; tail -5 "$work/msiexec.out" | sed 's/^/     /'; }
  fi
}
files_in() { (cd "$1" 2>/dev/null && ls -A | LC_ALL=C sort | tr '\n' ' ') || echo "(no folder $1)"; }
has_files() { same_text "$(files_in "$1")" "$2"; }
gone() { same_text "$(files_in "$1")" "(no folder $1)"; }
# Every file in a folder: its name, identity (inode), size, mode and content.
snapshot() { (cd "$1" && for f in *; do [ -e "$f" ] && echo "$f $(stat -c '%i %s %a' "$f") $(sha1sum <"$f")"; done); }
# installs_into <dir> <description> ARGS...: an install whose files must all be in dir.
installs_into() { local dir=$1; shift; installs "$@"; check "... the files are in ${dir#"$drive_c"/}" has_files "$dir" "$all"; }
# A Wine child's output is read through a file: a pipe stays open as long as
# any process Wine started along the way holds it.
reg_query() {
  timed 30 wine reg query "$@" $view >"$work/reg.txt" 2>&1; local status=$?
  tr -d '\r' <"$work/reg.txt"; return $status
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
run_value() { reg_query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Korvane; }
# no_run_value: reg query says there is no such value (or no Run key at all);
# anything else, the value or a query that failed another way, is no absence.
no_run_value() {
  local said status
  said=$(run_value); status=$?
  [ $status -eq 1 ] && grep -qxE 'reg: Unable to find the specified registry (value|key)' <<<"$said" && return 0
  echo "reg query ended with status $status: $said"
  return 1
}
# The number of Korvane entries in Add/Remove Programs, in every registry view
# (Wine puts a 32-bit product's in the 32-bit view), or why it cannot be read.
product_entries() {
  local v
  : >"$work/arp.txt"
  for v in "${views[@]}"; do
    view=$v reg_query "$uninstall_key" /s >>"$work/arp.txt" || { echo "unreadable: reg query ended with status $?"; return; }
  done
  grep -c "DisplayName    REG_SZ    Korvane$" "$work/arp.txt"
}
# No Add/Remove Programs entry, Run value or Start-menu shortcut of Korvane.
no_product() { same_text "$(product_entries)" 0 && no_run_value && ! shortcut_targets_program; }
installed_version() { product_entries >/dev/null; awk '$1 == "DisplayVersion" {print $3}' "$work/arp.txt" | paste -sd' '; }
shortcut_targets_program() {
  local link; link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/*' -name Korvane.lnk | head -1)
  [ -n "$link" ] && grep -qiF "Korvane\\korvane.exe" <<<"$(strings -a "$link"; strings -a -e l "$link")"
}
# start_and_count <exe> [dll overrides]: the program's country count once its
# window exists, or "exit <code>" if it ended first.
start_and_count() {
  rm -f "$work/exit"
  (WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${2:-}" timed 60 wine "$1" >"$work/korvane.log" 2>&1 </dev/null
   echo "exit $?" >"$work/exit") &
  for _ in $(seq 120); do
    [ -e "$work/exit" ] && { cat "$work/exit"; break; }
    timed 20 wine "$poke" count '#32770' "$main_title" 1011 >"$work/count.txt" 2>/dev/null </dev/null &&
      { tr -d '\r' <"$work/count.txt"; break; }
    sleep 0.2
  done
  { timed 30 wineserver -k; timed 30 wineserver -w; timed 30 wineserver -p; } >/dev/null 2>&1
  wait
}
# korvane-cli list, started through PATH from C:\ as a console user starts it
# (Wine puts WINEPATH in front of the PATH its programs see).
cli_through_path() {
  WINEPATH=$1 timed 60 wine cmd /c "cd /d C:\\ && korvane-cli list" >"$work/cli.txt" 2>&1 </dev/null
  tr -d '\r' <"$work/cli.txt" | grep -c '^[0-9A-F][0-9A-F]  '
}

# The test-only package of each target, one patch version higher, whose
# shipped table has a country more.
IFS=. read -r major minor patch _ <<<"$version"
newer_version=$major.$minor.$((patch + 1))
for arch in x86 x64; do
  [ $arch = x86 ] && stage=$x86_build/package-stage || stage=$x64_build/package-stage
  rm -rf "$work/stage-$arch" && cp -r "$stage" "$work/stage-$arch"
  printf 'Atlantis,ATLANTIS,USA,99\r\n' >>"$work/stage-$arch/korvane.ini"
  "$src/tools/package/build-msi.sh" "$work/stage-$arch" "$newer_version" $arch "$work/korvane-$newer_version-$arch.msi" \
    >"$work/newer.log" 2>&1 || { fail "the test-only newer $arch package is built"; cat "$work/newer.log"; exit 1; }
done
# shellcheck disable=SC2034 # read by eval'd checks
shipped=$x64_build/package-stage/korvane.ini new_table=$work/stage-x64/korvane.ini
all="LICENSE.txt README.txt korvane-cli.exe korvane-shipped.ini korvane.exe "
with_table="LICENSE.txt README.txt korvane-cli.exe korvane-shipped.ini korvane.exe korvane.ini "

# place <x86|x64>: where this session's Windows puts that package: its
# folder, the folder's Windows name and the package's registry view.
place() {
  folder="$drive_c/Program Files/Korvane" folder_win='C:\Program Files\Korvane' view=''
  [ "$arch" = x64 ] && view=/reg:64
  [ "$arch" = x64 ] && [ "$1" = x86 ] && folder=$wow64 folder_win='C:\Program Files (x86)\Korvane' view=/reg:32
}

# package_rows <x86|x64>: one package in the session's prefix: its install,
# and for the session's own package its life: the administrator's table
# through everything, a folder of the administrator's choice. The table's and
# the folder's facts are the same for both packages; the 32-bit package on
# 64-bit Windows stays installed for the cross rows, which upgrade it.
package_rows() {
  local pkg=$1 base newer folder folder_win view runs=yes cc
  base=$([ "$pkg" = x86 ] && echo "$msi_x86" || echo "$msi_x64")
  newer=$work/korvane-$newer_version-$pkg.msi
  place "$pkg"
  p="$pkg package:"
  [ "$arch" = x64 ] && [ "$pkg" = x86 ] && p="32-bit package on 64-bit Windows:"
  cc=$([ "$pkg" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-gcc
  [ "$pkg" = x86 ] && [ -n "$refusal" ] && runs=''

  install_rows
  [ "$pkg" = "$arch" ] || return 0
  own_table_rows
  chosen_folder_rows
}

# install_rows: a fresh install and its programs. Start at logon is a
# feature of its own: the modify row below leaves it out.
install_rows() {
  installs_into "$folder" "$p silent install" /i "$base"
  check "... the Start-menu shortcut Korvane points to the program" shortcut_targets_program
  check "... the Run value quotes the installed program" grep -qF "Korvane    REG_SZ    \"$folder_win\\korvane.exe\"" <(run_value)
  check "... one Add/Remove Programs entry, with the install folder" \
    eval 'same_text "$(product_entries)" 1 && grep -qF "InstallLocation    REG_SZ    $folder_win\\" "$work/arp.txt"'
  if [ -n "$runs" ]; then
    check "$p the installed program lists the 35 countries of korvane-shipped.ini" same_text "$(start_and_count "$folder/korvane.exe")" 35
    check "$p korvane-cli started through PATH from C:\\ reads the table beside it" same_text "$(cli_through_path "$folder_win")" 35
    # Windows looks beside the exe first for a DLL that is not a known DLL; with
    # native DLLs preferred, Wine does the same. comctl32 is loaded early, uxtheme
    # later by the system's own DLLs.
    mkdir -p "$work/planted-$pkg" && cp "$folder/korvane.exe" "$work/planted-$pkg/" && cp "$shipped" "$work/planted-$pkg/korvane.ini"
    for dll in comctl32 uxtheme; do $cc -shared -s -o "$work/planted-$pkg/$dll.dll" "$src/tests/package/planted_dll.c"; done
    check "$p a comctl32.dll and a uxtheme.dll planted beside korvane.exe are not loaded" \
      same_text "$(start_and_count "$work/planted-$pkg/korvane.exe" "comctl32,uxtheme=n,b")" 35
  else
    echo "skip - $p its programs: this host cannot run 32-bit programs ($refusal)"
  fi

}

# own_table_rows: the administrator's own korvane.ini through repair, modify,
# an upgrade and an uninstall.
own_table_rows() {
  local before
  { cat "$shipped"; printf 'Edited,EDITED,USA,98\r\n'; } >"$work/edited.ini"
  cp "$work/edited.ini" "$folder/korvane.ini"
  rm "$folder/README.txt"
  installs "$p repair (REINSTALL=ALL, as msiexec /f does)" /i "$base" REINSTALL=ALL REINSTALLMODE=omus
  check "... puts README.txt back" test -s "$folder/README.txt"
  before=$(snapshot "$folder")
  installs "$p a repair given WIX_UPGRADE_DETECTED=1, as a standard user may" \
    /i "$base" REINSTALL=ALL REINSTALLMODE=omus WIX_UPGRADE_DETECTED=1
  check "... changes nothing: every file is the same file, as it was; $version is installed" \
    eval 'same_text "$(snapshot "$folder")" "$before" && same_text "$(installed_version)" "$version"'
  installs "$p modify: leave out start at logon" /i "$base" REMOVE=StartAtLogon
  check "... removes the Run value" no_run_value
  upgrade_and_uninstall_rows
}

# upgrade_and_uninstall_rows: over a read-only korvane.ini (Wine's read-only
# attribute is a file without write permission), and a korvane-shipped.ini
# that is a hard link to a file elsewhere: only the link's name in the folder
# is the installer's, never the file it shares.
upgrade_and_uninstall_rows() {
  local before
  # shellcheck disable=SC2034
  chmod a-w "$folder/korvane.ini" && before=$(snapshot "$folder" | grep '^korvane.ini ')
  printf 'Secret,SECRET,USA,97\r\n' >"$secret" && cp "$secret" "$work/secret.ini"
  rm "$folder/korvane-shipped.ini" && ln "$secret" "$folder/korvane-shipped.ini"
  installs "$p upgrade to $newer_version, whose shipped table changed, over a read-only korvane.ini and a linked korvane-shipped.ini" \
    /i "$newer"
  check "... one Add/Remove Programs entry, $newer_version" same_text "$(installed_version)" "$newer_version"
  check "... the edited korvane.ini is the same file, read-only, as it was; the new table is korvane-shipped.ini" \
    eval 'same_text "$(snapshot "$folder" | grep "^korvane.ini ")" "$before" && cmp "$folder/korvane-shipped.ini" "$new_table"'
  check "... the linked file keeps its content and no other name" \
    eval 'cmp "$secret" "$work/secret.ini" && same_text "$(stat -c %h "$secret")" 1'
  check "... with no other file" has_files "$folder" "$with_table"
  installs "$p uninstall" /x "$newer"
  check "... leaves only the edited korvane.ini, the same file, read-only, as it was" \
    eval 'same_text "$(snapshot "$folder")" "$before"'
  check "... and removes the shortcut, the Run value and the Add/Remove Programs entry" no_product
  rm -rf "$folder" "$secret"
}

# chosen_folder_rows: a folder of the administrator's choice, which the
# uninstall removes. An upgrade finds the folder it is in: the cross rows.
chosen_folder_rows() {
  custom="$drive_c/Korvane Test"
  installs_into "$custom" "$p install into C:\\Korvane Test" /i "$base" 'INSTALLDIR=C:\Korvane Test'
  installs "... its uninstall" /x "$base"
  check "... leaves no folder" gone "$custom"
}

# cross_rows: an upgrade from the 32-bit package to the 64-bit one and back,
# each over an edited korvane.ini, on 64-bit Windows. The newer package
# installs into the folder the other one is in, over the edited table (which
# the program reads: the upgrade rows of each package start it).
# shellcheck disable=SC2034
cross_rows() {
  local from to from_msi to_newer folder folder_win view from_folder from_win from_view to_folder to_view
  for from in x86 x64; do
    to=$([ $from = x86 ] && echo x64 || echo x86)
    from_msi=$([ $from = x86 ] && echo "$msi_x86" || echo "$msi_x64") to_newer=$work/korvane-$newer_version-$to.msi
    place $to; to_folder=$folder to_view=$view
    place $from; from_folder=$folder from_win=$folder_win from_view=$view
    p="$from to $to:"
    # The 32-bit package is in place since its install rows.
    [ $from = x86 ] || installs_into "$from_folder" "$p the $from package installed" /i "$from_msi"
    cp "$work/edited.ini" "$from_folder/korvane.ini"
    installs "$p upgrade to the $to package, $newer_version" /i "$to_newer"
    check "... into the same folder: the $to programs, the new table, the edited korvane.ini as it was" eval \
      'cmp "$from_folder/korvane.exe" "$work/stage-$to/korvane.exe" && cmp "$from_folder/korvane-shipped.ini" "$new_table" &&
       cmp "$from_folder/korvane.ini" "$work/edited.ini" && has_files "$from_folder" "$with_table" && gone "$to_folder"'
    check "... its Run value, in the $to registry view, names that folder; the $from package's is gone; the shortcut is there" eval \
      'grep -qF "REG_SZ    \"$from_win\\korvane.exe\"" <(view=$to_view run_value) && view=$from_view no_run_value &&
       shortcut_targets_program'
    check "... one Add/Remove Programs entry, $newer_version" same_text "$(installed_version)" "$newer_version"
    installs "... its uninstall" /x "$to_newer"
    rm -rf "$from_folder"
  done
}

# run_session <x86|x64>: the Wine cases in a session of that target: each
# package it can install (64-bit Windows installs both), and on 64-bit
# Windows the upgrades from one package to the other.
run_session() {
  arch=$1
  # A fresh prefix: nothing an earlier, interrupted run installed is left in it.
  local session=$build/package-wine-$arch
  timed 60 "$src/tools/wine-session.sh" stop "$session" >/dev/null 2>&1
  rm -rf "$session" && mkdir -p "$session"
  if ! timed 240 env KORVANE_TARGET=$arch "$src/tools/wine-session.sh" start "$session" >"$work/session-$arch.log" 2>&1; then
    fail "the $arch Wine session starts"; cat "$work/session-$arch.log"; return
  fi
  # The session's environment stays in this subshell, which counts its own failures.
  (
  failures=0
  # shellcheck source=/dev/null
  . "$session/session/session.env"
  drive_c=$WINEPREFIX/drive_c wow64="$WINEPREFIX/drive_c/Program Files (x86)/Korvane" secret=$WINEPREFIX/drive_c/secret.ini
  views=('') packages=x86
  [ $arch = x64 ] && views=(/reg:64 /reg:32) packages='x64 x86'
  for view in "${views[@]}"; do timed 30 wine reg add "$uninstall_key" /f $view >/dev/null 2>&1; done
  echo "skip - the install folder's permissions under Wine: its msiexec applies no MsiLockPermissionsEx, and it keeps" \
    "no security descriptor for a file (only its unix mode); the packages' own are checked above"
  for pkg in $packages; do package_rows "$pkg"; done
  [ $arch = x64 ] && cross_rows
  check "$arch session: no Korvane product is left" eval 'same_text "$(product_entries)" 0'
  exit $failures
  )
  failures=$((failures + $?))
  timed 60 "$src/tools/wine-session.sh" stop "$session" >>"$work/session-$arch.log" 2>&1
}

# The main window's title, and why this host cannot run 32-bit code (the
# 32-bit programs), or nothing when it can.
{ read -r main_title; read -r refusal; } < <(bash -c '. "$1/tools/common.sh" && main_window_title && x86_refusal' _ "$src")
run_session x64
if [ -n "$refusal" ]; then echo "skip - a 32-bit Windows (the x86 session): this host cannot run 32-bit programs ($refusal)"
else run_session x86; fi

# Every time limit reached, again here: some calls' own output is thrown away.
[ -s "$work/timeouts" ] && { cat "$work/timeouts"; failures=$((failures + $(wc -l <"$work/timeouts"))); }
echo "$failures failed"
[ "$failures" -eq 0 ]
