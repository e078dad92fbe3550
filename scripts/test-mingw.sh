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
# One wine server for the whole run: starting it is the slow part of starting a Windows program.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# It is ended at the end (that of this prefix only), and ends itself a minute after its last program
# should this script be interrupted.
trap 'WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true' EXIT
WINEPREFIX="$prefix" "$wineserver" -p60
ctest --preset mingw
