#!/usr/bin/env bash
# Runs a Windows program of the MinGW build under Wine:  wine-run.sh <wine prefix> <program.exe> [args...]
# The prefix belongs to the build tree and is created on first use; concurrent first uses (ctest -j)
# wait for one another instead of racing to set it up. Without a program it only sets up the prefix.
#
# A program that makes a window (any Qt program does, if only a hidden one for its event loop)
# needs a display, so each session gets an Xvfb screen of its own, never the user's display; it
# ends with the session.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 <wine prefix> [<program.exe> [args...]]" >&2
  exit 2
fi
prefix=$1
shift

source "$(dirname "$0")/wine-env.sh"
wine_find || exit 127
wine_use_prefix "$prefix"
unset WAYLAND_DISPLAY
display_file=$prefix.display # "<display number> <Xvfb pid>" of the running session

mkdir -p "$(dirname "$prefix")"

if [ ! -f "$prefix/system.reg" ]; then
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
      # The registry reaches the disk when the wine server ends; wait for that.
      "$wineserver" -w 2>/dev/null || true
    fi
  ) 9>"$prefix.lock"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine-run: could not set up the Wine prefix $prefix" >&2
    exit 1
  fi
fi
if [ $# -eq 0 ]; then exit 0; fi

# Wine's system processes (services.exe and friends) start with the first program of a session and
# keep that program's standard error open for as long as they live. A caller that reads the output
# to its end (ctest, GoogleTest discovery) would then wait for the whole session. So the session is
# started here with nothing attached, and kept for 30 s after its last program ("wineserver -k0"
# only asks whether a server runs).
source "$(dirname "$0")/xvfb.sh"
start_display() {
  xvfb_start 100 1280x1024x24
  echo "$xvfb_number $xvfb_pid" >"$display_file"
}

# A session runs with its screen, or is started afresh (a session left without one is ended).
session_running() {
  local _number pid
  "$wineserver" -k0 2>/dev/null && [ -f "$display_file" ] && read -r _number pid <"$display_file" &&
    kill -0 "$pid" 2>/dev/null
}

if ! session_running; then
  (
    flock 9
    if ! session_running; then
      "$wineserver" -k 2>/dev/null || true
      if [ -f "$display_file" ]; then
        read -r _ old_pid <"$display_file" || true
        kill "$old_pid" 2>/dev/null || true
      fi
      start_display
      read -r number pid <"$display_file"
      export DISPLAY=":$number"
      "$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
      "$wine" wineboot </dev/null >/dev/null 2>&1 || true
      # The screen goes when the session does.
      ( "$wineserver" -w; kill "$pid" ) </dev/null >/dev/null 2>&1 &
    fi
  ) 9>"$prefix.lock"
fi
read -r number _ <"$display_file"
export DISPLAY=":$number"

# Now and then Wine fails to start a program at all: it ends at once with an error status and not
# a byte of output, before the program ran. A program that ran prints something (a GoogleTest
# executable always does), so only such a silent end is tried again; every other result, failures
# included, is passed on as it came.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
for attempt in 1 2 3; do
  status=0
  "$wine" "$@" >"$out" 2>"$err" || status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ]; then break; fi
  echo "wine-run: $1 ended with status $status without any output (attempt $attempt)" >&2
  sleep 1
done
cat "$out"
cat "$err" >&2
exit "$status"
