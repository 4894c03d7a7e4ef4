#!/usr/bin/env bash
# Builds one Korvane MSI from a staged folder.
#   tools/package/build-msi.sh <stage-dir> <version> <x86|x64> <out.msi>
# The stage holds korvane.exe, korvane-cli.exe (both of that architecture),
# korvane.ini, README.txt, LICENSE.txt and the Add/Remove Programs icon
# korvane.ico. wixl writes the package from korvane.wxs, and msibuild then
# sets what wixl cannot write.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$1 version=$2 arch=$3 out=$4
case $arch in
  x86 | x64) ;;
  *) echo "build-msi.sh: the architecture is x86 or x64, not '$arch'" >&2; exit 2 ;;
esac

# wixl finds source files only by paths relative to where it runs.
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
(cd "$stage" && wixl --arch "$arch" -D Version="$version" -D Arch="$arch" -D SourceDir=. -o "$out" "$here/korvane.wxs")

# Component attributes: 64-bit (256) in the 64-bit package, so that its
# registry values go to the 64-bit view; a registry key path (4) for the Run
# value. The installed folder is looked for in the package's own registry
# view first, then in the other one (16: the 64-bit view).
bits=0 own=2 other=18
[ "$arch" = x64 ] && bits=256 own=18 other=2
# The install folder, its subfolders and files: full control for SYSTEM and
# the Administrators, who own it, reading and running for Users, nothing
# inherited from the folder it is in (a C:\ root lets Authenticated Users
# write). Installer 5.0 sets it as it creates the folder.
folder_sddl='O:BAG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)'
fix=(
  "UPDATE Component SET Attributes = $bits WHERE Component = 'Program' OR Component = 'CommandLine'"
  "UPDATE Component SET Attributes = $bits WHERE Component = 'ShippedTable' OR Component = 'Documents'"
  "UPDATE Component SET Attributes = $((bits + 4)) WHERE Component = 'RunAtLogon'"
  "UPDATE RegLocator SET Type = $own WHERE Signature_ = 'InstalledFolder'"
  "UPDATE RegLocator SET Type = $other WHERE Signature_ = 'InstalledFolderOtherView'"
  # A shortcut whose target is a file, not the feature, is not advertised.
  "UPDATE Shortcut SET Target = '[#KorvaneExe]' WHERE Shortcut = 'StartMenuShortcut'"
  "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
  "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`) VALUES ('LockInstallFolder', 'INSTALLDIR', 'CreateFolder', '$folder_sddl')"
  # The folder found in the registry is passed on to the installing service.
  "UPDATE Property SET Value = 'INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE Property = 'SecureCustomProperties'"
)
args=()
for query in "${fix[@]}"; do args+=(-q "$query"); done
msibuild "$out" "${args[@]}"
