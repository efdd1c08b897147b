#!/usr/bin/env bash
# Runs one Windows program as on a 1920 x 1080 screen at 150 % (144 DPI) from the start: a
# private copy of the build's Wine prefix whose system DPI is 144, and a display of its own
# the size of that screen's work area above a 72-pixel taskbar (Xvfb has no taskbar).
#   high-dpi-wine.sh BUILD_DIR PROGRAM.exe [ARGS...]
set -u
build_dir=$(cd "$1" && pwd); shift
base=$build_dir/wineprefix
prefix=$build_dir/wineprefix-144dpi-$(basename "$1" .exe)
[ -d "$base/drive_c/windows/system32" ] || { echo "no Wine prefix in $base"; exit 1; }

rm -rf "$prefix"
mkdir -p "$prefix"
# Hard links are enough: Wine replaces files rather than rewriting them.
cp -al "$base/drive_c" "$prefix/drive_c"
cp -a "$base/dosdevices" "$base/.update-timestamp" "$base"/*.reg "$prefix/"

Xvfb -displayfd 3 -screen 0 1920x1008x24 -nolisten tcp 3>"$prefix/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$prefix/display" ] && break; sleep 0.1; done
[ -s "$prefix/display" ] || { echo "Xvfb did not start"; kill $xvfb; exit 1; }
export DISPLAY=:$(tr -d '\n' <"$prefix/display")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's own services inherit the output: keep it in a file, away from the test runner's pipe.
log=$prefix/run.log
{
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f
  timeout --kill-after=10 "${MIVARO_WINE_TIMEOUT:-600}" wine "$@"
} </dev/null >"$log" 2>&1
status=$?
timeout 30 wineserver -k >/dev/null 2>&1 || true
kill $xvfb 2>/dev/null
cat "$log"
rm -rf "$prefix"
exit $status
