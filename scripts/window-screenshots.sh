#!/usr/bin/env bash
# Starts the window under Wine on an Xvfb display of its own, runs the benchmark once and saves
# screenshots of the finished run, then closes it. The window is Mivaro's own, with one scripted
# NVIDIA card whose run returns illustrative figures (tests/ui/screenshot_window.cpp): no card
# is measured.
#   window-screenshots.sh SESSION_DIR RUSSIAN.png [ENGLISH.png]
# The Windows preset must be built (mivaro-screenshot-window.exe and mivaro-window-driver.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
session_dir=$1
russian=$2
english=${3:-}
exe=build/windows/tests/ui/mivaro-screenshot-window.exe
driver=build/windows/ui/mivaro-window-driver.exe
mkdir -p "$session_dir" "$(dirname "$russian")"

scripts/wine-session.sh start "$session_dir" >/dev/null
trap 'scripts/wine-session.sh stop "$session_dir" >/dev/null' EXIT
display=:$(cat "$session_dir/wine-session/display")
# Xvfb runs no window manager: let Wine draw the window frame itself, and do not wait for a
# manager to acknowledge hiding the window on close.
WINEPREFIX=$PWD/$session_dir/wineprefix WINEDEBUG=-all timeout 60 \
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

MIVARO_WINE_TIMEOUT=300 scripts/wine-run.sh "$session_dir" "$exe" >"$session_dir/mivaro.log" 2>&1 &
program=$!

capture() {  # capture OUTPUT: the window's rectangle cut out of the whole screen
  local geometry left top width height
  geometry=$(scripts/wine-run.sh "$session_dir" "$driver" wait 60 | tr -d '\r')
  read -r left top width height <<<"$geometry"
  import -display "$display" -window root -crop "${width}x${height}+${left}+${top}" +repage "$1"
}

scripts/wine-run.sh "$session_dir" "$driver" wait 60 >/dev/null
scripts/wine-run.sh "$session_dir" "$driver" reference 5  # the RTX 4090 row, like the README's sample
scripts/wine-run.sh "$session_dir" "$driver" run 60
capture "$russian"
if [ -n "$english" ]; then
  scripts/wine-run.sh "$session_dir" "$driver" language 1
  capture "$english"
fi
scripts/wine-run.sh "$session_dir" "$driver" close
wait "$program"
