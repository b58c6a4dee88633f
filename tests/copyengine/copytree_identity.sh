#!/usr/bin/env bash
# copytree with a destination that reaches into its source under another name:
# a link into a source folder, a second drive letter on the same folder, a
# short name. Every such job is refused before anything is written, and the
# source keeps exactly what it held. Runs in a prefix of its own without drive
# Z:; its letters show only the prefix's own C: and this test's scratch folder.
#   copytree_identity.sh <build dir> [copytree.exe]
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export OSTRA_WINEPREFIX="$build/wineprefix-identity" OSTRA_WINE_NO_Z=1
source "$here/../../tools/wine-env"
ostra_prepare_prefix
fail() { echo "FAIL: $*"; exit 1; }
devices="$WINEPREFIX/dosdevices"
sealed() { [ ! -e "$devices/z:" ] && [ ! -L "$devices/z:" ]; }
sealed || fail "the prefix still has drive Z:"

work=$(mktemp -d "$build/copytree-identity.XXXXXX")
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -f "$devices/w:" "$devices/g:"
  rm -rf "$work" "$WINEPREFIX/drive_c/identity-case"
}
trap cleanup EXIT
ln -sfn "$work" "$devices/w:"
ln -sfn ../drive_c "$devices/g:" # G: shows the same folder as C:
cp "${2:-$build/bin/copytree.exe}" "$work/copytree.exe"

# A profile with a folder of mail, on the scratch drive and on C:.
make_profile() { # <folder>
  mkdir -p "$1/Mail/Local Folders" "$1/ImapMail"
  head -c 300000 /dev/urandom >"$1/Mail/Local Folders/Inbox"
  printf 'prefs' >"$1/prefs.js"
}
make_profile "$work/profile"
ln -s profile/Mail "$work/JL" # a folder link into the profile
make_profile "$WINEPREFIX/drive_c/identity-case/profile"
snapshot() { (cd "$1" && find . -printf '%p %s\n' | sort); }
before_w=$(snapshot "$work/profile")
before_c=$(snapshot "$WINEPREFIX/drive_c/identity-case/profile")
short=$(wine cmd /c 'for %I in ("W:\profile\ImapMail") do @echo %~sI' 2>/dev/null | tr -d '\r')

refused() { # <description> <source> <destination>
  local out rc
  out=$(timeout 120 wine 'W:\copytree.exe' "$2" "$3" 2>/dev/null) && rc=0 || rc=$?
  out=${out//$'\r'/}
  [ "$rc" = 1 ] || fail "$1: exited $rc: $out"
  echo "$out" | grep -q 'files_copied=0 errors=1' || fail "$1: summary $out"
  echo "refused: $1"
}
refused "a link into a profile folder" 'W:\profile' 'W:\JL'
refused "a folder inside the profile through a second drive letter" \
  'C:\identity-case\profile' 'G:\identity-case\profile\ImapMail'
refused "the profile itself through a second drive letter" 'G:\identity-case\profile' 'C:\identity-case\profile'
[ -n "$short" ] && [ "$short" != 'W:\profile\ImapMail' ] || fail "no short name for W:\\profile\\ImapMail: $short"
refused "a folder inside the profile by its short name" 'W:\profile' "$short"
[ "$(snapshot "$work/profile")" = "$before_w" ] || fail "the profile on the scratch drive changed"
[ "$(snapshot "$WINEPREFIX/drive_c/identity-case/profile")" = "$before_c" ] || fail "the profile on C: changed"

# A link in the source to a folder above the destination is left out, with
# everything below it: the copy would otherwise copy itself again and again.
mkdir -p "$work/linked/Mail" "$work/out"
printf 'm' >"$work/linked/Mail/Inbox"
ln -s .. "$work/linked/up"
out=$(timeout 120 wine 'W:\copytree.exe' 'W:\linked' 'W:\out' 2>/dev/null) || fail "a source linking above the destination: $out"
echo "${out//$'\r'/}" | grep -q '^files_total=1 files_copied=1 errors=0 ' || fail "a source linking above the destination: $out"
[ ! -e "$work/out/up" ] || fail "the link above the destination was copied"

# A destination already holding someone else's links, named like what is
# copied (a folder link for Mail, a hard link to a read-only file for
# prefs.js): nothing is written through either, what they lead to keeps its
# contents and attributes, and the rest is copied.
mkdir -p "$work/planted/Local Folders" "$work/target"
printf theirs >"$work/planted/Local Folders/Inbox"
printf theirs >"$work/planted/prefs.js"
chmod 444 "$work/planted/prefs.js"
ln -s ../planted "$work/target/Mail"
ln "$work/planted/prefs.js" "$work/target/prefs.js"
out=$(timeout 120 wine 'W:\copytree.exe' 'W:\profile' 'W:\target' 2>&1) && rc=0 || rc=$?
[ "$rc" = 1 ] || fail "a destination holding links: exited $rc: $out"
[ "$(cat "$work/planted/Local Folders/Inbox")" = theirs ] || fail "a file behind a planted folder link was written"
[ "$(cat "$work/planted/prefs.js")" = theirs ] || fail "a file with a planted hard link was written"
[ "$(stat -c %a "$work/planted/prefs.js")" = 444 ] || fail "a file with a planted hard link lost its read-only mode"
[ "$(echo "$out" | grep -c 'not written through')" = 2 ] || fail "the two links are not both named: $out"
[ -d "$work/target/ImapMail" ] || fail "the rest of the profile was not copied"

# The same profile copied somewhere else is still copied.
mkdir -p "$work/elsewhere"
out=$(timeout 120 wine 'W:\copytree.exe' 'W:\profile' 'W:\elsewhere' 2>/dev/null) || fail "a plain copy: $out"
diff -r "$work/profile" "$work/elsewhere" || fail "the plain copy differs"
sealed || fail "the prefix has drive Z: after the runs"
echo PASS
