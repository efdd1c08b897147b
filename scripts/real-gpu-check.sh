#!/usr/bin/env bash
# Checks the benchmark on a Linux machine with an NVIDIA GPU: builds mivaro-cli with only CMake
# and a compiler (no test dependencies), or takes a given one, prints what 'mivaro-cli list'
# finds, runs it with --json, then times the same FP16 multiplication through PyTorch when
# PyTorch is installed, and prints both medians and their ratio. Ours must reach at least 0.97
# of PyTorch's throughput. When PyTorch's Python holds the cuBLAS wheel (nvidia/cu13/lib) and
# MIVARO_CUBLAS is not set, the run takes that same cuBLAS, so that both sides use one library
# (and a machine whose only cuBLAS is that wheel needs nothing else).
#
#   scripts/real-gpu-check.sh [--cli PATH] [--target N] [--out DIR] [--dry-run]
#
#   --cli PATH   use this mivaro-cli instead of building build/cli-release/cli/mivaro-cli
#   --target N   card number as 'mivaro-cli list' shows it (default: the first ready card)
#   --out DIR    where the JSON report and the summary go (default: build/real-gpu-check)
#   --dry-run    check the tools and print the commands without running the benchmark
#
# Exit status: 0 the run passed and the ratio holds, or the run passed and PyTorch is absent
# (then no ratio was checked: the summary says so); 1 the benchmark failed or the ratio is
# below the threshold; 2 a usage error or a build that cannot be configured.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=""
target=()
out=build/real-gpu-check
dry_run=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=${2:?--cli needs a path}; shift 2 ;;
    --target) target=(--target "${2:?--target needs a number}"); shift 2 ;;
    --out) out=${2:?--out needs a directory}; shift 2 ;;
    --dry-run) dry_run=1; shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "real-gpu-check: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

run() {
  echo "+ $*" >&2
  if [ $dry_run -eq 0 ]; then "$@"; fi
}

if [ -z "$cli" ]; then
  # The product alone: no GoogleTest, Google Benchmark or Ninja needed on the GPU machine.
  cli=build/cli-release/cli/mivaro-cli
  if ! run cmake -S . -B build/cli-release -DCMAKE_BUILD_TYPE=Release -DMIVARO_BUILD_TESTS=OFF; then
    echo "real-gpu-check: configuring failed; CMake 3.25 and a C++20 compiler are needed, or pass --cli" >&2
    exit 2
  fi
  run cmake --build build/cli-release --target mivaro-cli -j "$(nproc)"
fi
mkdir -p "$out"
report=$out/mivaro.json
summary=$out/summary.txt

echo "=== machine" | tee "$summary"
if command -v nvidia-smi >/dev/null 2>&1; then
  nvidia-smi --query-gpu=index,name,pci.bus_id,driver_version,memory.total,power.limit,clocks.max.sm \
    --format=csv | tee -a "$summary"
else
  echo "nvidia-smi not found" | tee -a "$summary"
fi

# The directory of the cuBLAS wheel in PyTorch's Python, if it has one.
torch_cublas=""
if [ -z "${MIVARO_CUBLAS:-}" ] && command -v python3 >/dev/null 2>&1; then
  torch_cublas=$(python3 - <<'PY' 2>/dev/null || true
import importlib.util, os
package = importlib.util.find_spec("nvidia")
for root in (package.submodule_search_locations or []) if package else []:
    lib = os.path.join(root, "cu13", "lib")
    if os.path.isfile(os.path.join(lib, "libcublas.so.13")):
        print(lib)
        break
PY
)
fi

echo "=== mivaro-cli list" | tee -a "$summary"
if [ $dry_run -eq 0 ]; then
  "$cli" list 2>&1 | tee -a "$summary" || true
else
  echo "+ $cli list" >&2
fi

echo "=== mivaro-cli" | tee -a "$summary"
if [ -n "$torch_cublas" ]; then
  echo "cuBLAS: PyTorch's, MIVARO_CUBLAS=$torch_cublas" | tee -a "$summary"
  export MIVARO_CUBLAS=$torch_cublas
fi
status=0
if [ $dry_run -eq 0 ]; then
  "$cli" --json "${target[@]}" >"$report" || status=$?
  echo "mivaro-cli exit code: $status" | tee -a "$summary"
else
  echo "+ $cli --json ${target[*]} >$report" >&2
fi

echo "=== comparison with PyTorch" | tee -a "$summary"
helper=(python3 scripts/torch_gemm_reference.py "$report")
if [ $dry_run -eq 1 ]; then
  echo "+ ${helper[*]}" >&2
  exit 0
fi
if ! command -v python3 >/dev/null 2>&1; then
  echo "python3 not found: the JSON report is in $report" | tee -a "$summary"
  exit $(( status == 0 ? 0 : 1 ))
fi
compare=0
"${helper[@]}" 2>&1 | tee -a "$summary" || compare=${PIPESTATUS[0]}
echo "summary written to $summary"
if [ $status -ne 0 ]; then exit 1; fi
case $compare in
  0) exit 0 ;;
  2) echo "PyTorch not found: the run passed, no ratio was checked" | tee -a "$summary"; exit 0 ;;
  *) exit 1 ;;
esac
