#!/usr/bin/env bash
# Builds the benchmark programs and prints their one table: time to "Ready", the cost of each
# transaction, of polling, and of starting the window (bench/README.md explains every column).
# The build goes to build-bench/ unless ZYL_BENCH_BUILD_DIR names another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2

build=${ZYL_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYL_WARNINGS_AS_ERRORS=ON \
  -DZYL_BUILD_TESTS=OFF -DZYL_BUILD_BENCH=ON >&2
cmake --build "$build" -j2 --target bench_transactions bench_discovery bench_window bench_startup >&2

# Offscreen windows; a private runtime folder keeps Qt from warning about a missing one.
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

# ZYL_BENCH_REALTIME=1 runs the programs at real-time priority (root or CAP_SYS_NICE), so that
# other work on a shared machine cannot take the processor from the tool's thread.
run=()
if [ "${ZYL_BENCH_REALTIME:-0}" = 1 ]; then
  run=(chrt --fifo 1)
fi

echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores${run:+, real-time priority}"
echo
bin=$build/bench-bin
"${run[@]}" "$bin/bench_transactions"
"${run[@]}" "$bin/bench_discovery" --rows-only
"${run[@]}" "$bin/bench_window" --rows-only
"${run[@]}" "$bin/bench_startup" --rows-only
