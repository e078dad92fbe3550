#!/usr/bin/env bash
# Cross-builds the whole tool for 64-bit Windows (MinGW-w64), window included, and runs its tests
# under Wine, in build-mingw/ with a Wine prefix of its own (build-mingw/wineprefix; the tests on a
# real window use the same prefix and its Xvfb screen). Builds Qt for MinGW-w64 first when the cache
# lacks it (scripts/build-qt-mingw.sh, about 20 minutes on two cores).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Only built here when missing; the toolchain file is what finds it.
bash scripts/build-qt-mingw.sh >/dev/null
cmake --preset mingw
cmake --build --preset mingw
prefix="$PWD/build-mingw/wineprefix"
# Set the prefix up once (wineboot) before the tests, so they do not wait on it one by one.
bash scripts/wine-run.sh "$prefix"
# The tests share one Wine session (scripts/wine-run.sh starts it); end it afterwards, that of this
# prefix only, instead of letting it linger.
source scripts/wine-env.sh
wine_find
trap 'WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true' EXIT
ctest --preset mingw
