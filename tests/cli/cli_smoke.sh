#!/usr/bin/env bash
# Runs the built mivaro-cli on this machine (through Wine for the Windows build) and checks
# what holds on any machine: help, a usage error, the listing and a refused card number.
# Nothing here starts a benchmark.
#   cli_smoke.sh PROGRAM [RUNNER...]
set -u
program=$1; shift
runner=("$@")
failures=0

check() {  # check NAME EXPECTED_CODES PATTERN -- ARGS...
  local name=$1 codes=$2 pattern=$3; shift 4
  local out code
  out=$("${runner[@]}" "$program" "$@" 2>&1); code=$?
  if [[ " $codes " != *" $code "* ]] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL $name: exit $code (expected $codes), output:"; echo "$out"
    failures=$((failures + 1))
  else
    echo "ok   $name (exit $code)"
  fi
}

check help 0 '^Usage: mivaro-cli' -- --help
check usage 2 "unknown option '--bogus'" -- --bogus
check list "0 3" 'References \(--reference\):' -- list
check list-ru "0 3" 'Эталоны \(--reference\):' -- list --lang=ru
check target-range 2 '^mivaro-cli: --target 99: ' -- --json --target 99
exit $(( failures == 0 ? 0 : 1 ))
