#!/usr/bin/env bash
# Runs the Windows Ctrl+C test of the interrupt handler inside a pseudo-terminal: Wine gives a
# program a console only when it starts on a terminal, and without one the test can only skip.
# Passes only when the test really ran and passed.
#   console_interrupt.sh BUILD_DIR TEST_PROGRAM.exe
set -u
build_dir=$1 program=$2
if ! script -qec true /dev/null >/dev/null 2>&1; then
  echo "skipped: this machine cannot open a pseudo-terminal for script(1)"
  exit 77
fi
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT

# Wine resolves a drive-less path against the current directory, so the report takes Z:.
windows_report="Z:$(tr / '\\' <<<"$report/interrupt.xml")"
command=$(printf '%q ' "$(dirname "$0")/../../scripts/wine-run.sh" "$build_dir" "$program" \
  --gtest_filter='InterruptTest.*' "--gtest_output=xml:$windows_report")
script -qec "$command" /dev/null >"$report/console.log" 2>&1
code=$?

if [ $code -ne 0 ] || ! grep -q 'result="completed"' "$report/interrupt.xml" 2>/dev/null ||
   grep -q 'result="skipped"' "$report/interrupt.xml"; then
  echo "the Ctrl+C test did not run and pass on a console (exit $code)"
  cat "$report/interrupt.xml" 2>/dev/null
  exit 1
fi
grep -o '<testcase name="[^"]*"[^>]*result="[^"]*"' "$report/interrupt.xml"
