#!/usr/bin/env bash
# Validates result documents against docs/result.schema.json: the ones the console runner's
# tests write for a completed, a failed, an interrupted and a refused run and for no card at all,
# and the one the real mivaro-cli writes on this machine with --output.
#   json_schema_check.sh TESTS_PROGRAM CLI_PROGRAM
set -u
tests=$1 cli=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
MIVARO_JSON_SAMPLES=$samples "$tests" --gtest_filter='CliJsonTest.*:CliInterruptTest.StopRequest*:CliRunTest.NoCompatibleGpu*' >/dev/null ||
  { echo "the tests that write the documents failed"; exit 1; }
"$cli" --target 99 --output "$samples/this-machine.json" >/dev/null 2>&1
count=$(ls "$samples" | wc -l)
[ "$count" -ge 7 ] || { echo "expected at least 7 documents, found $count"; exit 1; }
python3 "$root/tests/cli/check_schema.py" "$root/docs/result.schema.json" "$samples"/*.json
