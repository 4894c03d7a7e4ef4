#!/usr/bin/env bash
# Packaging tests: ./package, the zip, the exe's manifest, version and imports,
# and the MSI installed, upgraded and removed silently under Wine as an
# administrator would, in a Wine prefix of its own inside the build tree.
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
same_text() { [ "$1" = "$2" ] || { echo "     expected: $2"; echo "     got:      $1"; return 1; }; }

# --- ./package and what it writes -------------------------------------------
dist=$work/dist
# The packages ship the 32-bit program: a test tree built for x64 gets a
# 32-bit package build of its own.
package_build=$build
i686-w64-mingw32-objdump -f "$build/bin/korvane.exe" 2>/dev/null | grep -q "pei-i386" ||
  package_build=$build/package-build
if ! "$src/package" --build-dir "$package_build" --dist-dir "$dist" >"$work/package.log" 2>&1; then
  cat "$work/package.log"; fail "./package writes both packages"; exit 1
fi
version=$(cat "$package_build/VERSION")
msi=$dist/korvane-$version.msi zip=$dist/korvane-$version.zip exe=$package_build/bin/korvane.exe
check "./package writes korvane-$version.msi and .zip" test -s "$msi" -a -s "$zip"
check "the MSI's ProductVersion is $version" \
  same_text "$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')" "$version"
check "the zip holds exactly korvane.exe, korvane-cli.exe, korvane.ini, README.txt, LICENSE.txt" \
  same_text "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')" "LICENSE.txt README.txt korvane-cli.exe korvane.exe korvane.ini "
unzip -q "$zip" -d "$work/unzipped"
check "the zip's korvane.exe is the one built" cmp "$work/unzipped/korvane.exe" "$exe"
check "the zip's korvane.ini is the repository's table" cmp "$work/unzipped/korvane.ini" "$src/korvane.ini"
check "the zip's licence is the MIT licence" grep -q "MIT License" "$work/unzipped/LICENSE.txt"

# ./package names every missing tool before building anything.
mkdir -p "$work/no-wixl-bin"
for tool in cmake i686-w64-mingw32-gcc i686-w64-mingw32-windres i686-w64-mingw32-objdump zip sed; do
  ln -sf "$(command -v "$tool")" "$work/no-wixl-bin/$tool"
done
PATH=$work/no-wixl-bin /bin/bash "$src/package" --build-dir "$package_build" --dist-dir "$work/no-wixl" \
  >"$work/no-wixl.log" 2>&1
check "./package without wixl fails" test $? -ne 0
check "... saying that wixl is missing and how to install it" \
  grep -q "missing wixl.*install them with tools/install-deps.sh" <(tr '\n' ' ' <"$work/no-wixl.log")
check "... and writes no package" test ! -e "$work/no-wixl/korvane-$version.msi"

# --- the exe: manifest, version resource, imports ---------------------------
i686-w64-mingw32-windres -J coff -i "$exe" -O rc -o "$work/resources.rc"
manifest=$(sed -n '/^1 24 /,/^END/p' "$work/resources.rc")
commas=$(echo "$version.0.0.0" | cut -d. -f1-4 | sed 's/\./, /g')
check "the manifest asks for no elevation (asInvoker)" grep -q 'level=""asInvoker""' <<<"$manifest"
check "the manifest names Windows 7, 8, 8.1 and 10/11" \
  same_text "$(grep -o 'supportedOS Id=""{[0-9a-f-]*}' <<<"$manifest" | wc -l)" 4
check "the manifest declares the DPI setting" grep -q 'dpiAware' <<<"$manifest"
check "the manifest keeps the classic controls (no common controls 6)" \
  not grep -qi "Common-Controls" <<<"$manifest"
check "FILEVERSION is $commas" grep -q "^ FILEVERSION $commas\$" "$work/resources.rc"
check "the FileVersion text is $version" grep -q "VALUE \"FileVersion\", \"$version\"" "$work/resources.rc"
known="ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll ole32.dll OLEAUT32.dll SHLWAPI.dll COMDLG32.dll WS2_32.dll"
unknown=$(i686-w64-mingw32-objdump -p "$exe" "$(dirname "$exe")/korvane-cli.exe" | awk '/DLL Name:/ {print $3}' |
  while read -r dll; do grep -qiw "$dll" <<<"$known" || echo "$dll"; done)
check "the import tables of both programs name only known DLLs${unknown:+ (not: $unknown)}" test -z "$unknown"

# --- the MSI under Wine -----------------------------------------------------
export WINEPREFIX=$build/package-prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# One X display for the whole Wine part: the prefix's desktop process starts
# with the first Wine program and keeps the display it was given.
display=70
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT
export DISPLAY=:$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
[ -d "$WINEPREFIX/drive_c" ] || wineboot -i >"$work/wineboot.log" 2>&1
wineserver -k >/dev/null 2>&1; wineserver -w
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files (x86)/Korvane"
[ -d "$drive_c/Program Files (x86)" ] || folder="$drive_c/Program Files/Korvane"

msiexec_quiet() { wine msiexec "$@" /qn /l*v "$work/msiexec-$1-$(basename "$2").log" >"$work/msiexec.out" 2>&1; }
# Korvane products an earlier, interrupted run left installed, by product code.
leftover_products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ {key = $0} /DisplayName +REG_SZ +Korvane$/ {n = split(key, part, "\\"); print part[n]}'
}
for code in $(leftover_products); do msiexec_quiet /x "$code"; done
rm -rf "$folder"

# A package one patch version higher, from the same files.
IFS=. read -r major minor patch _ <<<"$version"
newer=$major.$minor.$((patch + 1))
cp -r "$package_build/package-stage" "$work/stage-newer"
"$src/tools/package/build-msi.sh" "$work/stage-newer" "$newer" "$work/korvane-$newer.msi" >"$work/newer.log" 2>&1

run_value() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Korvane /reg:32 >"$work/run.txt" 2>&1
}
shortcut() { find "$drive_c" -path '*Start Menu/Programs/*' -name Korvane.lnk | grep -q .; }
product_entries() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 >"$work/arp.txt" 2>&1
  grep -c "DisplayName    REG_SZ    Korvane" "$work/arp.txt"
}
installed_files() { (cd "$folder" 2>/dev/null && ls | LC_ALL=C sort | tr '\n' ' '); }

# korvane.exe and the custom actions that keep an edited table are 32-bit
# code, which a host that cannot run 32-bit Wine cannot start.
refusal=$(bash -c '. "$1/tools/common.sh" && x86_refusal' _ "$src")
check32() {
  if [ -n "$refusal" ]; then echo "skip - $1: this host cannot run 32-bit programs ($refusal)"; else check "$@"; fi
}

msiexec_quiet /i "$msi" ADDLOCAL=Program
check "install without start at logon (ADDLOCAL=Program): the files" \
  same_text "$(installed_files)" "LICENSE.txt README.txt korvane-cli.exe korvane.exe korvane.ini "
check "... and no Run value" not run_value
msiexec_quiet /x "$msi"
check "its uninstall leaves no folder" test ! -e "$folder"

msiexec_quiet /i "$msi"
check "silent install: the files in Program Files\\Korvane" \
  same_text "$(installed_files)" "LICENSE.txt README.txt korvane-cli.exe korvane.exe korvane.ini "
check "... the Start-menu shortcut Korvane" shortcut
check "... the Run value, quoting the installed program" \
  grep -q "Korvane    REG_SZ    \"C:\\\\Program Files.*\\\\Korvane\\\\korvane.exe\"" < <(run_value; cat "$work/run.txt")
check "... one Add/Remove Programs entry" same_text "$(product_entries)" 1
check "... with the publisher" grep -q "Publisher    REG_SZ    The Korvane developers" "$work/arp.txt"
check "... and the install folder" grep -qE 'InstallLocation +REG_SZ +C:.Program Files.*.Korvane.\s*$' "$work/arp.txt"
product_icon() {
  wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    awk '$1 == "ProductIcon" {print $3}' | head -1
}
check "... and Korvane's icon" cmp "$(wine winepath -u "$(product_icon)" 2>/dev/null)" "$src/res/icons/globe.ico"

# The installed program, started from its path with spaces, finds its table.
if [ -n "$refusal" ]; then
  echo "skip - starting the installed program: this host cannot run 32-bit programs ($refusal)"
else
  # start_and_count <exe> [dll overrides]: the program's country count once
  # its window exists, or "exit <code>" if it ended first.
  start_and_count() {
    rm -f "$work/exit"
    (WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${2:-}" wine "$1" >"$work/korvane.log" 2>&1 </dev/null
     echo "exit $?" >"$work/exit") &
    for _ in $(seq 120); do
      [ -e "$work/exit" ] && { cat "$work/exit"; break; }
      wine "$poke" count '#32770' "$(bash -c '. "$1/tools/common.sh" && main_window_title' _ "$src")" 1011 >"$work/count.txt" 2>/dev/null </dev/null &&
        { tr -d '\r' <"$work/count.txt"; break; }
      sleep 0.2
    done
    wineserver -k >/dev/null 2>&1; wineserver -w
  }
  check "the installed program lists the 35 countries" same_text "$(start_and_count "$folder/korvane.exe")" 35
  # Windows looks beside the exe first for a DLL that is not a known DLL; with
  # native DLLs preferred, Wine does the same.
  mkdir -p "$work/planted"
  cp "$exe" "$src/korvane.ini" "$work/planted/"
  i686-w64-mingw32-gcc -shared -s -o "$work/planted/comctl32.dll" "$src/tests/package/planted_dll.c"
  check "a comctl32.dll planted beside korvane.exe is not loaded" \
    same_text "$(start_and_count "$work/planted/korvane.exe" "comctl32=n,b")" 35
fi

# Upgrade with an edited table: one entry, the newer version, the edit kept.
printf 'Atlantis,ATLANTIS,USA,99\r\n' >>"$folder/korvane.ini"
cp "$folder/korvane.ini" "$work/edited.ini"
msiexec_quiet /i "$work/korvane-$newer.msi"
check "upgrade to $newer: one Add/Remove Programs entry" same_text "$(product_entries)" 1
check "... which is $newer" grep -q "DisplayVersion    REG_SZ    $newer" "$work/arp.txt"
check32 "... and the edited korvane.ini is still in place" cmp "$folder/korvane.ini" "$work/edited.ini"
check32 "... with no copy left over" same_text "$(installed_files)" "LICENSE.txt README.txt korvane-cli.exe korvane.exe korvane.ini "

# Uninstall: everything goes but the edited table, kept under the name README.txt gives.
msiexec_quiet /x "$work/korvane-$newer.msi"
check32 "uninstall: only the edited table stays, as korvane.ini.edited" \
  same_text "$(installed_files)" "korvane.ini.edited "
check32 "... holding the edit" cmp "$folder/korvane.ini.edited" "$work/edited.ini"
check "... README.txt names korvane.ini.edited" grep -q "korvane.ini.edited" "$work/unzipped/README.txt"
check "... the shortcut is gone" not shortcut
check "... the Run value is gone" not run_value
check "... the Add/Remove Programs entry is gone" same_text "$(product_entries)" 0
msiexec_quiet /i "$msi"
check32 "a later install puts the edited table back" cmp "$folder/korvane.ini" "$work/edited.ini"
msiexec_quiet /x "$msi"
rm -f "$folder/korvane.ini.edited" && rmdir "$folder" 2>/dev/null

echo "$failures failed"
[ "$failures" -eq 0 ]
