#!/usr/bin/env bash
# Runs a command as on a screen of its own from the start: with a private copy of the build's
# Wine prefix whose system DPI is DPI, and a display the size of the screen's work area (Xvfb
# has no taskbar, so the display stands for the screen less its taskbar). FONT "replaced" draws
# "Segoe UI" with Open Sans, as the build's session does (scripts/wine-session.sh); "default"
# with Wine's own font. The command finds the prefix in WINEPREFIX and the display in DISPLAY.
#   wine-screen.sh BUILD_DIR DPI WIDTHxHEIGHT replaced|default COMMAND [ARGS...]
#   e.g. wine-screen.sh build/windows 144 1920x1008 replaced wine tests/ui/ui_window_tests.exe
set -u
build_dir=$(cd "$1" && pwd); dpi=$2; size=$3; font=$4; shift 4
base=$build_dir/wineprefix
prefix=$(mktemp -d "$build_dir/wineprefix-screen-XXXXXX")
[ -d "$base/drive_c/windows/system32" ] || { echo "no Wine prefix in $base"; exit 1; }

# Hard links are enough: Wine replaces files rather than rewriting them.
cp -al "$base/drive_c" "$prefix/drive_c"
cp -a "$base/dosdevices" "$base/.update-timestamp" "$base"/*.reg "$prefix/"

Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$prefix/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$prefix/display" ] && break; sleep 0.1; done
[ -s "$prefix/display" ] || { echo "Xvfb did not start"; kill $xvfb; rm -rf "$prefix"; exit 1; }
export DISPLAY=:$(tr -d '\n' <"$prefix/display")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Extra variables the session's tests are given (the Vulkan driver of the Direct3D 12 tests).
if [ -f "$build_dir/wine-session/env" ]; then
  set -a; . "$build_dir/wine-session/env"; set +a
fi

# Wine's own services inherit the output: keep it in a file, away from the test runner's pipe.
log=$prefix/run.log
{
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  # Set here: the session's server may not have written its registry to disk yet.
  if [ "$font" = default ]; then
    timeout 60 wine reg delete 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /f
  else
    timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /t REG_SZ /d 'Open Sans' /f
  fi
  timeout --kill-after=10 "${MIVARO_WINE_TIMEOUT:-600}" "$@"
} </dev/null >"$log" 2>&1
status=$?
timeout 30 wineserver -k >/dev/null 2>&1 || true
kill $xvfb 2>/dev/null
cat "$log"
rm -rf "$prefix"
exit $status
