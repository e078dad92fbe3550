#!/usr/bin/env bash
# Runs a Windows program of the MinGW build under Wine:  wine-run.sh <wine prefix> <program.exe> [args...]
# The prefix belongs to the build tree and is created on first use; concurrent first uses (ctest -j)
# wait for one another instead of racing to set it up. Without a program it only sets up the prefix.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 <wine prefix> [<program.exe> [args...]]" >&2
  exit 2
fi
prefix=$1
shift

wine=$(command -v wine64 || true)
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; fi
if [ -z "$wine" ]; then
  echo "wine-run: wine64 not found (install it with scripts/install-deps.sh)" >&2
  exit 127
fi

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: nothing here needs .NET or an HTML engine.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Keep Wine away from any display: the programs run here are console programs.
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      # The registry reaches the disk when the wine server ends; wait for that.
      wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
      "$wineserver" -w 2>/dev/null || true
    fi
  ) 9>"$prefix.lock"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine-run: could not set up the Wine prefix $prefix" >&2
    exit 1
  fi
fi

if [ $# -eq 0 ]; then exit 0; fi
exec "$wine" "$@"
