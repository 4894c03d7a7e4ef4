#!/usr/bin/env bash
# Builds one Korvane MSI from a staged folder.
#   tools/package/build-msi.sh <stage-dir> <version> <x86|x64> <out.msi>
# The stage holds korvane.exe, korvane-cli.exe (both of that architecture),
# korvane.ini, README.txt, LICENSE.txt and the Add/Remove Programs icon
# korvane.ico. The custom-action DLL (table_keeper.c) is built here for the
# same architecture; wixl writes the package from korvane.wxs, and msibuild
# then sets what wixl cannot write.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$1 version=$2 arch=$3 out=$4
case $arch in
  x86) cc=i686-w64-mingw32-gcc ;;
  x64) cc=x86_64-w64-mingw32-gcc ;;
  *) echo "build-msi.sh: the architecture is x86 or x64, not '$arch'" >&2; exit 2 ;;
esac

$cc -O2 -Wall -Wextra -shared -static-libgcc -s -Wl,--kill-at \
  -o "$stage/table_keeper.dll" "$here/table_keeper.c" -lmsi

# wixl finds source files only by paths relative to where it runs.
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
(cd "$stage" && wixl --arch "$arch" -D Version="$version" -D Arch="$arch" -D SourceDir=. -o "$out" "$here/korvane.wxs")
rm -f "$stage/table_keeper.dll"

# Component attributes: 64-bit (256) in the 64-bit package, so that its
# registry values go to the 64-bit view; a registry key path (4) for the Run
# value; korvane.ini never overwritten (128) when it is there, never removed (16).
bits=0 locator=2
[ "$arch" = x64 ] && bits=256 locator=18  # the folder is looked for in the 64-bit view too (16)
fix=(
  "UPDATE Component SET Attributes = $bits WHERE Component = 'Program' OR Component = 'CommandLine'"
  "UPDATE Component SET Attributes = $bits WHERE Component = 'ShippedTable' OR Component = 'Documents'"
  "UPDATE Component SET Attributes = $((bits + 144)) WHERE Component = 'CountryTable'"
  "UPDATE Component SET Attributes = $((bits + 4)) WHERE Component = 'RunAtLogon'"
  "UPDATE RegLocator SET Type = $locator WHERE Signature_ = 'InstalledFolder'"
  # A shortcut whose target is a file, not the feature, is not advertised.
  "UPDATE Shortcut SET Target = '[#KorvaneExe]' WHERE Shortcut = 'StartMenuShortcut'"
  # An uninstall removes korvane.ini only when table_keeper found it unedited,
  # and a previous table an upgrade left behind.
  "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemoveUneditedTable', 'ShippedTable', 'korvane.ini', 'UninstalledTableFolder', 2)"
  "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('RemovePreviousTable', 'ShippedTable', 'korvane.ini.previous', 'UninstalledFolder', 2)"
  # Deferred, without impersonation, errors ignored (3137); the undo runs only
  # if the install rolls back (256), the commit only once it is done (512).
  "UPDATE CustomAction SET Type = 3393 WHERE Action = 'UndoUpdateCountryTable'"
  "UPDATE CustomAction SET Type = 3649 WHERE Action = 'CommitUpdateCountryTable'"
  # The folder found in the registry is passed on to the installing service.
  "UPDATE Property SET Value = 'INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE Property = 'SecureCustomProperties'"
)
args=()
for query in "${fix[@]}"; do args+=(-q "$query"); done
msibuild "$out" "${args[@]}"
