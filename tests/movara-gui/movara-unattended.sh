#!/usr/bin/env bash
# Movara.exe /S end to end: real unattended runs, one per exit code, in a Wine
# prefix of its own whose Z: drive is removed (the runs create, copy and
# rewrite; nothing outside the prefix and the scratch drives is reachable).
# After each run: the exit code, profiles.ini (rewritten only for 0), the copy
# and the migration log.
#   movara-unattended.sh <build dir>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export OSTRA_WINEPREFIX="$build/wineprefix-movara-unattended" OSTRA_WINE_NO_Z=1
source "$here/../../tools/wine-env"
source "$here/gui-lib.sh"
ostra_prepare_prefix


small=
scratch=
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$small" ] && { umount "$small" 2>/dev/null; rmdir "$small" 2>/dev/null; }
  rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/g:" "$WINEPREFIX/dosdevices/k:"
  [ -n "$scratch" ] && rm -rf "$scratch"
}
trap cleanup EXIT
wineserver -k >/dev/null 2>&1

appdata=$(movara_appdata_dir)
local_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
local_dir=$(winepath -u "$local_win" 2>/dev/null)
logs="${local_dir%/}/Ostra Mail/Movara"
[ -n "$appdata" ] && [ -n "$local_dir" ] || { echo "no APPDATA or LOCALAPPDATA in the prefix"; exit 1; }
drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Ostra Mail"
program_win='C:\Program Files\Ostra Mail'
ini="$appdata/harbec/Tarn/profiles.ini"
old_profile="$appdata/harbec/Tarn/Profiles/abcd1234.default"
rm -rf "$appdata/harbec" "$drive_c/Mail Data" "$drive_c/Occupied" "$drive_c/Run" "$logs" "$program"
movara_install_program "$build/bin" "$program"

movara() { # <arguments...>: runs Movara.exe, prints its exit code
  (cd "$program" && wine "$program_win\\Movara.exe" "$@" >/dev/null 2>&1)
  echo $?
}
log_count() { ls "$logs"/migration-*.log 2>/dev/null | wc -l; }
newest_log() { ls -t "$logs"/migration-*.log 2>/dev/null | head -n1; }
launches() { [ -f "$program/ostramail-launches.txt" ] && wc -l <"$program/ostramail-launches.txt" || echo 0; }
# A run: its exit code, one more log file, profiles.ini as expected.
expect_run() { # <expected code> <ini: same|rewritten> <description> <arguments...>
  local want=$1 ini_state=$2 what=$3 before_logs code
  shift 3
  before_logs=$(log_count)
  cp "$ini" "$build/movara-unattended-ini.before" 2>/dev/null || : >"$build/movara-unattended-ini.before"
  code=$(movara "$@")
  check "$what: exit code $want (got $code)" test "$code" = "$want"
  check "$what: a log is written" test "$(log_count)" -gt "$before_logs"
  if [ "$ini_state" = same ]; then
    check "$what: profiles.ini unchanged" cmp -s "$ini" "$build/movara-unattended-ini.before"
  else
    tr -d '\r' <"$ini" | grep -qxF "Path=$ini_state"
    check "$what: profiles.ini points at the copy" test $? = 0
  fi
}

# 5: no profile at all.
: >"$build/movara-unattended-ini.before"
mkdir -p "$appdata/harbec/Tarn"
: >"$ini"
expect_run 5 same "no profile" /S '/D=C:\Mail Data'
check "no profile: nothing created" test ! -e "$drive_c/Mail Data"

python3 "$here/make_profile.py" "$appdata" 6
# 2: bad arguments, a destination holding the profile, one holding someone's data.
expect_run 2 same "/S without /D=" /S
expect_run 2 same "a relative /D=" /S '/D=Mail Data'
mkdir -p "$drive_c/Occupied/Profiles"
echo keep >"$drive_c/Occupied/Profiles/someone.txt"
expect_run 2 same "a destination with someone's data" /S '/D=C:\Occupied'
check "someone's data is left alone" test "$(ls -A "$drive_c/Occupied/Profiles")" = someone.txt
tarn_win="$(movara_appdata_win)\\harbec\\Tarn"
expect_run 2 same "a destination holding the old profile" /S "/D=$tarn_win"
check "the old profile's folder gets no loose files" \
  test "$(ls -A "$appdata/harbec/Tarn/Profiles" | tr '\n' ' ')" = "abcd1234.default w0rk5678.work "
grep -aq "新目录不能包含旧目录" "$(newest_log)"
check "the log names the refusal" test $? = 0

# Other names of the old profile. G: shows the same folder as C:, so a
# destination inside the profile through G: is inside it; and a profile folder
# that is a link to a folder on drive K: is that folder.
no_drive_z() { test ! -e "$WINEPREFIX/dosdevices/z:" -a ! -L "$WINEPREFIX/dosdevices/z:"; }
check "the prefix has no drive Z:" no_drive_z
ln -sfn ../drive_c "$WINEPREFIX/dosdevices/g:"
appdata_win=$(movara_appdata_win)
expect_run 2 same "a destination inside the profile through a second drive letter" \
  /S "/D=G:${appdata_win:2}\\harbec\\Tarn\\Profiles\\abcd1234.default\\New"
check "nothing is made inside the old profile" test ! -e "$old_profile/New"
grep -aq "新目录不能位于旧目录之内" "$(newest_log)"
check "the log names the refusal" test $? = 0
rm -f "$WINEPREFIX/dosdevices/g:"
scratch=$(mktemp -d "$build/movara-identity.XXXXXX")
mv "$old_profile" "$scratch/real"
ln -s "$scratch/real" "$old_profile"
ln -sfn "$scratch" "$WINEPREFIX/dosdevices/k:"
expect_run 2 same "a destination in the folder the profile links to" /S '/D=K:\real'
check "nothing is made in the linked profile" test ! -e "$scratch/real/Profiles"
rm -f "$WINEPREFIX/dosdevices/k:" "$old_profile"
mv "$scratch/real" "$old_profile"
check "the prefix still has no drive Z:" no_drive_z

# 4: a destination drive too small (a 32 MiB tmpfs as D:).
small=$(mktemp -d)
if mount -t tmpfs -o size=32m tmpfs "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/d:"
  expect_run 4 same "a destination drive too small" /S '/D=D:\'
  check "nothing is written to the small drive" test -z "$(ls -A "$small")"
  grep -aq "目标磁盘空间不足" "$(newest_log)"
  check "the log gives the sizes" test $? = 0
  rm -f "$WINEPREFIX/dosdevices/d:"
else
  echo "SKIP: exit code 4 (mounting a tmpfs needs root here)"
  rmdir "$small"
  small=
fi

# 1: a mailbox held open by a client from another folder: everything else is
# copied, the run stays incomplete.
locker="$drive_c/Locker"
mkdir -p "$locker"
cp -f "$build/bin/ostramail.exe" "$locker/"
(cd "$locker" && exec wine 'C:\Locker\ostramail.exe' --hold-file \
  "$(movara_appdata_win)\\harbec\\Tarn\\Profiles\\abcd1234.default\\Mail\\Local Folders\\Sent") >/dev/null 2>&1 &
locker_pid=$!
sleep 3
expect_run 1 same "a locked mailbox" /S '/D=C:\Mail Data'
log=$(newest_log)
check "the log is UTF-8 with a BOM" test "$(head -c3 "$log" | od -An -tx1 | tr -d ' ')" = efbbbf
grep -a "失败：" "$log" | grep -q 'Mail\\Local Folders\\Sent'
check "the log names the locked file with its error code (32)" test $? = 0
grep -a "失败：.*Sent" "$log" | grep -q "错误 32"
check "the locked file's error is the sharing violation" test $? = 0
check "every other file is copied past the locked one" \
  diff -r -x Sent -x .movara-unfinished "$old_profile" "$drive_c/Mail Data/Profiles"
kill "$locker_pid" 2>/dev/null
wait "$locker_pid" 2>/dev/null
sleep 1

# 0: the retry over the unfinished copy completes exactly; no relaunch without /RUN.
before_launches=$(launches)
expect_run 0 'C:\Mail Data\Profiles' "the retry" /S /D=C:\\Mail Data
check "every file arrives byte-identical" diff -r "$old_profile" "$drive_c/Mail Data/Profiles"
check "the old data stays in place" test -f "$old_profile/Mail/Local Folders/Inbox"
check "no relaunch without /RUN" test "$(launches)" = "$before_launches"
grep -aq "^已读回校验：" "$(newest_log)"
check "the copy was read back and compared before the redirect" test $? = 0

# /RUN starts the client after a completed migration.
python3 "$here/make_profile.py" "$appdata" 1
expect_run 0 'C:\Run\Profiles' "with /RUN and /NOVERIFY" /S /RUN /NOVERIFY '/D=C:\Run'
for ((i = 0; i < 100; i++)); do
  [ "$(launches)" -gt "$before_launches" ] && break
  sleep 0.1
done
grep -aq "复制后读回校验：否（/NOVERIFY）" "$(newest_log)"
check "/NOVERIFY is in the log" test $? = 0
check "/RUN starts the client with its command line" \
  test "$(tail -n1 "$program/ostramail-launches.txt" 2>/dev/null)" = "-purgecaches -upgradestartup"
wineserver -k >/dev/null 2>&1

# Killed at any moment (kill -9: a crash, a forced log-off, a power cut), a
# migration leaves profiles.ini byte for byte as it was, or pointing at a
# complete copy; and a plain retry always finishes.
python3 "$here/make_profile.py" "$appdata" 200
cp "$ini" "$build/movara-unattended-ini.orig"
rm -rf "$drive_c/Killed"
state=old
midcopy=0
for delay in 1.0 1.3 1.6 1.9 2.2 2.5 2.8 3.2 3.6 4.0 5.0 6.0; do
  (cd "$program" && exec wine "$program_win\\Movara.exe" /S '/D=C:\Killed') >/dev/null 2>&1 &
  runner=$!
  sleep "$delay"
  pkill -9 -f 'Movara\.exe' 2>/dev/null
  wait "$runner" 2>/dev/null
  wineserver -w 2>/dev/null
  if cmp -s "$ini" "$build/movara-unattended-ini.orig"; then
    [ -f "$drive_c/Killed/Profiles/.movara-unfinished" ] && midcopy=$((midcopy + 1))
    continue
  fi
  if tr -d '\r' <"$ini" | grep -qxF 'Path=C:\Killed\Profiles' &&
    diff -rq -x .movara-unfinished "$old_profile" "$drive_c/Killed/Profiles" >/dev/null; then
    state=new
    pass "killed after $delay s: profiles.ini points at a complete copy"
    break
  fi
  fail "killed after $delay s: profiles.ini is neither the old file nor a finished move"
  state=broken
  break
done
[ "$state" = broken ] || pass "every kill left profiles.ini whole (the old file or a finished move; $midcopy kills during the copy)"
if [ "$state" = old ]; then
  expect_run 0 'C:\Killed\Profiles' "the retry after the kills" /S '/D=C:\Killed'
else
  # A refused start still clears a mark a kill left behind in the profile now in use.
  expect_run 2 same "a start after the move" /S '/D=C:\Occupied'
fi
check "after the kills, the copy is exact" diff -r "$old_profile" "$drive_c/Killed/Profiles"
check "the backup is the old profiles.ini" cmp -s "$ini.movara-backup" "$build/movara-unattended-ini.orig"

# A retry over an unfinished copy, after the profile changed: what the
# profile lost since is removed from the copy, a torn file is written whole,
# and a link planted in the copy is never followed (its target's files stay;
# under Wine the link itself cannot be told from a folder, so the run stays
# incomplete until it is gone).
python3 "$here/make_profile.py" "$appdata" 20
rm -rf "$drive_c/Mirror" "$drive_c/Outside"
mkdir -p "$drive_c/Mirror" "$drive_c/Outside"
cp -a "$old_profile" "$drive_c/Mirror/Profiles"
printf '%s' "$(movara_appdata_win)\\harbec\\Tarn\\Profiles\\abcd1234.default" >"$drive_c/Mirror/Profiles/.movara-unfinished"
truncate -s 1000 "$drive_c/Mirror/Profiles/Mail/Local Folders/Inbox"
rm -rf "$old_profile/ImapMail" "$old_profile/Mail/Local Folders/Trash"
echo theirs >"$drive_c/Outside/keep.txt"
ln -s "$drive_c/Outside" "$drive_c/Mirror/Profiles/planted"
expect_run 1 same "a retry over a copy holding a planted link" /S '/D=C:\Mirror'
check "the link's target keeps its files" test "$(cat "$drive_c/Outside/keep.txt" 2>/dev/null)" = theirs
grep -a "失败：" "$(newest_log)" | grep -q 'Mirror\\Profiles\\planted'
check "the log names the link" test $? = 0
rm -f "$drive_c/Mirror/Profiles/planted"
expect_run 0 'C:\Mirror\Profiles' "the retry once the link is gone" /S '/D=C:\Mirror'
check "the copy is exactly the profile as it is now" diff -r "$old_profile" "$drive_c/Mirror/Profiles"
grep -aq "已从新目录删除旧目录中已不存在的项目" "$(newest_log)"
check "the log counts what was removed" test $? = 0

echo "SKIP: exit code 3 (a client that cannot be stopped) needs a process this user cannot end; the controller tests cover it"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
