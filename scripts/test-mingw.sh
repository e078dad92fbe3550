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
# The tests share one Wine session (scripts/wine-run.sh starts it); end it afterwards, that of this
# prefix only, instead of letting it linger.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap 'WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true' EXIT
ctest --preset mingw
