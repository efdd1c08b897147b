#!/usr/bin/env bash
# Starts Mivaro.exe under Wine on an Xvfb display of its own and saves screenshots of its
# window, then closes it.
#   window-screenshots.sh SESSION_DIR RUSSIAN.png [ENGLISH.png]
# The Windows preset must be built (Mivaro.exe and mivaro-window-driver.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
session_dir=$1
russian=$2
english=${3:-}
exe=build/windows/ui/Mivaro.exe
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

capture "$russian"
if [ -n "$english" ]; then
  scripts/wine-run.sh "$session_dir" "$driver" language 1
  capture "$english"
fi
scripts/wine-run.sh "$session_dir" "$driver" close
wait "$program"
