#!/usr/bin/env bash
# End-to-end test of Movara.exe under Xvfb, driven with xdo like a person:
# window shape and keys, the start checks, the real folder browser, a full
# migration with a running (stand-in) mail client, and the restart.
#   movara-gui.sh <build dir>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# A prefix of its own beside the one the environment names (the default one,
# or the 64-bit Chinese one).
export OSTRA_WINEPREFIX="${OSTRA_WINEPREFIX:-$build/wineprefix}-movara"
source "$here/../../tools/wine-env"
source "$here/gui-lib.sh"
ostra_prepare_prefix

artifacts="$build/movara-gui-artifacts${OSTRA_TEST_VARIANT:-}"
rm -rf "$artifacts"
mkdir -p "$artifacts"
# Text wider than an edit field is cut at the field's edge.
field_width() { local w; w=$(movara_text_width "$1"); echo $((w > 336 ? 336 : w)); }

cleanup() {
  wineserver -k >/dev/null 2>&1
  movara_stop_xvfb
}
trap cleanup EXIT

movara_start_xvfb || exit 1
# The prefix's desktop belongs to the display it first ran on.
wineserver -k >/dev/null 2>&1
echo "display $DISPLAY, prefix $WINEPREFIX"

appdata_win=$(movara_appdata_win)
appdata=$(winepath -u "$appdata_win" 2>/dev/null)
[ -n "$appdata" ] || { echo "no APPDATA in the prefix"; exit 1; }
program="$WINEPREFIX/drive_c/Program Files/Ostra Mail"
program_win='C:\Program Files\Ostra Mail'
# On 64-bit Windows the mail client is a 64-bit program; a 32-bit one is
# checked as well. On Chinese Windows (code page 936) the destination has a
# Chinese folder name, which profiles.ini holds in that code page.
client32="$build/bin/ostramail.exe"
client=$client32
if ostra_runs_under_wow64 "$build/bin/Movara.exe"; then
  client="$build/bin/x64/ostramail.exe"
elif [ "$WINEARCH" = win64 ]; then
  echo "no WOW64 in this run: Movara is a 64-bit build, so the client is of its own architecture"
fi
dest_parts=(MailData)
ini_encoding=latin-1
case "$LANG" in zh_*) dest_parts=(MailData 邮件数据) ini_encoding=gbk ;; esac
dest_win=$(IFS='\'; echo "C:\\${dest_parts[*]}")
dest="$WINEPREFIX/drive_c/$(IFS=/; echo "${dest_parts[*]}")"
echo "mail client $client, destination $dest_win"
rm -rf "$appdata/harbec" "$WINEPREFIX/drive_c/MailData" "$program"
movara_install_program "$build/bin" "$program"
cp -f "$client" "$program/ostramail.exe"

start_movara() { # sets movara_pid and win
  (cd "$program" && exec wine "$program_win\\Movara.exe") >/dev/null 2>&1 &
  movara_pid=$!
  win=$(movara_wait_window "$MOVARA_TITLE" 40) || { fail "the window appears"; exit 1; }
  sleep 1.5 # first paint
}

# Waits for a process and sets exit_code to its exit code, or to "running".
# Called in the script's own shell, never in $(...): a subshell cannot wait for
# its parent's children, and would answer 127 whenever the parent had not yet
# collected the child's status.
wait_exit() { # <pid> [seconds]
  local i
  for ((i = 0; i < ${2:-10} * 10; i++)); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    exit_code=running
    return
  fi
  wait "$1" && exit_code=0 || exit_code=$?
}

field_ink() { movara_ink_width "$1" "$2" "$3" "${4:-340}" 22; }

old_field() { field_ink "$1" 104 95; }
new_field() { field_ink "$1" 104 153 310; }

# --- 1. No profiles.ini: the window, its refusals and its keys --------------
start_movara
read -r x y w h < <(movara_geometry "$win")
check "window is 500x350 (got ${w}x${h})" test "$w" = 500 -a "$h" = 350
check "window is centred (at $x,$y)" near "$x" 262 2
check_shown "old-directory field shows the read error" "$artifacts/1-no-profile.png" \
  "$(field_width "读取数据出错，请检查Ostra Mail 是否已安装，并初始化")" old_field

movara_click "$win" $MOVARA_OK_BTN
log_text "OkBtn answers that Ostra Mail must be installed" "$artifacts/1-ok-without-profile.png" \
  "请先确认本地Ostra Mail已安装，已运行过"

xdo key --window "$win" Escape
sleep 1
check "Escape does not close the window" xdo getwindowname "$win"

movara_double_click "$win" $MOVARA_CAPTION
sleep 1
read -r x2 y2 w2 h2 < <(movara_geometry "$win")
check "a caption double-click does not maximise (${w2}x${h2})" test "$w2" = 500 -a "$h2" = 350

xdo key --window "$win" alt+F4
movara_window_gone "$win" 10
wait_exit "$movara_pid"
check "Alt+F4 ends the program with exit code 0 ($exit_code)" test "$exit_code" = 0

# --- 2. A full migration with the mail client running ------------------------
python3 "$here/make_profile.py" "$appdata" 24
old_profile="$appdata/harbec/Tarn/Profiles/abcd1234.default"
cp "$appdata/harbec/Tarn/profiles.ini" "$artifacts/profiles.ini.before"
mkdir -p "$dest"
rm -f "$program/ostramail-launches.txt"

(cd "$program" && exec wine "$program_win\\ostramail.exe") >/dev/null 2>&1 &
client_pid=$!
# A second client from another folder keeps one mailbox locked: Movara must
# leave it alone, and the first copy cannot complete.
locker="$WINEPREFIX/drive_c/Locker"
mkdir -p "$locker"
cp -f "$build/bin/ostramail.exe" "$locker/"
(cd "$locker" && exec wine 'C:\Locker\ostramail.exe' --hold-file "$appdata_win\harbec\Tarn\Profiles\abcd1234.default\Mail\Local Folders\Sent") \
  >/dev/null 2>&1 &
locker_pid=$!
sleep 1

start_movara
check_shown "old-directory field shows the profile directory" "$artifacts/2-idle.png" \
  "$(field_width "$appdata_win\\harbec\\Tarn\\Profiles\\abcd1234.default")" old_field

# The path is wider than its field: it loses its middle, and the pointer
# resting on it shows the whole path.
windows_now() { xdo search --onlyvisible --class '.' 2>/dev/null | sort; }
before=$(windows_now)
xdo mousemove --window "$win" 250 95
tip=
for ((i = 0; i < 30; i++)); do
  sleep 0.1
  tip=$(comm -13 <(echo "$before") <(windows_now) | head -n1)
  [ -n "$tip" ] && break
done
tip_w=0
[ -n "$tip" ] && read -r _ _ tip_w _ < <(movara_geometry "$tip") && movara_screenshot "$tip" "$artifacts/2-tooltip.png"
check "resting on the cut path shows it whole in a tooltip wider than the field (${tip_w:-0} pixels)" \
  test "${tip_w:-0}" -gt 350
xdo mousemove --window "$win" 250 220
sleep 0.5

movara_click "$win" $MOVARA_OK_BTN
log_text "OkBtn without a folder answers 请先选择新目录" "$artifacts/2-ok-without-folder.png" "请先选择新目录"

# The keyboard alone: the focus starts on "..." (what comes first), Tab and
# Shift+Tab move a visible mark, Enter opens the folder browser, a second
# top-level window of the program.
mark_at() { test "$(movara_pixel "$1" $2 $3)" = "$MOVARA_FOCUS_MARK"; }
no_mark_at() { ! mark_at "$@"; }
xdo key --window "$win" Tab
sleep 0.5
movara_screenshot "$win" "$artifacts/2-tab-to-ok.png"
check "Tab moves the focus mark from ... to OkBtn" mark_at "$artifacts/2-tab-to-ok.png" $MOVARA_OK_MARK
xdo key --window "$win" shift+Tab
sleep 0.5
movara_screenshot "$win" "$artifacts/2-tab-to-select.png"
check "Shift+Tab moves it back to ..." mark_at "$artifacts/2-tab-to-select.png" $MOVARA_SELECT_MARK
check "OkBtn shows no mark once the focus left it" no_mark_at "$artifacts/2-tab-to-select.png" $MOVARA_OK_MARK
before=$(xdo search --onlyvisible --name '.' 2>/dev/null | sort)
xdo key --window "$win" Return
dialog=
for ((i = 0; i < 100; i++)); do
  dialog=$(comm -13 <(echo "$before") <(xdo search --onlyvisible --name '.' 2>/dev/null | sort) | head -n1)
  [ -n "$dialog" ] && break
  sleep 0.1
done
if [ -z "$dialog" ]; then
  fail "the folder browser opens"
else
  sleep 1
  movara_screenshot "$dialog" "$artifacts/2-folder-browser.png"
  movara_browse_to "$dialog" "${dest_parts[@]}"
  movara_wait_browser_closed "$dialog" "$win" || fail "the folder browser closes"
fi
check_shown "new-directory field shows $dest_win\\Profiles" "$artifacts/2-folder-chosen.png" \
  "$(movara_text_width "$dest_win\\Profiles")" new_field

# With a folder chosen the focus is on the start button; Shift+Tab and Tab
# come back to it and Enter starts the copy.
xdo key --window "$win" shift+Tab
sleep 0.3
xdo key --window "$win" Tab
sleep 0.5
movara_screenshot "$win" "$artifacts/2-focus-on-start.png"
check "after the choice Tab reaches OkBtn with a visible mark" mark_at "$artifacts/2-focus-on-start.png" $MOVARA_OK_MARK
xdo key --window "$win" Return
# The running text is followed by the copy's figures.
running_plain=$(movara_text_width "迁移进行中，请勿关闭")
for ((i = 0; i < 30; i++)); do
  movara_screenshot "$win" "$artifacts/3-copying.png" && running_ink=$(log_ink "$artifacts/3-copying.png")
  [ "${running_ink:-0}" -gt $((running_plain + 60)) ] && break
  sleep 0.2
done
check "copyLog shows the copy running with its figures (ink ${running_ink:-none})" \
  test "${running_ink:-0}" -gt $((running_plain + 60))
run=$(movara_pixel "$artifacts/3-copying.png" ${MOVARA_RUN_BTN})
check "while copying the cancel button is gone and 立即运行 is disabled (#$run)" \
  python3 -c "import sys; c=int('$run' or '0',16); r,g,b=c>>16,(c>>8)&255,c&255; sys.exit(0 if min(r,g,b)>200 else 1)"
wait_exit "$client_pid" 25
check "the running mail client is terminated ($exit_code)" test "$exit_code" = 0

ini="$appdata/harbec/Tarn/profiles.ini"
# The copy ends short of the locked mailbox: nothing is redirected, and the
# user can try again.
for ((i = 0; i < 60; i++)); do
  sleep 0.5
  movara_screenshot "$win" "$artifacts/3-incomplete.png" || continue
  [ "$(movara_pixel "$artifacts/3-incomplete.png" ${MOVARA_CANCEL_BTN})" = "FFFFFF" ] && break
done
log_text "an incomplete copy says so in copyLog" "$artifacts/3-incomplete.png" \
  '迁移未完成，请重新迁移。日志：%%LOCALAPPDATA%%\Ostra Mail\Movara' # %% : ImageMagick's escape
check "an incomplete copy leaves profiles.ini untouched" cmp -s "$ini" "$artifacts/profiles.ini.before"
check "the client from another folder was left running" kill -0 "$locker_pid"
kill "$locker_pid" 2>/dev/null
wait "$locker_pid" 2>/dev/null
# The client was started again meanwhile, this time of Movara's own
# architecture (32-bit where the first one was 64-bit): the retry stops it too.
cp --remove-destination "$client32" "$program/ostramail.exe"
launches=$(wc -l <"$program/ostramail-launches.txt")
(cd "$program" && exec wine "$program_win\\ostramail.exe") >/dev/null 2>&1 &
client_pid=$!
# It runs once it has written its launch record.
for ((i = 0; i < 100; i++)); do
  [ "$(wc -l <"$program/ostramail-launches.txt")" -gt "$launches" ] && break
  sleep 0.1
done
sleep 0.5
movara_click "$win" $MOVARA_OK_BTN
for ((i = 0; i < 250; i++)); do
  kill -0 "$client_pid" 2>/dev/null || break
  sleep 0.1
done
ended() { ! kill -0 "$1" 2>/dev/null; }
check "the mail client started again is terminated" ended "$client_pid"

for ((i = 0; i < 240; i++)); do
  grep -q '^IsRelative=0' "$ini" && break
  sleep 0.5
done
sleep 1
movara_screenshot "$win" "$artifacts/4-finished.png"
bar=$(movara_pixel "$artifacts/4-finished.png" ${MOVARA_BAR_END})
check "the progress bar reaches 100 (end pixel #$bar is green)" \
  python3 -c "import sys; c=int('$bar' or '0',16); r,g,b=c>>16,(c>>8)&255,c&255; sys.exit(0 if g>r+40 and g>b+40 else 1)"
log_text "copyLog reports the completed migration" "$artifacts/4-finished.png" "迁移已完成，旧数据未删除，请自行确认后删除"

check "every file arrives byte-identical" diff -r "$old_profile" "$dest/Profiles"
check "the old data stays in place" test -f "$old_profile/Mail/Local Folders/Inbox"
cp "$ini" "$artifacts/profiles.ini.after"
check "profiles.ini points Profile0 at the copy and keeps the rest" python3 - "$artifacts/profiles.ini.before" "$ini" \
  "$dest_win\\Profiles" "$ini_encoding" <<'PY'
import configparser, sys
def load(path):
    c = configparser.ConfigParser(interpolation=None, strict=False)
    c.optionxform = str
    c.read(path, encoding=sys.argv[4])
    return {s: dict(c[s]) for s in c.sections()}
before, after = load(sys.argv[1]), load(sys.argv[2])
expected = {s: dict(v) for s, v in before.items()}
expected["Profile0"].update(Path=sys.argv[3], IsRelative="0", Default="1")
if after != expected:
    print("expected", expected, "\ngot     ", after)
    sys.exit(1)
PY

launches=$(wc -l <"$program/ostramail-launches.txt")
movara_click "$win" $MOVARA_RUN_BTN
wait_exit "$movara_pid" 15
check "立即运行 ends the program with exit code 0 ($exit_code)" test "$exit_code" = 0
for ((i = 0; i < 50; i++)); do
  [ "$(wc -l <"$program/ostramail-launches.txt")" -gt "$launches" ] && break
  sleep 0.1
done
check "the mail client is started with -purgecaches -upgradestartup" \
  test "$(tail -n1 "$program/ostramail-launches.txt" 2>/dev/null)" = "-purgecaches -upgradestartup"

echo "screenshots and files: $artifacts"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
