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
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$small" ] && { umount "$small" 2>/dev/null; rmdir "$small" 2>/dev/null; }
  rm -f "$WINEPREFIX/dosdevices/d:"
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

# 1: a mailbox held open by a client from another folder: the copy stops short.
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
kill "$locker_pid" 2>/dev/null
wait "$locker_pid" 2>/dev/null
sleep 1

# 0: the retry over the unfinished copy completes exactly; no relaunch without /RUN.
before_launches=$(launches)
expect_run 0 'C:\Mail Data\Profiles' "the retry" /S /D=C:\\Mail Data
check "every file arrives byte-identical" diff -r "$old_profile" "$drive_c/Mail Data/Profiles"
check "the old data stays in place" test -f "$old_profile/Mail/Local Folders/Inbox"
check "no relaunch without /RUN" test "$(launches)" = "$before_launches"

# /RUN starts the client after a completed migration.
python3 "$here/make_profile.py" "$appdata" 1
expect_run 0 'C:\Run\Profiles' "with /RUN" /S /RUN '/D=C:\Run'
for ((i = 0; i < 100; i++)); do
  [ "$(launches)" -gt "$before_launches" ] && break
  sleep 0.1
done
check "/RUN starts the client with its command line" \
  test "$(tail -n1 "$program/ostramail-launches.txt" 2>/dev/null)" = "-purgecaches -upgradestartup"
wineserver -k >/dev/null 2>&1

echo "SKIP: exit code 3 (a client that cannot be stopped) needs a process this user cannot end; the controller tests cover it"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
