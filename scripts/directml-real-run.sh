#!/usr/bin/env bash
# Runs DirectML on the real Direct3D 12 stack under Wine over Mesa's lavapipe, outside the
# test suite, and logs the adapters found, the progress, the timings and the validation
# outcome to standard output:
#   full          the whole benchmark on Wine's Intel UHD Graphics 630 (the integrated shape;
#                 about an hour and a half of CPU time, hours of wall time on a busy machine)
#   discrete-one  one multiplication of the discrete shape (one 8192-row dispatch) on Wine's
#                 AMD Radeon, which the test layer (tests/dml/discrete_layer) presents as a
#                 discrete GPU (about seven minutes of CPU time; more on a busy machine)
#   directml-real-run.sh full|discrete-one [WINDOWS_BUILD_DIR]   (default build/windows)
# Everything it needs is copied into a work folder first (MIVARO_REAL_RUN_DIR, default
# /tmp/mivaro-dml-MODE), so rebuilding the tree meanwhile does not disturb it.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
case $mode in
  full) arguments=() vendor=0x8086 device=0x3e9b limit=12h ;;
  discrete-one) arguments=(--one-multiplication) vendor=0x1002 device=0x73bf limit=2h ;;
  *) echo "usage: directml-real-run.sh full|discrete-one [WINDOWS_BUILD_DIR]" >&2; exit 2 ;;
esac
build_dir=$(cd "${2:-$repo/build/windows}" && pwd)
work=${MIVARO_REAL_RUN_DIR:-/tmp/mivaro-dml-$mode}

"$repo/scripts/provision-directml-stack.sh" fetch
stack=$repo/build/directml-stack
[ -f "$stack/DirectML.dll" ] && [ -f "$stack/mesa/lvp_icd.json" ] || { echo "no DirectML stack"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cp "$build_dir/tests/dml/mivaro_dml_real_run.exe" "$work/"
cp -r "$stack/mesa" "$work/mesa"
cp "$stack/DirectML.dll" "$work/DirectML.dll"
lib=$work/mesa/root/usr/lib/x86_64-linux-gnu
printf '{ "file_format_version": "1.0.0", "ICD": { "library_path": "%s", "api_version": "1.3.0" } }\n' \
  "$lib/libvulkan_lvp.so" >"$work/mesa/lvp_icd.json"

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VK_ICD_FILENAMES=$work/mesa/lvp_icd.json LD_LIBRARY_PATH=$lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
if [ "$mode" = discrete-one ]; then
  cp -r "$build_dir/tests/dml/discrete_layer" "$work/layer"
  export VK_LAYER_PATH=$work/layer VK_INSTANCE_LAYERS=VK_LAYER_MIVARO_discrete_memory
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(tr -d '\n' <"$work/display")

timeout 300 wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || true
timeout 60 wineserver -w || true
reg() { timeout 60 wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d ''
reg 'HKCU\Software\Wine\Direct3D' /v VideoPciVendorID /t REG_DWORD /d "$vendor"
reg 'HKCU\Software\Wine\Direct3D' /v VideoPciDeviceID /t REG_DWORD /d "$device"
cp "$work/DirectML.dll" "$WINEPREFIX/drive_c/windows/system32/DirectML.dll"

echo "start: $(date -u)"
status=0
timeout --kill-after=30 "$limit" wine "$work/mivaro_dml_real_run.exe" "${arguments[@]}" </dev/null || status=$?
echo "end: $(date -u), exit status $status"
exit $status
