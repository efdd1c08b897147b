#!/usr/bin/env bash
# Builds everything. (Starting the window program comes with the Windows program itself.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
