#!/usr/bin/env bash
# Regenerates the fuzzers' initial inputs (fuzz/corpus/<fuzzer>/fixture-*) from the virtual
# fixture's replies. Inputs kept for found bugs (other names) stay.
#   fuzz/make-corpora.sh [build folder]     (default: build-fuzz, configured with the "fuzz" preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset fuzz -B "$build"
fi
cmake --build "$build" --target fuzz_make_corpora
find fuzz/corpus -type f -name 'fixture-*' -delete 2>/dev/null || true
"$build/tests-bin/fuzz_make_corpora" fuzz/corpus
