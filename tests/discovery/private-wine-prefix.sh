#!/usr/bin/env bash
# Runs one Windows test program in a private copy of the build's Wine prefix, for tests that
# put files into the prefix's system directory that no other test may see.
#   private-wine-prefix.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The copy shares the prefix's files through hard links (Wine replaces files rather than
# rewriting them, and the test only adds and removes its own) and runs its own wineserver.
set -u
build_dir=$(cd "$1" && pwd); shift
base=$build_dir/wineprefix
prefix=$build_dir/wineprefix-$(basename "$1" .exe)
[ -d "$base/drive_c/windows/system32" ] || { echo "no Wine prefix in $base"; exit 1; }

rm -rf "$prefix"
mkdir -p "$prefix"
cp -al "$base/drive_c" "$prefix/drive_c"
cp -a "$base/dosdevices" "$base/.update-timestamp" "$base"/*.reg "$prefix/"

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's own services inherit the output: keep it in a file, away from the test runner's pipe.
log=$prefix/run.log
timeout --kill-after=10 "${MIVARO_WINE_TIMEOUT:-600}" wine "$@" </dev/null >"$log" 2>&1
status=$?
timeout 30 wineserver -k >/dev/null 2>&1 || true
cat "$log"
rm -rf "$prefix"
exit $status
