#!/usr/bin/env bash
# Shows a small skin through skinview on a private Xvfb display and checks the
# screen at chosen pixels: nine-grid corners, a button's normal, hot and pushed
# images, the progress bar's fill edge, text, clicks and keys, dragging by the
# caption, closing by the close button and by Alt+F4, and the failure message
# box with exit code 1 for a markup that cannot be loaded.
set -euo pipefail
build="$1"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export OSTRA_WINEPREFIX="$build/wineprefix-skinview"
source "$here/../../tools/wine-env"
ostra_prepare_prefix

work="$build/skinkit-render"
rm -rf "$work"
mkdir -p "$work/skin"
cp "$here/skin.xml" "$work/skin/"
cd "$work"

# Images: a frame whose four corners have their own colours, plain buttons, a track and a fill.
convert -size 30x30 xc:white -fill red -draw "rectangle 0,0 9,9" -fill lime -draw "rectangle 20,0 29,9" \
  -fill blue -draw "rectangle 0,20 9,29" -fill yellow -draw "rectangle 20,20 29,29" skin/frame.png
convert -size 8x8 xc:red skin/red.png
convert -size 8x8 xc:lime skin/green.png
convert -size 8x8 xc:blue skin/blue.png
convert -size 16x16 xc:black skin/close.png
convert -size 40x6 "xc:#808080" skin/track.png
convert -size 40x6 xc:magenta skin/fill.png

fail=0
check() { # name expected actual
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected $2, got $3"; fail=1; fi
}
shot() { import -window root "$work/$1.png"; }
pixel() { # file x y -> r,g,b
  convert "$work/$1.png" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 2>/dev/null &
xvfb=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
viewer=""
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
# The prefix's desktop belongs to the display it last ran on.
wineserver -k 2>/dev/null || true

wine "$build/bin/skinview.exe" skin skin.xml --pos 100,100 > "$work/out.txt" 2>"$work/err.txt" &
viewer=$!
for _ in $(seq 300); do grep -q "notify windowinit" "$work/out.txt" 2>/dev/null && break; sleep 0.1; done
check "window created" "window 100 100 400 300" "$(grep '^window' "$work/out.txt" | tr -d '\r')"
sleep 1
xdotool mousemove 5 5
sleep 0.5
shot normal

# Frame corners (window at 100,100, 300 x 200) and the stretched centre.
check "top-left corner" "255,0,0" "$(pixel normal 102 102)"
check "top-right corner" "0,255,0" "$(pixel normal 397 102)"
check "bottom-left corner" "0,0,255" "$(pixel normal 102 297)"
check "bottom-right corner" "255,255,0" "$(pixel normal 397 297)"
check "centre" "255,255,255" "$(pixel normal 250 180)"
check "button normal" "255,0,0" "$(pixel normal 123 242)"
# Progress: 260 px wide from x 20; 37 % fills 96 px.
check "fill start" "255,0,255" "$(pixel normal 122 277)"
check "fill edge inside" "255,0,255" "$(pixel normal 215 277)"
check "track after fill" "128,128,128" "$(pixel normal 217 277)"
# The title text: dark pixels inside the title label's area.
dark=$(convert "$work/normal.png" -crop 120x30+120+100 -colorspace gray -threshold 40% -format "%[fx:int(w*h*(1-mean))]" info:)
if [ "$dark" -gt 20 ]; then echo "ok   title text ($dark dark pixels)"; else echo "FAIL title text: $dark dark pixels"; fail=1; fi

xdotool mousemove 130 245
sleep 0.5
shot hot
check "button hot" "0,255,0" "$(pixel hot 123 242)"
xdotool mousedown 1
sleep 0.5
shot pushed
check "button pushed" "0,0,255" "$(pixel pushed 123 242)"
xdotool mouseup 1
sleep 0.5
check "click notified" "1" "$(grep -c '^notify click btn' "$work/out.txt" | tr -d '\r')"

# Pressed on the button, released outside: no second click.
xdotool mousemove 130 245 mousedown 1
sleep 0.3
xdotool mousemove 300 180 mouseup 1
sleep 0.5
check "no click when released outside" "1" "$(grep -c '^notify click btn' "$work/out.txt" | tr -d '\r')"

# Keys reach the focused button; Escape does not close the window.
xdotool key Escape
sleep 0.3
xdotool key space
sleep 0.5
check "space clicks the focused button" "2" "$(grep -c '^notify click btn' "$work/out.txt" | tr -d '\r')"
kill -0 "$viewer" 2>/dev/null && echo "ok   escape keeps the window" || { echo "FAIL escape closed the window"; fail=1; }

# Typing into the edit, Return in it, Shift+Tab back to the button.
xdotool mousemove 250 236 click 1
sleep 0.5
xdotool type --delay 100 ab
xdotool key Return
sleep 0.3
xdotool key shift+Tab
sleep 0.3
xdotool key space
sleep 0.5
check "edit focused" "1" "$(grep -c '^notify setfocus field' "$work/out.txt" | tr -d '\r')"
check "edit text changes" "2" "$(grep -c '^notify textchanged field' "$work/out.txt" | tr -d '\r')"
check "return in the edit" "1" "$(grep -c '^notify return field' "$work/out.txt" | tr -d '\r')"
check "shift+tab then space clicks the button" "3" "$(grep -c '^notify click btn' "$work/out.txt" | tr -d '\r')"

# Dragging the title label moves the window by the same distance.
xdotool mousemove 150 110 mousedown 1
sleep 0.3
xdotool mousemove 170 120
sleep 0.3
xdotool mousemove 200 150
sleep 0.3
xdotool mouseup 1
sleep 0.5
shot dragged
check "dragged top-left corner" "255,0,0" "$(pixel dragged 152 142)"
check "old corner uncovered" "0,0,0" "$(pixel dragged 102 102)"

# The close button (floating 26 px from the right edge) posts a close: the viewer ends.
xdotool mousemove 432 154 click 1
for _ in $(seq 100); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$viewer" 2>/dev/null; then echo "FAIL viewer still running after closebtn"; fail=1; else echo "ok   closebtn closes"; viewer=""; fi
check "closebtn notified" "1" "$(grep -c '^notify click closebtn' "$work/out.txt" | tr -d '\r')"

# Alt+F4 becomes a close through the system command.
wine "$build/bin/skinview.exe" skin skin.xml --pos 100,100 > "$work/out2.txt" 2>>"$work/err.txt" &
viewer=$!
for _ in $(seq 300); do grep -q "notify windowinit" "$work/out2.txt" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
xdotool mousemove 130 245 click 1
sleep 0.3
xdotool key alt+F4
for _ in $(seq 100); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$viewer" 2>/dev/null; then echo "FAIL viewer still running after Alt+F4"; fail=1; else echo "ok   Alt+F4 closes"; viewer=""; fi

# A markup that cannot be loaded: the failure message box, then exit code 1.
wine "$build/bin/skinview.exe" skin absent.xml > "$work/out3.txt" 2>>"$work/err.txt" &
viewer=$!
box=""
for _ in $(seq 300); do box=$(xdotool search --name "错误提示" 2>/dev/null | head -1 || true); [ -n "$box" ] && break; sleep 0.1; done
if [ -n "$box" ]; then echo "ok   failure message box shown"; else echo "FAIL no failure message box"; fail=1; fi
if [ -n "$box" ]; then
  # Focus the box with a click on it, then confirm with Return. The box can be
  # found before it is mapped where it ends up, so a click that came too early
  # is tried again with the box's geometry read afresh.
  for _ in 1 2 3 4 5; do
    box=$(xdotool search --name "错误提示" 2>/dev/null | head -1 || true)
    [ -n "$box" ] || break
    eval "$(xdotool getwindowgeometry --shell "$box")"
    xdotool mousemove $((X + 20)) $((Y + 20)) click 1
    sleep 0.3
    xdotool key Return
    for _ in $(seq 30); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$viewer" 2>/dev/null || break
  done
fi
for _ in $(seq 100); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
code=0
if kill -0 "$viewer" 2>/dev/null; then
  code=timeout
else
  wait "$viewer" || code=$?
  viewer=""
fi
check "exit code after the failure box" "1" "$code"

[ "$fail" = 0 ] || { echo "--- skinview output"; cat "$work/out.txt"; cat "$work/err.txt"; }
exit "$fail"
