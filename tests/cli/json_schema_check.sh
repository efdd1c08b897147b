#!/usr/bin/env bash
# Validates result documents against docs/result.schema.json: the ones the console runner's
# tests write for a completed, a failed, an interrupted and a refused run, and the one the
# real mivaro-cli writes on this machine.
#   json_schema_check.sh TESTS_PROGRAM CLI_PROGRAM
set -u
tests=$1 cli=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
MIVARO_JSON_SAMPLES=$samples "$tests" --gtest_filter='CliJsonTest.*:CliInterruptTest.StopRequest*' >/dev/null ||
  { echo "the tests that write the documents failed"; exit 1; }
"$cli" --json --target 99 >"$samples/this-machine.json" 2>/dev/null
count=$(ls "$samples" | wc -l)
[ "$count" -ge 5 ] || { echo "expected at least 5 documents, found $count"; exit 1; }
python3 "$root/tests/cli/check_schema.py" "$root/docs/result.schema.json" "$samples"/*.json
