#!/usr/bin/env bash
# The CUDA components detection of the program on Linux, with stand-in cuBLAS and cuBLASLt
# libraries placed where a Python wheel, conda or the user put theirs, and run by the system's
# own loader. Each detection runs the probe program in a fresh process with only the variables
# given (a loaded cuBLAS stays loaded for the life of its process).
#   real_libraries_linux.sh PROBE STANDIN_DIR
set -u
probe=$1 standins=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

mkdir -p "$work/app" "$work/home"
cp "$probe" "$work/app/probe"
place() {  # place STANDIN_FOLDER DIRECTORY [FILE...]: copies of the stand-ins, by default both
  local from=$standins/$1 to=$2; shift 2
  [ $# -gt 0 ] || set -- libcublas.so.13 libcublasLt.so.13
  mkdir -p "$to"
  for file; do cp "$from/$file" "$to/"; done
}
detect() {  # detect VARIABLE=VALUE...: the probe's output
  (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work/home" "$@" "$work/app/probe")
}
expect() {  # expect NAME OUTPUT LINE...: every line is in the output
  local name=$1 output=$2 line; shift 2
  for line in "$@"; do
    grep -qxF -- "$line" <<<"$output" || { fail "$name: no line '$line' in"$'\n'"$output"; return; }
  done
  echo "ok   $name"
}

# A wheel in a virtual environment, and another cuBLASLt first on LD_LIBRARY_PATH: cuBLASLt
# still comes from the wheel's own directory (the decoy would report patch level 7).
wheel=$work/venv/lib/python3.12/site-packages/nvidia/cu13/lib
place standin-complete "$wheel"
place standin-decoy "$work/decoy" libcublasLt.so.13
out=$(detect VIRTUAL_ENV="$work/venv" LD_LIBRARY_PATH="$work/decoy")
expect "the wheel of a virtual environment, its own cuBLASLt before a decoy" "$out" \
  cublasMissing=0 cublas=13.5.42 "cublasPath=$wheel/libcublas.so.13" "cublasLtPath=$wheel/libcublasLt.so.13" \
  "attempt=1 $work/app/libcublas.so.13" "attempt=0 $wheel/libcublas.so.13"
# Without that order the loader takes the decoy: the case above proves something.
premise=$(cd "$work" && LD_LIBRARY_PATH="$work/decoy" python3 -c "
import ctypes
cublas = ctypes.CDLL('$wheel/libcublas.so.13')
value = ctypes.c_int()
cublas.cublasGetProperty(2, ctypes.byref(value))
print(value.value)" 2>&1)
[ "$premise" = 7 ] || fail "loading the wheel's cuBLAS alone should take the decoy cuBLASLt, got: $premise"

# A wheel without its cuBLASLt is passed over; conda's lib directory follows the wheels.
rm "$wheel/libcublasLt.so.13"
place standin-complete "$work/conda/lib"
out=$(detect VIRTUAL_ENV="$work/venv" CONDA_PREFIX="$work/conda" LD_LIBRARY_PATH="$work/decoy")
expect "cuBLASLt missing beside the wheel, conda's library used" "$out" \
  cublasMissing=0 cublas=13.5.42 "cublasLtPath=$work/conda/lib/libcublasLt.so.13" \
  "attempt=2 $wheel/libcublas.so.13" "attempt=0 $work/conda/lib/libcublas.so.13"

# MIVARO_CUBLAS is the only place tried, also when it holds nothing and a library is elsewhere.
out=$(detect MIVARO_CUBLAS="$work/nowhere" CONDA_PREFIX="$work/conda")
expect "MIVARO_CUBLAS naming nothing does not fall back" "$out" \
  cublasMissing=1 fromOverride=1 "attempt=1 $work/nowhere" cublasPath=
[ "$(grep -c '^attempt=' <<<"$out")" = 1 ] || fail "MIVARO_CUBLAS: more than one place tried"$'\n'"$out"

place standin-incomplete "$work/incomplete" libcublas.so.13
place standin-complete "$work/incomplete" libcublasLt.so.13
out=$(detect MIVARO_CUBLAS="$work/incomplete" CONDA_PREFIX="$work/conda")
expect "MIVARO_CUBLAS naming a library that lacks a function" "$out" \
  cublasMissing=1 "attempt=4 $work/incomplete/libcublas.so.13"

: >"$work/conda/lib/libcublasLt.so.13"  # not a library: the loader refuses it
out=$(detect MIVARO_CUBLAS=conda/lib)
expect "MIVARO_CUBLAS relative to the current directory, refused by the loader" "$out" \
  cublasMissing=1 "attempt=3 $work/conda/lib/libcublas.so.13"

[ $failures -eq 0 ] || exit 1
