#!/usr/bin/env bash
# Packaging tests: ./package and its three packages, the programs' resources
# and imports, and each MSI installed, repaired, modified, upgraded and removed
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
not() { ! "$@"; }
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
check "the zip holds the folder $top with both programs, the table, README.txt and LICENSE.txt" \
  same_text "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')" \
  "$top/ $top/LICENSE.txt $top/README.txt $top/korvane-cli.exe $top/korvane.exe $top/korvane.ini "
unzip -q "$zip" -d "$work/unzipped"
unzipped=$work/unzipped/$top
check "the zip's programs are the 32-bit ones built" eval \
  'cmp "$unzipped/korvane.exe" "$x86_build/bin/korvane.exe" && cmp "$unzipped/korvane-cli.exe" "$x86_build/bin/korvane-cli.exe"'
check "the zip's korvane.ini is the repository's table with Windows line ends" \
  eval 'lines_end_in_crlf "$unzipped/korvane.ini" && tr -d "\r" <"$unzipped/korvane.ini" | cmp - "$src/korvane.ini"'
notices=$'MIT License\nGCC Runtime Library Exception\nMinGW-w64 runtime\nZope Public License\nwinpthreads\nLucent Technologies'
check "LICENSE.txt holds the MIT licence and the runtime libraries' notices" \
  same_text "$(grep -oF "$notices" "$unzipped/LICENSE.txt" | LC_ALL=C sort -u)" "$(LC_ALL=C sort <<<"$notices")"
check "README.txt names korvane-shipped.ini and the WOW6432Node Run value" \
  eval 'grep -q "korvane-shipped.ini" "$unzipped/README.txt" && grep -q "WOW6432Node" "$unzipped/README.txt"'

# ./package names every missing tool before building anything.
mkdir -p "$work/no-wixl-bin"
for tool in cmake {i686,x86_64}-w64-mingw32-gcc x86_64-w64-mingw32-objdump msibuild zip sed; do
  ln -sf "$(command -v "$tool")" "$work/no-wixl-bin/$tool"; done
PATH=$work/no-wixl-bin /bin/bash "$src/package" --build-dir "$x86_build" --x64-build-dir "$x64_build" \
  --dist-dir "$work/no-wixl" >"$work/no-wixl.log" 2>&1; status=$?
check "./package without wixl fails (status $status), saying that wixl is missing and how to install it" \
  eval '[ $status -ne 0 ] && tr "\n" " " <"$work/no-wixl.log" | grep -q "missing wixl.*install them with tools/install-deps.sh"'
check "... and writes no package" test ! -e "$work/no-wixl"

# --- each target's programs (manifests, version resources, imports) and MSI -
known="ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll ole32.dll OLEAUT32.dll SHLWAPI.dll COMDLG32.dll WS2_32.dll"
commas=$(echo "$version.0.0.0" | cut -d. -f1-4 | sed 's/\./, /g')
# msi_field <msi> <table> <key> <column>: one field of the row whose first column is key.
msi_field() { msiinfo export "$1" "$2" | tr -d '\r' | awk -F'\t' -v key="$3" -v col="$4" 'NR > 3 && $1 == key {print $col}'; }
for arch in x86 x64; do
  [ $arch = x86 ] && tree=$x86_build prefix=i686 msi=$msi_x86 template=Intel ||
    tree=$x64_build prefix=x86_64 msi=$msi_x64 template=x64
  for exe in korvane.exe korvane-cli.exe; do
    what="$exe ($arch)" rc=$work/resources.rc
    $prefix-w64-mingw32-windres -J coff -i "$tree/bin/$exe" -O rc -o "$rc"
    manifest=$(sed -n '/^1 24 /,/^END/p' "$rc")
    check "$what: its manifest asks for no elevation (asInvoker)" grep -q 'level=""asInvoker""' <<<"$manifest"
    check "$what: its manifest names Windows 7, 8, 8.1 and 10/11" \
      same_text "$(grep -o 'supportedOS Id=""{[0-9a-f-]*}' <<<"$manifest" | wc -l)" 4
    check "$what: FILEVERSION $commas, FileVersion \"$version\" and OriginalFilename $exe" eval \
      'grep -q "^ FILEVERSION $commas\$" "$rc" && grep -q "VALUE \"FileVersion\", \"$version\"" "$rc" &&
       grep -q "VALUE \"OriginalFilename\", \"$exe\"" "$rc"'
    [ $exe = korvane.exe ] && check "$what: its manifest declares the DPI setting and keeps the classic controls" \
      eval 'grep -q dpiAware <<<"$manifest" && ! grep -qi Common-Controls <<<"$manifest"'
    unknown=$($prefix-w64-mingw32-objdump -p "$tree/bin/$exe" | awk '/DLL Name:/ {print $3}' |
      while read -r dll; do grep -qiw "$dll" <<<"$known" || echo "$dll"; done)
    check "$what: its import table names only known DLLs${unknown:+ (not: $unknown)}" test -z "$unknown"
  done
  check "${msi##*/}: an $template package" grep -q "Template: $template;1033" <(msiinfo suminfo "$msi")
  check "${msi##*/}: ProductVersion is $version" same_text "$(msi_field "$msi" Property ProductVersion 2)" "$version"
  check "${msi##*/}: the Start-menu shortcut is not advertised (its target is the file [#KorvaneExe])" \
    same_text "$(msi_field "$msi" Shortcut StartMenuShortcut 5)" "[#KorvaneExe]"
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
winpath() { printf 'Z:%s' "${1//\//\\}"; }
msi_runs=0 msi_failed=0
# msi ARGS...: one silent msiexec run with a log of its own; its status is msiexec's.
msi() {
  msi_runs=$((msi_runs + 1)); msi_log=$work/msiexec-$arch-$msi_runs.log
  timed 120 wine msiexec "$@" /qn /l*v "$(winpath "$msi_log")" >"$work/msiexec.out" 2>&1
}
# installs <description> ARGS...: an msiexec run that must succeed; on failure
# it shows the errors of the run's log.
installs() {
  local what=$1; shift
  if msi "$@"; then pass "$what"; else
    fail "$what: msiexec $* ended with status $?"; msi_failed=$((msi_failed + 1))
    grep -a "Return value 3\|rror" "$msi_log" 2>/dev/null | head -5 | sed 's/^/     /'
  fi
}
# A check that something is gone counts only while every msiexec run so far
# succeeded: after an install that failed there is nothing to find.
nothing_left() {
  if [ "$msi_failed" -eq 0 ]; then check "$@"; else echo "skip - $1: not counted, an msiexec run before it failed"; fi
}
files_in() { (cd "$1" 2>/dev/null && ls -A | LC_ALL=C sort | tr '\n' ' ') || echo "(no folder $1)"; }
has_all() { same_text "$(files_in "$1")" "$all"; }
gone() { same_text "$(files_in "$1")" "(no folder $1)"; }
kept() { cmp "$folder/korvane.ini" "$work/edited.ini"; }
# installs_into <dir> <description> ARGS... and uninstalls <description> <msi> <dir>:
# an install whose files must all be in dir, and an uninstall that must leave no dir.
installs_into() { local dir=$1; shift; installs "$@"; check "... the files are in ${dir#"$drive_c"/}" has_all "$dir"; }
uninstalls() { installs "$1" /x "$2"; nothing_left "... leaves no folder" gone "$3"; }
# A Wine child's output is read through a file: a pipe stays open as long as
# any process Wine started along the way holds it.
reg_query() {
  timed 30 wine reg query "$@" $view >"$work/reg.txt" 2>&1; local status=$?
  tr -d '\r' <"$work/reg.txt"; return $status
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
run_value() { reg_query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Korvane; }
# The number of Korvane entries in Add/Remove Programs, or why it cannot be read.
product_entries() {
  reg_query "$uninstall_key" /s >"$work/arp.txt" || { echo "unreadable: reg query ended with status $?"; return; }
  grep -c "DisplayName    REG_SZ    Korvane$" "$work/arp.txt"
}
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
# The test-only failing package fails, and in its own action.
fails_in_its_action() { ! msi /i "$failing" && grep -qa "Action start .*: FailAfterFiles" "$msi_log"; }
# korvane-cli list, started through PATH from C:\ as a console user starts it
# (Wine puts WINEPATH in front of the PATH its programs see).
cli_through_path() {
  WINEPATH=$1 timed 60 wine cmd /c "cd /d C:\\ && korvane-cli list" >"$work/cli.txt" 2>&1 </dev/null
  tr -d '\r' <"$work/cli.txt" | grep -c '^[0-9A-F][0-9A-F]  '
}
# Removes the Korvane products and folders an earlier, interrupted run left.
clean_prefix() {
  local code
  for code in $(reg_query "$uninstall_key" | grep -o '{[0-9A-F-]*}$'); do
    grep -q "DisplayName    REG_SZ    Korvane" <<<"$(reg_query "$uninstall_key\\$code")" || continue
    msi /x "$code" || fail "$p the product $code an earlier run left is removed: msiexec ended with status $?"
  done
  rm -rf "$folder" "$drive_c/Program Files (x86)/Korvane" "$drive_c/Korvane "*
}

# run_package <x86|x64> <msi> <stage>: the Wine cases for one package.
run_package() {
  arch=$1 base=$2 stage=$3
  local session=$build/package-wine-$arch; mkdir -p "$session"
  if ! timed 240 env KORVANE_TARGET=$arch "$src/tools/wine-session.sh" start "$session" >"$work/session-$arch.log" 2>&1; then
    fail "the $arch Wine session starts"; cat "$work/session-$arch.log"; return
  fi
  # The session's environment stays in this subshell, which counts its own failures.
  (
  failures=0 p="$arch package:"
  # shellcheck source=/dev/null
  . "$session/session/session.env"
  drive_c=$WINEPREFIX/drive_c view='' cc=i686-w64-mingw32-gcc && folder="$drive_c/Program Files/Korvane"
  [ $arch = x64 ] && view=/reg:64 cc=x86_64-w64-mingw32-gcc
  timed 30 wine reg add "$uninstall_key" /f $view >/dev/null 2>&1
  clean_prefix
  all="LICENSE.txt README.txt korvane-cli.exe korvane-shipped.ini korvane.exe korvane.ini "

  # Test-only packages one patch version higher: one whose shipped table has a
  # country more, and the same with an action that fails once its files are in place.
  IFS=. read -r major minor patch _ <<<"$version"
  newer_version=$major.$minor.$((patch + 1))
  newer=$work/korvane-$newer_version-$arch.msi failing=$work/korvane-$newer_version-$arch-failing.msi
  cp -r "$stage" "$work/stage-$arch"
  printf 'Atlantis,ATLANTIS,USA,99\r\n' >>"$work/stage-$arch/korvane.ini"
  "$src/tools/package/build-msi.sh" "$work/stage-$arch" "$newer_version" $arch "$newer" >"$work/newer.log" 2>&1 &&
    cp "$newer" "$failing" &&
    msibuild "$failing" -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('FailAfterFiles', 1058, 'INSTALLDIR', 'cmd.exe /c exit 1')" \
      -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FailAfterFiles', '', 6450)" ||
    { fail "$p the test-only newer packages are built"; cat "$work/newer.log"; exit $failures; }
  shipped=$stage/korvane.ini new_table=$work/stage-$arch/korvane.ini

  installs_into "$folder" "$p install without start at logon (ADDLOCAL=Program)" /i "$base" ADDLOCAL=Program
  nothing_left "... and no Run value" not run_value
  uninstalls "... its uninstall" "$base" "$folder"

  installs_into "$folder" "$p silent install" /i "$base"
  check "... both tables are the shipped one" eval 'cmp "$folder/korvane.ini" "$shipped" && cmp "$folder/korvane-shipped.ini" "$shipped"'
  check "... the Start-menu shortcut Korvane points to the program" shortcut_targets_program
  check "... the Run value quotes the installed program" \
    grep -q "Korvane    REG_SZ    \"C:\\\\Program Files\\\\Korvane\\\\korvane.exe\"" <(run_value)
  check "... one Add/Remove Programs entry, with the publisher and the install folder" eval \
    'same_text "$(product_entries)" 1 && grep -q "Publisher    REG_SZ    The Korvane developers" "$work/arp.txt" &&
     grep -qE "InstallLocation +REG_SZ +C:.Program Files.Korvane.\s*$" "$work/arp.txt"'
  product_icon=$(view='' reg_query 'HKLM\Software\Classes\Installer\Products' /s | awk '$1 == "ProductIcon" {print $3}' | head -1)
  timed 30 wine winepath -u "$product_icon" >"$work/icon-path.txt" 2>/dev/null
  check "... and Korvane's icon" cmp "$(cat "$work/icon-path.txt")" "$src/res/icons/globe.ico"

  check "$p the installed program lists the 35 countries" same_text "$(start_and_count "$folder/korvane.exe")" 35
  check "$p korvane-cli started through PATH from C:\\ reads the table beside it" same_text "$(cli_through_path 'C:\Program Files\Korvane')" 35
  # Windows looks beside the exe first for a DLL that is not a known DLL; with
  # native DLLs preferred, Wine does the same. comctl32 is loaded early, uxtheme
  # later by the system's own DLLs.
  mkdir -p "$work/planted-$arch" && cp "$folder/korvane.exe" "$shipped" "$work/planted-$arch/"
  for dll in comctl32 uxtheme; do $cc -shared -s -o "$work/planted-$arch/$dll.dll" "$src/tests/package/planted_dll.c"; done
  check "$p a comctl32.dll and a uxtheme.dll planted beside korvane.exe are not loaded" \
    same_text "$(start_and_count "$work/planted-$arch/korvane.exe" "comctl32,uxtheme=n,b")" 35

  # An edited table through repair, modify, a failed upgrade, an upgrade and an uninstall.
  printf 'Edited,EDITED,USA,98\r\n' >>"$folder/korvane.ini"
  cp "$folder/korvane.ini" "$work/edited.ini"
  rm "$folder/README.txt"
  installs "$p repair (REINSTALL=ALL, as msiexec /f does)" /i "$base" REINSTALL=ALL REINSTALLMODE=omus
  check "... puts README.txt back" test -s "$folder/README.txt"
  check "... and leaves the edited korvane.ini alone" kept
  installs "$p modify: leave out start at logon" /i "$base" REMOVE=StartAtLogon
  nothing_left "... removes the Run value" not run_value
  check "... and leaves the edited korvane.ini alone" kept
  check "$p an upgrade that fails once its files are in place fails" fails_in_its_action
  check "... and leaves the edited korvane.ini alone, $version installed" eval 'kept && same_text "$(installed_version)" "$version"'
  # Windows' rollback restores the files the failed upgrade replaced; Wine's
  # removes them. A repair brings them back.
  installs "... a repair of $version after it" /i "$base" REINSTALL=ALL REINSTALLMODE=omus
  check "... which leaves the edited korvane.ini alone" kept

  installs "$p upgrade to $newer_version, whose shipped table changed" /i "$newer"
  check "... one Add/Remove Programs entry, $newer_version" same_text "$(installed_version)" "$newer_version"
  check "... the edited korvane.ini is still in place, the new table beside it as korvane-shipped.ini" \
    eval 'kept && cmp "$folder/korvane-shipped.ini" "$new_table"'
  check "... with no other file" has_all "$folder"
  installs "$p uninstall" /x "$newer"
  check "... leaves only the edited korvane.ini, as it was" eval 'same_text "$(files_in "$folder")" "korvane.ini " && kept'
  nothing_left "... and removes the shortcut, the Run value and the Add/Remove Programs entry" eval \
    'same_text "$(product_entries)" 0 && ! run_value && ! shortcut_targets_program'
  installs "$p a later install" /i "$base"
  check "... uses the kept table as it is" kept
  installs "... and its uninstall" /x "$base"
  check "... keeps it again" same_text "$(files_in "$folder")" "korvane.ini "
  rm -rf "$folder"

  # An unedited table in a folder of the administrator's choice.
  custom="$drive_c/Korvane Test"
  installs_into "$custom" "$p install into C:\\Korvane Test" /i "$base" 'INSTALLDIR=C:\Korvane Test'
  installs "$p upgrade to $newer_version, given no folder" /i "$newer"
  nothing_left "... stays in C:\\Korvane Test" eval \
    'has_all "$custom" && gone "$folder" && grep -q "REG_SZ    \"C:\\\\Korvane Test\\\\korvane.exe\"" <(run_value)'
  check "... and the unedited korvane.ini follows it to the new table" cmp "$custom/korvane.ini" "$new_table"
  uninstalls "... its uninstall" "$newer" "$custom"

  installs "$p install into C:\\Korvane Test again" /i "$base" 'INSTALLDIR=C:\Korvane Test'
  check "$p an upgrade of an unedited table that fails" fails_in_its_action
  check "... after it had replaced the table" grep -qa "Korvane: korvane.ini is now the new shipped table" "$msi_log"
  check "... puts the previous table back" cmp "$custom/korvane.ini" "$shipped"
  nothing_left "... with no copy left over" test ! -e "$custom/korvane.ini.previous"
  installs "... and $version's uninstall" /x "$base"
  rm -rf "$custom"

  # A standard user who can write the folder the administrator chose makes it a
  # link to another folder (Wine shows a link to a folder as a reparse point, as
  # a junction is on Windows). The upgrade, which writes as SYSTEM, must not follow it.
  elsewhere="$drive_c/Korvane Elsewhere" linked="$drive_c/Korvane Linked"
  installs "$p install into C:\\Korvane Linked" /i "$base" 'INSTALLDIR=C:\Korvane Linked'
  rm -rf "$elsewhere" && mv "$linked" "$elsewhere" && ln -s "$elsewhere" "$linked"
  installs "... upgrade to $newer_version once the folder is a link" /i "$newer"
  check "... does not write through it: korvane.ini is still the previous table" cmp "$elsewhere/korvane.ini" "$shipped"
  check "... and says why in the log" grep -qa "Korvane: the install folder is not a plain folder" "$msi_log"
  installs "... its uninstall" /x "$newer"
  rm -rf "$linked" "$elsewhere"
  # The 32-bit package on 64-bit Windows: the first install runs no 32-bit
  # code, but its uninstall runs the 32-bit table check.
  if [ $arch = x64 ] && [ -n "$refusal" ]; then
    echo "skip - the 32-bit package on 64-bit Windows: its uninstall runs 32-bit code, which this host cannot run"
  elif [ $arch = x64 ]; then
    wow64="$drive_c/Program Files (x86)/Korvane"
    installs_into "$wow64" "32-bit package on 64-bit Windows: silent install" /i "$msi_x86"
    check "... with its Run value under WOW6432Node, where 32-bit programs' values go" eval \
      'grep -q "Program Files (x86)" <(view=/reg:32 run_value) && ! view=/reg:64 run_value'
    uninstalls "... its uninstall" "$msi_x86" "$wow64"
  fi
  nothing_left "$p no Korvane product is left" eval 'same_text "$(product_entries)" 0'
  exit $failures
  )
  failures=$((failures + $?))
  timed 60 "$src/tools/wine-session.sh" stop "$session" >>"$work/session-$arch.log" 2>&1
}

# The main window's title, and why this host cannot run 32-bit code (korvane.exe
# and the table keeper of the 32-bit package), or nothing when it can.
{ read -r main_title; read -r refusal; } < <(bash -c '. "$1/tools/common.sh" && main_window_title && x86_refusal' _ "$src")
run_package x64 "$msi_x64" "$x64_build/package-stage"
if [ -n "$refusal" ]; then echo "skip - the 32-bit package under Wine: this host cannot run 32-bit programs ($refusal)"
else run_package x86 "$msi_x86" "$x86_build/package-stage"; fi

# Every time limit reached, again here: some calls' own output is thrown away.
[ -s "$work/timeouts" ] && { cat "$work/timeouts"; failures=$((failures + $(wc -l <"$work/timeouts"))); }
echo "$failures failed"
[ "$failures" -eq 0 ]
