#!/usr/bin/env bash
# Starts or stops the Wine session of a build tree: an Xvfb display of its own and a
# persistent wineserver for the tree's prefix.
#   wine-session.sh start|stop BUILD_DIR
set -eu
action=$1
build_dir=$(cd "$2" && pwd)
session=$build_dir/wine-session
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop_session() {
  if [ -d "$WINEPREFIX" ]; then timeout 30 wineserver -k >/dev/null 2>&1 || true; fi
  if [ -f "$session/xvfb.pid" ]; then kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true; fi
  rm -f "$session/display" "$session/xvfb.pid"
}

case $action in
  start)
    # Wine has no Segoe UI, the dialogs' font, and draws it with DejaVu Sans, whose line is
    # shorter: windows would come out smaller than on Windows. Open Sans is of Segoe UI's size.
    fc-list -q 'Open Sans' || { echo "Open Sans is missing: run scripts/install-deps.sh"; exit 1; }
    stop_session
    mkdir -p "$session"
    # Xvfb picks a free display itself and writes its number to the file.
    setsid Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$session/display.tmp" \
      </dev/null >"$session/xvfb.log" 2>&1 &
    echo $! >"$session/xvfb.pid"
    for _ in $(seq 100); do [ -s "$session/display.tmp" ] && break; sleep 0.1; done
    [ -s "$session/display.tmp" ] || { echo "Xvfb did not start"; cat "$session/xvfb.log"; exit 1; }
    tr -d '\n' <"$session/display.tmp" >"$session/display"; rm -f "$session/display.tmp"
    export DISPLAY=:$(cat "$session/display")
    if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
      # wineboot reports the missing 32-bit half of a 64-bit-only Wine as a failure; harmless.
      timeout 300 wineboot -i </dev/null >"$session/wineboot.log" 2>&1 || true
      [ -d "$WINEPREFIX/drive_c/windows/system32" ] || { echo "Wine prefix was not created"; cat "$session/wineboot.log"; exit 1; }
      timeout 60 wineserver -w || true  # let the first server flush the new registry and exit
    fi
    # A persistent server, then Wine's own services started with their output away from
    # the test runner's pipes (they would otherwise keep CTest waiting forever).
    setsid wineserver -p </dev/null >"$session/wineserver.log" 2>&1
    timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1
    # An unhandled exception must end the process, not open a debugger that waits forever.
    timeout 60 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1
    timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /t REG_SZ \
      /d 'Open Sans' /f </dev/null >/dev/null 2>&1
    echo "Wine session ready on display :$(cat "$session/display") with prefix $WINEPREFIX"
    ;;
  stop)
    stop_session
    echo "Wine session stopped"
    ;;
  *)
    echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
