#!/usr/bin/env bash
# Replays every fuzzer's corpus, then fuzzes each target for a while, then runs the soak program.
#   fuzz/run-fuzzers.sh [build folder] [seconds per target]   (defaults: build-fuzz, 30)
# New inputs go to a scratch folder, never into fuzz/corpus; a failure stops the run and keeps the
# input that caused it in the scratch folder printed below.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${2:-30}"
bin="$build/tests-bin"
scratch=$(mktemp -d -t zyl-fuzz.XXXXXX)
echo "scratch folder: $scratch"

for target in discovery_decode request_setters reply_check reply_collector; do
  echo "--- fuzz_$target: replaying fuzz/corpus/$target"
  "$bin/fuzz_$target" -runs=0 "fuzz/corpus/$target"
  echo "--- fuzz_$target: fuzzing for $seconds s"
  mkdir -p "$scratch/$target"
  if ! "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$scratch/$target-" \
      -print_final_stats=1 "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz_$target found a failure; its input: $(ls "$scratch/$target"-* 2>/dev/null || echo none)"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added)' "$scratch/$target.log"
done

echo "--- soak run"
"$bin/fuzz_soak"
rm -rf "$scratch"
