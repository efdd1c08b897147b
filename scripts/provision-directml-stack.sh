#!/usr/bin/env bash
# Provides the real Direct3D 12 / DirectML stack for the Wine tests of a Windows build:
#  - Mesa 25's lavapipe Vulkan driver from Debian bookworm-backports (Wine's Direct3D 12
#    needs descriptor indexing, which bookworm's own Mesa lacks), unpacked into the cache;
#  - the redistributable DirectML.dll from the npm package onnxruntime-node.
# Both are cached under build/directml-stack and never installed into the system.
#   provision-directml-stack.sh fetch            only fill the cache
#   provision-directml-stack.sh session BUILD_DIR  also point that build's Wine session at it
# Exits 0 without a stack (printing why, and in a session telling its tests why) so that the
# tests that need it can skip.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=$repo/build/directml-stack
mesa_packages=(mesa-vulkan-drivers libdrm2 libdrm-amdgpu1)
onnxruntime_version=1.31.1

session_env=""  # the env file of the Wine session being provisioned, if any

unavailable() {
  echo "DirectML stack unavailable: $*"
  if [ -n "$session_env" ]; then
    printf 'MIVARO_DIRECTML_STACK_UNAVAILABLE=%q\n' "$*" >"$session_env"
  fi
  exit 0
}

# Wine's Direct3D 12 reaches Vulkan through the system's loader; without it the first device
# creation aborts the process (scripts/install-deps.sh installs libvulkan1).
vulkan_loader_present() {
  local path
  path=$(PATH=$PATH:/sbin ldconfig -p 2>/dev/null |
    awk '/libvulkan\.so\.1 \(libc6,x86-64\)/ { print $NF; exit }')
  [ -n "$path" ] && [ -s "$(readlink -f "$path")" ]
}

fetch_mesa() {
  [ -f "$cache/mesa/lvp_icd.json" ] && return 0
  local work
  work=$(mktemp -d) || return 1
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/debs"
  echo "deb http://deb.debian.org/debian bookworm-backports main" >"$work/sources.list"
  local apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1
    -o APT::Sandbox::User=root)
  local ok=1
  if apt-get "${apt_options[@]}" update >"$work/apt.log" 2>&1 &&
    (cd "$work/debs" && apt-get "${apt_options[@]}" download \
      "${mesa_packages[@]/%//bookworm-backports}" >>"$work/apt.log" 2>&1); then
    rm -rf "$cache/mesa" && mkdir -p "$cache/mesa/root"
    for deb in "$work"/debs/*.deb; do dpkg -x "$deb" "$cache/mesa/root" || ok=0; done
    local lib=$cache/mesa/root/usr/lib/x86_64-linux-gnu/libvulkan_lvp.so
    if [ $ok -eq 1 ] && [ -f "$lib" ]; then
      printf '{ "file_format_version": "1.0.0", "ICD": { "library_path": "%s", "api_version": "1.3.0" } }\n' \
        "$lib" >"$cache/mesa/lvp_icd.json"
    else
      ok=0
    fi
  else
    ok=0
    tail -5 "$work/apt.log"
  fi
  rm -rf "$work"
  [ $ok -eq 1 ]
}

fetch_directml() {
  [ -f "$cache/DirectML.dll" ] && return 0
  command -v npm >/dev/null 2>&1 || return 1
  local work
  work=$(mktemp -d) || return 1
  local ok=0
  if (cd "$work" && npm pack --silent "onnxruntime-node@$onnxruntime_version" >npm.log 2>&1) &&
    tar -xzf "$work"/onnxruntime-node-*.tgz -C "$work" package/bin/napi-v6/win32/x64/DirectML.dll; then
    mkdir -p "$cache" && cp "$work/package/bin/napi-v6/win32/x64/DirectML.dll" "$cache/DirectML.dll.part" &&
      mv "$cache/DirectML.dll.part" "$cache/DirectML.dll" && ok=1
  fi
  rm -rf "$work"
  [ $ok -eq 1 ]
}

fetch() {
  vulkan_loader_present || unavailable "no Vulkan loader (libvulkan.so.1, Debian package libvulkan1)"
  mkdir -p "$cache"
  # Two builds may provision at once; one fills the cache, the other waits.
  exec 9>"$cache/.lock"
  flock 9
  fetch_mesa || unavailable "could not fetch Mesa's lavapipe from bookworm-backports"
  # lavapipe loads only where every library it links against is present.
  local lib=$cache/mesa/root/usr/lib/x86_64-linux-gnu report
  if ! report=$(LD_LIBRARY_PATH=$lib ldd "$lib/libvulkan_lvp.so" 2>&1) ||
    grep -q 'not found' <<<"$report"; then
    unavailable "lavapipe cannot load here:" \
      "$(grep -E 'not found|error' <<<"$report" | tr -s ' \t\n' ' ')"
  fi
  fetch_directml || unavailable "could not fetch DirectML.dll (npm pack onnxruntime-node)"
  flock -u 9
}

# The environment a Wine process needs to reach the stack.
stack_env() {
  echo "VK_ICD_FILENAMES=$cache/mesa/lvp_icd.json"
  echo "LD_LIBRARY_PATH=$cache/mesa/root/usr/lib/x86_64-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  echo "MIVARO_DIRECTML_DLL=$cache/DirectML.dll"
}

case ${1:-} in
  fetch)
    fetch
    ;;
  session)
    build_dir=$(cd "$2" && pwd)
    mkdir -p "$build_dir/wine-session"
    rm -f "$build_dir/wine-session/directml-stack-ready"
    session_env=$build_dir/wine-session/env
    fetch
    stack_env >"$session_env"
    # The tests named *_intel_* see Wine's Intel UHD Graphics 630 instead of its default
    # adapter, those named *_discrete_* an AMD Radeon (the setting applies to that program only).
    for override in mivaro_dml_intel_tests:0x8086:0x3e9b mivaro_dml_discrete_tests:0x1002:0x73bf \
      mivaro_ui_discrete_tests:0x1002:0x73bf; do
      IFS=: read -r program vendor device <<<"$override"
      key="HKCU\\Software\\Wine\\AppDefaults\\$program.exe\\Direct3D"
      "$repo/scripts/wine-run.sh" "$build_dir" reg add "$key" /v VideoPciVendorID /t REG_DWORD /d "$vendor" /f >/dev/null 2>&1 &&
        "$repo/scripts/wine-run.sh" "$build_dir" reg add "$key" /v VideoPciDeviceID /t REG_DWORD /d "$device" /f >/dev/null 2>&1 ||
        unavailable "could not set the Wine adapter override"
    done
    touch "$build_dir/wine-session/directml-stack-ready"
    echo "DirectML stack ready: $cache"
    ;;
  env)
    fetch >/dev/null
    stack_env
    ;;
  *)
    echo "usage: $0 fetch | session BUILD_DIR | env" >&2
    exit 2
    ;;
esac
