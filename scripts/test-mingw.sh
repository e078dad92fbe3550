#!/usr/bin/env bash
# Cross-builds everything without a window for 64-bit Windows (MinGW-w64) and runs its tests under
# Wine, in build-mingw/ with a Wine prefix of its own (build-mingw/wineprefix).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw
cmake --build --preset mingw
prefix="$PWD/build-mingw/wineprefix"
# Set the prefix up once (wineboot) before the tests, so they do not wait on it one by one.
bash scripts/wine-run.sh "$prefix"
status=0
ctest --preset mingw || status=$?
# Wine leaves its server running for a while after the last program; end it (this prefix only).
WINEPREFIX="$prefix" "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -k 2>/dev/null || true
exit "$status"
