#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the native, sanitizer and Windows presets and
# runs every test suite (the Windows one under Wine, the Slurm recipe on a one-node Slurm),
# then each fuzz target for a short while.
# Exits non-zero on any failure. Ends with the time each stage took, also when one failed.
set -euo pipefail
cd "$(dirname "$0")/.."

stage_times=()
stage_started=$SECONDS
stage_name=""
# Starts a stage: the previous one's time is kept for the table at the end.
stage() {
  [ -n "$stage_name" ] && stage_times+=("$(printf '%-28s %5d s' "$stage_name" $((SECONDS - stage_started)))")
  stage_name=$1
  stage_started=$SECONDS
}
print_stage_times() {
  stage ""
  echo "=== time per stage"
  printf '%s\n' "${stage_times[@]}"
  printf '%-28s %5d s\n' "total" "$SECONDS"
}
trap print_stage_times EXIT

stage "install dependencies"
scripts/install-deps.sh

jobs=$(nproc)
status=0
run_suite() {
  local preset=$1; shift
  stage "${preset}: build"
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  stage "${preset}: tests"
  echo "=== ${preset}: tests"
  ctest --preset "$preset" -j "$jobs" "$@" || status=1
}
# The linux preset also builds mivaro-cli once more as it is released: alone (no test
# dependencies, as a GPU machine builds it) and against Debian 11's C library; the package
# test runs that one.
run_suite linux
# The sanitizer build runs everything except the full-size matrix generation, which the
# native and Windows suites cover and which runs ten times slower under the sanitizers.
run_suite linux-asan -LE slow
# ThreadSanitizer over the console runner's tests, whose cards run on threads of their own
# (the preset builds and runs only those).
run_suite linux-tsan
run_suite windows
stage "fuzzing"
echo "=== fuzzing: each target for 15 s"
scripts/fuzz.sh 15 || status=1
if [ $status -ne 0 ]; then echo "Some tests failed"; fi
exit $status
