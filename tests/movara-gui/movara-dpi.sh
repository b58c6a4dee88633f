#!/usr/bin/env bash
# Movara at 100 %, 150 % and 200 % display scaling under Xvfb: the window and
# its text grow with the scale (text drawn at the scaled size, not stretched),
# and the first paint stays fast. Screenshots of each scale are kept.
#   movara-dpi.sh <build dir>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# A prefix of its own: the scale is a setting of the whole prefix.
export OSTRA_WINEPREFIX="${OSTRA_WINEPREFIX:-$build/wineprefix}-movara-dpi"
source "$here/../../tools/wine-env"
source "$here/gui-lib.sh"
ostra_prepare_prefix

artifacts="$build/movara-dpi-artifacts${OSTRA_TEST_VARIANT:-}"
rm -rf "$artifacts"
mkdir -p "$artifacts"
cleanup() {
  wineserver -k >/dev/null 2>&1
  movara_stop_xvfb
}
trap cleanup EXIT
movara_start_xvfb || exit 1
echo "display $DISPLAY, prefix $WINEPREFIX"

# No profile: the window shows its read error, which is all these checks need.
appdata=$(movara_appdata_dir)
[ -n "$appdata" ] && rm -rf "$appdata/harbec"
program="$WINEPREFIX/drive_c/Program Files/Ostra Mail"
program_win='C:\Program Files\Ostra Mail'
movara_install_program "$build/bin" "$program"

declare -A title_ink
for dpi in 96 144 192; do
  movara_set_dpi "$dpi"
  (cd "$program" && exec wine "$program_win\\Movara.exe") >/dev/null 2>&1 &
  pid=$!
  win=$(movara_wait_window "$MOVARA_TITLE" 40) || { fail "the window appears at $dpi dpi"; continue; }
  sleep 2
  shot="$artifacts/movara-$dpi.png"
  movara_screenshot "$win" "$shot"
  read -r x y w h < <(movara_geometry "$win")
  want_w=$(( (500 * dpi + 48) / 96 )) want_h=$(( (350 * dpi + 48) / 96 ))
  check "at $dpi dpi the window is ${want_w}x${want_h} (got ${w}x${h})" test "$w" = "$want_w" -a "$h" = "$want_h"
  # The title "数据迁移" (14 pixels at 96 dpi) in the caption row, right of its 220-pixel padding.
  s() { echo $(( ($1 * dpi + 48) / 96 )); }
  title_ink[$dpi]=$(movara_ink_height "$shot" "$(s 210)" 0 "$(s 120)" "$(s 32)")
  echo "title ink height at $dpi dpi: ${title_ink[$dpi]:-none}"
  xdo key --window "$win" alt+F4
  movara_window_gone "$win" 10
  wait "$pid" 2>/dev/null
done
# A move to a monitor of another scale (WM_DPICHANGED, sent by skinview to
# Movara's skin shown at 96 dpi): the window takes the new size and its text
# is drawn again at the new scale.
movara_set_dpi 96
cp -r "$here/../../app/skin" "$WINEPREFIX/drive_c/skin"
out="$artifacts/skinview.txt"
(cd "$WINEPREFIX/drive_c" && exec wine "$build/bin/skinview.exe" 'C:\skin' skin.xml --dpi 192) >"$out" 2>&1 &
pid=$!
for ((i = 0; i < 100; i++)); do
  [ "$(grep -c '^window' "$out" 2>/dev/null)" -ge 2 ] && break
  sleep 0.2
done
read -r _ l t r b < <(grep '^window' "$out" | tail -n1 | tr -d '\r')
check "a move to 192 dpi makes the window 1000x700 ($((${r:-0} - ${l:-0}))x$((${b:-0} - ${t:-0})))" \
  test "$((${r:-0} - ${l:-0}))x$((${b:-0} - ${t:-0}))" = 1000x700
sleep 1
viewer=$(movara_wait_window skinview 10) && movara_screenshot "$viewer" "$artifacts/skinview-moved-to-192.png"
moved=$(movara_ink_height "$artifacts/skinview-moved-to-192.png" 420 0 240 64)
check "after the move the title is drawn at 192 dpi (ink ${moved:-none}, ${title_ink[192]:-none} at 192 dpi)" \
  near "${moved:-0}" "${title_ink[192]:-0}" 1
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null

base=${title_ink[96]:-0}
check "the title has ink at 96 dpi ($base)" test "$base" -gt 8
for dpi in 144 192; do
  got=${title_ink[$dpi]:-0}
  want=$(( (base * dpi + 48) / 96 ))
  check "the title's ink height scales to $dpi dpi ($got, ${want} expected)" near "$got" "$want" 2
done
movara_set_dpi 96

echo "screenshots: $artifacts"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
