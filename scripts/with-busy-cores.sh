#!/usr/bin/env bash
# Runs the command given with every core kept busy by a loop at ordinary priority, as a
# technician's laptop is busy with something else: tests must hold with the machine loaded.
#   bash scripts/with-busy-cores.sh <command> [args...]
# ZYL_BUSY_LOOPS sets the number of loops (default: one per core).
set -euo pipefail
loops=${ZYL_BUSY_LOOPS:-$(nproc)}
pids=()
stop_loops() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait "${pids[@]}" 2>/dev/null || true
}
trap stop_loops EXIT
for ((i = 0; i < loops; i++)); do
  bash -c 'while :; do :; done' &
  pids+=($!)
done
echo "with-busy-cores: $loops busy loops while running: $*"
"$@"
