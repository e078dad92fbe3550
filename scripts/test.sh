#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
# ZYL_BUSY_CORES=1 runs the suite with every core kept busy (CI does): it must pass on a loaded machine.
run=()
if [ "${ZYL_BUSY_CORES:-0}" = 1 ]; then run=(bash scripts/with-busy-cores.sh); fi
QT_QPA_PLATFORM=offscreen "${run[@]}" ctest --preset default
