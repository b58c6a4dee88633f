# Helpers for driving Movara under Xvfb with xdotool; sourced by the GUI test
# and by tools/demo. Expects tools/wine-env to be sourced already.

MOVARA_TITLE="Ostra Mail数据迁移"

# xdotool, without the noise it prints for windows that have no X focus.
xdo() { xdotool "$@" 2>/dev/null; }
# Points inside the 500x350 window (client coordinates).
MOVARA_OK_BTN="306 324"
MOVARA_CANCEL_BTN="434 324"
# Once the copy starts the cancel button is hidden and "OkBtn" moves right.
MOVARA_RUN_BTN="418 324"
MOVARA_SELECT_DIR="434 163"
MOVARA_CLOSE_BTN="483 16"
MOVARA_CAPTION="100 16"
MOVARA_BAR_END="486 265"
# The focus mark: its colour, and a point of it on "..." and on OkBtn (inside the left edge).
MOVARA_FOCUS_MARK="2F6FD0"
MOVARA_SELECT_MARK="420 163"
MOVARA_OK_MARK="251 324"

# Starts a private X server; sets DISPLAY and MOVARA_XVFB_PID.
movara_start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  MOVARA_XVFB_PID=$!
  local display
  read -r -t 20 display <"$fifo" || true
  rm -f "$fifo"
  [ -n "$display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$display"
}

movara_stop_xvfb() {
  [ -n "${MOVARA_XVFB_PID:-}" ] && kill "$MOVARA_XVFB_PID" 2>/dev/null && wait "$MOVARA_XVFB_PID" 2>/dev/null
  MOVARA_XVFB_PID=
  return 0
}

# The prefix's %APPDATA%, as Windows shows it and as a Unix path.
movara_appdata_win() { wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r'; }
movara_appdata_dir() { winepath -u "$(movara_appdata_win)" 2>/dev/null; }

# Copies Movara.exe, the stand-in ostramail.exe and app.ico into a program folder.
movara_install_program() { # <bin dir> <program folder (unix)>
  mkdir -p "$2"
  cp -f "$1/Movara.exe" "$1/ostramail.exe" "$1/app.ico" "$2/"
}

# Waits for a window with the given name; prints its id.
movara_wait_window() { # <name> [seconds]
  local limit=$(( ${2:-30} * 10 )) i id
  for ((i = 0; i < limit; i++)); do
    id=$(xdo search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

movara_window_gone() { # <window id> [seconds]
  local limit=$(( ${2:-10} * 10 )) i
  for ((i = 0; i < limit; i++)); do
    xdo getwindowname "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Clicks at a point given in window coordinates.
movara_click() { # <window id> <x> <y>
  xdo mousemove --window "$1" "$2" "$3" click 1
}

movara_double_click() { # <window id> <x> <y>
  xdo mousemove --window "$1" "$2" "$3" click --repeat 2 --delay 80 1
}

movara_geometry() { # <window id>: prints "x y width height"
  local x y w h
  eval "$(xdo getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
  echo "$X $Y $WIDTH $HEIGHT"
}

movara_screenshot() { # <window id> <file>
  xdo getwindowname "$1" >/dev/null || return 1
  timeout 20 import -window "$1" "$2" 2>/dev/null
}

# After the folder browser closes: waits until it is gone and the main window
# has painted the area it covered again (the window takes clicks from then on).
movara_wait_browser_closed() { # <dialog id> <main window id>
  movara_window_gone "$1" 10 || return 1
  local i shot
  shot=$(mktemp --suffix=.png)
  for ((i = 0; i < 50; i++)); do
    sleep 0.2
    movara_screenshot "$2" "$shot" || continue
    [ "$(movara_pixel "$shot" 250 200)" != "000000" ] && break
  done
  rm -f "$shot"
  sleep 0.5
}

# The colour of one pixel of a screenshot as #RRGGBB.
movara_pixel() { # <file> <x> <y>
  convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6
}

# Width in pixels of the dark text drawn inside a strip of a screenshot.
movara_ink_width() { # <file> <x> <y> <width> <height>
  convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 75% -negate -trim \
    -format "%w" info: 2>/dev/null
}

# Width of a text as the window draws it: WenQuanYi Micro Hei, 12 pixels.
movara_text_width() { # <text>
  local text=${1//\\/\\\\} # label: reads backslash escapes
  convert -font /usr/share/fonts/truetype/wqy/wqy-microhei.ttc -density 72 -pointsize 12 \
    label:"$text" -colorspace Gray -threshold 75% -negate -trim -format "%w" info: 2>/dev/null
}

# Picks a folder in the shell's folder browser with the keyboard, as a person
# would: one click on the tree's first item (without a window manager keys reach
# the tree only after that), then to My Computer, Right to open it, Down to its
# first drive (C:), and Right plus type-ahead for each folder. The browser
# speaks the prefix's language: in English My Computer is found by type-ahead,
# otherwise by its place as the desktop's first item. A folder name that is not
# plain ASCII cannot be typed ahead; it must be its parent's only folder, and
# is reached as the first child.
movara_browse_to() { # <dialog window id> <folder name on C:>...
  local dialog=$1
  shift
  # The tree's first item, "Desktop", sits at the top left of the tree.
  xdo mousemove --window "$dialog" 70 75 click 1
  sleep 0.5
  case "${LANG:-}" in
  zh_*) xdo key --window "$dialog" Down ;;
  *) xdo type --window "$dialog" --delay 150 "My" ;;
  esac
  sleep 0.4
  xdo key --window "$dialog" Right
  sleep 0.8
  xdo key --window "$dialog" Down
  sleep 0.4
  local part
  for part in "$@"; do
    xdo key --window "$dialog" Right
    sleep 0.8
    if LC_ALL=C grep -q '^[ -~]*$' <<<"$part"; then
      xdo type --window "$dialog" --delay 150 "$part"
    else
      xdo key --window "$dialog" Down
    fi
    sleep 0.5
  done
  xdo key --window "$dialog" Return
}

# Checks: each prints PASS or FAIL and failures counts the failed ones.
failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # <description> <command...>
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
near() { [ -n "$1" ] && [ -n "$2" ] && [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }

# The ink width of copyLog's line in a screenshot.
log_ink() { movara_ink_width "$1" 18 268 464 28; }

# Checks a text the window $win shows by its drawn width, taking screenshots for
# up to six seconds until it appears (the last one is kept as an artefact).
check_shown() { # <description> <screenshot> <expected width> <measure command...>
  local what=$1 shot=$2 expected=$3 got= i
  shift 3
  for ((i = 0; i < 30; i++)); do
    movara_screenshot "$win" "$shot" && got=$("$@" "$shot")
    near "${got:-0}" "$expected" 8 && break
    sleep 0.2
  done
  check "$what (ink ${got:-none}, text $expected)" near "${got:-0}" "$expected" 8
}
log_text() { check_shown "$1" "$2" "$(movara_text_width "$3")" log_ink; }

# Height in pixels of the dark text drawn inside a strip of a screenshot.
movara_ink_height() { # <file> <x> <y> <width> <height>
  convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 75% -negate -trim \
    -format "%h" info: 2>/dev/null
}

# Sets the display's scale of the prefix (96 = 100 %, 144 = 150 %, 192 = 200 %)
# and restarts its server, which reads it when it starts.
movara_set_dpi() { # <dpi>
  local reg="$WINEPREFIX/ostra-dpi.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$1"
    printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\r\n"LogPixels"=dword:%08x\r\n' "$1"
  } | iconv -f UTF-8 -t UTF-16 >"$reg"
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}
