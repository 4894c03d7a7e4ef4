# shellcheck shell=bash
# Reading the install folder's security descriptor (SDDL) from an MSI's
# MsiLockPermissionsEx row, for package_test.sh (sourced).

# folder_sddl <msi>: the SDDL that locks the folder INSTALLDIR, if any.
folder_sddl() {
  msiinfo export "$1" MsiLockPermissionsEx 2>/dev/null | tr -d '\r' |
    awk -F'\t' 'NR > 3 && $2 == "INSTALLDIR" && $3 == "CreateFolder" {print $4}'
}

# sddl_aces <sddl>: the DACL's entries, one a line: "<type> <flags> <rights> <sid>".
sddl_aces() {
  local dacl=${1#*D:}
  dacl=${dacl%%S:*}
  grep -o '([^)]*)' <<<"$dacl" | tr -d '()' | awk -F';' '{print $1, ($2 == "" ? "-" : $2), $3, $6}'
}

# rights_mask <rights>: an entry's rights as a number, as the package writes
# them (hex); rights written in letters count as every right, so a row that
# meets them fails until it is taught them.
rights_mask() {
  case $1 in 0x*) echo $(($1)) ;; *) echo $((0xFFFFFFFF)) ;; esac
}

# Writing, appending, extended attributes, deleting children, attributes,
# deleting, permissions, ownership, and the generic write and all rights.
readonly write_rights=$((0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000))
readonly read_and_run=$((0x1 | 0x20))

# only_reads_and_runs <sddl> <sid>: every entry allowing sid something allows
# it reading and running, with no right to change anything, for the folder
# and all it holds; and no entry denies or audits anything.
only_reads_and_runs() {
  local type flags rights sid mask found=0
  while read -r type flags rights sid; do
    [ "$type" = A ] || { echo "an entry of type $type for $sid"; return 1; }
    [ "$sid" = "$2" ] || continue
    mask=$(rights_mask "$rights") found=1
    [ $((mask & write_rights)) -eq 0 ] || { echo "$sid may change things: $rights"; return 1; }
    [ $((mask & read_and_run)) -eq $read_and_run ] || { echo "$sid may not read and run: $rights"; return 1; }
    [ "$flags" = OICI ] || { echo "$sid's entry is not inherited by subfolders and files: $flags"; return 1; }
  done < <(sddl_aces "$1")
  [ $found = 1 ] || echo "no entry for $2"
  [ $found = 1 ]
}
