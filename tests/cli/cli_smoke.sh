#!/usr/bin/env bash
# Runs the built mivaro-cli on this machine (through Wine for the Windows build) and checks
# what holds on any machine: version, help, a usage error, the listing, a refused card number,
# an unreadable document for 'compare', a failed write, and a document written with --output
# and read back from UTF-16. Nothing here starts a benchmark.
#   cli_smoke.sh VERSION PROGRAM [RUNNER...]
set -u
version=$1 program=$2; shift 2
runner=("$@")
failures=0

report() {  # report NAME OK CODE OUTPUT
  if [ "$2" = 1 ]; then
    echo "ok   $1 (exit $3)"
  else
    echo "FAIL $1: exit $3, output:"; echo "$4"
    failures=$((failures + 1))
  fi
}

check() {  # check NAME EXPECTED_CODES PATTERN -- ARGS...
  local name=$1 codes=$2 pattern=$3; shift 4
  local out code ok=0
  out=$("${runner[@]}" "$program" "$@" 2>&1); code=$?
  if [[ " $codes " == *" $code "* ]] && grep -qE -- "$pattern" <<<"$out"; then ok=1; fi
  report "$name" $ok $code "$out"
}

check version 0 "^mivaro-cli ${version//./\\.}"$'\r'"?\$" -- --version
check help 0 '^Usage: mivaro-cli' -- --help
check usage 2 "^mivaro-cli: unknown option '--bogus' \(see 'mivaro-cli --help'\)" -- --bogus
check list "0 3" 'References \(--reference\):' -- list
check list-ru "0 3" 'Эталоны \(--reference\):' -- list --lang=ru
# Out of range with cards (2), or no card at all (3): either way the document says why.
check target-range "2 3" '"status": "(targetOutOfRange|noCompatibleGpu)"' -- --json --target 99
check compare-unreadable 2 "^mivaro-cli: compare: 'no-such-result.json' cannot be read" -- \
  compare no-such-result.json other.json

# A result that cannot be written is an error with a message, never a silent success.
out=$("${runner[@]}" "$program" --help 2>&1 >/dev/full); code=$?
ok=0; if [ $code -eq 4 ] && grep -q 'could not be written' <<<"$out"; then ok=1; fi
report write-failure $ok $code "$out"

# A file name outside the ANSI code page still reaches the file (which is no result document).
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work" && echo '{}' >результат.json
check compare-unicode-path 2 "result \(no schemaVersion\)" -- compare результат.json результат.json

# --output writes the document whole also when no card can run, and 'compare' reads it as
# Windows PowerShell 5.1 redirects output: UTF-16 with a byte-order mark.
"${runner[@]}" "$program" --target 99 --output документ.json >/dev/null 2>&1; code=$?
ok=0; if [[ " 2 3 " == *" $code "* ]] && grep -q '"schemaVersion": 3' документ.json; then ok=1; fi
report output $ok $code "$(cat документ.json 2>&1)"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE документ.json; } >utf16.json
check compare-utf16 2 "holds no result \(outcome '(noCompatibleGpu|targetOutOfRange)'\)" -- \
  compare utf16.json документ.json
exit $(( failures == 0 ? 0 : 1 ))
