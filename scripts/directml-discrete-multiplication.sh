#!/usr/bin/env bash
# Runs one multiplication of the discrete DirectML shape (one 8192-row dispatch) under Wine,
# on Wine's AMD Radeon adapter over Mesa's lavapipe presented as a discrete GPU by the test
# layer (tests/dml/discrete_layer), and checks its three elements against the FP32 reference
# (about seven minutes of CPU time; more on a busy machine). Logs the adapters, the progress,
# the GPU time of the multiplication and the validation outcome.
#   directml-discrete-multiplication.sh [WINDOWS_BUILD_DIR]   (default build/windows)
# Everything it needs is copied into a work folder first (MIVARO_DISCRETE_RUN_DIR, default
# /tmp/mivaro-dml-discrete-run), so rebuilding the tree meanwhile does not disturb it.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$repo/build/windows}" && pwd)
work=${MIVARO_DISCRETE_RUN_DIR:-/tmp/mivaro-dml-discrete-run}

"$repo/scripts/provision-directml-stack.sh" fetch
stack=$repo/build/directml-stack
[ -f "$stack/DirectML.dll" ] && [ -f "$stack/mesa/lvp_icd.json" ] || { echo "no DirectML stack"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cp "$build_dir/tests/dml/mivaro_dml_one_multiplication.exe" "$work/"
cp -r "$build_dir/tests/dml/discrete_layer" "$work/layer"
cp -r "$stack/mesa" "$work/mesa"
cp "$stack/DirectML.dll" "$work/DirectML.dll"
lib=$work/mesa/root/usr/lib/x86_64-linux-gnu
printf '{ "file_format_version": "1.0.0", "ICD": { "library_path": "%s", "api_version": "1.3.0" } }\n' \
  "$lib/libvulkan_lvp.so" >"$work/mesa/lvp_icd.json"

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VK_ICD_FILENAMES=$work/mesa/lvp_icd.json LD_LIBRARY_PATH=$lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export VK_LAYER_PATH=$work/layer VK_INSTANCE_LAYERS=VK_LAYER_MIVARO_discrete_memory

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
reg 'HKCU\Software\Wine\Direct3D' /v VideoPciVendorID /t REG_DWORD /d 0x1002
reg 'HKCU\Software\Wine\Direct3D' /v VideoPciDeviceID /t REG_DWORD /d 0x73bf
cp "$work/DirectML.dll" "$WINEPREFIX/drive_c/windows/system32/DirectML.dll"

echo "start: $(date -u)"
status=0
timeout --kill-after=30 2h wine "$work/mivaro_dml_one_multiplication.exe" </dev/null || status=$?
echo "end: $(date -u), exit status $status"
exit $status
