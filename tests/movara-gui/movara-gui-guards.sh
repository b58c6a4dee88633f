#!/usr/bin/env bash
# Movara under a careless user, through its window under Xvfb and the real
# folder browser, in a Wine prefix of its own without a Z: drive: a destination
# holding the old profile, one holding someone's data and one on a drive too
# small are refused with nothing copied; during a copy "..." opens nothing and
# the copy's figures show; an incomplete run leaves a log naming the locked
# file; closing during a copy asks, and a second Movara never runs beside the
# first; the retry over it completes exactly.
#   movara-gui-guards.sh <build dir>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export OSTRA_WINEPREFIX="$build/wineprefix-movara-guards" OSTRA_WINE_NO_Z=1
source "$here/../../tools/wine-env"
source "$here/gui-lib.sh"
ostra_prepare_prefix

artifacts="$build/movara-gui-guards-artifacts"
rm -rf "$artifacts"
mkdir -p "$artifacts"

small=
cleanup() {
  wineserver -k >/dev/null 2>&1
  movara_stop_xvfb
  [ -n "$small" ] && { umount "$small" 2>/dev/null; rmdir "$small" 2>/dev/null; }
}
trap cleanup EXIT

movara_start_xvfb || exit 1
wineserver -k >/dev/null 2>&1
echo "display $DISPLAY, prefix $WINEPREFIX"

appdata_win=$(movara_appdata_win)
appdata=$(winepath -u "$appdata_win" 2>/dev/null)
local_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
local_dir=$(winepath -u "$local_win" 2>/dev/null)
logs="${local_dir%/}/Ostra Mail/Movara"
[ -n "$appdata" ] && [ -n "$local_dir" ] || { echo "no APPDATA or LOCALAPPDATA in the prefix"; exit 1; }
drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Ostra Mail"
program_win='C:\Program Files\Ostra Mail'
ini="$appdata/harbec/Tarn/profiles.ini"
mountpoint -q "$drive_c/SmallDrive" 2>/dev/null && umount "$drive_c/SmallDrive"
rm -rf "$appdata/harbec" "$drive_c/SmallDrive" "$drive_c/OldMail" "$drive_c/Occupied" "$drive_c/MailData" "$logs" "$program"
movara_install_program "$build/bin" "$program"

# The profile lives at an absolute path the folder browser reaches by name:
# C:\OldMail\Profiles\abcd1234.default, beside another profile.
python3 "$here/make_profile.py" "$appdata" 4
mkdir -p "$drive_c/OldMail/Profiles"
mv "$appdata/harbec/Tarn/Profiles/abcd1234.default" "$appdata/harbec/Tarn/Profiles/w0rk5678.work" \
  "$drive_c/OldMail/Profiles/"
old_profile="$drive_c/OldMail/Profiles/abcd1234.default"
sed -i 's#^Path=Profiles/abcd1234.default#Path=C:\\OldMail\\Profiles\\abcd1234.default#; /^Name=default/{n;s/^IsRelative=1/IsRelative=0/}' "$ini"
# Thousands of small cache files keep a copy going for a while (long enough
# to ask a question during it).
python3 - "$old_profile/cache2/doomed" <<'PY'
import os, random, sys
rng = random.Random(7)
for i in range(20000):
    folder = os.path.join(sys.argv[1], f"{i % 60:02d}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"{i:05d}.bin"), "wb") as f:
        f.write(rng.randbytes(100 + rng.randrange(1500)))
PY
cp "$ini" "$artifacts/profiles.ini.before"
listing() { (cd "$1" && find . | sort); }
listing "$drive_c/OldMail/Profiles" >"$artifacts/oldmail.before"

start_movara() { # sets movara_pid and win
  (cd "$program" && exec wine "$program_win\\Movara.exe") >/dev/null 2>&1 &
  movara_pid=$!
  win=$(movara_wait_window "$MOVARA_TITLE" 40) || { fail "the window appears"; exit 1; }
  sleep 1.5
}
new_field() { movara_ink_width "$1" 104 153 310 22; }
# Runs the command and prints the id of the window it opens, if one does.
new_window_after() { # <seconds> <command...>
  local seconds=$1 before i dialog
  shift
  before=$(xdo search --onlyvisible --name '.' 2>/dev/null | sort)
  "$@"
  for ((i = 0; i < seconds * 10; i++)); do
    dialog=$(comm -13 <(echo "$before") <(xdo search --onlyvisible --name '.' 2>/dev/null | sort) | head -n1)
    [ -n "$dialog" ] && { echo "$dialog"; return 0; }
    sleep 0.1
  done
  return 1
}
# Clicks "..." and prints the id of the window that opens, if one does.
open_browser() { new_window_after "${1:-10}" movara_click "$win" $MOVARA_SELECT_DIR; }
# Waits until the copy's figures follow the running text.
wait_figures() { # <screenshot>
  local plain i shown
  plain=$(movara_text_width "迁移进行中，请勿关闭")
  for ((i = 0; i < 150; i++)); do
    movara_screenshot "$win" "$1" && shown=$(log_ink "$1")
    [ "${shown:-0}" -gt $((plain + 60)) ] && return 0
    sleep 0.2
  done
  return 1
}
choose() { # <folder name on C:>...
  local dialog
  dialog=$(open_browser) || { fail "the folder browser opens"; return 1; }
  sleep 1
  movara_browse_to "$dialog" "$@"
  movara_wait_browser_closed "$dialog" "$win" || fail "the folder browser closes"
}
nothing_changed() { # <what>
  check "$1: profiles.ini unchanged" cmp -s "$ini" "$artifacts/profiles.ini.before"
  check "$1: the old profile's folder unchanged" cmp -s <(listing "$drive_c/OldMail/Profiles") "$artifacts/oldmail.before"
}

start_movara

# 1. The folder holding the old profile: its Profiles is where the profile lives.
choose OldMail
check_shown "the field shows C:\\OldMail\\Profiles" "$artifacts/1-chosen.png" \
  "$(movara_text_width 'C:\OldMail\Profiles')" new_field
movara_click "$win" $MOVARA_OK_BTN
log_text "a destination holding the old profile is refused" "$artifacts/1-refused.png" "新目录不能包含旧目录，请重新选择"
nothing_changed "holding the old profile"

# 4. A Profiles folder that holds someone's data.
mkdir -p "$drive_c/Occupied/Profiles"
echo keep >"$drive_c/Occupied/Profiles/someone.txt"
choose Occupied
movara_click "$win" $MOVARA_OK_BTN
log_text "a destination with someone's data is refused" "$artifacts/4-refused.png" "新目录中已有数据，请选择空目录"
check "someone's data is left alone" test "$(ls -A "$drive_c/Occupied/Profiles")" = someone.txt
nothing_changed "someone's data"

# A volume too small: a 32 MiB tmpfs mounted on C:\SmallDrive (the folder
# browser does not list a drive letter mapped to it).
small="$drive_c/SmallDrive"
mkdir -p "$small"
if mount -t tmpfs -o size=32m tmpfs "$small" 2>/dev/null; then
  choose SmallDrive
  movara_click "$win" $MOVARA_OK_BTN
  expected=$(python3 - "$old_profile" "$small" <<'PY'
import os, sys
total = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(sys.argv[1]) for f in fs)
st = os.statvfs(sys.argv[2])
free = st.f_bavail * st.f_frsize
need = total + max(total // 100, 64 << 20)
def size(b):
    if b < 1024:
        return f"{b} B"
    v, units = b / 1024, ["KB", "MB", "GB", "TB"]
    i = 0
    while v >= 1023.95 and i + 1 < len(units):
        v /= 1024
        i += 1
    return f"{v:.1f} {units[i]}"
print(f"目标磁盘空间不足：需要 {size(need)}，可用 {size(free)}")
PY
)
  log_text "a drive too small gives the sizes" "$artifacts/space-refused.png" "$expected"
  check "nothing is written to the small drive" test -z "$(ls -A "$small")"
  nothing_changed "a drive too small"
else
  echo "SKIP: the small-drive case (mounting a tmpfs needs root here)"
  rmdir "$small"
  small=
fi

# An incomplete run: a client from another folder holds a mailbox open.
locker="$drive_c/Locker"
mkdir -p "$locker"
cp -f "$build/bin/ostramail.exe" "$locker/"
(cd "$locker" && exec wine 'C:\Locker\ostramail.exe' --hold-file 'C:\OldMail\Profiles\abcd1234.default\Mail\Local Folders\Sent') \
  >/dev/null 2>&1 &
locker_pid=$!
sleep 2
mkdir -p "$drive_c/MailData"
choose MailData
movara_click "$win" $MOVARA_OK_BTN
for ((i = 0; i < 600; i++)); do
  sleep 0.5
  movara_screenshot "$win" "$artifacts/incomplete.png" || continue
  [ "$(movara_pixel "$artifacts/incomplete.png" ${MOVARA_CANCEL_BTN})" = "FFFFFF" ] && break
done
log_text "an incomplete run says where its log is" "$artifacts/incomplete.png" \
  '迁移未完成，请重新迁移。日志：%%LOCALAPPDATA%%\Ostra Mail\Movara' # %% : ImageMagick's escape
log=$(ls -t "$logs"/migration-*.log 2>/dev/null | head -n1)
check "the log exists" test -f "$log"
grep -a "失败：" "$log" | grep -q 'Mail\\Local Folders\\Sent（错误 32'
check "the log names the locked file with its error code" test $? = 0
check "every other file is copied past the locked one" \
  diff -r -x Sent -x .movara-unfinished "$old_profile" "$drive_c/MailData/Profiles"
nothing_changed "an incomplete run"
kill "$locker_pid" 2>/dev/null
wait "$locker_pid" 2>/dev/null
sleep 1

# Closing during a copy asks first. "No" goes on; meanwhile a second Movara
# only brings this one forward, or with /S exits 2. "Yes" stops the copy,
# redirects nothing and ends the log with the user's end.
movara_click "$win" $MOVARA_OK_BTN
check "a copy starts" wait_figures "$artifacts/abort-copying.png"
if question=$(new_window_after 5 xdo key --window "$win" alt+F4); then
  check "the question is Movara's" test "$(xdo getwindowname "$question")" = "$MOVARA_TITLE"
  movara_screenshot "$question" "$artifacts/abort-question.png"
  xdo key --window "$question" Return # "No" is the default answer
  movara_window_gone "$question" 5
  check "\"no\" keeps the window" xdo getwindowname "$win"
  code=$( (cd "$program" && wine "$program_win\\Movara.exe" /S '/D=C:\Elsewhere' >/dev/null 2>&1); echo $?)
  check "a second Movara with /S exits 2 while one copies (got $code)" test "$code" = 2
  check "the second Movara touched no folder" test ! -e "$drive_c/Elsewhere"
  (cd "$program" && timeout 60 wine "$program_win\\Movara.exe" >/dev/null 2>&1)
  code=$?
  check "a second window start ends at once (exit $code)" test "$code" = 0
  check "one Movara window" test "$(xdo search --onlyvisible --name "^$MOVARA_TITLE\$" | wc -l)" = 1
  if question=$(new_window_after 5 xdo key --window "$win" alt+F4); then
    xdo key --window "$question" y
    check "\"yes\" ends the program" movara_window_gone "$win" 30
  else
    fail "the question comes again"
  fi
else
  fail "Alt+F4 during a copy asks before closing"
fi
ended=$(grep -al "用户中止" "$logs"/migration-*.log | head -n1)
check "a log records the user's end" test -n "$ended"
[ -n "$ended" ] && check "the user's end is the log's last line" \
  bash -c "tr -d '\\r' <\"\$1\" | grep -av '^\$' | tail -n1 | grep -aq '^结果：用户中止'" _ "$ended"
nothing_changed "a copy the user ended"
start_movara
choose MailData

# The retry: "..." opens nothing while it copies, the figures follow the text.
movara_click "$win" $MOVARA_OK_BTN
# The window is busy while the tree is counted; the figures come with the first sample.
check "the figures follow the running text" wait_figures "$artifacts/copying.png"
if dialog=$(open_browser 4); then
  fail "a click on \"...\" during the copy opens a window"
  xdo key --window "$dialog" Escape
else
  pass "a click on \"...\" during the copy opens nothing"
fi
check_shown "the field keeps C:\\MailData\\Profiles" "$artifacts/copying-field.png" \
  "$(movara_text_width 'C:\MailData\Profiles')" new_field

for ((i = 0; i < 1200; i++)); do
  grep -q '^IsRelative=0' "$ini" && grep -q 'MailData' "$ini" && break
  sleep 0.5
done
sleep 1
log_text "the retry completes" "$artifacts/finished.png" "迁移已完成，旧数据未删除，请自行确认后删除"
check "every file arrives byte-identical, and no mark is left" diff -r "$old_profile" "$drive_c/MailData/Profiles"
tr -d '\r' <"$ini" | grep -qxF 'Path=C:\MailData\Profiles'
check "profiles.ini points at the copy" test $? = 0

xdo key --window "$win" alt+F4
movara_window_gone "$win" 10
echo "screenshots and files: $artifacts"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
