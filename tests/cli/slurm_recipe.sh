#!/usr/bin/env bash
# The Slurm recipe of docs/slurm.md on a real one-node Slurm (scripts/slurm-one-node.sh): two
# tasks of mivaro-cli, each writing its document to a file named from the job and task ids and
# its terminal output to a log, srun passing the tasks' exit code on, then 'summary' over the
# folder. This machine has no card, so every task exits 3 with its document. The only
# difference from the recipe: no --gpus-per-task, since the test cluster declares no GPUs.
#   slurm_recipe.sh MIVARO_CLI
# Exit status: 0 passed, 1 failed, 77 skipped (the daemons cannot be started here).
set -u
if [ -z "${SLURM_CONF:-}" ]; then
  root=$(cd "$(dirname "$0")/../.." && pwd)
  exec bash "$root/scripts/slurm-one-node.sh" bash "$0" "$(realpath "$1")"
fi

cli=$1
fail() { echo "FAILED: $*"; exit 1; }
work=$(mktemp -d /tmp/mivaro-slurm-recipe.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/results"
cp "$cli" "$work/bin/mivaro-cli"
export PATH="$work/bin:$PATH"
cd "$work"

# The recipe.
export MIVARO_RESULTS=results
srun --ntasks=2 --output="$MIVARO_RESULTS/%j-%t.log" \
  sh -c 'exec mivaro-cli --output "$MIVARO_RESULTS/$SLURM_JOB_ID-$SLURM_PROCID.json"'
srun_status=$?
mivaro-cli summary "$MIVARO_RESULTS" > summary.txt
summary_status=$?

[ "$srun_status" -eq 3 ] || fail "srun exited $srun_status, not the tasks' 3 (no compatible GPU)"
ls results
documents=(results/*.json)
[ ${#documents[@]} -eq 2 ] || fail "expected two documents, found ${#documents[@]}"
python3 - "$(hostname)" "${documents[@]}" <<'PY' || fail "the documents are not what the tasks should have written"
import json, re, sys
host, paths = sys.argv[1], sys.argv[2:]
tasks = set()
for path in paths:
    name = re.fullmatch(r"results/([0-9]+)-([0-9]+)\.json", path)
    assert name, f"{path} is not named JOB-TASK.json"
    tasks.add(int(name.group(2)))
    document = json.load(open(path, encoding="utf-8"))
    assert document["schemaVersion"] == 3, path
    assert document["outcome"]["status"] == "noCompatibleGpu", document["outcome"]
    assert document["host"]["name"] == host, document["host"]
    assert document["cards"] == [], path
assert tasks == {0, 1}, tasks
PY
for log in results/*.log; do
  grep -q "CUDA-capable NVIDIA GPU" "$log" || fail "$log does not say why the task found no card"
done
cat summary.txt
[ "$summary_status" -eq 3 ] || fail "summary exited $summary_status, not 3 (runs without a card)"
grep -q "^Documents: 2, hosts: 1, unreadable files: 0" summary.txt || fail "summary did not read both documents"
[ "$(grep -c ": no compatible GPU · results/" summary.txt)" -eq 2 ] || fail "summary does not name both runs"
echo "PASSED: srun ran both tasks, passed their exit code 3 on, and summary read both documents"
