#!/usr/bin/env bash
# Validates result documents against docs/result.schema.json: the ones the console runner's
# tests write for a completed, a failed, an interrupted and a refused run, for no card at all and
# for runs over every card, and the one the real mivaro-cli writes on this machine with --output;
# and the summaries the tests and the real mivaro-cli write against docs/summary.schema.json.
#   json_schema_check.sh TESTS_PROGRAM CLI_PROGRAM
set -u
tests=$1 cli=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
MIVARO_JSON_SAMPLES=$samples "$tests" --gtest_filter='CliJsonTest.*:CliInterruptTest.StopRequest*:CliRunTest.NoCompatibleGpu*:CliEveryCardTest.*:CliSummaryTest.Names*' >/dev/null ||
  { echo "the tests that write the documents failed"; exit 1; }
"$cli" --target 99 --output "$samples/this-machine.json" >/dev/null 2>&1
"$cli" --target all --output "$samples/this-machine-all.json" >/dev/null 2>&1
"$cli" summary "$samples" --output "$samples/summary-this-machine.json" >/dev/null 2>&1
count=$(ls "$samples" | wc -l)
[ "$count" -ge 12 ] || { echo "expected at least 12 documents, found $count"; exit 1; }
shopt -s extglob
python3 "$root/tests/cli/check_schema.py" "$root/docs/result.schema.json" "$samples"/!(summary-*).json &&
  python3 "$root/tests/cli/check_schema.py" "$root/docs/summary.schema.json" "$samples"/summary-*.json
