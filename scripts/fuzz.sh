#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 600), one after the other.
# The corpus of each grows across runs in build/fuzz/corpus; an input that crashes a target or
# breaks one of its checks is kept in build/fuzz/findings. Exits non-zero when one is found.
#   fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=build/fuzz
targets=(fuzz_pci_id_list fuzz_sysfs_device fuzz_device_name fuzz_cli_options fuzz_json_reader)

cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/findings"
status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  log=$build/$target.log
  options=(-max_total_time="$seconds" -artifact_prefix="$build/findings/$target-"
    -print_final_stats=1)
  [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="tests/fuzz/$target.dict")
  if "$build/$target" "${options[@]}" "$corpus" >"$log" 2>&1; then
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    echo "$target: ${runs:-?} inputs in ${seconds} s, nothing found"
  else
    echo "$target: FOUND A FAULT (input kept in $build/findings):"
    # The error, the frames in this source tree, and where the input was kept.
    grep -E "ERROR|SUMMARY|Test unit written|$PWD/" "$log" | head -30 || true
    status=1
  fi
done
exit $status
